// Test support for the decoder tests: a decode through TPngReadStream from memory, with the chunk builder and
// the libpng writer at hand.
#pragma once

#include <memory>

#include "ByteBuilders.h"
#include "Classes.h"
#include "Graphics.h"
#include "LibpngOracle.h"
#include "PngReadStream.h"

namespace pngdec {

// A decode through TPngReadStream from a memory stream, with an alpha target.
struct OurDecode {
  std::unique_ptr<TBitmap> Bitmap = std::make_unique<TBitmap>();
  std::unique_ptr<TBitmap> Alpha = std::make_unique<TBitmap>();
  std::unique_ptr<TPngReadStream> Decoder = std::make_unique<TPngReadStream>();
};

inline void DecodeInto(OurDecode& d, const Bytes& file, bool withAlpha = true) {
  TMemoryStream stream;
  stream.Data() = file;
  d.Decoder->AlphaBitmap = withAlpha ? d.Alpha.get() : nullptr;
  d.Decoder->ReadGraphic(d.Bitmap.get(), stream, 0);
}

inline std::unique_ptr<OurDecode> Decode(const Bytes& file, bool withAlpha = true) {
  auto d = std::make_unique<OurDecode>();
  DecodeInto(*d, file, withAlpha);
  return d;
}

}  // namespace pngdec
