// Palettes: creation, reading back, the default palettes of indexed bitmaps and the nearest-colour search.
#include <algorithm>
#include <array>
#include <cstdlib>

#include "Graphics.h"

HPALETTE CreatePalette(std::span<const TPaletteEntry> Entries) {
  if (Entries.empty()) return nullptr;
  auto palette = std::make_shared<TLogPalette>();
  palette->Entries.assign(Entries.begin(), Entries.begin() + std::min<size_t>(Entries.size(), 256));
  return palette;
}

int GetPaletteEntries(const HPALETTE& Palette, int Start, int Count, TPaletteEntry* Dest) {
  const int size = PaletteSize(Palette);
  if (!Dest) return size;
  if (Start < 0 || Start >= size || Count <= 0) return 0;
  const int n = std::min(Count, size - Start);
  std::copy_n(Palette->Entries.begin() + Start, n, Dest);
  return n;
}

namespace {

constexpr std::array<TPaletteEntry, 16> VgaColors{{
    {0, 0, 0, 0},
    {128, 0, 0, 0},
    {0, 128, 0, 0},
    {128, 128, 0, 0},
    {0, 0, 128, 0},
    {128, 0, 128, 0},
    {0, 128, 128, 0},
    {192, 192, 192, 0},
    {128, 128, 128, 0},
    {255, 0, 0, 0},
    {0, 255, 0, 0},
    {255, 255, 0, 0},
    {0, 0, 255, 0},
    {255, 0, 255, 0},
    {0, 255, 255, 0},
    {255, 255, 255, 0},
}};

HPALETTE MakeDefault8() {
  std::vector<TPaletteEntry> entries(VgaColors.begin(), VgaColors.end());
  for (int r = 0; r < 6; ++r)
    for (int g = 0; g < 6; ++g)
      for (int b = 0; b < 6; ++b)
        entries.push_back(
            {static_cast<uint8_t>(r * 51), static_cast<uint8_t>(g * 51), static_cast<uint8_t>(b * 51), 0});
  for (int i = 0; entries.size() < 256; ++i) {
    const auto v = static_cast<uint8_t>(8 + 10 * i);
    entries.push_back({v, v, v, 0});
  }
  return CreatePalette(entries);
}

}  // namespace

HPALETTE DefaultPalette(int BitCount) {
  static const HPALETTE mono =
      CreatePalette(std::array<TPaletteEntry, 2>{{{0, 0, 0, 0}, {255, 255, 255, 0}}});
  static const HPALETTE vga = CreatePalette(VgaColors);
  static const HPALETTE full = MakeDefault8();
  switch (BitCount) {
    case 1:
      return mono;
    case 4:
      return vga;
    case 8:
      return full;
    default:
      return nullptr;
  }
}

int NearestPaletteEntry(std::span<const TPaletteEntry> Entries, uint8_t r, uint8_t g, uint8_t b) {
  int best = -1;
  int bestDistance = 1 << 30;
  for (size_t i = 0; i < Entries.size(); ++i) {
    const auto& e = Entries[i];
    const int d = std::abs(e.peRed - r) + std::abs(e.peGreen - g) + std::abs(e.peBlue - b);
    if (d < bestDistance) {
      bestDistance = d;
      best = static_cast<int>(i);
      if (d == 0) break;
    }
  }
  return best;
}
