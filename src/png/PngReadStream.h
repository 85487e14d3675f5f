// The PNG decoder: reads one PNG file from a platform stream into a platform bitmap, with the alpha channel
// as a separate 8-bit bitmap holding 255 - alpha, and the file's ancillary information.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "CodecStream.h"
#include "CodecZlib.h"
#include "PngError.h"
#include "PngFormat.h"

// Messages of the decoder.
inline constexpr const char* SPngNotPng = "PNG LoadStream: Not PNG Format";
inline constexpr const char* SPngTwoIHDR = "Read Header(PNG): appear two IHDR";
inline constexpr const char* SPngColorType = "Read Header(PNG): Error ColorType";
inline constexpr const char* SPngCompression = "Read Header(PNG): not support Compression";
inline constexpr const char* SPngFilter = "Read Header(PNG): not supprt Filter";
inline constexpr const char* SPngInterlace = "Read Header(PNG): not interlace type";
inline constexpr const char* SPngGrayBitdepth = "Read Header(PNG): Error Bitdepth";
inline constexpr const char* SPngGrayAlpha = "Read Header(PNG): not Use AlphaChannel";
inline constexpr const char* SPngBitDepth = "Read Header(PNG): Error BitDepth";
inline constexpr const char* SPngZlib = "PNG LoadStream: Error ZLIB";
inline constexpr const char* SPngReadError = "Read Image (PNG): Read Error";
inline constexpr const char* SPngTooLarge = "Read Header(PNG): Image too large";
inline constexpr const char* SPngBadSize = "Read Header(PNG): Invalid Width or Height";

// Marker in TransparentColor while the palette alpha table holds the file's alpha values.
inline constexpr int32_t PaletteAlphaMarker = 0x1FFFFFF;

class TPngReadStream : public TCodecGraphicReadStream {
 public:
  TPngReadStream();
  ~TPngReadStream() override;
  const char* ClassName() const override { return "TPngReadStream"; }

  // Options, set before ReadGraphic.
  bool Allow16Bit = false;  // RGB images whose sBIT is 5-5-5 or 5-6-5 become 16-bit bitmaps
  std::string Key;
  TPngKeyEvent OnKeyRequest;
  TPngRowEvent OnDecodeRow;
  TBitmap* AlphaBitmap = nullptr;  // receives the alpha channel; not owned
  TPngTime* ImageTime = nullptr;   // caller's records, filled in place
  TPngChromaticity* Chromaticity = nullptr;
  TPngGifControl* GifControl = nullptr;

  // Results.
  bool HasAlpha = false;
  bool GrayScale = false;
  int32_t Interlace = 0;
  double Gamma = 0;
  int32_t SignificantBits = 0;
  TColor BackgroundColor = -1;
  TColor TransparentColor = -1;
  int32_t ColorClass = -1;  // colour type without its alpha bit: 0 grey, 2 RGB, 3 palette
  std::array<uint8_t, 256> AlphaTable{};
  TBitmap* ActiveAlphaBitmap = nullptr;
  std::string ActiveKey;

 protected:
  void DecodeImage() override;
  void PrepareBitmap() override;

 private:
  // ChunkFlags bits.
  enum : uint8_t { HeaderSeen = 1, ImageDone = 2, EndSeen = 4, PaletteSeen = 8, PrivateSeen = 16 };
  using TRowConverter = const uint8_t* (TPngReadStream::*)();
  using TRowStore = void (TPngReadStream::*)(uint8_t* Dest, const uint8_t* Row);

  void ChunkLoop();
  // Reads a chunk's length into ChunkLeft and its type into ChunkType.
  void ReadChunkHeader();
  void ReadHeader();
  void ReadPalette();
  void ReadTransparency();
  void ReadBackground();
  void ReadGamma();
  void ReadSignificantBits();
  void ReadPhysicalSize();
  void ReadChromaticity();  // into *Chromaticity
  void ReadGifControl();    // into *GifControl
  void ReadTime();          // into *ImageTime
  void ReadText();
  void ReadTile();
  void ReadImageData();
  void ChooseConversion();
  void CheckImageSize() const;
  void DecodePasses();
  void AlphaFromPaletteTable();
  TColor ReadChunkColor();
  static int32_t RefillCompressed(ZRowContext& Context);

  // Row converters and stores (chosen once per image).
  const uint8_t* ConvertPass();
  const uint8_t* Convert2To4();
  const uint8_t* ConvertGray16();
  template <int SampleBytes>
  const uint8_t* ConvertGrayAlpha();
  template <int Channels, int SampleBytes>
  const uint8_t* ConvertRgb();
  template <int Channels, int SampleBytes>
  const uint8_t* ConvertRgb565();
  void StoreCopy(uint8_t* Dest, const uint8_t* Row);
  void StoreBits1(uint8_t* Dest, const uint8_t* Row);
  void StoreBits4(uint8_t* Dest, const uint8_t* Row);
  void StoreBytes1(uint8_t* Dest, const uint8_t* Row);
  void StoreBytes2(uint8_t* Dest, const uint8_t* Row);
  void StoreBytes3(uint8_t* Dest, const uint8_t* Row);
  void AlphaCopy(uint8_t* Dest, const uint8_t* Row);
  void AlphaScatter(uint8_t* Dest, const uint8_t* Row);

  ZRowContext Z;
  uint8_t* ConvertedRow = nullptr;
  uint8_t* AlphaRow = nullptr;
  int32_t ChunkLeft = 0;
  uint32_t ChunkType = 0;
  uint8_t ChunkFlags = 0;
  int32_t LastPass = 0;
  int32_t PassWidth = 0;
  int32_t OutputRowBytes = 0;
  int32_t StoreStart = 0;
  int32_t StoreStep = 0;
  int32_t AlphaStart = 0;
  int32_t AlphaStep = 0;
  int32_t SampleDepth = 0;   // the header's bit depth, kept when BitDepth is replaced for RGB images
  uint32_t HeaderWidth = 0;  // width and height as the header gives them (unsigned)
  uint32_t HeaderHeight = 0;
  bool AlphaFromPalette = false;
  TRowConverter RowConverter = nullptr;
  TRowStore RowStore = nullptr;
  TRowStore AlphaStore = nullptr;
};
