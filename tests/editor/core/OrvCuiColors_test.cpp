// Counting distinct colours: fixed cases, and every pixel format against the count of a 24-bit copy.
#include <gtest/gtest.h>

#include <random>
#include <unordered_set>

#include "OrvCui.h"

namespace {

std::unique_ptr<TBitmap> MakeBitmap(int Width, int Height, TPixelFormat Format, HPALETTE Palette = nullptr) {
  auto Bitmap = std::make_unique<TBitmap>();
  Bitmap->SetImage(NewBitmapImage(Width, Height, Format, std::move(Palette), true));
  return Bitmap;
}

// The count as defined: convert a copy to 24 bits and collect the keys red + green * 256 + blue * 65536.
int64_t ReferenceCount(TBitmap& Bitmap) {
  TBitmap Copy;
  Copy.Assign(&Bitmap);
  Copy.SetPixelFormat(pf24bit);
  std::unordered_set<uint32_t> Keys;
  for (int y = 0; y < Copy.Height(); ++y) {
    const uint8_t* p = static_cast<const TBitmap&>(Copy).ScanLine(y);
    for (int x = 0; x < Copy.Width(); ++x, p += 3) Keys.insert(p[2] | (p[1] << 8) | (p[0] << 16));
  }
  return static_cast<int64_t>(Keys.size());
}

TEST(OrvDatasCountColors, EmptyBitmapHasNoColours) {
  TBitmap Empty;
  EXPECT_EQ(TOrvDatas::CountColors(Empty), 0);
  for (TPixelFormat Format : {pf8bit, pf24bit, pfDevice}) {
    EXPECT_EQ(TOrvDatas::CountColors(*MakeBitmap(7, 0, Format)), 0);
    EXPECT_EQ(TOrvDatas::CountColors(*MakeBitmap(0, 7, Format)), 0);
  }
}

TEST(OrvDatasCountColors, AllWhiteIsOneColourInEveryFormat) {
  for (TPixelFormat Format : {pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit, pfDevice})
    EXPECT_EQ(TOrvDatas::CountColors(*MakeBitmap(33, 17, Format)), 1) << Format;
}

TEST(OrvDatasCountColors, IgnoresTheFourthByteOf32BitPixels) {
  for (TPixelFormat Format : {pf32bit, pfDevice}) {
    auto Bitmap = MakeBitmap(256, 3, Format);
    for (int y = 0; y < 3; ++y) {
      uint8_t* p = Bitmap->ScanLine(y);
      for (int x = 0; x < 256; ++x, p += 4) {
        p[0] = 0x10, p[1] = 0x20, p[2] = static_cast<uint8_t>(y);
        p[3] = static_cast<uint8_t>(x);
      }
    }
    EXPECT_EQ(TOrvDatas::CountColors(*Bitmap), 3) << Format;
  }
}

TEST(OrvDatasCountColors, Counts300Colours) {
  for (TPixelFormat Format : {pf24bit, pf32bit, pfDevice}) {
    auto Bitmap = MakeBitmap(40, 20, Format);  // 800 pixels, each colour used at most three times
    for (int i = 0; i < 800; ++i) {
      const int c = i % 300;
      Bitmap->Canvas().SetPixel(i % 40, i / 40,
                                RGB(static_cast<uint8_t>(c), static_cast<uint8_t>(c >> 8), 7));
    }
    EXPECT_EQ(TOrvDatas::CountColors(*Bitmap), 300) << Format;
  }
}

TEST(OrvDatasCountColors, IndexedBitmapsCountTheColoursOfUsedIndices) {
  // Entries 1 and 3 are the same red; entries 4 and up are never used.
  std::vector<TPaletteEntry> Entries(256, TPaletteEntry{9, 9, 9, 0});
  Entries[0] = {0, 0, 0, 0};
  Entries[1] = {255, 0, 0, 0};
  Entries[2] = {0, 255, 0, 0};
  Entries[3] = {255, 0, 0, 0};
  for (TPixelFormat Format : {pf4bit, pf8bit}) {
    auto Bitmap = MakeBitmap(5, 3, Format, CreatePalette(Entries));
    for (int y = 0; y < 3; ++y) std::fill_n(Bitmap->ScanLine(y), Bitmap->RowBytes(), 0);
    EXPECT_EQ(TOrvDatas::CountColors(*Bitmap), 1) << Format;
    Bitmap->ScanLine(1)[0] = Format == pf8bit ? 1 : 0x10;
    EXPECT_EQ(TOrvDatas::CountColors(*Bitmap), 2) << Format;
    Bitmap->ScanLine(2)[1] = Format == pf8bit ? 3 : 0x30;
    EXPECT_EQ(TOrvDatas::CountColors(*Bitmap), 2) << Format;
    Bitmap->ScanLine(2)[2] = Format == pf8bit ? 2 : 0x20;
    EXPECT_EQ(TOrvDatas::CountColors(*Bitmap), 3) << Format;
  }
}

TEST(OrvDatasCountColors, PaddingBitsAreNotPixels) {
  // Width 5 leaves unused bits at the end of every row; set to ones they would read as white.
  for (TPixelFormat Format : {pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit}) {
    auto Bitmap = MakeBitmap(5, 2, Format);
    std::fill_n(Bitmap->Bits(), static_cast<size_t>(Bitmap->RowBytes()) * 2, 0xFF);
    for (int y = 0; y < 2; ++y)
      for (int x = 0; x < 5; ++x) Bitmap->Canvas().SetPixel(x, y, clBlack);
    EXPECT_EQ(TOrvDatas::CountColors(*Bitmap), 1) << Format;
  }
}

// Random pixel memory in every format, pad bytes included, and palettes shorter than the index range.
TEST(OrvDatasCountColors, AgreesWithTheCountOfA24BitCopy) {
  std::mt19937 Random(7);
  const auto RandomPalette = [&](int Count) {
    std::vector<TPaletteEntry> Entries(static_cast<size_t>(Count));
    for (TPaletteEntry& e : Entries)
      e = {uint8_t(Random() % 4 * 85), uint8_t(Random() % 3 * 127), uint8_t(Random()), 0};
    return CreatePalette(Entries);
  };
  struct Case {
    TPixelFormat Format;
    int Width, Height, PaletteSize;  // 0: no palette of its own
  };
  const Case Cases[] = {
      {pf1bit, 37, 5, 2},     {pf1bit, 9, 4, 0},       {pf1bit, 9, 4, 1},     {pf4bit, 21, 9, 16},
      {pf4bit, 21, 9, 5},     {pf8bit, 101, 40, 256},  {pf8bit, 101, 40, 40}, {pf8bit, 64, 64, 0},
      {pf15bit, 256, 256, 0}, {pf16bit, 256, 256, 0},  {pf15bit, 13, 7, 0},   {pf24bit, 99, 77, 0},
      {pf32bit, 99, 77, 0},   {pfDevice, 256, 300, 0},
  };
  for (const Case& c : Cases) {
    auto Bitmap =
        MakeBitmap(c.Width, c.Height, c.Format, c.PaletteSize ? RandomPalette(c.PaletteSize) : nullptr);
    uint8_t* Bits = Bitmap->Bits();
    const size_t Size = static_cast<size_t>(Bitmap->RowBytes()) * c.Height;
    if (c.Width == 256 && (c.Format == pf15bit || c.Format == pf16bit)) {
      for (size_t i = 0; i < Size; ++i)
        Bits[i] = static_cast<uint8_t>(i & 1 ? i >> 9 : i >> 1);  // every word once
    } else if (c.Format == pf24bit || c.Format == pf32bit || c.Format == pfDevice) {
      for (size_t i = 0; i < Size; ++i) Bits[i] = static_cast<uint8_t>(Random() % 6);  // colours repeat
    } else {
      for (size_t i = 0; i < Size; ++i) Bits[i] = static_cast<uint8_t>(Random());
    }
    EXPECT_EQ(TOrvDatas::CountColors(*Bitmap), ReferenceCount(*Bitmap))
        << "format " << c.Format << ", " << c.Width << " x " << c.Height << ", palette " << c.PaletteSize;
  }
}

}  // namespace
