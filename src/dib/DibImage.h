// Device-independent bitmaps: the shared storage with its BMP stream and clipboard forms, the pixel-format
// converters, the graphic object TDibGraphic and the drawing surface TDibCanvas.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "Classes.h"
#include "Clipbrd.h"
#include "DibGraph.h"
#include "Graphics.h"
#include "SysUtils.h"

// ---------------------------------------------------------------------------------------------------------------
// Errors. Messages read "<Class>.<Method>: <text>".

TILORA_EXCEPTION(EDibError, Exception);
TILORA_EXCEPTION(EDibInvalidDIB, EDibError);
TILORA_EXCEPTION(EDibInvalidDIBFile, EDibError);
TILORA_EXCEPTION(EDibInvalidDIBPara, EDibError);
TILORA_EXCEPTION(EDibBadDIBType, EDibError);
TILORA_EXCEPTION(EDibInvalidPalette, EDibError);
TILORA_EXCEPTION(EDibCompressionFailed, EDibError);
TILORA_EXCEPTION(EDibCanvasFailed, EDibError);

// ---------------------------------------------------------------------------------------------------------------
// Pixel formats

enum TDibPixelFormat : uint8_t {
  dpf1Bit = 0,
  dpf4Bit = 1,
  dpf4BitRLE = 2,
  dpf8Bit = 3,
  dpf8BitRLE = 4,
  dpf24Bit = 5,
  dpfHalftone = 6,    // conversion target only: the 215-colour halftone palette, dithered
  dpfHalftoneBW = 7,  // conversion target only: black and white, dithered
};

// 2, 16 or 256 for 1, 4 or 8 bits; 0 for any other bit count. A colour count of 0 reads as this many.
int DefaultColorCount(int BitCount);

// ---------------------------------------------------------------------------------------------------------------
// Pixel memory

// Pixel memory obtained with GetMemory. It owns its block: moving hands it on, and the block is returned when
// the owner goes (ReleaseMemory returns it earlier and checks the release).
class TDibMemory {
 public:
  TDibMemory() = default;
  TDibMemory(TDibMemory&& Other) noexcept { Swap(Other); }
  TDibMemory& operator=(TDibMemory&& Other) noexcept {
    TDibMemory old(std::move(*this));
    Swap(Other);
    return *this;
  }
  TDibMemory(const TDibMemory&) = delete;
  TDibMemory& operator=(const TDibMemory&) = delete;
  ~TDibMemory();

  uint8_t* Bits() const { return FBits; }
  int64_t Size() const { return FSize; }
  // The mapping of UseFMO memory, or nullptr for other memory.
  void* MapHandle() const { return FShared ? FBits : nullptr; }

 private:
  friend TDibMemory GetMemory(int64_t Size, bool UseFMO);
  friend void ReleaseMemory(TDibMemory& Memory);
  void Swap(TDibMemory& Other) noexcept;
  uint8_t* FBits = nullptr;
  int64_t FSize = 0;
  int64_t FMappedSize = 0;
  bool FMapped = false;  // a mapping of its own rather than a heap block
  bool FShared = false;  // obtained with UseFMO
};

// Zero-filled pixel memory of Size bytes (0 .. MaxPixelBytes): heap memory, or with UseFMO an anonymous
// shared mapping. A mapping that cannot be made raises EOutOfResources "GetMemory: Cannot Make File Mapping
// Object"; heap memory that cannot be had raises EOutOfMemory.
TDibMemory GetMemory(int64_t Size, bool UseFMO);
// Returns the memory now; the object is empty afterwards.
void ReleaseMemory(TDibMemory& Memory);

// ---------------------------------------------------------------------------------------------------------------
// The DIB record: header, colour table and pixel memory, as the BMP format lays them out.

struct TDibRecord {
  int64_t ImageSize = 0;  // bytes of pixel memory; never above MaxPixelBytes
  TDibMemory Memory;      // ImageSize bytes
  BITMAPINFOHEADER Header;
  // Entries 0 .. biClrUsed - 1 are valid; the four past 256 make room for a bit-field file's masks while
  // reading.
  std::array<RGBQUAD, 260> Colors{};

  uint8_t* Bits() const { return Memory.Bits(); }
  void* MapHandle() const { return Memory.MapHandle(); }
  int32_t Width() const { return Header.biWidth; }
  int64_t AbsHeight() const;
  int64_t RowBytes() const { return DibRowBytes(Header.biWidth, Header.biBitCount); }
  bool TopDown() const { return Header.biHeight < 0; }
  // Memory row Row (0 is the first in memory: the bottom row of a bottom-up DIB).
  uint8_t* MemoryRow(int64_t Row) const { return Bits() + Row * RowBytes(); }
};

// A record with Source's ImageSize, header and whole colour table, and no pixel memory.
TDibRecord CopyDibLayout(const TDibRecord& Source);
// A palette made of the first biClrUsed colours; null when biClrUsed is 0. EOutOfResources
// "GetPaletteFromDIBInfos: Cannot Make Palette" when it cannot be made.
HPALETTE GetPaletteFromDIBInfos(const TDibRecord& DIB);

// ---------------------------------------------------------------------------------------------------------------
// The storage

using TDibProgressStep = std::function<void(TObject* ProgressOwner)>;

// One DIB in memory, shared by the TDibGraphic objects that count themselves in RefCount.
class TDibStorage : public TObject {
 public:
  // A 1 x 1, 8-bit picture of 256 black colours whose pixel is 0.
  explicit TDibStorage(bool UseFMO);
  ~TDibStorage() override;
  TDibStorage(const TDibStorage&) = delete;
  TDibStorage& operator=(const TDibStorage&) = delete;
  const char* ClassName() const override { return "TDibStorage"; }

  int32_t RefCount = 1;
  int32_t Width = 0;
  int32_t Height = 0;  // absolute value of biHeight
  HPALETTE Palette;    // made from the colour table on demand and cached
  TDibRecord DIB;
  bool PaletteModified = false;
  const bool UseFMO;

  // A blank DIB (pixels 0, colours black) in place of the current one. Width > 0, Height != 0 (negative:
  // top-down), 0 <= ColorCount <= 256, BitCount 1, 4, 8 or 24, pixel memory at most MaxPixelBytes; else
  // EDibInvalidDIBPara "TDibStorage.CreateDIB: Invalid Parameters".
  void CreateDIB(int32_t Width, int32_t Height, int32_t ColorCount, int32_t BitCount);
  void FreeDIB();

  // One BMP file from the stream's position; on failure the storage keeps its picture.
  void LoadFromStream(TStream& Stream);
  void SaveToStream(TStream& Stream) const;
  // A packed DIB (CF_DIB); on failure the storage keeps its picture.
  void LoadFromClipboardFormat(const HGLOBAL& Data);
  HGLOBAL SaveToClipboardFormat() const;

  // After every change of the record: drops the cached palette and sets PaletteModified (RefCount must be 1).
  void UpdatePalette();
  HPALETTE GetPaletteHandle();
  TDibPixelFormat GetPixelFormat() const;
  // Converts the picture to Target through the converter chain of DibConversionChain; on failure the storage
  // is unchanged.
  void SetPixelsFormat(TDibPixelFormat Target, uint8_t ConvertMode, const TDibProgressStep& ProgressStep,
                       TObject* ProgressOwner, TColor KeyColor);

 private:
  void Install(TDibRecord&& Record);
};

// ---------------------------------------------------------------------------------------------------------------
// Converters: each reads a source record and returns a new one (pixel memory from GetMemory with UseFMO).
// The one list of them, in the order of TDibConverter: X(Name, Params) for each, Params naming what the
// converter takes after Source and UseFMO (TILORA_DIB_PARAMS_Params, TILORA_DIB_ARGS_Params).
#define TILORA_DIB_CONVERTERS(X)             \
  X(Convert1BitRGBTo4BitRGB, Plain)          \
  X(Convert1BitRGBTo8BitRGB, Plain)          \
  X(Convert1BitRGBToTrueColor, Plain)        \
  X(Convert4BitRGBTo8BitRGB, Plain)          \
  X(Convert4BitRGBToTrueColor, Plain)        \
  X(Convert8BitRGBToTrueColor, Plain)        \
  X(Convert4BitRLETo4BitRGB, Plain)          \
  X(Convert8BitRLETo8BitRGB, Plain)          \
  X(Convert4BitRGBTo4BitRLE, Plain)          \
  X(Convert8BitRGBTo8BitRLE, Plain)          \
  X(ConvertTrueColorTo8BitRGBLow, Progress)  \
  X(ConvertTrueColorTo4BitRGBLow, Progress)  \
  X(ConvertTrueColorTo8BitRGBHigh, Progress) \
  X(ConvertTrueColorTo4BitRGBHigh, Progress) \
  X(Convert8BitRGBTo4BitRGB, Progress)       \
  X(ConvertTrueColorTo1BitRGB, Key)          \
  X(Convert8BitTo1BitRGB, Key)               \
  X(Convert4BitRGBTo1BitRGB, Key)            \
  X(ConvertToHalfTone, Plain)                \
  X(ConvertToHalfToneBW, Plain)

// The parameters after Source and UseFMO, and the names SetPixelsFormat passes for them.
#define TILORA_DIB_PARAMS_Plain
#define TILORA_DIB_PARAMS_Progress , const TDibProgressStep &ProgressStep, TObject *ProgressOwner
#define TILORA_DIB_PARAMS_Key , TColor KeyColor
#define TILORA_DIB_ARGS_Plain
#define TILORA_DIB_ARGS_Progress , ProgressStep, ProgressOwner
#define TILORA_DIB_ARGS_Key , KeyColor

#define TILORA_DIB_DECLARE_CONVERTER(Name, Params) \
  TDibRecord Name(const TDibRecord& Source, bool UseFMO TILORA_DIB_PARAMS_##Params);
TILORA_DIB_CONVERTERS(TILORA_DIB_DECLARE_CONVERTER)
#undef TILORA_DIB_DECLARE_CONVERTER

// The steps SetPixelsFormat takes, in order.
enum class TDibConverter {
#define TILORA_DIB_CONVERTER_ID(Name, Params) Name,
  TILORA_DIB_CONVERTERS(TILORA_DIB_CONVERTER_ID)
#undef TILORA_DIB_CONVERTER_ID
};
const char* DibConverterName(TDibConverter Converter);
// The converter chain from Source (0..5) to Target (0..7). A pair without a chain, a target above 7 or a
// 24-bit reduction with a ConvertMode other than 0 or 1 raises EAssertionFailed "TDibStorage.SetPixelsFormat:
// PixelFormat Error".
std::vector<TDibConverter> DibConversionChain(TDibPixelFormat Source, TDibPixelFormat Target,
                                              uint8_t ConvertMode);

// ---------------------------------------------------------------------------------------------------------------
// Colour cutting (exposed for tests)

// A colour with a weight; the weight field receives the palette index when the item's leaf is reached.
struct TDibWeightedItem {
  int32_t Red = 0, Green = 0, Blue = 0, Weight = 0, Key = 0;
};
// One pixel of the per-pixel quantiser.
struct TDibPixelItem {
  uint8_t Blue = 0, Green = 0, Red = 0;
};
// A node of the per-pixel quantiser's cutting tree; node 0 is the root.
struct TDibCutNode {
  uint8_t DivideID = 0;       // 0 red, 1 green, 2 blue: the channel cut; 3: a leaf
  long double Threshold = 0;  // the mean on the cut channel; values <= Threshold go to Lower
  uint8_t PaletteIndex = 0;   // leaves only
  int32_t Lower = 0, Upper = 0;
};
inline constexpr int DibMaxCutNodes = 512;

// Cuts the box of items [Start, End) at the mean of the channel with the largest weighted variance (red x 3,
// green x 4, blue x 2) down to depth MaxDepth. Each non-empty leaf appends the rounded weighted mean to
// Palette (upper parts before lower parts) and writes its index into its items' Weight fields; every leaf,
// empty or not, calls ProgressStep once, so 2^(MaxDepth - Depth) steps happen below a box.
void DivideWeighted(std::vector<TDibWeightedItem>& Items, int64_t Start, int64_t End, int Depth, int MaxDepth,
                    std::vector<RGBQUAD>& Palette, const TDibProgressStep& ProgressStep,
                    TObject* ProgressOwner);
// DivideWeighted over pixels of weight 1 that records its cuts and leaves in Tree (DibMaxCutNodes nodes, node
// Node for this box; NodeCount counts the nodes taken).
void DivideTree(std::vector<TDibPixelItem>& Items, int64_t Start, int64_t End, int Depth, int Node,
                int MaxDepth, std::vector<TDibCutNode>& Tree, int& NodeCount, std::vector<RGBQUAD>& Palette,
                const TDibProgressStep& ProgressStep, TObject* ProgressOwner);

// The palettes of the two weighted quantisers for a picture known only by its colours and their pixel counts
// (a colour histogram): what the reductions give, found in time that follows the number of colours, not of
// pixels. Each colour is given once, with a count above 0; Entries receives, for each colour, the palette
// index its pixels take.
struct TDibColorCount {
  uint8_t Red = 0, Green = 0, Blue = 0;
  int64_t Count = 0;
};
// The palette of ConvertTrueColorTo8BitRGBLow (Depth 8) or ConvertTrueColorTo4BitRGBLow (Depth 4).
std::vector<RGBQUAD> HistogramQuantizerPalette(std::span<const TDibColorCount> Colors, int Depth,
                                               std::vector<uint8_t>& Entries);
// The palette of Convert8BitRGBTo4BitRGB for an 8-bit picture whose used entries have these colours and
// counts (entries of equal colour may be given as one).
std::vector<RGBQUAD> IndexQuantizerPalette(std::span<const TDibColorCount> Colors,
                                           std::vector<uint8_t>& Entries);

// ---------------------------------------------------------------------------------------------------------------
// Module state

// Registers TDibGraphic for the extension "dib" and clipboard format 8; Finalize drops the shared palettes
// and the registrations. Called by the program entry.
void DibImageInitialize();
void DibImageFinalize();
// The shared palettes, made on first use: the 215-colour halftone palette and black and white.
HPALETTE DibHalftonePalette();
HPALETTE DibBlackWhitePalette();
// UseFMO of the storages that new TDibGraphic objects make; true unless changed.
bool DibDefaultUseFMO();
void SetDibDefaultUseFMO(bool Value);

// ---------------------------------------------------------------------------------------------------------------
// The graphic object

class TDibGraphic : public TDibGraphicBase {
 public:
  TDibGraphic();
  ~TDibGraphic() override;
  const char* ClassName() const override { return "TDibGraphic"; }

  uint8_t ConvertMode = 0;  // 0: histogram quantiser; 1: per-pixel quantiser
  TColor KeyColor = clWhite;
  uint8_t HalftoneMode = 0;  // 0: draw as is; 1: dithered to the halftone palette; 2: to black and white

  void Assign(TPersistent* Source) override;
  void AssignTo(TPersistent* Dest) override;
  void Draw(TCanvas& Canvas, const TRect& R) override;
  void LoadFromStream(TStream& Stream) override;
  void SaveToStream(TStream& Stream) override;
  void LoadFromClipboardFormat(uint16_t Format, HGLOBAL Data, HPALETTE Palette) override;
  void SaveToClipboardFormat(uint16_t& Format, HGLOBAL& Data, HPALETTE& Palette) override;
  uint16_t GetClipboardFormat() const override { return CF_DIB; }

  int BitCount() const;
  void SetBitCount(int Value);
  TDibPixelFormat PixelFormat() const;
  void SetPixelFormat(TDibPixelFormat Value);
  bool UseFMO() const;

  // The storage (shared between copies until one changes).
  TDibStorage* InternalDIB() const { return FInternalDIB; }
  // Makes the storage private to this object, copying it when shared.
  void UniqueDIB();
  // Turns the storage's palette-changed flag into this graphic's PaletteModified.
  void UpdatePaletteModified();

 protected:
  bool GetEmpty() const override;
  int GetHeight() const override;
  int GetWidth() const override;
  HPALETTE GetPalette() const override;
  void DoSetHeight(int Value) override;
  void DoSetWidth(int Value) override;
  void DoSetPalette(HPALETTE Value) override;

 private:
  void ReleaseInternalDIB();
  void TakeStorage(TDibStorage* Storage);
  void Reallocate(int32_t W, int32_t H, int32_t Colors, int32_t Bits);
  TDibStorage& Storage(const char* Method) const;
  void ProgressStep();
  void FireProgress(TProgressStage Stage, uint8_t Percent, bool Redraw);

  TDibStorage* FInternalDIB = nullptr;
  int32_t FProgressCount = 0;
  int32_t FProgressTotal = 0;
  std::string FProgressMessage;
};

// A drawing surface over a TDibGraphic's own pixel memory. The DIB must have been made with UseFMO; the
// surface keeps a reference on the storage it draws into. Destroying the surface signals the DIB's change.
class TDibCanvas : public TCanvas {
 public:
  explicit TDibCanvas(TDibGraphic* DIB);
  ~TDibCanvas() override;
  const char* ClassName() const override { return "TDibCanvas"; }
  TSurface Surface() override;

 private:
  TDibGraphic* FDIB = nullptr;
  TDibStorage* FStorage = nullptr;
  std::vector<TPaletteEntry> FPalette;
};
