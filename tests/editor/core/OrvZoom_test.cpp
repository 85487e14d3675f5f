// The zoomed panes: view positions to picture pixels, and rendered device regions against a pixel-by-pixel
// model of the zoomed drawing and against the unzoomed drawing.
#include "OrvZoom.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "AlphaPlane.h"
#include "Bitmaps.h"
#include "ExpectRaises.h"
#include "OrvPane.h"
#include "PixelRows.h"

namespace {

constexpr TColor Background = 0x102030;

// A picture of light and dark pixels, every one telling its place.
std::unique_ptr<TBitmap> Picture(int Width, int Height, TPixelFormat Format = pf24bit) {
  auto bitmap = std::make_unique<TBitmap>();
  bitmap->SetImage(NewBitmapImage(Width, Height, pf24bit, nullptr, false));
  for (int y = 0; y < Height; ++y)
    for (int x = 0; x < Width; ++x)
      bitmap->Canvas().SetPixel(x, y,
                                (x + y) % 3 ? RGB(uint8_t(40 + x * 13), uint8_t(y * 25), uint8_t(200 - x * 9))
                                            : RGB(uint8_t(x * 3), 10, uint8_t(y * 4)));
  bitmap->SetPixelFormat(Format);
  return bitmap;
}

// An alpha plane with clear, opaque and translucent pixels.
std::unique_ptr<TBitmap> AlphaFor(const TBitmap& Image) {
  auto alpha = std::make_unique<TBitmap>();
  alpha->SetImage(NewAlphaPlaneImage(Image.Width(), Image.Height()));
  for (int y = 0; y < Image.Height(); ++y)
    for (int x = 0; x < Image.Width(); ++x)
      alpha->ScanLine(y)[x] = static_cast<uint8_t>((x * 37 + y * 91) % 256);
  return alpha;
}

// Renders device Area of the pane into words (0x00RRGGBB per pixel, row by row) through a raster whose rows
// are longer than the area, so that the stride is honoured.
std::vector<TColor> Render(const TPaneContent& Pane, int32_t Scale, const TRect& Area) {
  const int64_t stride = Area.Width() + 3;
  std::vector<uint32_t> words(static_cast<size_t>(stride * Area.Height()), 0xDEADBEEF);
  RenderPane(Pane, TPaneRaster{words, stride, Area, Scale}, Background);
  std::vector<TColor> colors;
  for (int y = 0; y < Area.Height(); ++y)
    for (int x = 0; x < Area.Width(); ++x) {
      const uint32_t w = words[static_cast<size_t>(y * stride + x)];
      EXPECT_EQ(w >> 24, 0xFFu) << "every word is opaque";
      colors.push_back(RGB(uint8_t(w >> 16), uint8_t(w >> 8), uint8_t(w)));
    }
  return colors;
}

// The zoomed drawing, pixel by pixel, as its rules say: the picture pixel under the device pixel (over the
// checkerboard by its alpha), grid lines on the last device column and row of every whole chip (fixed, or
// black over light and white over dark), then the selection's outline and hatch in device pixels.
TColor Model(const TPaneContent& Pane, int64_t Scale, int64_t X, int64_t Y) {
  const TBitmap& image = *Pane.Image;
  const int64_t w = image.Width(), h = image.Height();
  if (X < 0 || Y < 0 || X >= w * Scale || Y >= h * Scale) return Background;
  const int64_t px = X / Scale, py = Y / Scale;
  TColor c = image.GetPixel(int(px), int(py));
  if (Pane.Alpha && !Pane.Alpha->Empty()) {
    const int alpha = 255 - Pane.Alpha->ScanLine(int(py))[px];
    const int under = (px / 8 + py / 8) % 2 ? 0xCC : 0xFF;
    const auto over = [&](int v) { return uint8_t((v * alpha + under * (255 - alpha) + 127) / 255); };
    c = RGB(over(GetRValue(c)), over(GetGValue(c)), over(GetBValue(c)));
  }
  const auto onGrid = [&](int64_t D, int64_t P, int64_t Chip, int64_t Size) {
    return Chip > 0 && D % Scale == Scale - 1 && (P + 1) % Chip == 0 && P < Size / Chip * Chip;
  };
  if (onGrid(X, px, Pane.ChipWidth, w) || onGrid(Y, py, Pane.ChipHeight, h)) {
    const int luma = GetRValue(c) * 299 + GetGValue(c) * 587 + GetBValue(c) * 114;
    c = !Pane.Grid.Automatic ? Pane.Grid.Color : luma >= 128000 ? clBlack : clWhite;
  }
  if (Pane.Selection) {
    const TRect& s = *Pane.Selection;
    const int64_t l = std::min(s.Left, s.Right) * Scale, r = std::max(s.Left, s.Right) * Scale;
    const int64_t t = std::min(s.Top, s.Bottom) * Scale, b = std::max(s.Top, s.Bottom) * Scale;
    if (X >= l && X < r && Y >= t && Y < b) {
      if (X == l || X == r - 1 || Y == t || Y == b - 1)
        c = clBlack;
      else if ((X - Y) % 8 == 0 || (X + Y + 1) % 8 == 0)
        c = clWhite;
    }
  }
  return c;
}

std::vector<TColor> ModelRegion(const TPaneContent& Pane, int32_t Scale, const TRect& Area) {
  std::vector<TColor> colors;
  for (int y = Area.Top; y < Area.Bottom; ++y)
    for (int x = Area.Left; x < Area.Right; ++x) colors.push_back(Model(Pane, Scale, x, y));
  return colors;
}

std::string Describe(const TPaneContent& Pane, int32_t Scale) {
  std::ostringstream out;
  out << "scale " << Scale << ", chips " << Pane.ChipWidth << " x " << Pane.ChipHeight << ", grid "
      << (Pane.Grid.Automatic ? "auto" : "fixed") << (Pane.Alpha ? ", alpha" : "");
  if (Pane.Selection)
    out << ", selection " << Pane.Selection->Left << "," << Pane.Selection->Top << ","
        << Pane.Selection->Right << "," << Pane.Selection->Bottom;
  return out.str();
}

TEST(OrvZoom, ViewPositionsMapToPicturePixels) {
  struct Case {
    int32_t Scale;
    double Ratio, X, Y;
    TPoint Expected;
  } cases[] = {
      {1, 1, 0, 0, {0, 0}},
      {1, 1, 31.9, 0.5, {31, 0}},
      {1, 1, -0.5, -1, {-1, -1}},  // left of and above the picture: rounded down
      {1, 1, -40, -3, {-40, -3}},
      {8, 1, 7.99, 8, {0, 1}},  // 8x
      {8, 1, -0.1, -8, {-1, -1}},
      {8, 1, -8.01, 63.5, {-2, 7}},
      {4, 2, 1.75, 2, {0, 1}},  // 2x on a screen of ratio 2: 4 device pixels a picture pixel
      {4, 2, -0.25, 0.5, {-1, 0}},
      {2, 1.5, 2 / 1.5, 1.3, {1, 0}},  // 1x at ratio 1.5: device position 2 is picture pixel 1, 1.95 is 0
      {3, 1.5, 6 / 1.5, -1 / 1.5, {2, -1}},
      {16, 1, 1e12, -1e12, {std::numeric_limits<int32_t>::max(), std::numeric_limits<int32_t>::min()}},
  };
  for (const Case& c : cases) {
    const TPoint p = TPaneGeometry{c.Scale, c.Ratio}.ViewToImage(c.X, c.Y);
    EXPECT_EQ(p.X, c.Expected.X) << c.Scale << " @ " << c.Ratio << ": " << c.X;
    EXPECT_EQ(p.Y, c.Expected.Y) << c.Scale << " @ " << c.Ratio << ": " << c.Y;
  }
}

TEST(OrvZoom, RectanglesAndLengthsBetweenViewDeviceAndPicture) {
  const TPaneGeometry hiDpi{3, 1.5};  // 2x at ratio 1.5
  EXPECT_EQ(hiDpi.ImageToDevice(Rect(-1, 2, 4, 5)), Rect(-3, 6, 12, 15));
  EXPECT_EQ(hiDpi.ViewToDevice(Rect(1, 1, 3, 4)), Rect(1, 1, 5, 6));  // 1.5 .. 4.5 and 1.5 .. 6 widened
  EXPECT_EQ(hiDpi.DeviceToView(Rect(3, 6, 12, 13)), Rect(2, 4, 8, 9));
  EXPECT_EQ(hiDpi.ViewLength(7), 14);                    // 21 device pixels
  EXPECT_EQ(hiDpi.ViewLength(5), 10);                    // 15 device pixels: 10 view units
  EXPECT_EQ((TPaneGeometry{2, 1.5}.ViewLength(7)), 10);  // 14 device pixels: 9.33 view units
  EXPECT_DOUBLE_EQ(hiDpi.ViewToImageCoord(hiDpi.ImageToViewCoord(123.25)), 123.25);
  const TPaneGeometry eight{8, 1};
  EXPECT_EQ(eight.ImageToDevice(Rect(0, 0, 300000000, 1)),
            Rect(0, 0, std::numeric_limits<int32_t>::max(), 8));
}

TEST(OrvZoom, ZoomStepsAndDeviceScales) {
  const std::pair<std::pair<int, int>, int> steps[] = {
      {{1, 1}, 2},  {{4, 1}, 6}, {{5, 1}, 6},   {{5, -1}, 4}, {{16, 1}, 16},
      {{1, -1}, 1}, {{1, 3}, 4}, {{12, -2}, 6}, {{0, 0}, 1},  {{40, 0}, 16},
  };
  for (const auto& [from, expected] : steps)
    EXPECT_EQ(StepZoom(from.first, from.second), expected) << from.first << " by " << from.second;
  const std::pair<std::pair<int, double>, int> scales[] = {
      {{1, 1}, 1},   {{8, 1}, 8}, {{1, 2}, 2},   {{8, 2}, 16},           {{1, 1.25}, 1}, {{1, 1.5}, 2},
      {{3, 1.5}, 5}, {{0, 1}, 1}, {{20, 1}, 16}, {{1, std::nan("")}, 1}, {{2, -1.0}, 2},
  };
  for (const auto& [from, expected] : scales)
    EXPECT_EQ(DeviceScale(from.first, from.second), expected) << from.first << " @ " << from.second;
}

// Whole pane areas, margins beyond the picture included, at several zooms, chip sizes, grid colours and
// selections, with and without transparency, against the model.
TEST(OrvZoom, RenderedPaneFollowsTheZoomedDrawingRules) {
  const auto image = Picture(13, 9);
  const auto alpha = AlphaFor(*image);
  const std::pair<int, int> chips[] = {{1, 1}, {3, 2}, {5, 7}, {16, 16}, {0, 0}};
  const std::optional<TRect> selections[] = {std::nullopt, Rect(2, 1, 9, 7), Rect(9, 7, 2, 1),
                                             Rect(-3, -2, 4, 20), Rect(4, 4, 4, 8)};
  const TGridColor grids[] = {TGridColor{}, TGridColor{false, RGB(200, 0, 0)}};
  for (const int32_t scale : {1, 2, 3, 8})
    for (const auto& [chipWidth, chipHeight] : chips)
      for (size_t i = 0; i < std::size(selections); ++i)
        for (const TGridColor& grid : grids)
          for (const bool transparent : {false, true}) {
            const TPaneContent pane = PaneOf(image.get(), transparent ? alpha.get() : nullptr, chipWidth,
                                             chipHeight, selections[i], grid);
            const TRect area = Rect(0, 0, 13 * scale + 4, 9 * scale + 3);
            ASSERT_EQ(Render(pane, scale, area), ModelRegion(pane, scale, area)) << Describe(pane, scale);
          }
}

// At one device pixel per picture pixel, with the black grid, the pane is the unzoomed drawing, in every
// pixel format: the lines take the picture's nearest palette entry or the colour its format keeps.
TEST(OrvZoom, OneToOneIsTheUnzoomedDrawing) {
  const TRect selection = Rect(1, 1, 6, 5);
  for (const TPixelFormat format : kAllPixelFormats) {
    auto image = Picture(11, 7, format);
    if (format == pf4bit)  // a palette without black or white: the lines take its nearest entries
      image->SetPalette(MakePalette({RGB(40, 0, 0), RGB(0, 120, 0), RGB(0, 0, 160), RGB(200, 200, 90),
                                     RGB(30, 30, 30), RGB(230, 240, 250)}));
    TBitmap designed;
    DrawPane(designed, *image, 3, 2, &selection);
    const TPaneContent pane = PaneOf(image.get(), nullptr, 3, 2, selection, TGridColor{false, clBlack});
    EXPECT_EQ(Render(pane, 1, Rect(0, 0, 11, 7)), PixelColors(designed)) << PixelFormatName(format);

    const auto alpha = AlphaFor(*image);
    TBitmap designedWithAlpha;
    DrawPaneWithAlpha(designedWithAlpha, *image, *alpha, 3, 2, &selection);
    const TPaneContent transparent =
        PaneOf(image.get(), alpha.get(), 3, 2, selection, TGridColor{false, clBlack});
    EXPECT_EQ(Render(transparent, 1, Rect(0, 0, 11, 7)), PixelColors(designedWithAlpha))
        << PixelFormatName(format);
    // Over the checkerboard the picture's own colours show (5-5-5 words are not read as 5-6-5).
    EXPECT_EQ(PixelColors(designedWithAlpha), ModelRegion(transparent, 1, Rect(0, 0, 11, 7)))
        << PixelFormatName(format);
  }
  // The automatic grid draws the designed black line over light pictures.
  auto light = std::make_unique<TBitmap>();
  light->SetImage(NewBitmapImage(10, 6, pf24bit, nullptr, true));
  light->Canvas().SetPixel(4, 1, RGB(140, 140, 140));
  TBitmap designed;
  DrawPane(designed, *light, 5, 2);
  EXPECT_EQ(Render(PaneOf(light.get(), nullptr, 5, 2), 1, Rect(0, 0, 10, 6)), PixelColors(designed));
}

TEST(OrvZoom, AutomaticGridIsWhiteOverDarkAndBlackOverLightPixels) {
  TBitmap image;
  image.SetImage(NewBitmapImage(4, 2, pf24bit, nullptr, false));
  const TColor colors[] = {clBlack, RGB(127, 127, 127), RGB(128, 128, 128), clWhite};
  for (int x = 0; x < 4; ++x) image.Canvas().SetPixel(x, 0, colors[x]);
  const TPaneContent pane = PaneOf(&image, nullptr, 1, 1);
  const std::vector<TColor> device = Render(pane, 2, Rect(0, 0, 8, 1));  // the first device row
  EXPECT_EQ(device, (std::vector<TColor>{clBlack, clWhite, RGB(127, 127, 127), clWhite, RGB(128, 128, 128),
                                         clBlack, clWhite, clBlack}));
}

// Any cut of a region into pieces gives the pixels of the region rendered whole.
TEST(OrvZoom, RegionRenderedInPiecesEqualsTheRegionRenderedWhole) {
  const auto image = Picture(40, 30);
  const auto alpha = AlphaFor(*image);
  for (const bool transparent : {false, true}) {
    const TPaneContent pane =
        PaneOf(image.get(), transparent ? alpha.get() : nullptr, 16, 8, Rect(3, 2, 35, 29));
    const int32_t scale = 8;
    const TRect region = Rect(5, 3, 330, 245);
    const std::vector<TColor> whole = Render(pane, scale, region);
    std::vector<TColor> pieces(whole.size());
    const int xs[] = {5, 6, 64, 129, 200, 329, 330}, ys[] = {3, 4, 17, 128, 239, 245};
    for (size_t j = 0; j + 1 < std::size(ys); ++j)
      for (size_t i = 0; i + 1 < std::size(xs); ++i) {
        const TRect piece = Rect(xs[i], ys[j], xs[i + 1], ys[j + 1]);
        const std::vector<TColor> part = Render(pane, scale, piece);
        for (int y = 0; y < piece.Height(); ++y)
          for (int x = 0; x < piece.Width(); ++x)
            pieces[static_cast<size_t>((piece.Top + y - region.Top) * region.Width() + piece.Left + x -
                                       region.Left)] = part[static_cast<size_t>(y * piece.Width() + x)];
      }
    EXPECT_EQ(pieces, whole) << (transparent ? "with alpha" : "opaque");
  }
}

// Overlays draw last, over the grid and selection, into the raster they are given.
TEST(OrvZoom, OverlaysDrawOverEverythingInTheirRaster) {
  class TCornerMark : public TPaneOverlay {
   public:
    void Draw(const TPaneContent&, const TPaneRaster& Raster) const override {
      if (Raster.Area.Left <= 0 && Raster.Area.Top <= 0) Raster.Row(0)[-Raster.Area.Left] = 0xFF00FF00;
    }
  };
  const auto image = Picture(4, 4);
  TPaneContent pane = PaneOf(image.get(), nullptr, 1, 1, Rect(0, 0, 2, 2));
  pane.Overlays.push_back(std::make_shared<TCornerMark>());
  EXPECT_EQ(Render(pane, 2, Rect(0, 0, 2, 1)).front(), RGB(0, 255, 0));
  EXPECT_EQ(Render(pane, 2, Rect(1, 0, 2, 1)).front(), clBlack);  // the outline, the mark not in this piece
}

// Chip marks lie over grid and selection at every zoom: the marked chip's outer device pixels in the mark
// colour, its inside tinted, every other pixel as without marks; a piece of the pane renders as the whole.
TEST(OrvZoom, ChipMarksOutlineAndTintTheMarkedChipsAtEveryScale) {
  const auto image = Picture(9, 4);  // two whole chips of 4 x 4 and a remainder column
  const TPaneContent plain = PaneOf(image.get(), nullptr, 4, 4, Rect(2, 0, 6, 4));
  auto marks = std::make_shared<TChipMarks>();
  marks->Columns = 2;
  marks->Rows = 1;
  marks->Marked = {false, true};
  TPaneContent marked = plain;
  marked.Overlays.push_back(marks);
  const auto tinted = [](TColor C) {
    const uint32_t word = MarkedPixel(0xFF000000u | (uint32_t{GetRValue(C)} << 16) |
                                      (uint32_t{GetGValue(C)} << 8) | GetBValue(C));
    return RGB(uint8_t(word >> 16), uint8_t(word >> 8), uint8_t(word));
  };
  for (const int s : {1, 2, 3}) {
    SCOPED_TRACE(s);
    const TRect all = Rect(0, 0, 9 * s, 4 * s);
    const std::vector<TColor> before = Render(plain, s, all), after = Render(marked, s, all);
    for (int y = 0; y < 4 * s; ++y)
      for (int x = 0; x < 9 * s; ++x) {
        const size_t i = static_cast<size_t>(y * 9 * s + x);
        const bool chip = x >= 4 * s && x < 8 * s;
        const bool edge = x == 4 * s || x == 8 * s - 1 || y == 0 || y == 4 * s - 1;
        ASSERT_EQ(after[i], !chip ? before[i] : edge ? ChipMarkColor : tinted(before[i])) << x << ", " << y;
      }
    const TRect piece = Rect(5 * s - 1, 1, 8 * s + 1, 3);
    const std::vector<TColor> part = Render(marked, s, piece);
    for (int y = piece.Top; y < piece.Bottom; ++y)
      for (int x = piece.Left; x < piece.Right; ++x)
        ASSERT_EQ(part[static_cast<size_t>((y - piece.Top) * piece.Width() + x - piece.Left)],
                  after[static_cast<size_t>(y * 9 * s + x)]);
  }
}

TEST(OrvZoom, EmptyPanesAndBadRasters) {
  EXPECT_EQ(Render(TPaneContent{}, 4, Rect(2, 2, 4, 3)), (std::vector<TColor>{Background, Background}));
  TBitmap empty;
  EXPECT_EQ(Render(PaneOf(&empty, nullptr, 1, 1), 1, Rect(0, 0, 1, 1)), std::vector<TColor>{Background});
  std::vector<uint32_t> words(10);
  RenderPane(TPaneContent{}, TPaneRaster{words, 5, Rect(0, 0, 0, 3), 1});  // an empty area needs no room
  ExpectRaises<EInvalidGraphic>(
      [&] {
        RenderPane(TPaneContent{}, TPaneRaster{words, 5, Rect(0, 0, 5, 3), 1});
      },
      "Invalid pane raster");
  ExpectRaises<EInvalidGraphic>(
      [&] {
        RenderPane(TPaneContent{}, TPaneRaster{words, 4, Rect(0, 0, 5, 2), 1});
      },
      "Invalid pane raster");
  ExpectRaises<EInvalidGraphic>(
      [&] {
        RenderPane(TPaneContent{}, TPaneRaster{words, 5, Rect(0, 0, 5, 2), 0});
      },
      "Invalid pane raster");
}

}  // namespace
