// The DIB transfer calls: fetching a bitmap's pixels into DIB memory and drawing DIB memory onto a canvas.
#include <gtest/gtest.h>

#include "Bitmaps.h"
#include "ExpectRaises.h"
#include "Graphics.h"

namespace {

struct Dib {
  BITMAPINFOHEADER Header;
  std::vector<RGBQUAD> Colors = std::vector<RGBQUAD>(256);
  std::vector<uint8_t> Bits;
};

Dib Fetch(const TBitmap& b, int bitCount, bool topDown = false) {
  Dib d;
  d.Header.biWidth = b.Width();
  d.Header.biHeight = topDown ? -b.Height() : b.Height();
  d.Header.biBitCount = static_cast<uint16_t>(bitCount);
  d.Bits.assign(static_cast<size_t>(DibImageBytes(b.Width(), b.Height(), bitCount)), 0xCC);
  GetDIBits(b, d.Header, d.Colors.data(), d.Bits.data());
  return d;
}

void Draw(TBitmap& target, const Dib& d, TRect dst, TRect src) {
  StretchDIBits(target.Canvas(), dst.Left, dst.Top, dst.Width(), dst.Height(), src.Left, src.Top, src.Width(),
                src.Height(), d.Bits.data(), static_cast<int64_t>(d.Bits.size()), d.Header, d.Colors.data());
}

TEST(GetDIBits, TrueColourRowsInEitherOrder) {
  auto b = WhiteBitmap(pf32bit, 2, 2);
  b->Canvas().SetPixel(0, 0, RGB(1, 2, 3));
  b->Canvas().SetPixel(1, 1, RGB(4, 5, 6));
  Dib up = Fetch(*b, 24);
  EXPECT_EQ(up.Header.biClrUsed, 0u);
  EXPECT_EQ(up.Bits, (std::vector<uint8_t>{255, 255, 255, 6, 5, 4, 0, 0,  // bottom row first
                                           3, 2, 1, 255, 255, 255, 0, 0}));
  Dib down = Fetch(*b, 24, true);
  EXPECT_EQ(std::vector<uint8_t>(down.Bits.begin(), down.Bits.begin() + 3), (std::vector<uint8_t>{3, 2, 1}));
}

TEST(GetDIBits, IndexedBitmapKeepsItsPaletteAndIndices) {
  auto b = WhiteBitmap(pf8bit, 3, 1);
  b->SetPalette(MakePalette({clBlack, RGB(9, 9, 9), RGB(9, 9, 9), RGB(1, 2, 3), clWhite}));
  b->ScanLine(0)[0] = 2;
  b->ScanLine(0)[1] = 3;
  b->ScanLine(0)[2] = 1;
  Dib d = Fetch(*b, 8);
  EXPECT_EQ(d.Header.biClrUsed, 5u);
  EXPECT_EQ(d.Colors[3], (RGBQUAD{3, 2, 1, 0}));
  EXPECT_EQ(std::vector<uint8_t>(d.Bits.begin(), d.Bits.begin() + 3), (std::vector<uint8_t>{2, 3, 1}));
  // At 4 bits the indices still fit; at 1 bit only the first two colours are left.
  Dib four = Fetch(*b, 4);
  EXPECT_EQ(four.Bits[0], 0x23);
  Dib one = Fetch(*b, 1);
  EXPECT_EQ(one.Header.biClrUsed, 2u);
  EXPECT_EQ(one.Bits[0], 0xA0);  // (1, 2, 3) is nearest to black, (9, 9, 9) to entry 1
}

TEST(GetDIBits, WithoutAPaletteTheDefaultTableAndNoCount) {
  auto b = WhiteBitmap(pf24bit, 2, 1);
  b->Canvas().SetPixel(0, 0, RGB(250, 0, 0));
  Dib d = Fetch(*b, 4);
  const HPALETTE vga = DefaultPalette(4);
  EXPECT_EQ(d.Header.biClrUsed, 0u);
  for (int i = 0; i < 16; ++i) {
    const TPaletteEntry& e = vga->Entries[static_cast<size_t>(i)];
    EXPECT_EQ(d.Colors[static_cast<size_t>(i)], (RGBQUAD{e.peBlue, e.peGreen, e.peRed, 0}));
  }
  EXPECT_EQ(d.Bits[0] >> 4, NearestPaletteEntry(vga->Entries, 250, 0, 0));
  EXPECT_EQ(d.Bits[0] & 15, NearestPaletteEntry(vga->Entries, 255, 255, 255));
}

TEST(GetDIBits, Errors) {
  auto b = WhiteBitmap(pf24bit, 2, 1);
  Dib d;
  d.Header.biWidth = 3;
  d.Header.biHeight = 1;
  d.Header.biBitCount = 24;
  d.Bits.resize(64);
  EXPECT_THROW(GetDIBits(*b, d.Header, d.Colors.data(), d.Bits.data()), EInvalidGraphic);
  d.Header.biWidth = 2;
  d.Header.biBitCount = 7;
  EXPECT_THROW(GetDIBits(*b, d.Header, d.Colors.data(), d.Bits.data()), EInvalidGraphic);
}

TEST(StretchDIBits, DrawsEveryFormatBackAsFetched) {
  for (TPixelFormat format : kAllPixelFormats) {
    auto b = WhiteBitmap(format, 5, 3);
    b->Canvas().SetPixel(1, 0, clBlack);
    b->Canvas().SetPixel(4, 2, clBlack);
    const int bits = PixelFormatBitCount(format) <= 8 ? PixelFormatBitCount(format) : 24;
    for (bool topDown : {false, true}) {
      const Dib d = Fetch(*b, bits, topDown);
      auto target = WhiteBitmap(format, 5, 3);
      target->Canvas().Brush.Color = clBlack;
      target->Canvas().FillRect(Rect(0, 0, 5, 3));
      Draw(*target, d, Rect(0, 0, 5, 3), Rect(0, 0, 5, 3));
      EXPECT_EQ(PixelColors(*target), PixelColors(*b)) << PixelFormatName(format) << topDown;
    }
  }
}

TEST(StretchDIBits, StretchesAPartOfThePicture) {
  auto b = WhiteBitmap(pf8bit, 3, 2);
  b->Canvas().SetPixel(1, 0, clBlack);
  const Dib d = Fetch(*b, 8);
  auto target = WhiteBitmap(pf24bit, 4, 4);
  // Picture columns 1..2 of the top row, doubled in both directions.
  Draw(*target, d, Rect(0, 0, 4, 2), Rect(1, 0, 3, 1));
  const TColor W = clWhite, B = clBlack;
  EXPECT_EQ(PixelColors(*target), (std::vector<TColor>{B, B, W, W, B, B, W, W, W, W, W, W, W, W, W, W}));
}

TEST(StretchDIBits, RlePicturesOntoTheirOwnPaletteCopyIndices) {
  // Entries 1 and 2 have the same colour: only an index copy keeps them apart.
  Dib d;
  d.Header.biWidth = 4;
  d.Header.biHeight = 2;
  d.Header.biBitCount = 4;
  d.Header.biCompression = BI_RLE4;
  d.Header.biClrUsed = 3;
  d.Colors[0] = {0, 0, 0, 0};
  d.Colors[1] = d.Colors[2] = {50, 60, 70, 0};
  d.Bits = {4, 0x12, 0, 0, 2, 0x22, 0, 1};
  auto b = WhiteBitmap(pf4bit, 4, 2);
  b->SetPalette(MakePalette({clBlack, RGB(70, 60, 50), RGB(70, 60, 50)}));
  Draw(*b, d, Rect(0, 0, 4, 2), Rect(0, 0, 4, 2));
  EXPECT_EQ(b->ScanLine(0)[0], 0x22);
  EXPECT_EQ(b->ScanLine(0)[1], 0x00);
  EXPECT_EQ(b->ScanLine(1)[0], 0x12);
  EXPECT_EQ(b->ScanLine(1)[1], 0x12);
  // Onto true colour the same picture shows its colours.
  auto t = WhiteBitmap(pf24bit, 4, 2);
  Draw(*t, d, Rect(0, 0, 4, 2), Rect(0, 0, 4, 2));
  EXPECT_EQ(t->GetPixel(0, 1), RGB(70, 60, 50));
  EXPECT_EQ(t->GetPixel(3, 0), clBlack);
}

TEST(StretchDIBits, BadPicturesRaiseAndDrawNothing) {
  auto b = WhiteBitmap(pf24bit, 2, 2);
  Dib good = Fetch(*b, 8);
  auto check = [&](Dib d, int64_t size) {
    int changes = 0;
    b->OnChange = [&](TObject*) { ++changes; };
    ExpectRaises<EInvalidGraphic>(
        [&] {
          StretchDIBits(b->Canvas(), 0, 0, 2, 2, 0, 0, 2, 2, d.Bits.data(), size, d.Header, d.Colors.data());
        },
        "Bitmap image is not valid");
    EXPECT_EQ(changes, 0);
  };
  check(good, static_cast<int64_t>(good.Bits.size()) - 1);  // shorter than its rows
  Dib badBits = good;
  badBits.Header.biBitCount = 3;
  check(badBits, static_cast<int64_t>(badBits.Bits.size()));
  Dib topDownRle = good;
  topDownRle.Header.biCompression = BI_RLE8;
  topDownRle.Header.biHeight = -2;
  check(topDownRle, 2);
  Dib badRle = good;
  badRle.Header.biCompression = BI_RLE8;
  badRle.Bits = {3, 1};  // a run past the width
  check(badRle, 2);
  EXPECT_EQ(PixelColors(*b), std::vector<TColor>(4, clWhite));
}

}  // namespace
