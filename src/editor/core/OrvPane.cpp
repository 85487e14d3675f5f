#include "OrvPane.h"

#include <algorithm>
#include <cstring>

#include "AlphaPlane.h"

namespace {

TRect Normalized(const TRect& R) {
  return Rect(std::min(R.Left, R.Right), std::min(R.Top, R.Bottom), std::max(R.Left, R.Right),
              std::max(R.Top, R.Bottom));
}

TRect ClippedTo(const TRect& R, const TBitmap& Bitmap) {
  const TRect c = Rect(std::max(R.Left, 0), std::max(R.Top, 0), std::min(R.Right, Bitmap.Width()),
                       std::min(R.Bottom, Bitmap.Height()));
  return c.Right > c.Left && c.Bottom > c.Top ? c : TRect{};
}

}  // namespace

void DrawChipGrid(TBitmap& View, int32_t ChipWidth, int32_t ChipHeight, const TRect& Area) {
  const TRect area = ClippedTo(Area, View);
  if (area.Right <= area.Left || ChipWidth < 1 || ChipHeight < 1) return;
  TCanvas& canvas = View.Canvas();
  canvas.Pen.Color = clBlack;
  canvas.Pen.Width = 1;
  // Lines at i * chip - 1 for i = 1 .. size div chip, of which those inside the area.
  const int64_t firstColumn = (int64_t{area.Left} + ChipWidth) / ChipWidth;
  const int64_t lastColumn = std::min<int64_t>(View.Width() / ChipWidth, area.Right / ChipWidth);
  for (int64_t i = firstColumn; i <= lastColumn; ++i) {
    const int x = static_cast<int>(i * ChipWidth - 1);
    canvas.MoveTo(x, area.Top);
    canvas.LineTo(x, area.Bottom);
  }
  const int64_t firstRow = (int64_t{area.Top} + ChipHeight) / ChipHeight;
  const int64_t lastRow = std::min<int64_t>(View.Height() / ChipHeight, area.Bottom / ChipHeight);
  for (int64_t j = firstRow; j <= lastRow; ++j) {
    const int y = static_cast<int>(j * ChipHeight - 1);
    canvas.MoveTo(area.Left, y);
    canvas.LineTo(area.Right, y);
  }
}

void DrawSelection(TBitmap& View, const TRect& Selection) {
  TCanvas& canvas = View.Canvas();
  canvas.Pen.Color = clBlack;
  canvas.Pen.Width = 1;
  canvas.Brush.Color = clWhite;
  canvas.Brush.Style = bsDiagCross;
  canvas.Rectangle(Selection);
}

void DrawPane(TBitmap& View, TBitmap& Source, int32_t ChipWidth, int32_t ChipHeight, const TRect* Selection) {
  View.Assign(&Source);
  DrawChipGrid(View, ChipWidth, ChipHeight, Rect(0, 0, View.Width(), View.Height()));
  if (Selection) DrawSelection(View, *Selection);
}

TRect RestoreViewArea(TBitmap& View, const TBitmap& Source, int32_t ChipWidth, int32_t ChipHeight,
                      const TRect& Area) {
  TRect area = PaneArea(Area, View);
  if (area.Right <= area.Left) return {};
  const int bits = View.BitCount();
  if (bits < 8) {
    const int perByte = 8 / bits;
    area.Left -= area.Left % perByte;
    area.Right = std::min(View.Width(), (area.Right + perByte - 1) / perByte * perByte);
  }
  const int64_t offset = int64_t{area.Left} * bits / 8;
  const int64_t bytes = (int64_t{area.Width()} * bits + 7) / 8;
  for (int y = area.Top; y < area.Bottom; ++y)
    std::memcpy(View.ScanLine(y) + offset, Source.ScanLine(y) + offset, static_cast<size_t>(bytes));
  DrawChipGrid(View, ChipWidth, ChipHeight, area);
  return area;
}

TRect PaneArea(const TRect& R, const TBitmap& View) {
  return ClippedTo(Normalized(R), View);
}

void DrawOverCheckerboard(TBitmap& View, const TBitmap& Source, const TBitmap& Alpha, const TRect& Area) {
  const TRect area = PaneArea(Area, View);
  const int bits = PixelFormatFacts(Source.PixelFormat()).LayoutBits;  // 5-5-5 and 5-6-5 words apart
  const HPALETTE palette = Source.Palette();
  const std::span<const TPaletteEntry> entries =
      palette ? std::span<const TPaletteEntry>(palette->Entries) : std::span<const TPaletteEntry>();
  for (int y = area.Top; y < area.Bottom; ++y) {
    const uint8_t* source = Source.ScanLine(y);
    const uint8_t* cover = Alpha.ScanLine(y);
    uint8_t* out = View.ScanLine(y);
    for (int x = area.Left; x < area.Right; ++x) {
      const TRgb c = OverCheckerboard(PixelToRgb(ReadPixel(source, x, bits), bits, entries), cover[x], x, y);
      uint8_t* p = out + 3 * x;
      p[0] = c.B;
      p[1] = c.G;
      p[2] = c.R;
    }
  }
}

void DrawPaneWithAlpha(TBitmap& View, TBitmap& Source, const TBitmap& Alpha, int32_t ChipWidth,
                       int32_t ChipHeight, const TRect* Selection) {
  if (!IsAlphaPlaneOf(Alpha, Source)) {
    DrawPane(View, Source, ChipWidth, ChipHeight, Selection);
    return;
  }
  View.SetImage(NewBitmapImage(Source.Width(), Source.Height(), pf24bit, nullptr, false));
  DrawOverCheckerboard(View, Source, Alpha, Rect(0, 0, View.Width(), View.Height()));
  DrawChipGrid(View, ChipWidth, ChipHeight, Rect(0, 0, View.Width(), View.Height()));
  if (Selection) DrawSelection(View, *Selection);
}

TRect RestoreViewAreaWithAlpha(TBitmap& View, const TBitmap& Source, const TBitmap& Alpha, int32_t ChipWidth,
                               int32_t ChipHeight, const TRect& Area) {
  if (!IsAlphaPlaneOf(Alpha, Source) || View.BitCount() != 24 || View.Width() != Source.Width() ||
      View.Height() != Source.Height())
    return RestoreViewArea(View, Source, ChipWidth, ChipHeight, Area);
  const TRect area = PaneArea(Area, View);
  if (area.Right <= area.Left) return {};
  DrawOverCheckerboard(View, Source, Alpha, area);
  DrawChipGrid(View, ChipWidth, ChipHeight, area);
  return area;
}
