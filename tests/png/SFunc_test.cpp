// Row sizes, palettes and pixel formats.
#include <gtest/gtest.h>

#include "SFunc.h"

namespace {

TEST(SFunc, ScanlineBytesPadsToFourBytes) {
  const int64_t cases[][3] = {{1, 1, 4},   {32, 1, 4}, {33, 1, 8}, {3, 8, 4},  {5, 8, 8},
                              {3, 24, 12}, {7, 4, 4},  {9, 4, 8},  {0, 24, 0}, {0x7FFFFFFF, 64, 17179869176}};
  for (const auto& c : cases) EXPECT_EQ(ScanlineBytes(c[0], c[1]), c[2]) << c[0] << " x " << c[1];
}

TEST(SFunc, GreyRampsAndPalettes) {
  RGBQUAD entries[256];
  EXPECT_EQ(FillGrayPalette(entries, 1), 2);
  EXPECT_EQ(entries[1], (RGBQUAD{255, 255, 255, 0}));
  EXPECT_EQ(FillGrayPalette(entries, 2), 4);
  EXPECT_EQ(entries[2], (RGBQUAD{170, 170, 170, 0}));
  EXPECT_EQ(FillGrayPalette(entries, 4), 16);
  EXPECT_EQ(entries[15], (RGBQUAD{255, 255, 255, 0}));
  EXPECT_EQ(FillGrayPalette(entries, 16), 256);
  EXPECT_EQ(entries[200], (RGBQUAD{200, 200, 200, 0}));

  const RGBQUAD bgr[2] = {{1, 2, 3, 9}, {4, 5, 6, 9}};  // blue, green, red, reserved
  const HPALETTE palette = MakePalette(bgr, 2);
  ASSERT_TRUE(palette);
  EXPECT_EQ(palette->Entries, (std::vector<TPaletteEntry>{{3, 2, 1, 0}, {6, 5, 4, 0}}));
}

TEST(SFunc, PixelFormatsAndBits) {
  const std::pair<int, TPixelFormat> toFormat[] = {{1, pf1bit},   {4, pf4bit},   {8, pf8bit},   {15, pf15bit},
                                                   {16, pf16bit}, {32, pf32bit}, {24, pf24bit}, {2, pf24bit}};
  for (auto [bits, format] : toFormat) EXPECT_EQ(BitsToPixelFormat(bits), format) << bits;
  const std::pair<TPixelFormat, int> toBits[] = {{pf1bit, 1},   {pf4bit, 4},   {pf8bit, 8},
                                                 {pf15bit, 15}, {pf16bit, 16}, {pf24bit, 24},
                                                 {pf32bit, 32}, {pfCustom, 0}, {pfDevice, 32}};
  for (auto [format, bits] : toBits) EXPECT_EQ(PixelFormatBits(format), bits) << format;
}

TEST(SFunc, PaletteReadBackAndNearestIndex) {
  std::array<TPaletteEntry, 256> entries;
  EXPECT_EQ(ReadPaletteEntries(nullptr, entries), 0);
  const std::vector<TPaletteEntry> source = {{0, 0, 0, 0}, {10, 20, 30, 0}, {12, 20, 30, 0}, {10, 20, 30, 0}};
  const HPALETTE palette = CreatePalette(source);
  ASSERT_EQ(ReadPaletteEntries(palette, entries), 4);
  const std::span<const TPaletteEntry> used(entries.data(), 4);
  EXPECT_EQ(NearestPaletteIndex(used, RGB(10, 20, 30)), 1);  // first exact match
  EXPECT_EQ(NearestPaletteIndex(used, RGB(11, 20, 30)), 1);  // first of equal distances
  EXPECT_EQ(NearestPaletteIndex(used, RGB(13, 21, 30)), 2);
  EXPECT_EQ(NearestPaletteIndex({}, RGB(1, 1, 1)), -1);
}

}  // namespace
