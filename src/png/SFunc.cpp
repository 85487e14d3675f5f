#include "SFunc.h"

#include <algorithm>

int64_t ScanlineBytes(int64_t Width, int64_t Bits) {
  return ((Width * Bits + 7) / 8 + 3) & ~int64_t{3};
}

HPALETTE MakePalette(const RGBQUAD* Entries, int32_t Count) {
  std::vector<TPaletteEntry> entries(static_cast<size_t>(std::clamp(Count, 0, 256)));
  for (size_t i = 0; i < entries.size(); ++i)
    entries[i] = TPaletteEntry{Entries[i].rgbRed, Entries[i].rgbGreen, Entries[i].rgbBlue, 0};
  return CreatePalette(entries);
}

int32_t FillGrayPalette(RGBQUAD* Entries, int32_t Bits) {
  int32_t count = 256, step = 1;
  if (Bits == 1) {
    count = 2;
    step = 255;
  } else if (Bits == 2) {
    count = 4;
    step = 85;
  } else if (Bits == 4) {
    count = 16;
    step = 17;
  }
  for (int32_t i = 0; i < count; ++i) {
    const auto level = static_cast<uint8_t>(i * step);
    Entries[i] = RGBQUAD{level, level, level, 0};
  }
  return count;
}

TPixelFormat BitsToPixelFormat(int32_t Bits) {
  const TPixelFormat format = LayoutPixelFormat(Bits);
  return format == pfCustom ? pf24bit : format;
}

int32_t PixelFormatBits(TPixelFormat Format) {
  return PixelFormatFacts(Format).LayoutBits;
}

int32_t ReadPaletteEntries(const HPALETTE& Palette, std::span<TPaletteEntry, 256> Entries) {
  return GetPaletteEntries(Palette, 0, static_cast<int>(Entries.size()), Entries.data());
}

int32_t NearestPaletteIndex(std::span<const TPaletteEntry> Entries, TColor Color) {
  return NearestPaletteEntry(Entries, GetRValue(Color), GetGValue(Color), GetBValue(Color));
}
