// The chip document: construction, chip size, edit-image sizing, the chip-grid rules and stamping.
#include "OrvCui.h"
#include "ExpectRaises.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

std::unique_ptr<TBitmap> MakeBitmap(int Width, int Height, TPixelFormat Format, HPALETTE Palette = nullptr) {
  auto Bitmap = std::make_unique<TBitmap>();
  Bitmap->SetImage(NewBitmapImage(Width, Height, Format, std::move(Palette), true));
  return Bitmap;
}

// A colour that differs for every pixel of images up to 256 x 256.
TColor PatternColor(int X, int Y) {
  return RGB(static_cast<uint8_t>(X), static_cast<uint8_t>(Y), 0x5A);
}

void PaintPattern(TBitmap& Bitmap) {
  for (int y = 0; y < Bitmap.Height(); ++y)
    for (int x = 0; x < Bitmap.Width(); ++x) Bitmap.Canvas().SetPixel(x, y, PatternColor(x, y));
}

// An unchanged bitmap still shares its image with a snapshot taken by Assign.
std::unique_ptr<TBitmap> Snapshot(TBitmap& Bitmap) {
  auto Copy = std::make_unique<TBitmap>();
  Copy->Assign(&Bitmap);
  return Copy;
}

TEST(OrvDatas, NewDocumentHasChipSize32AndEmptyImages) {
  TOrvDatas Doc;
  EXPECT_EQ(Doc.ChipWidth, 32);
  EXPECT_EQ(Doc.ChipHeight, 32);
  ASSERT_TRUE(Doc.EditImage && Doc.Material);
  EXPECT_TRUE(Doc.EditImage->Empty());
  EXPECT_TRUE(Doc.Material->Empty());
  EXPECT_EQ(Doc.EditImage->TransparentColor(), clWhite);
}

TEST(OrvDatas, SetChipSizeLeavesBothImages) {
  TOrvDatas Doc;
  Doc.NewEditImage(2, 2);
  Doc.Material = MakeBitmap(40, 30, pf24bit);
  PaintPattern(*Doc.EditImage);
  const auto Edit = Snapshot(*Doc.EditImage);
  const auto Material = Snapshot(*Doc.Material);
  Doc.SetChipSize(24, 16);
  EXPECT_EQ(Doc.ChipWidth, 24);
  EXPECT_EQ(Doc.ChipHeight, 16);
  EXPECT_TRUE(Doc.EditImage->SharesImageWith(*Edit));
  EXPECT_TRUE(Doc.Material->SharesImageWith(*Material));
}

TEST(OrvDatas, ChipSizeBelowOneIsRefused) {
  TOrvDatas Doc;
  for (auto [w, h] : std::initializer_list<std::pair<int, int>>{{0, 32}, {32, 0}, {-5, 8}}) {
    ExpectRaises<EInvalidGraphic>([&, w = w, h = h] { Doc.SetChipSize(w, h); }, "Invalid chip size");
    EXPECT_EQ(Doc.ChipWidth, 32);
    EXPECT_EQ(Doc.ChipHeight, 32);
  }
  // The fields are open to writing: the rules check before they divide.
  Doc.ChipWidth = 0;
  EXPECT_THROW(Doc.SnapToChip(5, 5), EInvalidGraphic);
  TRect Selection{};
  EXPECT_THROW(Doc.ReleaseSelection(Selection, 5, 5), EInvalidGraphic);
  EXPECT_THROW(Doc.StampSelection(Selection, 5, 5), EInvalidGraphic);
  EXPECT_THROW(Doc.NewEditImage(1, 1), EInvalidGraphic);
}

// ---------------------------------------------------------------------------------------------------------------
// Sizing the edit image

TEST(OrvDatasNewEditImage, SizeIsCountTimesChipSize) {
  struct Case {
    int ChipW, ChipH, Columns, Rows, Width, Height;
  };
  for (const Case& c : {Case{32, 32, 16, 16, 512, 512}, Case{24, 32, 16, 16, 384, 512},
                        Case{16, 16, 3, 5, 48, 80}, Case{1, 65536, 7, 1, 7, 65536}}) {
    TOrvDatas Doc;
    Doc.SetChipSize(c.ChipW, c.ChipH);
    Doc.NewEditImage(c.Columns, c.Rows);
    EXPECT_EQ(Doc.EditImage->Width(), c.Width);
    EXPECT_EQ(Doc.EditImage->Height(), c.Height);
    EXPECT_EQ(Doc.EditImage->PixelFormat(), pfDevice);
  }
}

TEST(OrvDatasNewEditImage, EmptyImageBecomesWhiteInDisplayFormat) {
  TOrvDatas Doc;
  Doc.EditImage = MakeBitmap(0, 0, pf8bit);  // an empty image as a reader may leave it
  Doc.SetChipSize(4, 3);
  Doc.NewEditImage(2, 2);
  ASSERT_EQ(Doc.EditImage->PixelFormat(), pfDevice);
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 8; ++x) ASSERT_EQ(Doc.EditImage->GetPixel(x, y), clWhite) << x << "," << y;
}

TEST(OrvDatasNewEditImage, KeepsContentAtTopLeftAndAddsWhite) {
  TOrvDatas Doc;
  Doc.SetChipSize(8, 8);
  Doc.NewEditImage(2, 2);
  PaintPattern(*Doc.EditImage);
  Doc.NewEditImage(3, 1);  // wider and lower: 24 x 8
  ASSERT_EQ(Doc.EditImage->Width(), 24);
  ASSERT_EQ(Doc.EditImage->Height(), 8);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 24; ++x)
      ASSERT_EQ(Doc.EditImage->GetPixel(x, y), x < 16 ? PatternColor(x, y) : clWhite) << x << "," << y;

  const auto Before = Snapshot(*Doc.EditImage);
  Doc.NewEditImage(3, 1);
  EXPECT_TRUE(Doc.EditImage->SharesImageWith(*Before)) << "the same size changes nothing";
}

TEST(OrvDatasNewEditImage, ImageWithPixelsKeepsItsFormat) {
  for (TPixelFormat Format : {pf1bit, pf4bit, pf8bit, pf16bit, pf24bit}) {
    TOrvDatas Doc;
    Doc.EditImage = MakeBitmap(10, 10, Format);
    Doc.NewEditImage(1, 1);
    EXPECT_EQ(Doc.EditImage->PixelFormat(), Format);
    EXPECT_EQ(Doc.EditImage->Width(), 32);
    EXPECT_EQ(Doc.EditImage->GetPixel(31, 31), clWhite) << Format;
  }
}

TEST(OrvDatasNewEditImage, OutOfRangeSizesRaiseAndLeaveTheImage) {
  struct Case {
    int ChipW, ChipH, Columns, Rows;
    bool TooLarge;  // else a non-positive count
  };
  const Case Cases[] = {
      {32, 32, 0, 1, false},
      {32, 32, 1, 0, false},
      {32, 32, -3, 4, false},
      {32, 32, INT_MIN, INT_MIN, false},
      {65536, 32, 32768, 1, true},  // width 2^31
      {65536, 65536, 65536, 65536, true},
      {1, 1, INT_MAX, 1, true},    // 2^31 - 1 pixels wide, 8 GiB at 32 bits
      {32, 32, 1024, 1024, true},  // 32768 x 32768 at 32 bits: 4 GiB
      {32, 1, 1, INT_MAX, true},   // rows of 128 bytes, 2^31 - 1 of them
  };
  for (const Case& c : Cases) {
    TOrvDatas Doc;
    Doc.NewEditImage(1, 1);
    Doc.SetChipSize(c.ChipW, c.ChipH);
    const auto Before = Snapshot(*Doc.EditImage);
    SCOPED_TRACE(testing::Message() << c.Columns << " x " << c.Rows);
    if (c.TooLarge)
      ExpectRaises<EOutOfResources>([&] { Doc.NewEditImage(c.Columns, c.Rows); }, "Out of system resources");
    else
      ExpectRaises<EInvalidGraphic>([&] { Doc.NewEditImage(c.Columns, c.Rows); }, "Invalid image size");
    EXPECT_TRUE(Doc.EditImage->SharesImageWith(*Before)) << c.Columns << " x " << c.Rows;
  }
}

TEST(OrvDatasNewEditImage, ByteLimitFollowsThePixelFormat) {
  // 65536 x 32768 at 8 bits: 2^31 bytes, one more than allowed.
  TOrvDatas Doc;
  Doc.EditImage = MakeBitmap(4, 4, pf8bit);
  Doc.SetChipSize(65536, 32768);
  EXPECT_THROW(Doc.NewEditImage(1, 1), EOutOfResources);
  Doc.EditImage = MakeBitmap(0, 0, pf1bit);
  Doc.SetChipSize(32768, 16384);  // an empty image is sized at 32 bits: 8 GiB, not 256 MiB at 1 bit
  EXPECT_THROW(Doc.NewEditImage(2, 2), EOutOfResources);
  EXPECT_TRUE(Doc.EditImage->Empty());
}

TEST(OrvDatasNewEditImage, RecreatesAMissingBitmap) {
  TOrvDatas Doc;
  Doc.EditImage.reset();
  Doc.NewEditImage(1, 2);
  ASSERT_TRUE(Doc.EditImage);
  EXPECT_EQ(Doc.EditImage->Height(), 64);
  EXPECT_EQ(Doc.EditImage->TransparentColor(), clWhite);
}

// ---------------------------------------------------------------------------------------------------------------
// Chip-grid rules

TEST(OrvDatasGrid, SnapTruncatesTowardZero) {
  struct Case {
    int ChipW, ChipH, X, Y, SX, SY;
  };
  const Case Cases[] = {
      {32, 32, 0, 0, 0, 0},
      {32, 32, 31, 31, 0, 0},
      {32, 32, 32, 32, 32, 32},
      {32, 32, -1, -1, 0, 0},
      {32, 32, -31, -31, 0, 0},
      {32, 32, -32, -32, -32, -32},
      {32, 32, -33, -33, -32, -32},
      {32, 32, 63, 64, 32, 64},
      {24, 32, 50, 50, 48, 32},
      {24, 32, -25, -65, -24, -64},
      {1, 1, -7, 9, -7, 9},
      {65536, 65536, INT_MAX, INT_MIN, 2147418112, INT_MIN},
      {3, 7, INT_MIN, INT_MAX, -2147483646, 2147483646},
  };
  for (const Case& c : Cases) {
    TOrvDatas Doc;
    Doc.SetChipSize(c.ChipW, c.ChipH);
    const TPoint P = Doc.SnapToChip(c.X, c.Y);
    EXPECT_EQ(P.X, c.SX) << c.ChipW << ": " << c.X;
    EXPECT_EQ(P.Y, c.SY) << c.ChipH << ": " << c.Y;
  }
}

TEST(OrvDatasGrid, PressAndReleaseSelectEveryChipBetween) {
  struct Case {
    int ChipW, ChipH, PressX, PressY, ReleaseX, ReleaseY;
    TRect Expected;
  };
  const Case Cases[] = {
      {32, 32, 70, 40, 10, 100, {0, 32, 96, 128}},  // chip (2, 1) to chip (0, 3)
      {32, 32, 40, 10, 5, 80, {0, 0, 64, 96}},
      {32, 32, 33, 33, 60, 60, {32, 32, 64, 64}},  // one chip
      {32, 32, 5, 5, 100, 70, {0, 0, 128, 96}},
      {32, 32, 100, 70, 5, 5, {0, 0, 128, 96}},      // the same chips dragged the other way
      {32, 32, 5, 5, -40, -40, {-32, -32, 32, 32}},  // released left of and above the material
      {32, 32, 5, 5, -10, -10, {0, 0, 32, 32}},      // -10 snaps to chip 0
      {24, 32, 50, 10, 100, 70, {48, 0, 120, 96}},
      {16, 16, 200, 8, 190, 300, {176, 0, 208, 304}},
  };
  for (const Case& c : Cases) {
    TOrvDatas Doc;
    Doc.SetChipSize(c.ChipW, c.ChipH);
    TRect Selection{1, 2, 3, 4};
    Doc.PressSelection(Selection, c.PressX, c.PressY);
    const TPoint P = Doc.SnapToChip(c.PressX, c.PressY);
    EXPECT_EQ(Selection, (TRect{P.X, P.Y, P.X, P.Y}));
    Doc.ReleaseSelection(Selection, c.ReleaseX, c.ReleaseY);
    EXPECT_EQ(Selection, c.Expected) << c.PressX << "," << c.PressY << " -> " << c.ReleaseX << ","
                                     << c.ReleaseY;
  }
}

TEST(OrvDatasGrid, ReleaseWithoutPressWorksOnTheStoredSelection) {
  TOrvDatas Doc;
  TRect Selection{0, 32, 96, 128};
  Doc.ReleaseSelection(Selection, 200, 0);  // 192 > Left: Right moves; 0 <= Top: Top moves
  EXPECT_EQ(Selection, (TRect{0, 0, 224, 160}));
  Doc.ReleaseSelection(Selection, 40, 40);  // both corners move right/down, then grow again
  EXPECT_EQ(Selection, (TRect{0, 0, 64, 64}));
  Selection = TRect{};
  Doc.ReleaseSelection(Selection, 0, 0);
  EXPECT_EQ(Selection, (TRect{0, 0, 32, 32}));
  Selection = TRect{0, 0, 96, 96};
  Doc.ReleaseSelection(Selection, 10,
                       10);  // the chip at Left, Top: those corners stay, Right and Bottom grow
  EXPECT_EQ(Selection, (TRect{0, 0, 128, 128}));
}

TEST(OrvDatasGrid, ReleaseHoldsTheGrowthAtThe32BitLimit) {
  TOrvDatas Doc;
  Doc.SetChipSize(65536, 65536);
  TRect Selection;
  Doc.PressSelection(Selection, 0, 0);
  Doc.ReleaseSelection(Selection, INT_MAX, INT_MAX);
  EXPECT_EQ(Selection, (TRect{0, 0, INT_MAX, INT_MAX}));
}

// ---------------------------------------------------------------------------------------------------------------
// Stamping

class OrvDatasStamp : public ::testing::Test {
 protected:
  void SetUp() override {
    Doc.Material = MakeBitmap(64, 64, pf24bit);
    PaintPattern(*Doc.Material);
    Doc.NewEditImage(3, 2);  // 96 x 64, white
  }
  // Every pixel of the edit image: the material pixel at Offset inside Changed, white elsewhere.
  void ExpectEditImage(const TRect& Changed, TPoint Offset) {
    for (int y = 0; y < Doc.EditImage->Height(); ++y)
      for (int x = 0; x < Doc.EditImage->Width(); ++x) {
        const bool In = x >= Changed.Left && x < Changed.Right && y >= Changed.Top && y < Changed.Bottom;
        ASSERT_EQ(Doc.EditImage->GetPixel(x, y), In ? PatternColor(x + Offset.X, y + Offset.Y) : clWhite)
            << x << "," << y;
      }
  }
  TOrvDatas Doc;
};

TEST_F(OrvDatasStamp, CopiesTheSelectionToTheClickedCell) {
  const TRect Changed = Doc.StampSelection(TRect{32, 0, 64, 64}, 5, 0);
  EXPECT_EQ(Changed, (TRect{0, 0, 32, 64}));
  ExpectEditImage(Changed, TPoint{32, 0});
}

TEST_F(OrvDatasStamp, DropsWhatFallsOutsideTheEditImage) {
  const TRect Changed = Doc.StampSelection(TRect{0, 0, 64, 32}, 70, 40);  // last column, second row
  EXPECT_EQ(Changed, (TRect{64, 32, 96, 64}));
  ExpectEditImage(Changed, TPoint{-64, -32});
}

TEST_F(OrvDatasStamp, LeavesPixelsWhoseSourceIsOutsideTheMaterial) {
  const TRect Changed = Doc.StampSelection(TRect{32, 32, 96, 128}, 0, 0);
  EXPECT_EQ(Changed, (TRect{0, 0, 32, 32}));
  ExpectEditImage(Changed, TPoint{32, 32});
}

TEST_F(OrvDatasStamp, NothingToCopyChangesNothing) {
  const auto Before = Snapshot(*Doc.EditImage);
  const TRect Nothing[] = {TRect{}, TRect{32, 32, 32, 64}, TRect{64, 0, 32, 32}, TRect{200, 200, 264, 232},
                           TRect{INT_MIN, INT_MIN, INT_MAX, INT_MAX}};
  // Empty, zero-width, reversed, wholly outside the material, and a selection whose part that would land on
  // the edit image lies at negative material positions.
  for (const TRect& Selection : Nothing) EXPECT_EQ(Doc.StampSelection(Selection, 10, 10), TRect{});
  EXPECT_TRUE(Doc.EditImage->SharesImageWith(*Before));
  EXPECT_EQ(Doc.StampSelection(TRect{0, 0, 32, 32}, 96, 0), TRect{});  // a click beyond the right edge
  Doc.Material = std::make_unique<TBitmap>();
  EXPECT_EQ(Doc.StampSelection(TRect{0, 0, 32, 32}, 0, 0), TRect{});
  EXPECT_TRUE(Doc.EditImage->SharesImageWith(*Before));
}

TEST_F(OrvDatasStamp, IndexedEditImageTakesTheNearestPaletteColours) {
  const TPaletteEntry Entries[] = {{0, 0, 0, 0}, {255, 255, 255, 0}, {0, 0x40, 0x5A, 0}};
  Doc.EditImage = MakeBitmap(64, 32, pf8bit, CreatePalette(Entries));
  Doc.Material->Canvas().SetPixel(0, 0, RGB(0, 0x3F, 0x5A));
  Doc.Material->Canvas().SetPixel(1, 0, RGB(250, 250, 250));
  Doc.StampSelection(TRect{0, 0, 32, 32}, 40, 0);
  EXPECT_EQ(Doc.EditImage->GetPixel(32, 0), RGB(0, 0x40, 0x5A));
  EXPECT_EQ(Doc.EditImage->GetPixel(33, 0), clWhite);
  EXPECT_EQ(Doc.EditImage->PixelFormat(), pf8bit);
}

}  // namespace
