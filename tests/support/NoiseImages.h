// Images for tests and benchmarks: bitmaps of a given format and palette, and deterministic noise to fill
// them with.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "Graphics.h"

namespace pngtest {

// A bitmap of the given size and format whose pixel memory is zero, with the given palette for indexed
// formats.
inline std::unique_ptr<TBitmap> MakeBitmap(int width, int height, TPixelFormat format,
                                           std::vector<TPaletteEntry> palette = {}) {
  auto bitmap = std::make_unique<TBitmap>();
  bitmap->SetImage(
      NewBitmapImage(width, height, format, palette.empty() ? nullptr : CreatePalette(palette), false));
  return bitmap;
}

inline TPaletteEntry Entry(uint8_t r, uint8_t g, uint8_t b) {
  return TPaletteEntry{r, g, b, 0};
}

// A deterministic pseudo-random byte sequence (xorshift), so tests and benchmarks fill images reproducibly.
class ByteNoise {
 public:
  explicit ByteNoise(uint32_t seed) : FState(seed ? seed : 1) {}
  uint8_t Next() {
    FState ^= FState << 13;
    FState ^= FState >> 17;
    FState ^= FState << 5;
    return static_cast<uint8_t>(FState >> 8);
  }

 private:
  uint32_t FState;
};

// Fills every row of the bitmap's pixel memory (padding included) with noise.
inline void FillNoise(TBitmap& bitmap, uint32_t seed) {
  ByteNoise noise(seed);
  for (int y = 0; y < bitmap.Height(); ++y) {
    uint8_t* row = bitmap.ScanLine(y);
    for (int i = 0; i < bitmap.RowBytes(); ++i) row[i] = noise.Next();
  }
}

}  // namespace pngtest
