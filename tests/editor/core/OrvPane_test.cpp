// The pane pictures: grid lines, the hatched selection and the partial redraws, pixel by pixel.
#include "OrvPane.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "Bitmaps.h"

namespace {

constexpr TColor Red = 0x0000FF;

std::unique_ptr<TBitmap> Filled(int Width, int Height, TColor Color, TPixelFormat Format = pf24bit) {
  auto bitmap = WhiteBitmap(Format, Width, Height);
  for (int y = 0; y < Height; ++y)
    for (int x = 0; x < Width; ++x) bitmap->Canvas().SetPixel(x, y, Color);
  return bitmap;
}

// One string per row: '#' black, 'w' white, 'r' red, '?' anything else.
std::vector<std::string> Rows(const TBitmap& Bitmap) {
  std::vector<std::string> rows;
  for (int y = 0; y < Bitmap.Height(); ++y) {
    std::string row;
    for (int x = 0; x < Bitmap.Width(); ++x) {
      const TColor c = Bitmap.GetPixel(x, y);
      row += c == clBlack ? '#' : c == clWhite ? 'w' : c == Red ? 'r' : '?';
    }
    rows.push_back(row);
  }
  return rows;
}

TEST(OrvPane, GridLinesLieOnTheLastColumnAndRowOfEveryWholeChip) {
  struct Case {
    int ChipWidth, ChipHeight;
    std::vector<std::string> Expected;
  } cases[] = {
      // 7 x 5 pixels: partial chips at the right and bottom get no closing line.
      {3, 2, {"rr#rr#r", "#######", "rr#rr#r", "#######", "rr#rr#r"}},
      {7, 5, {"rrrrrr#", "rrrrrr#", "rrrrrr#", "rrrrrr#", "#######"}},
      {1, 1, {"#######", "#######", "#######", "#######", "#######"}},
      {8, 6, {"rrrrrrr", "rrrrrrr", "rrrrrrr", "rrrrrrr", "rrrrrrr"}},
      {0, 2, {"rrrrrrr", "rrrrrrr", "rrrrrrr", "rrrrrrr", "rrrrrrr"}},
  };
  for (const Case& c : cases) {
    auto source = Filled(7, 5, Red);
    TBitmap view;
    DrawPane(view, *source, c.ChipWidth, c.ChipHeight);
    EXPECT_EQ(Rows(view), c.Expected) << c.ChipWidth << " x " << c.ChipHeight;
    EXPECT_EQ(Rows(*source), Rows(*Filled(7, 5, Red))) << "the grid never reaches the source";
  }
}

TEST(OrvPane, SelectionIsAnOutlineWithAWhiteDiagonalHatchAnchoredAtThePictureOrigin) {
  const std::vector<std::string> inside = {
      "rrrrrrrrrr",  //
      "r########r",  //
      "r#wrrwrr#r",  // x == y and x + y == 7: the 8-pixel pattern counts from (0, 0), not from the rectangle
      "r#rwwrrr#r",  //
      "r#rwwrrr#r",  //
      "r#wrrwrr#r",  //
      "r#rrrrwr#r",  //
      "r#rrrrrw#r",  //
      "r########r",  //
      "rrrrrrrrrr",
  };
  const std::vector<std::string> overTheCorner = {
      "wrr#rrrrrr", "rwr#rrrrrr", "rrw#rrrrrr", "####rrrrrr", "rrrrrrrrrr",
      "rrrrrrrrrr", "rrrrrrrrrr", "rrrrrrrrrr", "rrrrrrrrrr", "rrrrrrrrrr",
  };
  const std::vector<std::string> untouched(10, "rrrrrrrrrr");
  struct Case {
    TRect Selection;
    const std::vector<std::string>& Expected;
  } cases[] = {
      {Rect(1, 1, 9, 9), inside},          {Rect(9, 9, 1, 1), inside},  // corners in either order
      {Rect(-2, -2, 4, 4), overTheCorner}, {Rect(0, 0, 0, 0), untouched}, {Rect(3, 3, 3, 8), untouched},
  };
  for (const Case& c : cases) {
    auto view = Filled(10, 10, Red);
    DrawSelection(*view, c.Selection);
    EXPECT_EQ(Rows(*view), c.Expected) << c.Selection.Left << "," << c.Selection.Top << ","
                                       << c.Selection.Right << "," << c.Selection.Bottom;
  }
}

TEST(OrvPane, FullRedrawDrawsTheSelectionOverTheGrid) {
  auto source = Filled(6, 4, Red);
  TBitmap view;
  const TRect selection = Rect(1, 0, 5, 4);
  DrawPane(view, *source, 3, 3, &selection);
  // Grid columns 2 and 5 and row 2; the outline over columns 1..4; inside, the hatch pixel (2, 2) is white
  // over the grid and the rest is left as the grid drew it.
  EXPECT_EQ(Rows(view), (std::vector<std::string>{"r#####", "r##r##", "##w###", "r#####"}));
}

// Restoring an area brings back the source with its grid there, so a moved selection leaves nothing behind;
// pixels smaller than a byte widen the area to whole bytes.
TEST(OrvPane, RestoredAreaMatchesTheFullRedrawAndIsWidenedToWholeBytes) {
  struct Case {
    TPixelFormat Format;
    TRect Area, Restored;
  } cases[] = {
      {pf1bit, Rect(3, 1, 6, 4), Rect(0, 1, 8, 4)},
      {pf1bit, Rect(9, 1, 10, 4), Rect(8, 1, 10, 4)},  // the last byte holds only two pixels
      {pf4bit, Rect(3, 1, 6, 4), Rect(2, 1, 6, 4)},
      {pf8bit, Rect(3, 1, 6, 4), Rect(3, 1, 6, 4)},
      {pf24bit, Rect(6, 4, 3, 1), Rect(3, 1, 6, 4)},  // corners in either order
      {pf24bit, Rect(-5, -5, 2, 20), Rect(0, 0, 2, 7)},
      {pf24bit, Rect(10, 0, 14, 7), TRect{}},  // wholly outside
  };
  for (const Case& c : cases) {
    auto source = Filled(10, 7, clBlack, c.Format);
    for (int y = 0; y < 7; ++y)
      for (int x = 0; x < 10; ++x)
        if ((x + 2 * y) % 3) source->Canvas().SetPixel(x, y, clWhite);
    TBitmap expected, view;
    DrawPane(expected, *source, 2, 3);
    const TRect selection = c.Area;
    DrawPane(view, *source, 2, 3, &selection);
    EXPECT_EQ(RestoreViewArea(view, *source, 2, 3, c.Area), c.Restored) << PixelFormatName(c.Format);
    EXPECT_EQ(PixelBytes(view), PixelBytes(expected)) << PixelFormatName(c.Format);
  }
}

TEST(OrvPane, PaneAreaIsTheRectangleWithSortedCornersClippedToThePicture) {
  auto view = Filled(10, 7, Red);
  EXPECT_EQ(PaneArea(Rect(5, 6, 2, 1), *view), Rect(2, 1, 5, 6));
  EXPECT_EQ(PaneArea(Rect(-3, -3, 20, 20), *view), Rect(0, 0, 10, 7));
  EXPECT_EQ(PaneArea(Rect(4, 2, 4, 6), *view), TRect{});
  EXPECT_EQ(PaneArea(Rect(10, 0, 12, 7), *view), TRect{});
}

}  // namespace
