// The canvas: pen lines, rectangles with the brush, rectangle copies and single pixels on a pixel surface.
#include <algorithm>

#include "Graphics.h"
#include "PixelAccess.h"

namespace {

bool HasPixels(const TSurface& s) {
  return s.Top && s.Width > 0 && s.Height > 0;
}

void PlotPixel(const TSurface& s, int64_t x, int64_t y, uint32_t raw) {
  if (x >= 0 && y >= 0 && x < s.Width && y < s.Height)
    WritePixel(s.Row(static_cast<int32_t>(y)), x, s.BitCount, raw);
}

// Sets the pixels of the rectangle (right and bottom exclusive) clipped to the surface; false when none.
bool FillArea(const TSurface& s, int64_t l, int64_t t, int64_t r, int64_t b, uint32_t raw) {
  l = std::max<int64_t>(l, 0);
  t = std::max<int64_t>(t, 0);
  r = std::min<int64_t>(r, s.Width);
  b = std::min<int64_t>(b, s.Height);
  if (l >= r || t >= b) return false;
  for (int64_t y = t; y < b; ++y) FillPixels(s.Row(static_cast<int32_t>(y)), l, r, s.BitCount, raw);
  return true;
}

// Paints the brush over the rectangle; false when nothing was touched.
bool PaintBrush(const TSurface& s, const TBrush& brush, int64_t l, int64_t t, int64_t r, int64_t b) {
  const uint32_t raw = ColorToPixel(brush.Color, s);
  switch (brush.Style) {
    case bsSolid:
      return FillArea(s, l, t, r, b, raw);
    case bsDiagCross: {
      l = std::max<int64_t>(l, 0);
      t = std::max<int64_t>(t, 0);
      r = std::min<int64_t>(r, s.Width);
      b = std::min<int64_t>(b, s.Height);
      if (l >= r || t >= b) return false;
      // The gaps between the hatch lines stay as they are.
      for (int64_t y = t; y < b; ++y) {
        uint8_t* row = s.Row(static_cast<int32_t>(y));
        for (int64_t x = l; x < r; ++x)
          if (IsDiagCrossPixel(x, y)) WritePixel(row, x, s.BitCount, raw);
      }
      return true;
    }
    default:
      return false;
  }
}

}  // namespace

void TCanvas::MoveTo(int X, int Y) {
  PenPos = {X, Y};
}

void TCanvas::LineTo(int X, int Y) {
  const TSurface s = Surface();
  int64_t x0 = PenPos.X, y0 = PenPos.Y;
  const int64_t x1 = X, y1 = Y;
  PenPos = {X, Y};
  if (!HasPixels(s)) return;
  if (std::max(x0, x1) < 0 || std::max(y0, y1) < 0 || std::min(x0, x1) >= s.Width ||
      std::min(y0, y1) >= s.Height)
    return;
  const uint32_t raw = ColorToPixel(Pen.Color, s);
  bool drawn = false;
  if (y0 == y1) {
    // Horizontal: the end point is left out on whichever side it lies.
    const int64_t l = x0 <= x1 ? x0 : x1 + 1, r = x0 <= x1 ? x1 : x0 + 1;
    drawn = FillArea(s, l, y0, r, y0 + 1, raw);
  } else if (x0 == x1) {
    const int64_t t = y0 <= y1 ? y0 : y1 + 1, b = y0 <= y1 ? y1 : y0 + 1;
    drawn = FillArea(s, x0, t, x0 + 1, b, raw);
  } else {
    const int64_t dx = std::llabs(x1 - x0), dy = -std::llabs(y1 - y0);
    const int64_t sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
    int64_t err = dx + dy;
    while (x0 != x1 || y0 != y1) {
      PlotPixel(s, x0, y0, raw);
      const int64_t e2 = 2 * err;
      if (e2 >= dy) {
        err += dy;
        x0 += sx;
      }
      if (e2 <= dx) {
        err += dx;
        y0 += sy;
      }
    }
    drawn = true;
  }
  if (drawn) Changed();
}

void TCanvas::Rectangle(int Left, int Top, int Right, int Bottom) {
  const TSurface s = Surface();
  if (!HasPixels(s)) return;
  int64_t l = std::min(Left, Right), r = std::max(Left, Right);
  int64_t t = std::min(Top, Bottom), b = std::max(Top, Bottom);
  if (l == r || t == b) return;
  bool drawn = PaintBrush(s, Brush, l + 1, t + 1, r - 1, b - 1);
  const uint32_t pen = ColorToPixel(Pen.Color, s);
  drawn |= FillArea(s, l, t, r, t + 1, pen);
  drawn |= FillArea(s, l, b - 1, r, b, pen);
  drawn |= FillArea(s, l, t + 1, l + 1, b - 1, pen);
  drawn |= FillArea(s, r - 1, t + 1, r, b - 1, pen);
  if (drawn) Changed();
}

void TCanvas::FillRect(const TRect& R) {
  const TSurface s = Surface();
  if (!HasPixels(s)) return;
  if (PaintBrush(s, Brush, R.Left, R.Top, R.Right, R.Bottom)) Changed();
}

void TCanvas::CopyRect(const TRect& Dest, TCanvas& Source, const TRect& SourceRect) {
  const TSurface src = Source.Surface();
  const TSurface dst = Surface();
  if (!HasPixels(dst) || !HasPixels(src)) return;
  if (CopyPixels(dst, Dest, src, SourceRect)) Changed();
}

void TCanvas::StretchDraw(const TRect& R, TGraphic& Graphic) {
  Graphic.Draw(*this, R);
}

void TCanvas::Draw(int X, int Y, TGraphic& Graphic) {
  Graphic.Draw(*this, Rect(X, Y, X + Graphic.Width(), Y + Graphic.Height()));
}

TColor TCanvas::Pixel(int X, int Y) {
  const TSurface s = Surface();
  if (!HasPixels(s) || X < 0 || Y < 0 || X >= s.Width || Y >= s.Height) return -1;
  return RgbToColor(PixelToRgb(ReadPixel(s.Row(Y), X, s.BitCount), s.BitCount, s.Palette));
}

void TCanvas::SetPixel(int X, int Y, TColor Color) {
  const TSurface s = Surface();
  if (!HasPixels(s) || X < 0 || Y < 0 || X >= s.Width || Y >= s.Height) return;
  WritePixel(s.Row(Y), X, s.BitCount, ColorToPixel(Color, s));
  Changed();
}
