// Blocks of chips on every pixel format, with and without alpha: cutting and putting back, putting elsewhere,
// clearing, and the eight flips and turns.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include "AlphaPlane.h"
#include "Bitmaps.h"
#include "NoiseImages.h"
#include "OrvEdit.h"

namespace {

using filestest::Snapshot;

constexpr int Width = 37, Height = 23;

std::unique_ptr<TBitmap> NoisyImage(TPixelFormat Format, uint32_t Seed) {
  auto image = pngtest::MakeBitmap(Width, Height, Format);
  pngtest::FillNoise(*image, Seed);
  return image;
}

void NoisyPlane(TBitmap& Alpha, uint32_t Seed) {
  Alpha.SetImage(NewAlphaPlaneImage(Width, Height));
  pngtest::FillNoise(Alpha, Seed);
}

bool Inside(const TRect& R, int X, int Y) {
  return X >= R.Left && X < R.Right && Y >= R.Top && Y < R.Bottom;
}

class BlockFormats : public testing::TestWithParam<std::tuple<TPixelFormat, bool>> {
 protected:
  void SetUp() override {
    image = NoisyImage(std::get<0>(GetParam()), 7);
    if (std::get<1>(GetParam())) NoisyPlane(alpha, 8);
  }
  std::unique_ptr<TBitmap> image;
  TBitmap alpha;
};

TEST_P(BlockFormats, CutAndPutBackGiveTheSameBytes) {
  struct TCase {
    TRect Area;
    TRect Inside;  // the part within the picture
  };
  const TCase cases[] = {
      {Rect(5, 3, 21, 15), Rect(5, 3, 21, 15)},
      {Rect(-7, -4, 10, 9), Rect(0, 0, 10, 9)},
      {Rect(30, 18, 45, 30), Rect(30, 18, 37, 23)},
      {Rect(-3, -3, 40, 26), Rect(0, 0, 37, 23)},
      {Rect(3, 1, 4, 2), Rect(3, 1, 4, 2)},
      {Rect(50, 0, 60, 5), TRect{}},
      // Wider than 32 bits count: the block ends at the largest width.
      {Rect(-100, 2, INT32_MAX, 3), Rect(0, 2, 37, 3)},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(testing::Message() << c.Area.Left << "," << c.Area.Top << "," << c.Area.Right << ","
                                    << c.Area.Bottom);
    const TChipBlock block = CutBlock(*image, alpha, c.Area);
    const bool empty = c.Inside == TRect{};
    ASSERT_EQ(block.Empty(), empty);
    EXPECT_EQ(block.Width, std::min<int64_t>(int64_t{c.Area.Right} - c.Area.Left, INT32_MAX));
    EXPECT_EQ(block.Height, c.Area.Height());
    if (empty) continue;
    EXPECT_EQ(block.Offset.X, c.Inside.Left - c.Area.Left);
    EXPECT_EQ(block.Offset.Y, c.Inside.Top - c.Area.Top);
    EXPECT_EQ(block.Image->Width, c.Inside.Width());
    EXPECT_EQ(block.Image->PixelFormat, image->PixelFormat());
    EXPECT_EQ(block.Alpha != nullptr, std::get<1>(GetParam()));

    const auto before = Snapshot(*image), beforeAlpha = Snapshot(alpha);
    EXPECT_EQ(PutBlock(*image, alpha, block, c.Area.Left, c.Area.Top), c.Inside);
    EXPECT_EQ(Snapshot(*image), before);
    EXPECT_EQ(Snapshot(alpha), beforeAlpha);
  }
}

TEST_P(BlockFormats, PutElsewhereCopiesColoursAndAlphaClippedToThePicture) {
  const TRect area = Rect(-5, 4, 20, 30);
  const TChipBlock block = CutBlock(*image, alpha, area);
  auto target = pngtest::MakeBitmap(Width, Height, image->PixelFormat());
  TBitmap targetAlpha;
  const TRect written = PutBlock(*target, targetAlpha, block, 10, -3);
  // The picture's part of the area, columns 0..19 and rows 4..22, lands at x + 15 and y - 7.
  EXPECT_EQ(written, Rect(15, 0, 35, 16));
  EXPECT_EQ(targetAlpha.Empty(), !block.Alpha);
  for (int y = 0; y < Height; ++y)
    for (int x = 0; x < Width; ++x) {
      const bool in = Inside(written, x, y);
      ASSERT_EQ(target->GetPixel(x, y), in ? image->GetPixel(x - 15, y + 7) : target->GetPixel(0, 20))
          << x << "," << y;
      if (block.Alpha) {
        ASSERT_EQ(targetAlpha.ScanLine(y)[x], in ? alpha.ScanLine(y + 7)[x - 15] : 0) << x << "," << y;
      }
    }
  // An opaque block makes its rectangle of an existing plane opaque.
  if (block.Alpha) {
    const TChipBlock opaque = CutBlock(*image, TBitmap(), area);
    PutBlock(*target, targetAlpha, opaque, 10, -3);
    EXPECT_FALSE(HasTransparentPixel(targetAlpha));
  }
}

TEST_P(BlockFormats, ClearMakesTheAreaWhiteAndTransparent) {
  const auto white = WhiteBitmap(image->PixelFormat(), 1, 1);
  const auto before = pngtest::MakeBitmap(Width, Height, image->PixelFormat());
  before->Assign(image.get());
  TBitmap beforeAlpha;
  beforeAlpha.Assign(&alpha);
  const TRect cleared = ClearArea(*image, alpha, Rect(30, -2, 50, 9));
  EXPECT_EQ(cleared, Rect(30, 0, 37, 9));
  for (int y = 0; y < Height; ++y)
    for (int x = 0; x < Width; ++x) {
      const bool in = Inside(cleared, x, y);
      ASSERT_EQ(image->GetPixel(x, y), in ? white->GetPixel(0, 0) : before->GetPixel(x, y)) << x << "," << y;
      if (std::get<1>(GetParam())) {
        ASSERT_EQ(alpha.ScanLine(y)[x], in ? 255 : beforeAlpha.ScanLine(y)[x]) << x << "," << y;
      }
    }
  EXPECT_EQ(alpha.Empty(), !std::get<1>(GetParam()));
  EXPECT_EQ(ClearArea(*image, alpha, Rect(37, 0, 40, 5)), TRect{});
}

// Turning twice is turning once by the composed transform, byte for byte; the turns swap width and height.
TEST_P(BlockFormats, TransformsComposeOnEveryFormat) {
  const TChipBlock block = CutBlock(*image, alpha, Rect(-2, 5, 9, 12));
  constexpr TChipTransform All[] = {TChipTransform::Identity,     TChipTransform::FlipHorizontal,
                                    TChipTransform::FlipVertical, TChipTransform::Rotate180,
                                    TChipTransform::Rotate90,     TChipTransform::Rotate270,
                                    TChipTransform::Transpose,    TChipTransform::AntiTranspose};
  for (const TChipTransform first : All)
    for (const TChipTransform then : All) {
      SCOPED_TRACE(testing::Message() << ChipTransformName(first) << " then " << ChipTransformName(then));
      const TChipBlock twice = TransformBlock(TransformBlock(block, first), then);
      const TChipBlock once = TransformBlock(block, ComposeTransforms(first, then));
      ASSERT_EQ(twice.Width, once.Width);
      ASSERT_EQ(twice.Height, once.Height);
      ASSERT_EQ(twice.Offset.X, once.Offset.X);
      ASSERT_EQ(twice.Offset.Y, once.Offset.Y);
      ASSERT_EQ(twice.Image->Bits, once.Image->Bits);
      if (block.Alpha) {
        ASSERT_EQ(twice.Alpha->Bits, once.Alpha->Bits);
      }
    }
}

INSTANTIATE_TEST_SUITE_P(AllFormats, BlockFormats,
                         testing::Combine(testing::ValuesIn(kAllPixelFormats), testing::Bool()),
                         [](const auto& Info) {
                           return PixelFormatName(std::get<0>(Info.param)) +
                                  (std::get<1>(Info.param) ? "Alpha" : "Opaque");
                         });

// A 3 x 2 picture "abc / def" cut as a 4 x 2 block whose first column lies outside it, turned every way: the
// pixels and their alpha go where the transform puts them, and the empty column with them.
TEST(Blocks, TransformsMoveEveryPixelAndTheEmptyPart) {
  TBitmap picture, alpha;
  picture.SetImage(NewBitmapImage(3, 2, pf24bit, nullptr, false));
  alpha.SetImage(NewAlphaPlaneImage(3, 2));
  for (int i = 0; i < 6; ++i) {
    picture.Canvas().SetPixel(i % 3, i / 3, RGB(static_cast<uint8_t>(10 * (i + 1)), 0, 0));
    alpha.ScanLine(i / 3)[i % 3] = static_cast<uint8_t>(100 + i);
  }
  const TChipBlock block = CutBlock(picture, alpha, Rect(-1, 0, 3, 2));
  // The block as text, a letter per pixel of the picture (checked against its alpha), '.' for nothing.
  auto text = [](const TChipBlock& b) {
    std::string rows;
    for (int y = 0; y < b.Height; ++y) {
      if (y > 0) rows += '/';
      for (int x = 0; x < b.Width; ++x) {
        const int px = x - b.Offset.X, py = y - b.Offset.Y;
        if (px < 0 || py < 0 || px >= b.Image->Width || py >= b.Image->Height) {
          rows += '.';
          continue;
        }
        const uint8_t* row = b.Image->Bits.data() + py * b.Image->RowBytes;
        const int label = row[3 * px + 2] / 10 - 1;
        rows += b.Alpha->Bits[static_cast<size_t>(py * b.Alpha->RowBytes + px)] == 100 + label
                    ? static_cast<char>('a' + label)
                    : '?';
      }
    }
    return rows;
  };
  const std::pair<TChipTransform, std::string> expected[] = {
      {TChipTransform::Identity, ".abc/.def"},     {TChipTransform::FlipHorizontal, "cba./fed."},
      {TChipTransform::FlipVertical, ".def/.abc"}, {TChipTransform::Rotate180, "fed./cba."},
      {TChipTransform::Rotate90, "../da/eb/fc"},   {TChipTransform::Rotate270, "cf/be/ad/.."},
      {TChipTransform::Transpose, "../ad/be/cf"},  {TChipTransform::AntiTranspose, "fc/eb/da/.."},
  };
  for (const auto& [transform, rows] : expected)
    EXPECT_EQ(text(TransformBlock(block, transform)), rows) << ChipTransformName(transform);
  EXPECT_EQ(ComposeTransforms(TChipTransform::Rotate90, TChipTransform::FlipHorizontal),
            TChipTransform::Transpose);
  EXPECT_EQ(ComposeTransforms(TChipTransform::Rotate90, TChipTransform::Rotate90), TChipTransform::Rotate180);
  EXPECT_EQ(ComposeTransforms(TChipTransform::Rotate270, TChipTransform::Rotate90), TChipTransform::Identity);
}

}  // namespace
