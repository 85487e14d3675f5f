// Module state of the DIB library: the shared palettes, the default UseFMO and the format registration.
#include <algorithm>
#include <memory>

#include "DibInternal.h"

namespace {

HPALETTE HalftonePalette;
HPALETTE BlackWhitePalette;
bool DefaultUseFMO = true;

HPALETTE MakeSharedPalette(std::span<const RGBQUAD> colors) {
  std::vector<TPaletteEntry> entries;
  for (const RGBQUAD& c : colors) entries.push_back(TPaletteEntry{c.rgbRed, c.rgbGreen, c.rgbBlue, 0});
  HPALETTE palette = CreatePalette(entries);
  if (!palette) throw EOutOfResources("TDibGraphic.GetPalette: Cannot Make Palette(1)");
  return palette;
}

}  // namespace

HPALETTE DibHalftonePalette() {
  if (!HalftonePalette) HalftonePalette = MakeSharedPalette(dib_detail::HalftoneColors());
  return HalftonePalette;
}

HPALETTE DibBlackWhitePalette() {
  if (!BlackWhitePalette) {
    const RGBQUAD colors[2] = {RGBQUAD{0, 0, 0, 0}, RGBQUAD{255, 255, 255, 0}};
    BlackWhitePalette = MakeSharedPalette(colors);
  }
  return BlackWhitePalette;
}

bool DibDefaultUseFMO() {
  return DefaultUseFMO;
}
void SetDibDefaultUseFMO(bool Value) {
  DefaultUseFMO = Value;
}

void DibImageInitialize() {
  HalftonePalette = nullptr;
  BlackWhitePalette = nullptr;
  const TGraphicFactory factory = [] { return std::make_unique<TDibGraphic>(); };
  TPicture::RegisterClipboardFormat(CF_DIB, "TDibGraphic", factory);
  TPicture::RegisterFileFormat("dib", "Device Independent Bitmap", "TDibGraphic", factory);
}

void DibImageFinalize() {
  HalftonePalette = nullptr;
  BlackWhitePalette = nullptr;
  TPicture::UnregisterGraphicClass("TDibGraphic");
}
