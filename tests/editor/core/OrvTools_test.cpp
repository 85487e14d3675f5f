// The geometry of the edit pane's tools: chips under the cursor, drags on the sheet, quarter turns, pastes.
#include "OrvTools.h"

#include <gtest/gtest.h>

#include "OrvCui.h"

namespace {

// A document whose edit image is Width x Height pixels with chips of ChipWidth x ChipHeight.
std::unique_ptr<TOrvDatas> Sheet(int32_t Width, int32_t Height, int32_t ChipWidth, int32_t ChipHeight) {
  auto document = std::make_unique<TOrvDatas>();
  document->EditImage->SetSize(Width, Height);
  document->SetChipSize(ChipWidth, ChipHeight);
  return document;
}

}  // namespace

TEST(OrvTools, ChipAtPixelNumbersWholeChipsInReadingOrder) {
  // 100 x 70 pixels, 32 x 32 chips: 3 whole columns and 2 whole rows, partial chips at the right and bottom.
  struct Case {
    int32_t X, Y;
    std::optional<TChipPosition> Expected;
  } cases[] = {
      {0, 0, TChipPosition{0, 0, 0}},
      {31, 31, TChipPosition{0, 0, 0}},
      {32, 0, TChipPosition{1, 0, 1}},
      {95, 63, TChipPosition{2, 1, 5}},
      {96, 0, TChipPosition{3, 0, std::nullopt}},   // the partial column
      {10, 64, TChipPosition{0, 2, std::nullopt}},  // the partial row
      {99, 69, TChipPosition{3, 2, std::nullopt}},
      {100, 0, std::nullopt},
      {0, 70, std::nullopt},
      {-1, 5, std::nullopt},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ChipAtPixel(c.X, c.Y, 100, 70, 32, 32), c.Expected) << c.X << ", " << c.Y;
  EXPECT_EQ(ChipAtPixel(0, 0, 100, 70, 0, 32), std::nullopt);
  // Numbers beyond 32 bits: 65536 x 65536 one-pixel chips.
  EXPECT_EQ(ChipAtPixel(65535, 65535, 65536, 65536, 1, 1)->Index, int64_t{65536} * 65536 - 1);
}

TEST(OrvTools, ChipsInCountsPartialChips) {
  EXPECT_EQ(ChipsIn(Rect(0, 0, 64, 32), 32, 32), (TChipCount{2, 1}));
  EXPECT_EQ(ChipsIn(Rect(32, 32, 100, 70), 32, 32), (TChipCount{3, 2}));
  EXPECT_EQ(ChipsIn(Rect(INT32_MIN, 0, INT32_MAX, 1), 1, 1), (TChipCount{int64_t{UINT32_MAX}, 1}));
  EXPECT_EQ(ChipsIn(TRect{}, 32, 32), TChipCount{});
  EXPECT_EQ(ChipsIn(Rect(0, 0, 64, 32), 0, 32), TChipCount{});
}

TEST(OrvTools, SheetSelectionFollowsTheChipRulesClippedToTheImage) {
  const auto document = Sheet(100, 70, 32, 32);
  struct Case {
    TPoint Anchor, At;
    TRect Expected;
  } cases[] = {
      {{5, 5}, {5, 5}, Rect(0, 0, 32, 32)},           // one chip
      {{40, 10}, {5, 40}, Rect(0, 0, 64, 64)},        // any direction, both chips included
      {{40, 10}, {99, 69}, Rect(32, 0, 100, 70)},     // the partial chips, clipped
      {{40, 40}, {500, 500}, Rect(32, 32, 100, 70)},  // beyond the image
      {{40, 40}, {-40, -40}, Rect(0, 0, 64, 64)},     // before the image (the chip rules truncate toward 0)
      {{200, 5}, {300, 5}, TRect{}},                  // nothing on the image
  };
  for (const Case& c : cases)
    EXPECT_EQ(SheetSelection(*document, c.Anchor, c.At), c.Expected) << c.Anchor.X << " -> " << c.At.X;
}

TEST(OrvTools, DragTargetMovesByTheCellsTheCursorCrossed) {
  const auto document = Sheet(128, 128, 32, 16);
  const TRect area = Rect(32, 16, 96, 48);
  struct Case {
    TPoint From, At, Expected;
  } cases[] = {
      {{40, 20}, {60, 30}, {32, 16}},    // within the same cell
      {{40, 20}, {64, 32}, {64, 32}},    // one cell right and down
      {{40, 20}, {0, 0}, {0, 0}},        // to the origin
      {{40, 20}, {-1, -1}, {-32, -16}},  // one pixel past the origin is the next cell out
      {{5, 5}, {-33, 5}, {-32, 16}},     // from cell 0 two cells left
  };
  for (const Case& c : cases) {
    const TPoint target = DragTarget(*document, area, c.From, c.At);
    EXPECT_EQ(target.X, c.Expected.X) << c.At.X << ", " << c.At.Y;
    EXPECT_EQ(target.Y, c.Expected.Y) << c.At.X << ", " << c.At.Y;
  }
}

TEST(OrvTools, QuarterTurnsKeepSquareBlocksAndWholeChipsOfSquareChips) {
  struct Case {
    int64_t Width, Height;
    int32_t ChipWidth, ChipHeight;
    bool Expected;
  } cases[] = {
      {32, 32, 32, 32, true},  {64, 32, 32, 32, true},  {64, 32, 16, 16, true}, {96, 96, 24, 32, true},
      {24, 32, 24, 32, false}, {48, 32, 24, 32, false}, {96, 64, 32, 32, true}, {10, 10, 32, 32, true},
      {20, 10, 32, 32, false}, {0, 0, 32, 32, false},   {32, 32, 0, 32, false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(QuarterTurnKeepsChips(c.Width, c.Height, c.ChipWidth, c.ChipHeight), c.Expected)
        << c.Width << " x " << c.Height << " in " << c.ChipWidth << " x " << c.ChipHeight;
}

TEST(OrvTools, ChipsCoveringRoundsOutToWholeChipsOnTheImage) {
  const auto document = Sheet(100, 70, 32, 32);
  EXPECT_EQ(ChipsCovering(*document, {32, 0}, 64, 32), Rect(32, 0, 96, 32));
  EXPECT_EQ(ChipsCovering(*document, {32, 32}, 10, 10), Rect(32, 32, 64, 64));
  EXPECT_EQ(ChipsCovering(*document, {64, 32}, 500, 500), Rect(64, 32, 100, 70));
  EXPECT_EQ(ChipsCovering(*document, {-10, -10}, 20, 20), Rect(0, 0, 32, 32));
  EXPECT_EQ(ChipsCovering(*document, {0, 0}, 0, 5), TRect{});
}
