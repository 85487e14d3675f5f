#include "OrvZoom.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>

#include "AlphaPlane.h"
#include "OrvPane.h"
#include "PixelRows.h"
#include "SysUtils.h"

namespace {

constexpr std::array<int32_t, 8> ZoomSteps = {1, 2, 3, 4, 6, 8, 12, 16};

int32_t HeldToInt32(int64_t V) {
  return static_cast<int32_t>(
      std::clamp<int64_t>(V, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}

// A device position the window system computed as a whole device pixel divided by the ratio comes back a
// hair off that pixel; within a millionth it counts as the pixel itself.
double Snapped(double V) {
  const double nearest = std::round(V);
  return std::abs(V - nearest) < 1e-6 ? nearest : V;
}

// Rounded down or up to a whole number, held well inside the 64-bit range.
int64_t Floor64(double V) {
  return static_cast<int64_t>(std::clamp(std::floor(Snapped(V)), -0x1p62, 0x1p62));
}
int64_t Ceil64(double V) {
  return static_cast<int64_t>(std::clamp(std::ceil(Snapped(V)), -0x1p62, 0x1p62));
}

int64_t FloorDiv(int64_t A, int64_t B) {
  const int64_t q = A / B;
  return (A % B != 0 && (A < 0) != (B < 0)) ? q - 1 : q;
}

uint32_t Word(TRgb C) {
  return 0xFF000000u | (uint32_t{C.R} << 16) | (uint32_t{C.G} << 8) | C.B;
}

bool IsLight(uint32_t Word) {
  const uint32_t r = (Word >> 16) & 0xFF, g = (Word >> 8) & 0xFF, b = Word & 0xFF;
  return r * 299 + g * 587 + b * 114 >= 128 * 1000;
}

// The colours a pane draws in and the picture's pixels as words.
class TPaneColors {
 public:
  TPaneColors(const TBitmap& Image, bool WithAlpha, const TGridColor& Grid)
      : FBits(PixelFormatFacts(Image.PixelFormat()).LayoutBits), FGrid(Grid) {
    FPalette = Image.Palette();
    if (IsIndexedBitCount(FBits) && PaletteSize(FPalette) == 0) FPalette = DefaultPalette(FBits);
    if (FPalette) FEntries = FPalette->Entries;
    // An opaque picture's lines take the colours a copy of it in its own format can hold, as on the
    // unzoomed copy; a picture with alpha is drawn at 24 bits, which hold every colour.
    const int lineBits = WithAlpha ? 24 : FBits;
    FBlack = Shown(clBlack, lineBits);
    FWhite = Shown(clWhite, lineBits);
    FFixedGrid = Shown(Grid.Color, lineBits);
    if (IsIndexedBitCount(FBits))
      for (size_t i = 0; i < FLookup.size(); ++i)
        FLookup[i] = Word(PixelToRgb(static_cast<uint32_t>(i), FBits, FEntries));
  }

  uint32_t Black() const { return FBlack; }
  uint32_t White() const { return FWhite; }
  uint32_t Grid(uint32_t Under) const {
    if (!FGrid.Automatic) return FFixedGrid;
    return IsLight(Under) ? FBlack : FWhite;
  }

  // Picture pixels X0..X1-1 of a row as words.
  void ReadRow(const uint8_t* Row, int64_t X0, int64_t X1, uint32_t* Out) const {
    switch (FBits) {
      case 32:
        for (int64_t x = X0; x < X1; ++x) {
          const uint8_t* p = Row + 4 * x;
          *Out++ = 0xFF000000u | (uint32_t{p[2]} << 16) | (uint32_t{p[1]} << 8) | p[0];
        }
        break;
      case 24:
        for (int64_t x = X0; x < X1; ++x) {
          const uint8_t* p = Row + 3 * x;
          *Out++ = 0xFF000000u | (uint32_t{p[2]} << 16) | (uint32_t{p[1]} << 8) | p[0];
        }
        break;
      case 1:
      case 4:
      case 8:
        for (int64_t x = X0; x < X1; ++x) *Out++ = FLookup[ReadPixel(Row, x, FBits) & 0xFF];
        break;
      default:
        for (int64_t x = X0; x < X1; ++x)
          *Out++ = Word(PixelToRgb(ReadPixel(Row, x, FBits), FBits, FEntries));
        break;
    }
  }

  // The same over the checkerboard by the alpha plane's row Cover; Y is the picture row.
  void ReadRowOverCheckerboard(const uint8_t* Row, const uint8_t* Cover, int64_t X0, int64_t X1, int64_t Y,
                               uint32_t* Out) const {
    for (int64_t x = X0; x < X1; ++x)
      *Out++ = Word(OverCheckerboard(PixelToRgb(ReadPixel(Row, x, FBits), FBits, FEntries), Cover[x], x, Y));
  }

 private:
  // A colour as a copy in a format of Bits per pixel with this picture's palette shows it.
  uint32_t Shown(TColor Color, int Bits) const {
    const TRgb c = ColorToRgb(Color);
    if (IsIndexedBitCount(Bits)) {
      const int index = NearestPaletteEntry(FEntries, c.R, c.G, c.B);
      return Word(index < 0 ? TRgb{} : PixelToRgb(static_cast<uint32_t>(index), Bits, FEntries));
    }
    return Word(PixelToRgb(RgbToTrueColorPixel(c, Bits), Bits, {}));
  }

  int FBits;
  TGridColor FGrid;
  HPALETTE FPalette;
  std::span<const TPaletteEntry> FEntries;
  uint32_t FBlack = 0, FWhite = 0, FFixedGrid = 0;
  std::array<uint32_t, 256> FLookup{};
};

// A rectangle in 64-bit device coordinates, right and bottom exclusive.
struct TDeviceRect {
  int64_t Left = 0, Top = 0, Right = 0, Bottom = 0;
  TDeviceRect Intersect(const TDeviceRect& O) const {
    return {std::max(Left, O.Left), std::max(Top, O.Top), std::min(Right, O.Right),
            std::min(Bottom, O.Bottom)};
  }
  bool Empty() const { return Right <= Left || Bottom <= Top; }
};

void Fill(const TPaneRaster& Raster, const TDeviceRect& R, uint32_t Word) {
  if (R.Empty()) return;
  for (int64_t y = R.Top; y < R.Bottom; ++y) {
    uint32_t* row = Raster.Row(static_cast<int32_t>(y));
    std::fill(row + (R.Left - Raster.Area.Left), row + (R.Right - Raster.Area.Left), Word);
  }
}

// The selection as the canvas's Rectangle draws it with a black pen and a white diagonal-cross brush, in
// device pixels: the outline on the outer device pixels, the hatch inside, clipped to Clip.
void DrawSelection(const TPaneRaster& Raster, const TRect& Selection, const TDeviceRect& Clip,
                   const TPaneColors& Colors) {
  const int64_t s = Raster.Scale;
  const TDeviceRect r{int64_t{std::min(Selection.Left, Selection.Right)} * s,
                      int64_t{std::min(Selection.Top, Selection.Bottom)} * s,
                      int64_t{std::max(Selection.Left, Selection.Right)} * s,
                      int64_t{std::max(Selection.Top, Selection.Bottom)} * s};
  if (r.Empty()) return;
  const TDeviceRect inside = TDeviceRect{r.Left + 1, r.Top + 1, r.Right - 1, r.Bottom - 1}.Intersect(Clip);
  if (!inside.Empty()) {
    const uint32_t white = Colors.White();
    for (int64_t y = inside.Top; y < inside.Bottom; ++y) {
      uint32_t* row = Raster.Row(static_cast<int32_t>(y));
      for (int64_t x = inside.Left; x < inside.Right; ++x)
        if (IsDiagCrossPixel(x, y)) row[x - Raster.Area.Left] = white;
    }
  }
  const uint32_t black = Colors.Black();
  Fill(Raster, TDeviceRect{r.Left, r.Top, r.Right, r.Top + 1}.Intersect(Clip), black);
  Fill(Raster, TDeviceRect{r.Left, r.Bottom - 1, r.Right, r.Bottom}.Intersect(Clip), black);
  Fill(Raster, TDeviceRect{r.Left, r.Top + 1, r.Left + 1, r.Bottom - 1}.Intersect(Clip), black);
  Fill(Raster, TDeviceRect{r.Right - 1, r.Top + 1, r.Right, r.Bottom - 1}.Intersect(Clip), black);
}

}  // namespace

int32_t StepZoom(int32_t Zoom, int Steps) {
  int32_t zoom = std::clamp(Zoom, MinZoom, MaxZoom);
  for (; Steps > 0; --Steps) {
    const auto next = std::upper_bound(ZoomSteps.begin(), ZoomSteps.end(), zoom);
    zoom = next == ZoomSteps.end() ? MaxZoom : *next;
  }
  for (; Steps < 0; ++Steps) {
    const auto below = std::lower_bound(ZoomSteps.begin(), ZoomSteps.end(), zoom);
    zoom = below == ZoomSteps.begin() ? MinZoom : *(below - 1);
  }
  return zoom;
}

int32_t DeviceScale(int32_t Zoom, double DevicePixelRatio) {
  const double ratio = std::isfinite(DevicePixelRatio) && DevicePixelRatio > 0 ? DevicePixelRatio : 1.0;
  const double scale = std::round(std::clamp(Zoom, MinZoom, MaxZoom) * std::min(ratio, 64.0));
  return std::max(1, static_cast<int32_t>(scale));
}

TPoint TPaneGeometry::ViewToImage(double X, double Y) const {
  return {HeldToInt32(FloorDiv(Floor64(X * Ratio), Scale)), HeldToInt32(FloorDiv(Floor64(Y * Ratio), Scale))};
}

TRect TPaneGeometry::ImageToDevice(const TRect& R) const {
  return Rect(HeldToInt32(int64_t{R.Left} * Scale), HeldToInt32(int64_t{R.Top} * Scale),
              HeldToInt32(int64_t{R.Right} * Scale), HeldToInt32(int64_t{R.Bottom} * Scale));
}

TRect TPaneGeometry::ViewToDevice(const TRect& R) const {
  return Rect(HeldToInt32(Floor64(R.Left * Ratio)), HeldToInt32(Floor64(R.Top * Ratio)),
              HeldToInt32(Ceil64(R.Right * Ratio)), HeldToInt32(Ceil64(R.Bottom * Ratio)));
}

TRect TPaneGeometry::DeviceToView(const TRect& R) const {
  return Rect(HeldToInt32(Floor64(R.Left / Ratio)), HeldToInt32(Floor64(R.Top / Ratio)),
              HeldToInt32(Ceil64(R.Right / Ratio)), HeldToInt32(Ceil64(R.Bottom / Ratio)));
}

int64_t TPaneGeometry::ViewLength(int64_t Length) const {
  return Ceil64(static_cast<double>(Length) * Scale / Ratio);
}

TPaneContent PaneOf(const TBitmap* Image, const TBitmap* Alpha, int32_t ChipWidth, int32_t ChipHeight,
                    std::optional<TRect> Selection, TGridColor Grid) {
  TPaneContent pane;
  pane.Image = Image;
  pane.Alpha = Alpha;
  pane.ChipWidth = ChipWidth;
  pane.ChipHeight = ChipHeight;
  pane.Selection = Selection;
  pane.Grid = Grid;
  return pane;
}

void RenderPane(const TPaneContent& Pane, const TPaneRaster& Raster, TColor Background) {
  const TRect& area = Raster.Area;
  const int64_t width = area.Width(), height = area.Height();
  if (width <= 0 || height <= 0) return;
  if (Raster.Scale < 1 || Raster.Stride < width ||
      static_cast<int64_t>(Raster.Pixels.size()) < (height - 1) * Raster.Stride + width)
    throw EInvalidGraphic("Invalid pane raster");
  const uint32_t background = Word(ColorToRgb(Background));
  const TDeviceRect whole{area.Left, area.Top, area.Right, area.Bottom};
  const TBitmap* image = Pane.Image && !Pane.Image->Empty() ? Pane.Image : nullptr;
  if (!image) {
    Fill(Raster, whole, background);
    return;
  }

  const int64_t s = Raster.Scale;
  const bool withAlpha = Pane.Alpha && IsAlphaPlaneOf(*Pane.Alpha, *image);
  const TPaneColors colors(*image, withAlpha, Pane.Grid);
  const TDeviceRect picture =
      TDeviceRect{0, 0, int64_t{image->Width()} * s, int64_t{image->Height()} * s}.Intersect(whole);

  // The area's rows hold background, the picture's columns and background again.
  std::vector<uint32_t> plain(static_cast<size_t>(width), background);
  std::vector<uint32_t> lined;
  std::vector<uint32_t> pixels;
  std::vector<int64_t> gridColumns;  // offsets in the row
  const int64_t firstPixel = picture.Empty() ? 0 : picture.Left / s;
  const int64_t endPixel = picture.Empty() ? 0 : (picture.Right + s - 1) / s;
  if (!picture.Empty()) {
    pixels.resize(static_cast<size_t>(endPixel - firstPixel));
    for (int64_t px = firstPixel; px < endPixel; ++px) {
      const int64_t x = (px + 1) * s - 1;
      if (IsChipGridLine(px, Pane.ChipWidth, image->Width()) && x >= picture.Left && x < picture.Right)
        gridColumns.push_back(x - area.Left);
    }
  }
  Fill(Raster, TDeviceRect{area.Left, area.Top, area.Right, picture.Empty() ? area.Bottom : picture.Top},
       background);
  const int64_t pictureOffset = picture.Left - area.Left, pictureWidth = picture.Right - picture.Left;
  for (int64_t py = picture.Top / s; !picture.Empty() && py * s < picture.Bottom; ++py) {
    const uint8_t* row = image->ScanLine(static_cast<int>(py));
    if (withAlpha)
      colors.ReadRowOverCheckerboard(row, Pane.Alpha->ScanLine(static_cast<int>(py)), firstPixel, endPixel,
                                     py, pixels.data());
    else
      colors.ReadRow(row, firstPixel, endPixel, pixels.data());
    // Each picture pixel covers s device columns.
    for (int64_t x = picture.Left; x < picture.Right;) {
      const int64_t end = std::min(picture.Right, (x / s + 1) * s);
      std::fill(plain.begin() + (x - area.Left), plain.begin() + (end - area.Left),
                pixels[static_cast<size_t>(x / s - firstPixel)]);
      x = end;
    }
    lined = plain;
    for (const int64_t column : gridColumns) lined[static_cast<size_t>(column)] = colors.Grid(plain[column]);
    const bool gridRow = IsChipGridLine(py, Pane.ChipHeight, image->Height());
    const int64_t rowEnd = std::min(picture.Bottom, (py + 1) * s);
    for (int64_t y = std::max(picture.Top, py * s); y < rowEnd; ++y) {
      uint32_t* out = Raster.Row(static_cast<int32_t>(y));
      if (gridRow && y == (py + 1) * s - 1) {
        std::copy(plain.begin(), plain.end(), out);
        for (int64_t x = pictureOffset; x < pictureOffset + pictureWidth; ++x) out[x] = colors.Grid(plain[x]);
      } else {
        std::copy(lined.begin(), lined.end(), out);
      }
    }
  }
  if (!picture.Empty())
    Fill(Raster, TDeviceRect{area.Left, picture.Bottom, area.Right, area.Bottom}, background);

  if (Pane.Selection && !picture.Empty()) DrawSelection(Raster, *Pane.Selection, picture, colors);
  for (const auto& overlay : Pane.Overlays)
    if (overlay) overlay->Draw(Pane, Raster);
}

uint32_t MarkedPixel(uint32_t Under) {
  const uint32_t mark = Word(ColorToRgb(ChipMarkColor));
  uint32_t out = 0xFF000000u;
  for (const int shift : {16, 8, 0}) {
    const uint32_t under = (Under >> shift) & 0xFF, over = (mark >> shift) & 0xFF;
    out |= ((under * (256 - ChipMarkTint) + over * ChipMarkTint) >> 8) << shift;
  }
  return out;
}

void TChipMarks::Draw(const TPaneContent& Pane, const TPaneRaster& Raster) const {
  if (Pane.ChipWidth < 1 || Pane.ChipHeight < 1 || Raster.Area.Width() <= 0 || Raster.Area.Height() <= 0)
    return;
  const int64_t s = Raster.Scale;
  const int64_t chipWidth = Pane.ChipWidth * s, chipHeight = Pane.ChipHeight * s;
  const TDeviceRect area{Raster.Area.Left, Raster.Area.Top, Raster.Area.Right, Raster.Area.Bottom};
  const int64_t firstColumn = std::max<int64_t>(FloorDiv(area.Left, chipWidth), 0);
  const int64_t endColumn = std::min<int64_t>(FloorDiv(area.Right - 1, chipWidth) + 1, Columns);
  const int64_t firstRow = std::max<int64_t>(FloorDiv(area.Top, chipHeight), 0);
  const int64_t endRow = std::min<int64_t>(FloorDiv(area.Bottom - 1, chipHeight) + 1, Rows);
  const uint32_t mark = Word(ColorToRgb(ChipMarkColor));
  for (int64_t row = firstRow; row < endRow; ++row)
    for (int64_t column = firstColumn; column < endColumn; ++column) {
      if (!IsMarked(static_cast<int32_t>(column), static_cast<int32_t>(row))) continue;
      const TDeviceRect chip{column * chipWidth, row * chipHeight, (column + 1) * chipWidth,
                             (row + 1) * chipHeight};
      const TDeviceRect shown = chip.Intersect(area);
      for (int64_t y = shown.Top; y < shown.Bottom; ++y) {
        uint32_t* row = Raster.Row(static_cast<int32_t>(y));
        const bool edgeRow = y == chip.Top || y == chip.Bottom - 1;
        for (int64_t x = shown.Left; x < shown.Right; ++x) {
          uint32_t& out = row[x - Raster.Area.Left];
          out = edgeRow || x == chip.Left || x == chip.Right - 1 ? mark : MarkedPixel(out);
        }
      }
    }
}
