// The platform bitmap: sizes, sharing on Assign, pixel-format conversion, row layout and palettes.
#include <gtest/gtest.h>

#include "Bitmaps.h"
#include "ExpectRaises.h"
#include "Graphics.h"

namespace {

class BitmapFormat : public testing::TestWithParam<TPixelFormat> {};

INSTANTIATE_TEST_SUITE_P(AllFormats, BitmapFormat, testing::ValuesIn(kAllPixelFormats),
                         [](const auto& info) { return PixelFormatName(info.param); });

TEST_P(BitmapFormat, SetSizeKeepsPixelsTopLeftAndWhitensNewArea) {
  auto b = WhiteBitmap(GetParam(), 3, 2);
  EXPECT_EQ(b->PixelFormat(), GetParam());
  EXPECT_EQ(b->RowBytes(), DibRowBytes(3, PixelFormatBitCount(GetParam())));
  b->Canvas().SetPixel(0, 0, clBlack);
  b->Canvas().SetPixel(2, 1, clBlack);
  b->SetSize(5, 4);
  EXPECT_EQ(PixelColors(*b), (std::vector<TColor>{clBlack, clWhite, clWhite, clWhite, clWhite,  //
                                                  clWhite, clWhite, clBlack, clWhite, clWhite,  //
                                                  clWhite, clWhite, clWhite, clWhite, clWhite,  //
                                                  clWhite, clWhite, clWhite, clWhite, clWhite}));
  b->SetSize(1, 1);
  EXPECT_EQ(PixelColors(*b), std::vector<TColor>{clBlack});
  EXPECT_EQ(b->PixelFormat(), GetParam());
}

TEST_P(BitmapFormat, ConvertsToTwentyFourBitsExactly) {
  auto b = WhiteBitmap(GetParam(), 4, 1);
  b->Canvas().SetPixel(1, 0, clBlack);
  if (GetParam() != pf1bit) b->Canvas().SetPixel(2, 0, RGB(255, 0, 0));
  const std::vector<TColor> before = PixelColors(*b);
  b->SetPixelFormat(pf24bit);
  EXPECT_EQ(b->PixelFormat(), pf24bit);
  EXPECT_EQ(PixelColors(*b), before);
  EXPECT_EQ(b->ScanLine(0)[3 * 2 + 2], 255);  // the red byte of pixel 2 (red, or white at 1 bit)
}

TEST(Bitmap, EmptyBitmapSizedIsWhiteDeviceFormat) {
  TBitmap b;
  EXPECT_TRUE(b.Empty());
  EXPECT_EQ(b.PixelFormat(), pfDevice);
  b.SetSize(2, 1);
  EXPECT_EQ(b.PixelFormat(), pfDevice);
  EXPECT_EQ(b.RowBytes(), 8);
  const uint8_t* row = b.ScanLine(0);
  EXPECT_EQ(std::vector<uint8_t>(row, row + 8), (std::vector<uint8_t>{255, 255, 255, 0, 255, 255, 255, 0}));
}

TEST(Bitmap, SetSizeToTheSameSizeChangesNothing) {
  auto b = WhiteBitmap(pf24bit, 2, 2);
  int changes = 0;
  b->OnChange = [&](TObject*) { ++changes; };
  b->SetSize(2, 2);
  EXPECT_EQ(changes, 0);
  b->SetSize(3, 2);
  EXPECT_EQ(changes, 1);
}

TEST(Bitmap, SizeErrorsLeaveTheImage) {
  auto b = WhiteBitmap(pf8bit, 2, 2);
  TBitmap before;
  before.Assign(b.get());
  ExpectRaises<EInvalidGraphic>([&] { b->SetSize(-1, 2); }, "Invalid image size");
  // 50000 x 50000 x 4 bytes is far beyond 2^31 - 1 bytes.
  b->SetPixelFormat(pf32bit);
  before.Assign(b.get());
  ExpectRaises<EOutOfResources>([&] { b->SetSize(50000, 50000); }, "Out of system resources");
  EXPECT_TRUE(b->SharesImageWith(before));
  EXPECT_THROW(NewBitmapImage(46341, 46341, pf8bit, nullptr, false),
               EOutOfResources);  // just over 2^31 bytes
  EXPECT_THROW(NewBitmapImage(1, 1, pfCustom, nullptr, false), EInvalidGraphic);
}

TEST(Bitmap, AssignSharesTheImageUntilOneSideChanges) {
  auto a = WhiteBitmap(pf24bit, 3, 3);
  a->SetTransparentColor(clBlack);
  TBitmap b;
  int changes = 0;
  b.OnChange = [&](TObject*) { ++changes; };
  b.Assign(a.get());
  EXPECT_TRUE(b.SharesImageWith(*a));
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(b.TransparentColor(), clBlack);
  EXPECT_EQ(b.TransparentMode, tmFixed);

  // Reading does not unshare; drawing, writable rows and palettes do, and only on the side that changes.
  static_cast<const TBitmap&>(b).ScanLine(0);
  EXPECT_EQ(b.GetPixel(0, 0), clWhite);
  EXPECT_TRUE(b.SharesImageWith(*a));
  b.Canvas().SetPixel(1, 1, clBlack);
  EXPECT_FALSE(b.SharesImageWith(*a));
  EXPECT_EQ(b.GetPixel(1, 1), clBlack);
  EXPECT_EQ(a->GetPixel(1, 1), clWhite);

  b.Assign(a.get());
  b.ScanLine(2)[0] = 0;
  EXPECT_FALSE(b.SharesImageWith(*a));
  EXPECT_EQ(a->ScanLine(2)[0], 255);

  b.Assign(a.get());
  a->SetPixelFormat(pf8bit);
  EXPECT_EQ(b.PixelFormat(), pf24bit);

  b.Assign(nullptr);
  EXPECT_TRUE(b.Empty());
  EXPECT_EQ(b.PixelFormat(), pfDevice);
  EXPECT_EQ(b.Palette(), nullptr);
}

TEST(Bitmap, ToIndexedTakesTheNearestColourOfTheDefaultPalette) {
  auto b = WhiteBitmap(pf24bit, 3, 1);
  b->Canvas().SetPixel(0, 0, RGB(250, 5, 5));      // near red
  b->Canvas().SetPixel(1, 0, RGB(120, 130, 125));  // near grey
  b->SetPixelFormat(pf4bit);
  const HPALETTE vga = DefaultPalette(4);
  ASSERT_EQ(PaletteSize(b->Palette()), 16);
  EXPECT_EQ(b->Palette()->Entries, vga->Entries);
  const uint8_t* row = b->ScanLine(0);
  EXPECT_EQ(row[0] >> 4, NearestPaletteEntry(vga->Entries, 250, 5, 5));
  EXPECT_EQ(row[0] & 15, NearestPaletteEntry(vga->Entries, 120, 130, 125));
  EXPECT_EQ(row[1] >> 4, NearestPaletteEntry(vga->Entries, 255, 255, 255));
}

TEST(Bitmap, ToIndexedUsesTheBitmapsOwnPaletteCutToTheFormat) {
  auto b = WhiteBitmap(pf24bit, 3, 1);
  b->SetPalette(MakePalette({RGB(10, 10, 10), RGB(200, 0, 0), RGB(0, 0, 200)}));
  b->Canvas().SetPixel(0, 0, RGB(190, 20, 0));
  b->Canvas().SetPixel(1, 0, RGB(0, 0, 0));
  b->SetPixelFormat(pf8bit);
  EXPECT_EQ(PaletteSize(b->Palette()), 3);
  EXPECT_EQ(std::vector<uint8_t>(b->ScanLine(0), b->ScanLine(0) + 3), (std::vector<uint8_t>{1, 0, 1}));
  // To one bit: the first two entries only.
  b->SetPixelFormat(pf1bit);
  EXPECT_EQ(PaletteSize(b->Palette()), 2);
  EXPECT_EQ(b->GetPixel(0, 0), RGB(200, 0, 0));
  EXPECT_EQ(b->GetPixel(2, 0), RGB(200, 0, 0));  // blue (0, 0, 200) is nearer to red than to grey 10
}

TEST(Bitmap, PaletteSurvivesARoundTripThroughTrueColour) {
  auto b = WhiteBitmap(pf8bit, 4, 1);
  const HPALETTE palette = MakePalette({RGB(1, 2, 3), RGB(4, 5, 6), RGB(7, 8, 9), RGB(255, 255, 255)});
  b->SetPalette(palette);
  for (int x = 0; x < 4; ++x) b->ScanLine(0)[x] = static_cast<uint8_t>(3 - x);
  b->SetPixelFormat(pf24bit);
  EXPECT_EQ(b->GetPixel(1, 0), RGB(7, 8, 9));
  b->SetPixelFormat(pf8bit);
  EXPECT_EQ(b->Palette()->Entries, palette->Entries);
  EXPECT_EQ(std::vector<uint8_t>(b->ScanLine(0), b->ScanLine(0) + 4), (std::vector<uint8_t>{3, 2, 1, 0}));
}

TEST(Bitmap, WideningAnIndexedBitmapKeepsItsIndices) {
  auto b = WhiteBitmap(pf1bit, 9, 1);
  b->SetPalette(MakePalette({RGB(0, 0, 255), RGB(0, 0, 255)}));  // two equal colours
  b->ScanLine(0)[0] = 0x55;
  b->SetPixelFormat(pf4bit);
  EXPECT_EQ(PaletteSize(b->Palette()), 2);
  EXPECT_EQ(b->ScanLine(0)[0], 0x01);
  EXPECT_EQ(b->ScanLine(0)[1], 0x01);
  b->SetPixelFormat(pf8bit);
  EXPECT_EQ(std::vector<uint8_t>(b->ScanLine(0), b->ScanLine(0) + 4), (std::vector<uint8_t>{0, 1, 0, 1}));
}

TEST(Bitmap, FifteenAndSixteenBitsPackTheHighBits) {
  auto b = WhiteBitmap(pf24bit, 1, 1);
  b->Canvas().SetPixel(0, 0, RGB(0x12, 0x34, 0x56));
  TBitmap c;
  c.Assign(b.get());
  b->SetPixelFormat(pf16bit);
  c.SetPixelFormat(pf15bit);
  EXPECT_EQ(b->ScanLine(0)[0] | (b->ScanLine(0)[1] << 8), (0x12 >> 3) << 11 | (0x34 >> 2) << 5 | (0x56 >> 3));
  EXPECT_EQ(c.ScanLine(0)[0] | (c.ScanLine(0)[1] << 8), (0x12 >> 3) << 10 | (0x34 >> 3) << 5 | (0x56 >> 3));
  // Back to 24 bits the channels repeat their high bits, so full intensity stays full.
  b->Canvas().SetPixel(0, 0, clWhite);
  b->SetPixelFormat(pf24bit);
  EXPECT_EQ(b->GetPixel(0, 0), clWhite);
  c.SetPixelFormat(pf32bit);
  EXPECT_EQ(c.GetPixel(0, 0), RGB(0x10, 0x31, 0x52));
}

TEST(Bitmap, RowLayoutCountsFromTheTopWithTheLeftmostPixelHigh) {
  auto b = WhiteBitmap(pf4bit, 3, 2);
  b->Canvas().SetPixel(0, 1, PaletteIndexColor(1));
  b->Canvas().SetPixel(1, 1, PaletteIndexColor(2));
  EXPECT_EQ(b->ScanLine(1)[0], 0x12);
  EXPECT_EQ(b->ScanLine(0) + b->RowBytes(), b->ScanLine(1));
  EXPECT_THROW(b->ScanLine(2), EInvalidGraphic);
  EXPECT_THROW(b->ScanLine(-1), EInvalidGraphic);
  EXPECT_EQ(b->GetPixel(3, 0), -1);
}

TEST(Bitmap, SetPaletteKeepsIndicesAndSignalsTheChange) {
  auto b = WhiteBitmap(pf4bit, 2, 1);
  b->ScanLine(0)[0] = 0x01;
  int changes = 0;
  b->OnChange = [&](TObject*) { ++changes; };
  b->PaletteModified = false;
  std::vector<TPaletteEntry> many(256, TPaletteEntry{9, 9, 9, 0});
  many[1] = {1, 2, 3, 0};
  b->SetPalette(CreatePalette(many));
  EXPECT_EQ(changes, 1);
  EXPECT_TRUE(b->PaletteModified);
  EXPECT_EQ(PaletteSize(b->Palette()), 16);  // a 4-bit bitmap holds 16 colours
  EXPECT_EQ(b->GetPixel(1, 0), RGB(1, 2, 3));
  EXPECT_EQ(b->GetPixel(0, 0), RGB(9, 9, 9));
}

TEST(Bitmap, PixelFormatErrors) {
  auto b = WhiteBitmap(pf8bit, 1, 1);
  ExpectRaises<EInvalidGraphic>([&] { b->SetPixelFormat(pfCustom); }, "Invalid pixel format");
  EXPECT_EQ(b->PixelFormat(), pf8bit);
  int changes = 0;
  b->OnChange = [&](TObject*) { ++changes; };
  b->SetPixelFormat(pf8bit);
  EXPECT_EQ(changes, 0);
}

TEST(Bitmap, DrawStretchesByNearestPixel) {
  auto src = WhiteBitmap(pf8bit, 2, 2);
  src->Canvas().SetPixel(1, 0, clBlack);
  auto dst = WhiteBitmap(pf24bit, 5, 5);
  dst->Canvas().StretchDraw(Rect(1, 1, 5, 5), *src);
  const TColor W = clWhite, B = clBlack;
  EXPECT_EQ(PixelColors(*dst), (std::vector<TColor>{W, W, W, W, W,  //
                                                    W, W, W, B, B,  //
                                                    W, W, W, B, B,  //
                                                    W, W, W, W, W,  //
                                                    W, W, W, W, W}));
  // Drawing a bitmap onto its own canvas reads the pixels as they were.
  TBitmap shared;
  shared.Assign(dst.get());
  dst->Canvas().Draw(-1, -1, *dst);
  EXPECT_EQ(dst->GetPixel(2, 0), B);
  EXPECT_EQ(dst->GetPixel(3, 1), B);
  EXPECT_EQ(dst->GetPixel(3, 3), W);
  EXPECT_EQ(shared.GetPixel(2, 0), W);
}

}  // namespace
