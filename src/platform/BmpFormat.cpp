// The bitmap's own BMP reader and writer and its CF_DIB clipboard exchange.
#include "Graphics.h"

// Placeholders until the reader and writer land: every call reports an invalid bitmap.
void TBitmap::LoadFromStream(TStream&) {
  throw EInvalidGraphic(SInvalidBitmap);
}
void TBitmap::SaveToStream(TStream&) {
  throw EInvalidGraphic(SInvalidBitmap);
}
void TBitmap::LoadFromClipboardFormat(uint16_t, HGLOBAL, HPALETTE) {
  throw EInvalidGraphic(SInvalidBitmap);
}
void TBitmap::SaveToClipboardFormat(uint16_t& Format, HGLOBAL& Data, HPALETTE& Palette) {
  Format = 0;
  Data = nullptr;
  Palette = nullptr;
}
