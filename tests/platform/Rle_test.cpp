// The RLE decoder shared by every reader: golden tables of codes, each error rule, truncated data, and memory
// that is never written outside its rows.
#include <gtest/gtest.h>

#include <vector>

#include "Graphics.h"

namespace {

struct RleCase {
  const char* Name;
  int BitCount, Width, Height;
  std::vector<uint8_t> Data;
  TRleResult Result;
  std::vector<uint8_t> Memory;  // rows in memory order (row 0 first), 4 bytes a row
  TRleOverrun Overrun = TRleOverrun::Refuse;
};

std::ostream& operator<<(std::ostream& os, const RleCase& c) {
  return os << c.Name;
}

class RleGolden : public testing::TestWithParam<RleCase> {};

TEST_P(RleGolden, DecodesExactlyAndStaysInsideItsRows) {
  const RleCase& c = GetParam();
  constexpr int64_t stride = 4;
  constexpr uint8_t guard = 0xA5;
  // Guard bytes before and after the rows catch any write outside them.
  std::vector<uint8_t> memory(static_cast<size_t>(stride * c.Height + 16), guard);
  std::fill(memory.begin() + 8, memory.begin() + 8 + stride * c.Height, uint8_t{0});
  const TRleResult result =
      DecodeRle(c.Data, c.BitCount, c.Width, c.Height, memory.data() + 8, stride, c.Overrun);
  EXPECT_EQ(result, c.Result);
  const std::vector<uint8_t> rows(memory.begin() + 8, memory.begin() + 8 + stride * c.Height);
  EXPECT_EQ(rows, c.Memory);
  for (int i = 0; i < 8; ++i) {
    EXPECT_EQ(memory[static_cast<size_t>(i)], guard);
    EXPECT_EQ(memory[memory.size() - 1 - static_cast<size_t>(i)], guard);
  }
}

using R = TRleResult;

INSTANTIATE_TEST_SUITE_P(
    Rle8, RleGolden,
    testing::Values(
        RleCase{
            "RunsEndOfLineEndOfBitmap", 8, 4, 2, {3, 5, 0, 0, 2, 7, 0, 1}, R::Ok, {5, 5, 5, 0, 7, 7, 0, 0}},
        RleCase{"AbsoluteOddLengthIsPadded", 8, 4, 1, {0, 3, 1, 2, 3, 0xEE, 1, 9}, R::Ok, {1, 2, 3, 9}},
        RleCase{"AbsoluteEvenLengthHasNoPad", 8, 4, 1, {0, 4, 1, 2, 3, 4, 0, 1, 9, 9}, R::Ok, {1, 2, 3, 4}},
        RleCase{"DeltaMovesRightAndDown", 8, 4, 2, {0, 2, 2, 1, 1, 4, 0, 1}, R::Ok, {0, 0, 0, 0, 0, 0, 4, 0}},
        RleCase{"RunFillsTheRowExactly", 8, 4, 1, {4, 6}, R::Ok, {6, 6, 6, 6}},
        RleCase{"EndOfLineOntoTheRowPastTheLastIsAllowed", 8, 4, 1, {1, 1, 0, 0, 0, 1}, R::Ok, {1, 0, 0, 0}},
        RleCase{"DeltaOntoTheEdgesIsAllowed", 8, 4, 1, {0, 2, 4, 1, 0, 1}, R::Ok, {0, 0, 0, 0}},
        RleCase{"CodesAfterEndOfBitmapAreIgnored", 8, 4, 1, {0, 1, 4, 9}, R::Ok, {0, 0, 0, 0}},
        RleCase{"EmptyData", 8, 4, 1, {}, R::Ok, {0, 0, 0, 0}},
        RleCase{"HalfACode", 8, 4, 1, {2, 3, 1}, R::Ok, {3, 3, 0, 0}},
        RleCase{"DeltaWithoutItsOffsets", 8, 4, 1, {1, 3, 0, 2, 1}, R::Ok, {3, 0, 0, 0}},
        RleCase{"AbsoluteCutShortWritesWhatIsThere", 8, 4, 1, {0, 4, 7, 8}, R::Ok, {7, 8, 0, 0}},
        RleCase{"RunPastTheWidth", 8, 4, 1, {3, 1, 2, 2}, R::BadRun, {1, 1, 1, 0}},
        RleCase{"RunOnTheRowPastTheLast", 8, 4, 1, {0, 0, 1, 1}, R::BadRun, {0, 0, 0, 0}},
        RleCase{"EndOfLinePastTheLastRow", 8, 4, 1, {0, 0, 0, 0}, R::BadEndOfLine, {0, 0, 0, 0}},
        RleCase{"DeltaPastTheWidth", 8, 4, 1, {0, 2, 5, 0}, R::BadDelta, {0, 0, 0, 0}},
        RleCase{"DeltaPastTheLastRow", 8, 4, 2, {0, 2, 0, 3}, R::BadDelta, {0, 0, 0, 0, 0, 0, 0, 0}},
        RleCase{"AbsolutePastTheWidth", 8, 4, 1, {1, 1, 0, 4, 1, 2, 3, 4}, R::BadAbsolute, {1, 0, 0, 0}},
        RleCase{
            "AbsoluteOnTheRowPastTheLast", 8, 4, 1, {0, 0, 0, 3, 1, 2, 3, 0}, R::BadAbsolute, {0, 0, 0, 0}}),
    [](const auto& info) { return std::string(info.param.Name); });

// Width 6 (and 5, rounded up to 6) holds 6 nibbles; memory rows are 4 bytes.
INSTANTIATE_TEST_SUITE_P(
    Rle4, RleGolden,
    testing::Values(
        RleCase{"RunAlternatesNibbles", 4, 6, 1, {5, 0x12, 0, 1}, R::Ok, {0x12, 0x12, 0x10, 0}},
        RleCase{"RunStartingOnALowNibble", 4, 6, 1, {1, 0xA0, 2, 0x34}, R::Ok, {0xA3, 0x40, 0, 0}},
        RleCase{"AbsolutePaddedToWholeWords",
                4,
                6,
                1,
                {0, 5, 0x12, 0x34, 0x50, 0xEE, 1, 0xF0},
                R::Ok,
                {0x12, 0x34, 0x5F, 0}},
        RleCase{"AbsoluteOfFourNibbles", 4, 6, 1, {0, 4, 0x12, 0x34, 2, 0x77}, R::Ok, {0x12, 0x34, 0x77, 0}},
        RleCase{"OddWidthIsRoundedUpToEven", 4, 5, 1, {6, 0x11}, R::Ok, {0x11, 0x11, 0x11, 0}},
        RleCase{"RunPastTheRoundedWidth", 4, 5, 1, {7, 0x11}, R::BadRun, {0, 0, 0, 0}},
        RleCase{
            "AbsolutePastTheWidth", 4, 6, 1, {0, 7, 0x12, 0x34, 0x56, 0x70}, R::BadAbsolute, {0, 0, 0, 0}},
        RleCase{"AbsoluteCutShort", 4, 6, 2, {0, 6, 0x12, 0x3}, R::Ok, {0x12, 0x03, 0, 0, 0, 0, 0, 0}},
        RleCase{"DeltaPastTheWidth", 4, 6, 1, {0, 2, 7, 0}, R::BadDelta, {0, 0, 0, 0}}),
    [](const auto& info) { return std::string(info.param.Name); });

// Clipping: every code that the rules above refuse is read, its pixels outside the picture dropped.
constexpr TRleOverrun Clip = TRleOverrun::Clip;
INSTANTIATE_TEST_SUITE_P(
    Clip, RleGolden,
    testing::Values(
        RleCase{"RunPastTheWidthEndsAtTheEdge",
                8,
                4,
                2,
                {5, 1, 0, 0, 2, 2, 0, 1},
                R::Ok,
                {1, 1, 1, 1, 2, 2, 0, 0},
                Clip},
        RleCase{"AbsolutePastTheWidthSkipsItsWholeData",
                8,
                4,
                2,
                {0, 5, 1, 2, 3, 4, 5, 0, 0, 0, 1, 7},
                R::Ok,
                {1, 2, 3, 4, 7, 0, 0, 0},
                Clip},
        RleCase{"RunsAfterTheEdgeAreDropped", 8, 4, 1, {3, 1, 2, 2, 1, 3, 0, 1}, R::Ok, {1, 1, 1, 2}, Clip},
        RleCase{"DeltaPastTheWidthThenTheNextRow",
                8,
                4,
                2,
                {0, 2, 6, 0, 1, 5, 0, 0, 1, 3},
                R::Ok,
                {0, 0, 0, 0, 3, 0, 0, 0},
                Clip},
        RleCase{"NothingPastTheLastRow",
                8,
                4,
                1,
                {1, 4, 0, 0, 0, 0, 2, 5, 0, 2, 0, 9, 0, 3, 1, 2, 3, 0},
                R::Ok,
                {4, 0, 0, 0},
                Clip},
        RleCase{"OddFourBitWidthKeepsItsPaddingNibbleClear",
                4,
                5,
                1,
                {6, 0x12, 0, 7, 0x34, 0x56, 0x70, 0},
                R::Ok,
                {0x12, 0x12, 0x10, 0},
                Clip},
        RleCase{"FourBitAbsolutePastTheWidth",
                4,
                3,
                1,
                {0, 5, 0x12, 0x34, 0x50, 0},
                R::Ok,
                {0x12, 0x30, 0, 0},
                Clip}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(Rle, BottomUpMemoryThroughANegativeStride) {
  // Memory row 0 of the decoder is the last row of a top-down image when the stride runs backwards.
  std::vector<uint8_t> image(8, 0);
  const uint8_t data[] = {2, 1, 0, 0, 2, 2, 0, 1};
  EXPECT_EQ(DecodeRle(data, 8, 4, 2, image.data() + 4, -4), TRleResult::Ok);
  EXPECT_EQ(image, (std::vector<uint8_t>{2, 2, 0, 0, 1, 1, 0, 0}));
}

}  // namespace
