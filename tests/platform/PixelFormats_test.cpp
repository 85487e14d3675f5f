// The pixel-format facts every format-to-bits mapping reads, and the palette-index colour form.
#include <gtest/gtest.h>

#include "Graphics.h"

namespace {

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
