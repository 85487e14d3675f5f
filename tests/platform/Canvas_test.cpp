// The canvas on every pixel format: pen lines, rectangles with the hatch brush, CopyRect with clipping and
// stretching, and colours on indexed surfaces.
#include <gtest/gtest.h>

#include <cmath>
#include <set>

#include "Bitmaps.h"
#include "Graphics.h"

namespace {

using Points = std::set<std::pair<int, int>>;

// The pixels of the bitmap that are not white.
Points Marked(const TBitmap& b) {
  Points p;
  for (int y = 0; y < b.Height(); ++y)
    for (int x = 0; x < b.Width(); ++x)
      if (b.GetPixel(x, y) != clWhite) p.insert({x, y});
  return p;
}

class CanvasFormat : public testing::TestWithParam<TPixelFormat> {};

INSTANTIATE_TEST_SUITE_P(AllFormats, CanvasFormat, testing::ValuesIn(kAllPixelFormats),
                         [](const auto& info) { return PixelFormatName(info.param); });

TEST_P(CanvasFormat, StraightLinesLeaveOutTheEndPointAndClip) {
  auto b = WhiteBitmap(GetParam(), 8, 6);
  TCanvas& c = b->Canvas();
  c.Pen.Color = clBlack;
  c.MoveTo(1, 1);
  c.LineTo(4, 1);  // rightwards
  c.LineTo(4, 3);  // downwards
  c.MoveTo(2, 5);
  c.LineTo(0, 5);  // leftwards
  c.MoveTo(-10, 4);
  c.LineTo(100, 4);  // through the whole width
  EXPECT_EQ(c.PenPos.X, 100);
  Points expected = {{1, 1}, {2, 1}, {3, 1}, {4, 1}, {4, 2}, {2, 5}, {1, 5}};
  for (int x = 0; x < 8; ++x) expected.insert({x, 4});
  EXPECT_EQ(Marked(*b), expected);
}

TEST_P(CanvasFormat, SlopedLinesStepOnePixelAtATimeAlongTheIdealLine) {
  const std::pair<TPoint, TPoint> lines[] = {
      {{0, 0}, {7, 3}}, {{7, 0}, {1, 5}}, {{2, 5}, {4, 0}}, {{6, 5}, {0, 0}}, {{0, 0}, {5, 5}}};
  for (const auto& [from, to] : lines) {
    auto b = WhiteBitmap(GetParam(), 8, 6);
    b->Canvas().MoveTo(from.X, from.Y);
    b->Canvas().LineTo(to.X, to.Y);
    const Points p = Marked(*b);
    const int dx = to.X - from.X, dy = to.Y - from.Y;
    EXPECT_EQ(static_cast<int>(p.size()), std::max(std::abs(dx), std::abs(dy)));
    EXPECT_TRUE(p.count({from.X, from.Y}));
    EXPECT_FALSE(p.count({to.X, to.Y}));
    for (const auto& [x, y] : p) {
      // Each pixel lies within half a pixel of the ideal line along the minor axis.
      if (std::abs(dx) >= std::abs(dy))
        EXPECT_LE(std::abs(from.Y + double(dy) * (x - from.X) / dx - y), 0.5);
      else
        EXPECT_LE(std::abs(from.X + double(dx) * (y - from.Y) / dy - x), 0.5);
    }
  }
}

TEST_P(CanvasFormat, RectangleOutlinesWithThePenAndHatchesInside) {
  auto b = WhiteBitmap(GetParam(), 20, 12);
  TCanvas& c = b->Canvas();
  c.Pen.Color = clBlack;
  c.Brush.Color = clBlack;
  c.Brush.Style = bsDiagCross;
  c.Rectangle(2, 1, 18, 11);
  Points expected;
  for (int y = 1; y < 11; ++y)
    for (int x = 2; x < 18; ++x) {
      const bool edge = x == 2 || x == 17 || y == 1 || y == 10;
      const bool hatch = (x - y) % 8 == 0 || (x + y) % 8 == 7;
      if (edge || hatch) expected.insert({x, y});
    }
  EXPECT_EQ(Marked(*b), expected);
}

TEST_P(CanvasFormat, HatchLeavesTheBackgroundBetweenItsLines) {
  auto b = WhiteBitmap(GetParam(), 8, 8);
  TCanvas& c = b->Canvas();
  c.Brush.Color = clBlack;
  c.FillRect(Rect(0, 0, 8, 8));  // black background
  c.Brush.Color = clWhite;
  c.Brush.Style = bsDiagCross;
  c.FillRect(Rect(0, 0, 8, 8));
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x)
      EXPECT_EQ(b->GetPixel(x, y), (x - y) % 8 == 0 || (x + y) == 7 ? clWhite : clBlack) << x << "," << y;
}

TEST_P(CanvasFormat, SolidAndClearBrushes) {
  auto b = WhiteBitmap(GetParam(), 6, 5);
  TCanvas& c = b->Canvas();
  c.Brush.Color = clBlack;
  c.Rectangle(4, 4, 0, 0);  // corners in any order
  EXPECT_EQ(Marked(*b).size(), 16u);
  c.Brush.Color = clWhite;
  c.Brush.Style = bsClear;
  c.Rectangle(0, 0, 4, 4);  // outline only: the black inside stays
  c.FillRect(Rect(0, 0, 6, 5));
  EXPECT_EQ(Marked(*b).size(), 16u);
  c.Brush.Style = bsSolid;
  c.FillRect(Rect(-3, -3, 2, 2));
  EXPECT_EQ(Marked(*b).size(), 12u);
}

TEST_P(CanvasFormat, CopyRectClipsToBothSurfaces) {
  auto src = WhiteBitmap(GetParam(), 4, 4);
  src->Canvas().Brush.Color = clBlack;
  src->Canvas().FillRect(Rect(0, 0, 4, 4));
  auto dst = WhiteBitmap(GetParam(), 6, 6);
  // Source rectangle half outside the source: only the part inside is copied.
  dst->Canvas().CopyRect(Rect(0, 0, 4, 4), src->Canvas(), Rect(2, 2, 6, 6));
  EXPECT_EQ(Marked(*dst), (Points{{0, 0}, {1, 0}, {0, 1}, {1, 1}}));
  // Destination partly outside the destination: the rest is dropped.
  dst->Canvas().CopyRect(Rect(4, 5, 8, 9), src->Canvas(), Rect(0, 0, 4, 4));
  EXPECT_EQ(Marked(*dst), (Points{{0, 0}, {1, 0}, {0, 1}, {1, 1}, {4, 5}, {5, 5}}));
}

TEST_P(CanvasFormat, CopyRectStretchesByNearestPixel) {
  auto src = WhiteBitmap(GetParam(), 2, 2);
  src->Canvas().SetPixel(0, 0, clBlack);
  src->Canvas().SetPixel(1, 1, clBlack);
  auto dst = WhiteBitmap(GetParam(), 4, 4);
  dst->Canvas().CopyRect(Rect(0, 0, 4, 4), src->Canvas(), Rect(0, 0, 2, 2));
  EXPECT_EQ(Marked(*dst), (Points{{0, 0}, {1, 0}, {0, 1}, {1, 1}, {2, 2}, {3, 2}, {2, 3}, {3, 3}}));
  // Shrinking takes the pixel under each destination pixel's centre; a reversed rectangle mirrors.
  auto small = WhiteBitmap(GetParam(), 2, 1);
  small->Canvas().CopyRect(Rect(0, 0, 1, 1), dst->Canvas(), Rect(0, 0, 4, 4));
  EXPECT_EQ(small->GetPixel(0, 0), clBlack);
  small->Canvas().CopyRect(Rect(2, 0, 0, 1), src->Canvas(), Rect(0, 0, 2, 1));
  EXPECT_EQ(Marked(*small), (Points{{1, 0}}));
}

TEST(Canvas, CopyRectIntoIndexedTakesTheNearestEntry) {
  auto src = WhiteBitmap(pf24bit, 3, 1);
  src->Canvas().SetPixel(0, 0, RGB(10, 240, 20));
  src->Canvas().SetPixel(1, 0, RGB(100, 100, 100));
  auto dst = WhiteBitmap(pf8bit, 3, 1);
  dst->SetPalette(MakePalette({clBlack, RGB(0, 255, 0), RGB(128, 128, 128), clWhite}));
  dst->Canvas().CopyRect(Rect(0, 0, 3, 1), src->Canvas(), Rect(0, 0, 3, 1));
  EXPECT_EQ(std::vector<uint8_t>(dst->ScanLine(0), dst->ScanLine(0) + 3), (std::vector<uint8_t>{1, 2, 3}));
}

TEST(Canvas, IdenticalPalettesCopyIndices) {
  // Entries 0 and 1 are the same colour: only copying the index keeps pixel 1 at index 1.
  const HPALETTE palette = MakePalette({RGB(9, 9, 9), RGB(9, 9, 9), clWhite});
  auto src = WhiteBitmap(pf8bit, 2, 1);
  src->SetPalette(palette);
  src->ScanLine(0)[0] = 0;
  src->ScanLine(0)[1] = 1;
  auto dst = WhiteBitmap(pf4bit, 2, 1);
  dst->SetPalette(palette);
  dst->Canvas().CopyRect(Rect(0, 0, 2, 1), src->Canvas(), Rect(0, 0, 2, 1));
  EXPECT_EQ(dst->ScanLine(0)[0], 0x01);
  // A different palette maps by colour: both pixels take the first of the equal entries.
  auto other = WhiteBitmap(pf8bit, 2, 1);
  other->SetPalette(MakePalette({clWhite, RGB(9, 9, 9), RGB(9, 9, 9)}));
  other->Canvas().CopyRect(Rect(0, 0, 2, 1), src->Canvas(), Rect(0, 0, 2, 1));
  EXPECT_EQ(other->ScanLine(0)[0], 1);
  EXPECT_EQ(other->ScanLine(0)[1], 1);
}

TEST(Canvas, CopyRectWithinOneBitmapCopiesThePixelsAsTheyWere) {
  for (TPixelFormat format : {pf4bit, pf8bit, pf24bit}) {
    auto b = WhiteBitmap(format, 8, 1);
    b->SetPalette(DefaultPalette(8));
    for (int x = 0; x < 8; ++x) b->Canvas().SetPixel(x, 0, PaletteIndexColor(x));
    const std::vector<TColor> before = PixelColors(*b);
    b->Canvas().CopyRect(Rect(2, 0, 8, 1), b->Canvas(), Rect(0, 0, 6, 1));
    const std::vector<TColor> after = PixelColors(*b);
    EXPECT_EQ(after, (std::vector<TColor>{before[0], before[1], before[0], before[1], before[2], before[3],
                                          before[4], before[5]}))
        << PixelFormatName(format);
  }
}

TEST(Canvas, ColoursOnIndexedSurfaces) {
  auto b = WhiteBitmap(pf8bit, 2, 1);
  b->SetPalette(MakePalette({clBlack, RGB(200, 0, 0), clWhite}));
  TCanvas& c = b->Canvas();
  c.SetPixel(0, 0, RGB(180, 30, 30));
  EXPECT_EQ(b->ScanLine(0)[0], 1);
  c.SetPixel(1, 0, PaletteIndexColor(2));
  EXPECT_EQ(b->ScanLine(0)[1], 2);
  EXPECT_EQ(c.Pixel(0, 0), RGB(200, 0, 0));
  EXPECT_EQ(c.Pixel(5, 0), -1);
  // A palette index on a true-colour bitmap stands for the bitmap's palette entry.
  auto t = WhiteBitmap(pf24bit, 1, 1);
  t->SetPalette(MakePalette({clBlack, RGB(1, 2, 3)}));
  t->Canvas().SetPixel(0, 0, PaletteIndexColor(1));
  EXPECT_EQ(t->GetPixel(0, 0), RGB(1, 2, 3));
}

TEST(Canvas, DrawingSignalsChangesOnlyWhenPixelsChange) {
  auto b = WhiteBitmap(pf24bit, 4, 4);
  int changes = 0;
  b->OnChange = [&](TObject*) { ++changes; };
  TCanvas& c = b->Canvas();
  c.MoveTo(-5, -5);
  c.LineTo(-1, -9);
  c.FillRect(Rect(10, 10, 20, 20));
  c.SetPixel(4, 0, clBlack);
  EXPECT_EQ(changes, 0);
  c.LineTo(2, 2);
  c.FillRect(Rect(0, 0, 1, 1));
  EXPECT_EQ(changes, 2);
}

TEST(Canvas, EmptyBitmapDrawsNothing) {
  TBitmap b;
  TCanvas& c = b.Canvas();
  c.Rectangle(0, 0, 5, 5);
  c.LineTo(5, 5);
  c.FillRect(Rect(0, 0, 3, 3));
  auto src = WhiteBitmap(pf8bit, 2, 2);
  c.CopyRect(Rect(0, 0, 2, 2), src->Canvas(), Rect(0, 0, 2, 2));
  src->Canvas().CopyRect(Rect(0, 0, 2, 2), c, Rect(0, 0, 2, 2));
  EXPECT_TRUE(b.Empty());
  EXPECT_EQ(PixelColors(*src), std::vector<TColor>(4, clWhite));
}

}  // namespace
