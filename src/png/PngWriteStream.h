// The PNG encoder: writes one platform bitmap, with an optional 8-bit alpha bitmap beside it, as a PNG file
// with a fixed chunk sequence, filtered rows and one zlib stream cut into IDAT chunks.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "CodecStream.h"
#include "CodecZlib.h"
#include "PngError.h"
#include "PngFormat.h"

// Messages of the encoder.
inline constexpr const char* SPngIDATSize = "Write PNG Param: Err IDAT Size(min:256  max:100000)";
inline constexpr const char* SPngWriteError = "Write Image (PNG): Write Error";
inline constexpr const char* SPngWriteSize = "Write Image (PNG): Invalid Width or Height";
// Text of the tEXt chunk with the keyword "Software".
inline constexpr const char* PngSoftwareName = "Tilora ver 1.0";

inline constexpr int32_t MinIDATSize = 256;
inline constexpr int32_t MaxIDATSize = 100000;

// Grey of a colour as the encoder writes it: (77 red + 150 green + 29 blue) div 256.
inline uint8_t GrayOfRgb(uint32_t Red, uint32_t Green, uint32_t Blue) {
  return static_cast<uint8_t>((77 * Red + 150 * Green + 29 * Blue) >> 8);
}

// The system clock in UTC as a tIME record.
TPngTime PngCurrentTime();

// The five PNG filter types.
enum TPngFilter : uint8_t { ftNone = 0, ftSub = 1, ftUp = 2, ftAverage = 3, ftPaeth = 4 };

// Builds one filter candidate: Out[0] := the filter type, Out[1..Count] := the filtered bytes of Raw, with
// Prior the raw row above and Bpp the distance in bytes to the left neighbour.
void FilterRow(TPngFilter Filter, const uint8_t* Raw, const uint8_t* Prior, uint8_t* Out, int32_t Count,
               int32_t Bpp);
// Score of a candidate of Count bytes (filter-type byte included) for the adaptive choice: -1 takes the
// candidate at once (at most 8 distinct byte values, or one value filling 90 % of the row); otherwise higher
// is better. Counts is scratch space for 256 counters.
int64_t RowScore(const uint8_t* Row, int32_t Count, int32_t BitsPerPixel, int32_t* Counts);
// Filters CurrentRow (raw, against PreviousRow) by FilterOption and returns the chosen candidate, filter-type
// byte first, RowLength bytes: FilteredRow, which may have traded places with TrialRow.
uint8_t* ChooseFilter(ZRowContext& Context);

class TPngWriteStream : public TCodecGraphicWriteStream {
 public:
  TPngWriteStream();
  ~TPngWriteStream() override;
  const char* ClassName() const override { return "TPngWriteStream"; }

  // Size of the zlib output buffer and so of every IDAT chunk but the last: 256..100000, else EPngError.
  int32_t IDATSize() const { return FIDATSize; }
  void SetIDATSize(int32_t Value);

  // Options, set between construction and WriteGraphic.
  int32_t CompressionLevel = -1;  // -1 zlib's default; values outside -1..9 are used as -1
  int32_t FilterType = 1;         // low byte: 0 adaptive, 1 None, 2 Sub, 3 Up, 4 Average, 5 Paeth, above None
  int32_t Interlace = 0;          // 0 none, 1 Adam7
  bool GrayScale = false;         // grey samples instead of palette indices or RGB
  TColor BackgroundColor = -1;    // bKGD; -1 none
  TColor TransparentColor = -1;   // single-colour tRNS; -1 none
  // Palette output: tRNS holding these alpha values for the first entries (at most one per entry), written
  // in place of the single-colour form; empty for none.
  std::vector<uint8_t> TransparencyTable;
  std::string Comment;   // tEXt "Comment"
  double Gamma = 0.0;    // gAMA carries trunc(Gamma x 100000)
  int32_t PhysUnit = 0;  // 0 unknown, 1 per metre, 2 per inch (written per metre)
  int32_t PhysX = 0;
  int32_t PhysY = 0;
  int32_t SignificantBits = 0;  // sBIT packed: red (grey), green, blue, alpha from the low byte up
  bool UseCurrentTime = true;   // tIME from the clock in UTC, else from ImageTime
  const TPngTime* ImageTime = nullptr;
  const TPngChromaticity* Chromaticity = nullptr;
  const TPngGifControl* GifControl = nullptr;
  TBitmap* AlphaSource = nullptr;  // 8-bit bitmap of 255 - alpha; not owned
  std::string Key;                 // handed to OnEncodeRow
  TPngRowEvent OnEncodeRow;        // called per row after conversion, before filtering, when Key is not empty
  bool WriteSignature = true;
  bool PaletteAsGrayAlpha = false;  // 8-bit palette + alpha as grey-with-alpha samples holding the indices

 protected:
  void EncodeImage() override;

 private:
  using TRowConverter = void (TPngWriteStream::*)(const uint8_t* Source, const uint8_t* Alpha);

  void ResetWorkingState();
  // Adam7 is written for an Interlace whose low byte is 1; every other value writes no interlace.
  bool Interlaced() const { return (Interlace & 0xFF) == 1; }
  void WriteChunk(uint32_t Type, const uint8_t* Data, int64_t Length);
  void WriteText(const std::string& Keyword, const std::string& Text);
  void WriteHeaderChunks();
  void WriteTime();
  void WriteSignificantBits();
  void WritePalette();
  void WriteBackground();
  void WriteTransparency();
  void WritePhysicalSize();
  // The 2-byte grey sample of a colour, or -1 when a palette entry it names does not exist.
  int32_t GraySampleOf(TColor Color) const;
  // Palette index of a colour for bKGD and tRNS of palette output, or -1 when none can be found.
  int32_t PaletteIndexOf(TColor Color) const;
  void BuildGrayMap();
  void ChooseRowConverter();
  void WriteImageData();
  void WriteRows();
  void StartPass(int32_t Pass);
  static int32_t WriteIDAT(ZRowContext& Context);

  // Row converters: fill Z.CurrentRow with the pixels of the current pass row.
  template <int Bits>
  void ConvertPacked(const uint8_t* Source, const uint8_t* Alpha);
  void ConvertIndex(const uint8_t* Source, const uint8_t* Alpha);
  void ConvertGrayIndex(const uint8_t* Source, const uint8_t* Alpha);
  template <int Bits, bool Gray, bool WithAlpha>
  void ConvertDirect(const uint8_t* Source, const uint8_t* Alpha);

  int32_t FIDATSize = 32768;

  // Working state of one image.
  int32_t SourceBits = 0;
  int32_t OutputDepth = 0;
  bool GrayOutput = false;
  bool AlphaOutput = false;
  bool IndexMode = false;
  const TBitmap* AcceptedAlpha = nullptr;
  std::array<TPaletteEntry, 256> PaletteEntries{};
  int32_t PaletteCount = 0;
  // Palette index to grey sample; for 1-bit sources byte 0 is the inversion flag (255 = invert). Built only
  // from the entries the palette reaches, never cleared between images.
  std::array<uint8_t, 256> GrayMap{};
  int32_t Width = 0;
  int32_t Height = 0;
  int32_t PassWidth = 0;
  int32_t PassStart = 0;  // first column of the pass, pixels
  int32_t PassStep = 1;   // column step of the pass, pixels
  TRowConverter RowConverter = nullptr;
  ZRowContext Z;
};
