// Colours, palettes, the abstract graphic, the platform bitmap, the drawing surface and the picture registry.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "Classes.h"
#include "DibHeaders.h"
#include "PixelFormats.h"

// ---------------------------------------------------------------------------------------------------------------
// Colours and geometry

// 0x00BBGGRR; 0x01000000 | index names a palette entry; -1 is "no colour" where an interface says so.
using TColor = int32_t;
inline constexpr TColor clBlack = 0x000000;
inline constexpr TColor clWhite = 0xFFFFFF;
inline constexpr TColor clNone = 0x1FFFFFFF;
inline constexpr TColor PaletteIndexColor(int index) {
  return 0x01000000 | (index & 0xFF);
}
// Whether a colour has exactly the form PaletteIndexColor gives (top byte 1). -1 ("no colour") and clNone set
// bit 24 as well but name no entry; their low byte is not an index.
inline constexpr bool IsPaletteIndexColor(TColor Color) {
  return static_cast<uint32_t>(Color) >> 24 == 1;
}
inline constexpr TColor RGB(uint8_t r, uint8_t g, uint8_t b) {
  return r | (g << 8) | (b << 16);
}
inline constexpr uint8_t GetRValue(TColor c) {
  return static_cast<uint8_t>(c);
}
inline constexpr uint8_t GetGValue(TColor c) {
  return static_cast<uint8_t>(c >> 8);
}
inline constexpr uint8_t GetBValue(TColor c) {
  return static_cast<uint8_t>(c >> 16);
}

struct TPoint {
  int32_t X = 0, Y = 0;
};

// Rectangle with right and bottom exclusive.
struct TRect {
  int32_t Left = 0, Top = 0, Right = 0, Bottom = 0;
  int32_t Width() const { return Right - Left; }
  int32_t Height() const { return Bottom - Top; }
  bool operator==(const TRect&) const = default;
};
inline TRect Rect(int32_t l, int32_t t, int32_t r, int32_t b) {
  return TRect{l, t, r, b};
}

// ---------------------------------------------------------------------------------------------------------------
// Palettes: a shared, immutable list of up to 256 entries; a null handle is "no palette".

struct TPaletteEntry {
  uint8_t peRed = 0, peGreen = 0, peBlue = 0, peFlags = 0;
  bool operator==(const TPaletteEntry&) const = default;
};

struct TLogPalette {
  std::vector<TPaletteEntry> Entries;
};
using HPALETTE = std::shared_ptr<const TLogPalette>;

// A palette of the given entries (at most 256 are taken); null for an empty list.
HPALETTE CreatePalette(std::span<const TPaletteEntry> Entries);
// Copies up to Count entries from index Start into Dest and returns the number copied; with a null Dest,
// returns the palette's entry count. 0 for a null handle.
int GetPaletteEntries(const HPALETTE& Palette, int Start, int Count, TPaletteEntry* Dest);
inline int PaletteSize(const HPALETTE& Palette) {
  return Palette ? static_cast<int>(Palette->Entries.size()) : 0;
}
// The palette an indexed bitmap gets when it has none: black and white for 1 bit, the 16 standard VGA colours
// for 4 bits, and for 8 bits the 16 VGA colours, a 6 x 6 x 6 colour cube and a grey ramp filling the rest.
HPALETTE DefaultPalette(int BitCount);
// Index of the entry nearest to the colour (sum of absolute channel differences; first of equals); -1 when
// empty.
int NearestPaletteEntry(std::span<const TPaletteEntry> Entries, uint8_t r, uint8_t g, uint8_t b);

// ---------------------------------------------------------------------------------------------------------------
// Pixel formats (TPixelFormat and its facts: PixelFormats.h)

enum TBitmapHandleType { bmDIB, bmDDB };
enum TTransparentMode { tmAuto, tmFixed };

// ---------------------------------------------------------------------------------------------------------------
// The abstract graphic

enum TProgressStage { psStarting, psRunning, psEnding };
using TProgressEvent = std::function<void(TObject* Sender, TProgressStage Stage, uint8_t PercentDone,
                                          bool RedrawNow, const TRect& R, const std::string& Msg)>;

class TCanvas;

// Clipboard data blocks (see Clipbrd.h for the clipboard itself).
struct TGlobalMemory {
  std::vector<uint8_t> Bytes;
};
using HGLOBAL = std::shared_ptr<TGlobalMemory>;
inline constexpr uint16_t CF_DIB = 8;
inline constexpr uint16_t CF_PALETTE = 9;

class TGraphic : public TPersistent {
 public:
  TGraphic() = default;
  TGraphic(const TGraphic&) = delete;
  TGraphic& operator=(const TGraphic&) = delete;
  const char* ClassName() const override { return "TGraphic"; }

  int Width() const { return GetWidth(); }
  int Height() const { return GetHeight(); }
  void SetWidth(int Value) { DoSetWidth(Value); }
  void SetHeight(int Value) { DoSetHeight(Value); }
  bool Empty() const { return GetEmpty(); }
  HPALETTE Palette() const { return GetPalette(); }
  void SetPalette(HPALETTE Value) { DoSetPalette(std::move(Value)); }
  bool Transparent() const { return GetTransparent(); }
  void SetTransparent(bool Value) { DoSetTransparent(Value); }

  bool Modified = false;
  bool PaletteModified = false;
  TNotifyEvent OnChange;
  TProgressEvent OnProgress;

  virtual void Draw(TCanvas& Canvas, const TRect& R) = 0;
  virtual void LoadFromStream(TStream& Stream) = 0;
  virtual void SaveToStream(TStream& Stream) = 0;
  // Open the file (read, sharing reads) or create it anew, then LoadFromStream or SaveToStream.
  virtual void LoadFromFile(const std::string& FileName);
  virtual void SaveToFile(const std::string& FileName);
  // Default: EInvalidGraphic "Unsupported clipboard format" / nothing saved.
  virtual void LoadFromClipboardFormat(uint16_t Format, HGLOBAL Data, HPALETTE Palette);
  virtual void SaveToClipboardFormat(uint16_t& Format, HGLOBAL& Data, HPALETTE& Palette);
  // Form-data pair; the default writes and reads the graphic's stream form.
  virtual void ReadData(TStream& Stream) { LoadFromStream(Stream); }
  virtual void WriteData(TStream& Stream) { SaveToStream(Stream); }

  // Sets Modified and fires OnChange with this object as sender.
  virtual void Changed();
  // Fires OnProgress with this object as sender when one is assigned.
  void Progress(TObject* Sender, TProgressStage Stage, uint8_t PercentDone, bool RedrawNow, const TRect& R,
                const std::string& Msg);

 protected:
  virtual int GetWidth() const = 0;
  virtual int GetHeight() const = 0;
  virtual bool GetEmpty() const = 0;
  virtual void DoSetWidth(int Value) = 0;
  virtual void DoSetHeight(int Value) = 0;
  virtual HPALETTE GetPalette() const { return nullptr; }
  virtual void DoSetPalette(HPALETTE) {}
  virtual bool GetTransparent() const { return FTransparent; }
  // Stores the flag and, when it changed, signals Changed.
  virtual void DoSetTransparent(bool Value);

 private:
  bool FTransparent = false;
};

// ---------------------------------------------------------------------------------------------------------------
// The platform bitmap

// Pixel memory in DIB row layout, counted from the top: rows padded to 4 bytes; 1 and 4 bits packed with the
// leftmost pixel in the high bits; 8 bits one index a byte; 15 bits a little-endian word x-R5-G5-B5; 16 bits
// R5-G6-B5; 24 bits B, G, R; 32 bits (pf32bit and pfDevice) B, G, R and an unused fourth byte (0).
struct TBitmapImage {
  int32_t Width = 0;
  int32_t Height = 0;
  TPixelFormat PixelFormat = pfDevice;
  int32_t RowBytes = 0;
  std::vector<uint8_t> Bits;  // Height * RowBytes bytes
  HPALETTE Palette;           // indexed formats: the colours of the indices
};

class TBitmap : public TGraphic {
 public:
  TBitmap();
  ~TBitmap() override;
  const char* ClassName() const override { return "TBitmap"; }

  // TBitmap source: share its image (copy on write). nullptr: drop the image (empty, pfDevice, no palette).
  // Any other graphic: it assigns itself (Source->AssignTo(this)).
  void Assign(TPersistent* Source) override;
  void AssignTo(TPersistent* Dest) override;

  TPixelFormat PixelFormat() const { return FImage->PixelFormat; }
  // Converts the pixels: to 15, 16, 24 and 32 bits exactly (15/16 bits pack the high bits); to an indexed
  // format by the nearest colour of the palette in force (the bitmap's own, when it has entries, cut to the
  // format's size) or else of DefaultPalette. An indexed bitmap widened to another indexed format keeps its
  // indices. pfCustom raises EInvalidGraphic "Invalid pixel format".
  void SetPixelFormat(TPixelFormat Value);
  int BitCount() const { return PixelFormatBitCount(FImage->PixelFormat); }
  // Keeps the pixels at the top-left; new area is white (the palette entry nearest to white when indexed).
  // Pixel memory above 2^31 - 1 bytes raises EOutOfResources "Out of system resources"; a negative size
  // raises EInvalidGraphic "Invalid image size". On failure the bitmap keeps its image.
  void SetSize(int NewWidth, int NewHeight);

  int RowBytes() const { return FImage->RowBytes; }
  // Row Row counted from the top. The writable form unshares the image first.
  uint8_t* ScanLine(int Row);
  const uint8_t* ScanLine(int Row) const;
  // Writable pixel memory for direct work on the whole image (unshares).
  uint8_t* Bits();
  const uint8_t* Bits() const { return FImage->Bits.data(); }

  TBitmapHandleType HandleType = bmDIB;
  TTransparentMode TransparentMode = tmAuto;
  TColor TransparentColor() const { return FTransparentColor; }
  void SetTransparentColor(TColor Value) {
    FTransparentColor = Value;
    TransparentMode = tmFixed;
  }

  // The drawing surface over this bitmap's pixels (unshares before drawing).
  TCanvas& Canvas();

  // Colour of one pixel (0x00BBGGRR), for any format.
  TColor GetPixel(int X, int Y) const;

  // BMP files: the reader accepts the 12-byte core header and the 40-, 108- and 124-byte info headers, 1, 4,
  // 8, 16, 24 and 32 bits, BI_RGB, BI_RLE4, BI_RLE8 and BI_BITFIELDS, top-down and bottom-up rows; the bitmap
  // takes the file's size, pixel format and palette. Anything else, a truncated file or inconsistent sizes
  // raise EInvalidGraphic "Bitmap image is not valid" and the bitmap keeps its image. The writer writes the
  // bitmap uncompressed at its depth with its palette.
  void LoadFromStream(TStream& Stream) override;
  void SaveToStream(TStream& Stream) override;
  // CF_DIB: a packed DIB (info header, colour table, bits).
  void LoadFromClipboardFormat(uint16_t Format, HGLOBAL Data, HPALETTE Palette) override;
  void SaveToClipboardFormat(uint16_t& Format, HGLOBAL& Data, HPALETTE& Palette) override;
  // Stretches the pixels into R of the canvas (nearest pixel).
  void Draw(TCanvas& Canvas, const TRect& R) override;

  // Whether two bitmaps share one image (for tests of the sharing).
  bool SharesImageWith(const TBitmap& Other) const { return FImage == Other.FImage; }
  const TBitmapImage& Image() const { return *FImage; }
  // Installs a complete image (readers build one and swap it in at the end).
  void SetImage(std::shared_ptr<TBitmapImage> Image);

 protected:
  int GetWidth() const override { return FImage->Width; }
  int GetHeight() const override { return FImage->Height; }
  bool GetEmpty() const override { return FImage->Width == 0 || FImage->Height == 0; }
  void DoSetWidth(int Value) override { SetSize(Value, FImage->Height); }
  void DoSetHeight(int Value) override { SetSize(FImage->Width, Value); }
  HPALETTE GetPalette() const override { return FImage->Palette; }
  // Replaces the colour table; indices stay as they are.
  void DoSetPalette(HPALETTE Value) override;

 private:
  friend class TBitmapCanvas;
  void Unshare();
  std::shared_ptr<TBitmapImage> FImage;
  TColor FTransparentColor = clWhite;
  std::unique_ptr<TCanvas> FCanvas;
};

// Makes a blank image of the given size and format (pixels zero, white where FillWhite), with the palette for
// indexed formats (DefaultPalette when none is given). Raises as TBitmap::SetSize does.
std::shared_ptr<TBitmapImage> NewBitmapImage(int Width, int Height, TPixelFormat Format, HPALETTE Palette,
                                             bool FillWhite);

// ---------------------------------------------------------------------------------------------------------------
// The drawing surface

// A writable pixel surface as the canvas sees it. Row 0 is the top row; Stride may be negative (bottom-up
// memory).
struct TSurface {
  int32_t Width = 0;
  int32_t Height = 0;
  int32_t BitCount = 0;                    // 1, 4, 8, 15, 16, 24 or 32
  uint8_t* Top = nullptr;                  // address of the top row
  int64_t Stride = 0;                      // bytes from one row to the next one down
  std::span<const TPaletteEntry> Palette;  // colours of indexed surfaces
  uint8_t* Row(int32_t y) const { return Top + y * Stride; }
};

enum TBrushStyle { bsSolid, bsClear, bsDiagCross };
// The pixels bsDiagCross paints: both diagonal families of an 8 x 8 cell anchored at the surface origin.
inline constexpr bool IsDiagCrossPixel(int64_t X, int64_t Y) {
  return ((X - Y) & 7) == 0 || ((X + Y) & 7) == 7;
}
enum TCopyMode { cmSrcCopy };

struct TPen {
  TColor Color = clBlack;
  int Width = 1;
};
struct TBrush {
  TColor Color = clWhite;
  TBrushStyle Style = bsSolid;
};

// Drawing on a pixel surface. Colours drawn into an indexed surface map to the nearest palette entry.
// Everything is clipped to the surface.
class TCanvas : public TPersistent {
 public:
  TCanvas() = default;
  TCanvas(const TCanvas&) = delete;
  TCanvas& operator=(const TCanvas&) = delete;
  const char* ClassName() const override { return "TCanvas"; }

  TPen Pen;
  TBrush Brush;
  TCopyMode CopyMode = cmSrcCopy;
  TPoint PenPos;

  void MoveTo(int X, int Y);
  // Line from the pen position to (X, Y) with the pen; the end point is not drawn. The pen moves there.
  void LineTo(int X, int Y);
  // Outline with the pen over columns Left..Right-1 and rows Top..Bottom-1; the inside filled with the brush:
  // bsSolid fills, bsClear leaves it, bsDiagCross draws the two diagonal hatch families (8-pixel pattern
  // anchored at the surface origin) in the brush colour and leaves the background between the lines
  // untouched.
  void Rectangle(int Left, int Top, int Right, int Bottom);
  void Rectangle(const TRect& R) { Rectangle(R.Left, R.Top, R.Right, R.Bottom); }
  // Fills R (right and bottom exclusive) with the brush.
  void FillRect(const TRect& R);
  // Plain source copy from Source's SourceRect into Dest of this canvas; stretched (nearest pixel) when the
  // sizes differ. Destination pixels whose source lies outside the source surface are left unchanged.
  void CopyRect(const TRect& Dest, TCanvas& Source, const TRect& SourceRect);
  // The graphic draws itself into R.
  void StretchDraw(const TRect& R, TGraphic& Graphic);
  void Draw(int X, int Y, TGraphic& Graphic);
  TColor Pixel(int X, int Y);
  void SetPixel(int X, int Y, TColor Color);

  // The surface drawn on; an empty surface (no pixels) makes every operation do nothing. Called once per
  // operation, before the pixels are touched.
  virtual TSurface Surface() = 0;
  // Called after an operation changed pixels.
  virtual void Changed() {}
};

// ---------------------------------------------------------------------------------------------------------------
// DIB transfer: the two calls the DIB library needs, and the RLE decoder shared by every reader.

#pragma pack(push, 1)
struct RGBQUAD {
  uint8_t rgbBlue = 0, rgbGreen = 0, rgbRed = 0, rgbReserved = 0;
  bool operator==(const RGBQUAD&) const = default;
};
#pragma pack(pop)

// Fetches all rows of Bitmap into DIB memory laid out by Header (biWidth and biHeight must be the bitmap's; a
// negative biHeight asks for top-down rows; biBitCount 1, 4, 8 or 24, BI_RGB). Pixels are converted as
// TBitmap::SetPixelFormat converts them. For indexed results the colour table Colors (room for 256 entries)
// gets the palette and biClrUsed its entry count (0 when the bitmap has none: the table then holds
// DefaultPalette). Bits must hold |biHeight| * DibRowBytes(biWidth, biBitCount) bytes.
void GetDIBits(const TBitmap& Bitmap, BITMAPINFOHEADER& Header, RGBQUAD* Colors, uint8_t* Bits);

// Draws DIB memory (1, 4, 8 or 24 bits; BI_RGB, BI_RLE4 or BI_RLE8; either row order) onto a canvas: source
// rectangle (SrcX, SrcY, SrcW, SrcH) in picture coordinates from the top, destination (X, Y, W, H), stretched
// by nearest pixel (COLORONCOLOR). Colors holds the colour table (biClrUsed entries, DefaultColorCount when
// 0). Onto an indexed surface whose palette equals the colour table, unstretched, indices are copied as they
// are; otherwise each colour maps to the surface's nearest entry. BitsSize bounds every read of Bits.
void StretchDIBits(TCanvas& Canvas, int X, int Y, int W, int H, int SrcX, int SrcY, int SrcW, int SrcH,
                   const uint8_t* Bits, int64_t BitsSize, const BITMAPINFOHEADER& Header,
                   const RGBQUAD* Colors);

// Result of DecodeRle: Ok, or the rule the data broke.
enum class TRleResult {
  Ok,
  BadEndOfLine,  // an end of line moved past the last row
  BadDelta,      // a delta moved past the width or the last row
  BadAbsolute,   // an absolute run passed the width or the last row
  BadRun,        // an encoded run passed the width or the last row
};
// What DecodeRle does with codes that reach outside the picture: Refuse ends with the rule they broke; Clip
// (as common readers do, for the extra pixel many writers put at the end of odd-width rows) drops the pixels
// that fall outside the rows and goes on, so that it always ends with Ok. Neither writes outside the rows.
enum class TRleOverrun { Refuse, Clip };
// Decodes BI_RLE8 (BitCount 8) or BI_RLE4 (BitCount 4) data into zero-initialised memory of Height rows of
// Stride bytes, row 0 first in memory (the bottom row of a bottom-up picture). Width W is the picture width
// (rounded up to even for 4 bits). Reading stops at an end-of-bitmap code or at the end of the data; running
// out of data is the end of the picture.
TRleResult DecodeRle(std::span<const uint8_t> Data, int BitCount, int Width, int Height, uint8_t* Dest,
                     int64_t Stride, TRleOverrun Overrun = TRleOverrun::Refuse);

// ---------------------------------------------------------------------------------------------------------------
// The picture-format registry: which graphic class opens a file extension (used by the file dialogs'
// preview).

using TGraphicFactory = std::function<std::unique_ptr<TGraphic>()>;
class TPicture {
 public:
  // Extensions are matched without the dot and without regard to case. A later registration of the same
  // extension replaces the earlier one.
  static void RegisterFileFormat(const std::string& Extension, const std::string& Description,
                                 const std::string& ClassName, TGraphicFactory Factory);
  static void RegisterClipboardFormat(uint16_t Format, const std::string& ClassName, TGraphicFactory Factory);
  // Removes every registration of the class.
  static void UnregisterGraphicClass(const std::string& ClassName);
  // A new graphic of the class registered for the extension, or nullptr.
  static std::unique_ptr<TGraphic> CreateForExtension(const std::string& Extension);
  static std::unique_ptr<TGraphic> CreateForClipboardFormat(uint16_t Format);
  struct TFormat {
    std::string Extension, Description, ClassName;
  };
  static std::vector<TFormat> FileFormats();
};
