// Duplicate and empty chips: groups on random sheets with planted copies against a brute-force comparison of
// every pair of chips, the empty-chip rules, and the counts a view shows.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <map>
#include <random>

#include "AlphaPlane.h"
#include "ExpectRaises.h"
#include "NoiseImages.h"
#include "OrvDuplicates.h"

namespace {

using TChip = std::vector<std::vector<uint32_t>>;  // rows of pixel values

// A chip turned a quarter clockwise, and mirrored left to right: every transform is made of these two.
TChip Turned(const TChip& c) {
  const size_t h = c.size(), w = c[0].size();
  TChip out(w, std::vector<uint32_t>(h));
  for (size_t y = 0; y < h; ++y)
    for (size_t x = 0; x < w; ++x) out[x][h - 1 - y] = c[y][x];
  return out;
}
TChip Mirrored(TChip c) {
  for (auto& row : c) std::reverse(row.begin(), row.end());
  return c;
}
TChip Transformed(const TChip& c, TChipTransform t) {
  switch (t) {
    case TChipTransform::Identity:
      return c;
    case TChipTransform::FlipHorizontal:
      return Mirrored(c);
    case TChipTransform::FlipVertical:
      return Mirrored(Turned(Turned(c)));
    case TChipTransform::Rotate180:
      return Turned(Turned(c));
    case TChipTransform::Rotate90:
      return Turned(c);
    case TChipTransform::Rotate270:
      return Turned(Turned(Turned(c)));
    case TChipTransform::Transpose:
      return Mirrored(Turned(c));
    case TChipTransform::AntiTranspose:
      return Turned(Mirrored(c));
  }
  return c;
}

std::vector<TChipTransform> TransformsFor(bool all, bool square) {
  using enum TChipTransform;
  if (!all) return {Identity};
  if (!square) return {Identity, FlipHorizontal, FlipVertical, Rotate180};
  return {Identity, FlipHorizontal, FlipVertical, Rotate180, Rotate90, Rotate270, Transpose, AntiTranspose};
}

// A sheet with its alpha plane, and its chips as plain pixel values (alpha in the high byte, 0 when fully
// transparent).
struct TSheet {
  std::unique_ptr<TBitmap> Image, Alpha;
  int Cw, Ch, Columns, Rows;

  TChip Chip(int index) const {
    TChip c(Ch, std::vector<uint32_t>(Cw));
    const int cx = index % Columns * Cw, cy = index / Columns * Ch;
    for (int y = 0; y < Ch; ++y)
      for (int x = 0; x < Cw; ++x) {
        const uint32_t a = Alpha ? 255u - Alpha->ScanLine(cy + y)[cx + x] : 255u;
        c[y][x] = a == 0 ? 0 : (Image->GetPixel(cx + x, cy + y) | (a << 24));
      }
    return c;
  }
  void Put(int index, const TChip& c) {
    const int cx = index % Columns * Cw, cy = index / Columns * Ch;
    for (int y = 0; y < Ch; ++y)
      for (int x = 0; x < Cw; ++x) {
        uint8_t* p = Image->ScanLine(cy + y) + 3 * (cx + x);
        p[0] = static_cast<uint8_t>(c[y][x] >> 16), p[1] = static_cast<uint8_t>(c[y][x] >> 8);
        p[2] = static_cast<uint8_t>(c[y][x]);
        if (Alpha) Alpha->ScanLine(cy + y)[cx + x] = static_cast<uint8_t>(255 - (c[y][x] >> 24));
      }
  }
};

// Random chips of few colours (so that chance copies happen too), then copies of earlier chips planted,
// transformed when the transforms count.
TSheet RandomSheet(uint32_t seed, int cw, int ch, int columns, int rows, int colors, bool alpha,
                   bool transforms) {
  std::mt19937 random(seed);
  TSheet s{pngtest::MakeBitmap(columns * cw + cw - 1, rows * ch + ch - 1, pf24bit),
           nullptr,
           cw,
           ch,
           columns,
           rows};
  if (alpha) s.Alpha = pngtest::MakeBitmap(s.Image->Width(), s.Image->Height(), pf8bit);
  for (int y = 0; y < s.Image->Height(); ++y)
    for (int x = 0; x < s.Image->Width(); ++x) {
      uint8_t* p = s.Image->ScanLine(y) + 3 * x;
      const int k = static_cast<int>(random() % colors);
      p[0] = static_cast<uint8_t>(k * 40), p[1] = static_cast<uint8_t>(k * 90), p[2] = 7;
      if (alpha)
        s.Alpha->ScanLine(y)[x] = (random() % 4 == 0) ? 255 : static_cast<uint8_t>(random() % 3 * 60);
    }
  const std::vector<TChipTransform> ts = TransformsFor(transforms, cw == ch);
  for (int plant = 0; plant < columns * rows / 3; ++plant) {
    const int to = 1 + static_cast<int>(random() % (columns * rows - 1));
    const int from = static_cast<int>(random() % to);
    s.Put(to, Transformed(s.Chip(from), ts[random() % ts.size()]));
  }
  return s;
}

struct DuplicateCase {
  int Cw, Ch, Colors;
  bool Alpha, Transforms;
};

class RandomSheets : public testing::TestWithParam<DuplicateCase> {};

TEST_P(RandomSheets, GroupsMatchAComparisonOfEveryPair) {
  const DuplicateCase c = GetParam();
  for (uint32_t seed = 1; seed <= 6; ++seed) {
    SCOPED_TRACE(seed);
    const TSheet sheet = RandomSheet(seed, c.Cw, c.Ch, 7, 5, c.Colors, c.Alpha, c.Transforms);
    const TDuplicateReport report =
        FindDuplicateChips(*sheet.Image, sheet.Alpha.get(), c.Cw, c.Ch, {c.Transforms, TColor{0x000007}});
    ASSERT_EQ(report.Columns, 7);
    ASSERT_EQ(report.Rows, 5);
    const std::vector<TChipTransform> ts = TransformsFor(c.Transforms, c.Cw == c.Ch);
    const int chips = 35;
    std::vector<TChip> all;
    for (int i = 0; i < chips; ++i) all.push_back(sheet.Chip(i));

    // Empty: every pixel fully transparent with alpha, else every pixel the empty colour.
    std::vector<TChipCell> empty;
    const uint32_t blank = c.Alpha ? 0u : 0xFF000007u;
    for (int i = 0; i < chips; ++i) {
      bool allBlank = true;
      for (const auto& row : all[i])
        for (const uint32_t v : row) allBlank = allBlank && v == blank;
      if (allBlank) empty.push_back({i % 7, i / 7});
    }
    EXPECT_EQ(report.Empty, empty);

    // Each non-empty chip belongs to the group of the first chip it equals under some transform.
    std::map<int, std::vector<int>> expected;
    for (int i = 0; i < chips; ++i) {
      if (std::find(empty.begin(), empty.end(), TChipCell{i % 7, i / 7}) != empty.end()) continue;
      int first = i;
      for (int j = 0; j < i && first == i; ++j)
        for (const TChipTransform t : ts)
          if (Transformed(all[j], t) == all[i] &&
              std::find(empty.begin(), empty.end(), TChipCell{j % 7, j / 7}) == empty.end()) {
            first = j;
            break;
          }
      expected[first].push_back(i);
    }
    std::vector<std::vector<int>> expectedGroups;
    for (const auto& [first, members] : expected)
      if (members.size() > 1) expectedGroups.push_back(members);
    std::vector<std::vector<int>> groups;
    for (const auto& group : report.Groups) {
      std::vector<int> members;
      for (const TDuplicateMember& m : group) {
        members.push_back(m.Cell.Row * 7 + m.Cell.Column);
        // The member is its transform applied to the group's first chip.
        EXPECT_EQ(Transformed(all[members.front()], m.Transform), all[members.back()]);
      }
      EXPECT_EQ(group.front().Transform, TChipTransform::Identity);
      groups.push_back(members);
    }
    EXPECT_EQ(groups, expectedGroups);
    EXPECT_GT(report.DuplicateCount(), 0);
  }
}

INSTANTIATE_TEST_SUITE_P(Sheets, RandomSheets,
                         testing::Values(DuplicateCase{4, 4, 3, false, false},
                                         DuplicateCase{4, 4, 3, false, true},
                                         DuplicateCase{3, 2, 2, false, true},
                                         DuplicateCase{2, 2, 2, true, true},
                                         DuplicateCase{5, 3, 4, true, false}));

// A row of 2 x 2 chips, each given as its four colours in reading order.
std::unique_ptr<TBitmap> Strip(const std::vector<std::array<TColor, 4>>& chips) {
  auto b = pngtest::MakeBitmap(2 * static_cast<int>(chips.size()), 2, pf24bit);
  for (size_t i = 0; i < chips.size(); ++i)
    for (int k = 0; k < 4; ++k) b->Canvas().SetPixel(2 * static_cast<int>(i) + k % 2, k / 2, chips[i][k]);
  return b;
}

TEST(DuplicateChips, EmptyChipsFollowTheKeyColourOrTheImagesTransparentColour) {
  const TColor w = clWhite, k = 0xFF00FF, r = 0x0000FF;
  const auto sheet = Strip({{w, w, w, w}, {k, k, k, k}, {r, w, w, w}, {w, w, w, w}});
  // No key colour: the image's transparent colour (white) marks empty chips; empty chips are no copies.
  TDuplicateReport report = FindDuplicateChips(*sheet, nullptr, 2, 2);
  EXPECT_EQ(report.Empty, (std::vector<TChipCell>{{0, 0}, {3, 0}}));
  EXPECT_TRUE(report.Groups.empty());
  EXPECT_EQ(report.DuplicateCount(), 0);
  EXPECT_EQ(report.EmptyCells(), (std::vector<bool>{true, false, false, true}));
  // With a key colour the white chips are chips like any other and copies of each other.
  report = FindDuplicateChips(*sheet, nullptr, 2, 2, {false, k});
  EXPECT_EQ(report.Empty, (std::vector<TChipCell>{{1, 0}}));
  ASSERT_EQ(report.Groups.size(), 1u);
  EXPECT_EQ(report.Groups[0], (std::vector<TDuplicateMember>{{{0, 0}, TChipTransform::Identity},
                                                             {{3, 0}, TChipTransform::Identity}}));
  EXPECT_EQ(report.DuplicateCells(), (std::vector<bool>{false, false, false, true}));
}

TEST(DuplicateChips, FullyTransparentPixelsAreEqualWhateverTheirColour) {
  const TColor w = clWhite, r = 0x0000FF, g = 0x00FF00;
  // The bottom rows of the first three chips are fully transparent over different colours; the top right
  // pixel of the first two (top left of the third) is translucent; the fourth chip is fully transparent.
  const auto sheet = Strip({{r, g, w, w}, {r, g, r, g}, {g, r, g, r}, {r, r, r, r}});
  auto alpha = pngtest::MakeBitmap(8, 2, pf8bit);
  for (int x = 0; x < 6; ++x) alpha->ScanLine(1)[x] = 255;
  alpha->ScanLine(0)[1] = alpha->ScanLine(0)[3] = alpha->ScanLine(0)[4] = 128;
  for (int y = 0; y < 2; ++y) alpha->ScanLine(y)[6] = alpha->ScanLine(y)[7] = 255;
  using enum TChipTransform;
  TDuplicateReport report = FindDuplicateChips(*sheet, alpha.get(), 2, 2);
  EXPECT_EQ(report.Empty, (std::vector<TChipCell>{{3, 0}}));
  ASSERT_EQ(report.Groups.size(), 1u);
  EXPECT_EQ(report.Groups[0], (std::vector<TDuplicateMember>{{{0, 0}, Identity}, {{1, 0}, Identity}}));
  // The third chip is the first mirrored, alpha and all.
  report = FindDuplicateChips(*sheet, alpha.get(), 2, 2, {true, std::nullopt});
  ASSERT_EQ(report.Groups.size(), 1u);
  EXPECT_EQ(report.Groups[0], (std::vector<TDuplicateMember>{
                                  {{0, 0}, Identity}, {{1, 0}, Identity}, {{2, 0}, FlipHorizontal}}));
  EXPECT_EQ(report.DuplicateCount(), 2);
}

// The tally kept up to date chip by chip: after random chips are rewritten in place (copies of others,
// transformed, made empty, or new pixels), the update of the rewritten areas gives what a full search gives.
TEST_P(RandomSheets, TallyUpdatedByAreaMatchesAFullSearch) {
  const DuplicateCase c = GetParam();
  for (uint32_t seed = 1; seed <= 4; ++seed) {
    SCOPED_TRACE(seed);
    TSheet sheet = RandomSheet(seed, c.Cw, c.Ch, 7, 5, c.Colors, c.Alpha, c.Transforms);
    const TDuplicateOptions options{c.Transforms, TColor{0x000007}};
    TBitmap noPlane;
    const TBitmap& plane = sheet.Alpha ? *sheet.Alpha : noPlane;
    TDuplicateTally tally;
    tally.Recount(*sheet.Image, plane, c.Cw, c.Ch, options);
    EXPECT_TRUE(tally.TakeChanges().Whole);
    std::mt19937 random(seed);
    const std::vector<TChipTransform> ts = TransformsFor(c.Transforms, c.Cw == c.Ch);
    const TChip blank(c.Ch, std::vector<uint32_t>(c.Cw, c.Alpha ? 0u : 0xFF000007u));
    for (int round = 0; round < 40; ++round) {
      ASSERT_TRUE(tally.Follows(*sheet.Image, plane, c.Cw, c.Ch, options));
      const std::vector<bool> before =
          FindDuplicateChips(*sheet.Image, sheet.Alpha.get(), c.Cw, c.Ch, options).DuplicateCells();
      // One or two chips rewritten, given to the update as one area each.
      std::vector<TRect> areas;
      tally.Expect(*sheet.Image, plane);
      for (int k = 0, n = 1 + static_cast<int>(random() % 2); k < n; ++k) {
        const int to = static_cast<int>(random() % 35);
        switch (random() % 4) {
          case 0:
            sheet.Put(to, blank);
            break;
          case 1: {
            TChip noise = sheet.Chip(to);
            noise[random() % c.Ch][random() % c.Cw] ^= 0x00010101;
            sheet.Put(to, noise);
            break;
          }
          default:
            sheet.Put(to, Transformed(sheet.Chip(static_cast<int>(random() % 35)), ts[random() % ts.size()]));
        }
        areas.push_back(Rect(to % 7 * c.Cw, to / 7 * c.Ch, to % 7 * c.Cw + c.Cw, to / 7 * c.Ch + c.Ch));
      }
      tally.Update(*sheet.Image, plane, areas);
      const TDuplicateReport report =
          FindDuplicateChips(*sheet.Image, sheet.Alpha.get(), c.Cw, c.Ch, options);
      ASSERT_EQ(tally.DuplicateCount(), report.DuplicateCount()) << "round " << round;
      const std::vector<bool> cells = report.DuplicateCells();
      const TDuplicateTally::TChanges changes = tally.TakeChanges();
      ASSERT_FALSE(changes.Whole);
      for (int chip = 0; chip < 35; ++chip) {
        const TChipCell cell{chip % 7, chip / 7};
        ASSERT_EQ(tally.IsDuplicate(cell), cells[chip]) << "chip " << chip << ", round " << round;
        const bool reported =
            std::find(changes.Cells.begin(), changes.Cells.end(), cell) != changes.Cells.end();
        if (cells[chip] != before[chip]) {
          ASSERT_TRUE(reported) << "chip " << chip << ", round " << round;
        }
      }
    }
  }
}

// The tally notices what it cannot follow: other options or chip size, a picture replaced, a plane gained.
TEST(DuplicateTally, FollowsOnlyThePicturesItCounted) {
  const TColor w = clWhite, r = 0x0000FF;
  auto sheet = Strip({{r, w, w, w}, {r, w, w, w}, {w, w, w, w}});
  TBitmap plane;
  TDuplicateTally tally;
  EXPECT_FALSE(tally.Follows(*sheet, plane, 2, 2, {}));
  tally.Recount(*sheet, plane, 2, 2, {});
  EXPECT_EQ(tally.DuplicateCount(), 1);
  EXPECT_TRUE(tally.IsDuplicate({1, 0}));
  EXPECT_FALSE(tally.IsDuplicate({0, 0}) || tally.IsDuplicate({2, 0}) || tally.IsDuplicate({5, 0}));
  EXPECT_TRUE(tally.Follows(*sheet, plane, 2, 2, {}));
  EXPECT_FALSE(tally.Follows(*sheet, plane, 1, 2, {}));
  EXPECT_FALSE(tally.Follows(*sheet, plane, 2, 2, {true, std::nullopt}));
  const auto other = Strip({{r, w, w, w}, {r, w, w, w}, {w, w, w, w}});
  EXPECT_FALSE(tally.Follows(*other, plane, 2, 2, {}));
  // Replaced behind its back, then updated: it forgets rather than mixing the two pictures.
  tally.Expect(*other, plane);
  tally.Update(*other, plane, std::vector<TRect>{Rect(0, 0, 2, 2)});
  EXPECT_FALSE(tally.Follows(*other, plane, 2, 2, {}));
  // A plane gained by an edit: every chip is examined again, fully transparent chips now the empty ones.
  tally.Recount(*sheet, plane, 2, 2, {});
  tally.TakeChanges();
  tally.Expect(*sheet, plane);
  plane.SetImage(NewAlphaPlaneImage(6, 2));
  for (int x = 0; x < 2; ++x) plane.ScanLine(0)[x] = plane.ScanLine(1)[x] = 255;
  tally.Update(*sheet, plane, std::vector<TRect>{Rect(0, 0, 2, 2)});
  EXPECT_TRUE(tally.TakeChanges().Whole);
  EXPECT_EQ(tally.DuplicateCount(), 0);  // the first chip is empty; the white chip is a chip like any other
  EXPECT_FALSE(tally.IsDuplicate({1, 0}));
  ExpectRaises<EInvalidGraphic>([&] { tally.Recount(*sheet, plane, 0, 2, {}); }, "Invalid chip size");
}

TEST(DuplicateChips, RefusesBadInput) {
  const auto sheet = pngtest::MakeBitmap(4, 4, pf24bit);
  ExpectRaises<EInvalidGraphic>([&] { FindDuplicateChips(*sheet, nullptr, 0, 2); }, "Invalid chip size");
  const auto alpha = pngtest::MakeBitmap(4, 3, pf8bit);
  ExpectRaises<EInvalidGraphic>([&] { FindDuplicateChips(*sheet, alpha.get(), 2, 2); },
                                "Invalid alpha plane");
  // A sheet smaller than a chip has no chips.
  const TDuplicateReport report = FindDuplicateChips(*sheet, nullptr, 5, 2);
  EXPECT_EQ(report.Columns, 0);
  EXPECT_TRUE(report.Empty.empty() && report.Groups.empty());
}

}  // namespace
