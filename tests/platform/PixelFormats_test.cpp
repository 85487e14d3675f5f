// The pixel-format facts every format-to-bits mapping reads, and the palette-index colour form.
#include <gtest/gtest.h>

#include "Bitmaps.h"
#include "Graphics.h"

namespace {

TEST(PixelFormatFacts, EachFormatAndTheBitmapsItMakes) {
  struct Case {
    TPixelFormat Format;
    int BitCount, LayoutBits;
    bool Indexed;
    int64_t RowBytesOf5;
  } cases[] = {
      {pfDevice, 32, 32, false, 20},
      {pf1bit, 1, 1, true, 4},
      {pf4bit, 4, 4, true, 4},
      {pf8bit, 8, 8, true, 8},
      {pf15bit, 16, 15, false, 12},
      {pf16bit, 16, 16, false, 12},
      {pf24bit, 24, 24, false, 16},
      {pf32bit, 32, 32, false, 20},
      // No row layout; a value outside the enumeration reads the same.
      {pfCustom, 0, 0, false, 0},
      {static_cast<TPixelFormat>(12), 0, 0, false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Format);
    const TPixelFormatFacts& f = PixelFormatFacts(c.Format);
    EXPECT_EQ(f.BitCount, c.BitCount);
    EXPECT_EQ(f.LayoutBits, c.LayoutBits);
    EXPECT_EQ(f.Indexed, c.Indexed);
    EXPECT_EQ(PixelFormatRowBytes(c.Format, 5), c.RowBytesOf5);
    if (c.BitCount == 0) {
      EXPECT_THROW(NewBitmapImage(5, 1, c.Format, nullptr, false), EInvalidGraphic);
      continue;
    }
    // A bitmap of the format has these rows, this bit count and a palette exactly when it is indexed.
    auto b = WhiteBitmap(c.Format, 5, 2);
    EXPECT_EQ(b->RowBytes(), c.RowBytesOf5);
    EXPECT_EQ(b->BitCount(), c.BitCount);
    EXPECT_EQ(PaletteSize(b->Palette()) > 0, c.Indexed);
    // Uncompressed DIB rows of that many bits are this format, save the aliases (pfDevice, 5-6-5).
    if (c.Format != pfDevice && c.Format != pf16bit) {
      EXPECT_EQ(DibRgbPixelFormat(c.BitCount), c.Format);
    }
    EXPECT_EQ(LayoutPixelFormat(c.LayoutBits), c.Format == pfDevice ? pf32bit : c.Format);
    EXPECT_EQ(IsIndexedBitCount(c.LayoutBits), c.Indexed);
  }
}

TEST(PaletteIndexColor, OnlyTheFormItMakesNamesAnEntry) {
  for (int i : {0, 1, 255}) EXPECT_TRUE(IsPaletteIndexColor(PaletteIndexColor(i))) << i;
  EXPECT_EQ(PaletteIndexColor(0x1FF), PaletteIndexColor(0xFF));  // the index is one byte
  const std::pair<TColor, bool> cases[] = {
      {0x01000000, true},  {0x01FFFFFF, true},  {0x01123456, true},  // bits 8-23 do not matter
      {-1, false},         {clNone, false},     {clBlack, false},   {clWhite, false},
      {0x03000005, false}, {0x11000001, false}, {INT32_MIN, false},
  };
  for (auto [color, indexed] : cases) EXPECT_EQ(IsPaletteIndexColor(color), indexed) << std::hex << color;
}

}  // namespace
