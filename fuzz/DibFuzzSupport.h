// Shared by the DIB library's fuzz targets: what a loaded storage must satisfy, and the work done on it.
#pragma once

#include <cstring>

#include "DibImage.h"
#include "FuzzSupport.h"

namespace fuzz {

// Two storages hold the same picture: header, colour table and pixel memory.
inline bool SameDib(const TDibStorage& A, const TDibStorage& B) {
  const TDibRecord &a = A.DIB, &b = B.DIB;
  return a.ImageSize == b.ImageSize && std::memcmp(&a.Header, &b.Header, sizeof a.Header) == 0 &&
         std::memcmp(a.Colors.data(), b.Colors.data(), 4 * std::min<size_t>(a.Header.biClrUsed, 256)) == 0 &&
         std::memcmp(a.Bits(), b.Bits(), static_cast<size_t>(a.ImageSize)) == 0;
}

// What every storage must satisfy after a load.
inline void CheckStorage(const TDibStorage& S) {
  const TDibRecord& dib = S.DIB;
  Check(dib.ImageSize >= 0 && dib.ImageSize <= MaxPixelBytes, "image size out of range");
  Check(dib.Memory.Size() >= dib.ImageSize, "pixel memory smaller than the image size");
  Check(dib.Header.biClrUsed <= 256, "colour count above 256");
  Check(S.Width == dib.Header.biWidth && S.Height == dib.AbsHeight(), "storage size differs from its header");
}

// Converts a copy of the graphic to the format Choice names and hands it to a platform bitmap; the library's
// own errors are refusals.
inline void ConvertAndDraw(TDibGraphic& Graphic, uint8_t Choice) {
  TDibGraphic copy;
  copy.Assign(&Graphic);
  copy.ConvertMode = (Choice >> 3) & 1;
  Accepted([&] { copy.SetPixelFormat(static_cast<TDibPixelFormat>(Choice % 8)); });
  TBitmap bitmap;
  Accepted([&] { copy.AssignTo(&bitmap); });
}

}  // namespace fuzz
