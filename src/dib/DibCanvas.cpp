// TDibCanvas: drawing straight into a TDibGraphic's pixel memory.
#include "DibImage.h"

TDibCanvas::TDibCanvas(TDibGraphic* DIB) {
  if (DIB == nullptr || !DIB->UseFMO()) throw EDibCanvasFailed("TDibCanvas.Create: Cannot Create Canvas");
  DIB->UniqueDIB();
  TDibStorage* storage = DIB->InternalDIB();
  // Only uncompressed rows can be drawn on.
  if (storage->DIB.Header.biCompression != BI_RGB)
    throw EOutOfResources("TDibCanvas.Create: Cannot Create Memory DC");
  FDIB = DIB;
  FStorage = storage;
  ++FStorage->RefCount;  // the memory drawn into stays alive as long as the surface
}

TDibCanvas::~TDibCanvas() {
  if (--FStorage->RefCount == 0) delete FStorage;
  try {
    TDibStorage* current = FDIB->InternalDIB();
    if (current != nullptr && current->RefCount == 1) FDIB->UpdatePaletteModified();
    FDIB->Changed();
  } catch (...) {
    // A change handler's failure cannot pass out of a destructor.
  }
}

TSurface TDibCanvas::Surface() {
  const TDibRecord& dib = FStorage->DIB;
  const int bits = dib.Header.biBitCount;
  TSurface surface;
  const bool drawable = dib.Header.biCompression == BI_RGB &&
                        (bits == 1 || bits == 4 || bits == 8 || bits == 24) && dib.Bits() != nullptr &&
                        dib.ImageSize >= dib.RowBytes() * dib.AbsHeight();
  if (!drawable) return surface;
  const int64_t stride = dib.RowBytes();
  const int64_t height = dib.AbsHeight();
  surface.Width = dib.Header.biWidth;
  surface.Height = static_cast<int32_t>(height);
  surface.BitCount = bits;
  if (dib.TopDown()) {
    surface.Top = dib.Bits();
    surface.Stride = stride;
  } else {
    surface.Top = dib.Bits() + (height - 1) * stride;
    surface.Stride = -stride;
  }
  FPalette.clear();
  if (bits <= 8) {
    const uint32_t count = dib.Header.biClrUsed != 0 ? dib.Header.biClrUsed : DefaultColorCount(bits);
    for (uint32_t i = 0; i < count && i < 256; ++i) {
      const RGBQUAD& c = dib.Colors[i];
      FPalette.push_back(TPaletteEntry{c.rgbRed, c.rgbGreen, c.rgbBlue, 0});
    }
  }
  surface.Palette = FPalette;
  return surface;
}
