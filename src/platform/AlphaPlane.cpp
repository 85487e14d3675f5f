#include "AlphaPlane.h"

#include <algorithm>
#include <vector>

namespace {

HPALETTE GreyRamp() {
  static const HPALETTE ramp = [] {
    std::vector<TPaletteEntry> entries(256);
    for (int i = 0; i < 256; ++i) {
      const auto v = static_cast<uint8_t>(i);
      entries[static_cast<size_t>(i)] = {v, v, v, 0};
    }
    return CreatePalette(entries);
  }();
  return ramp;
}

}  // namespace

std::shared_ptr<TBitmapImage> NewAlphaPlaneImage(int Width, int Height) {
  return NewBitmapImage(Width, Height, pf8bit, GreyRamp(), false);
}

bool IsAlphaPlaneOf(const TBitmap& Alpha, const TBitmap& Image) {
  return !Alpha.Empty() && Alpha.PixelFormat() == pf8bit && Alpha.Width() == Image.Width() &&
         Alpha.Height() == Image.Height();
}

bool HasTransparentPixel(const TBitmap& Alpha) {
  if (Alpha.Empty() || Alpha.PixelFormat() != pf8bit) return false;
  for (int y = 0; y < Alpha.Height(); ++y) {
    const uint8_t* row = Alpha.ScanLine(y);
    if (std::any_of(row, row + Alpha.Width(), [](uint8_t v) { return v != 0; })) return true;
  }
  return false;
}
