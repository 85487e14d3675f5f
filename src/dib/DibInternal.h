// Helpers shared by the converters; not part of the library's interface.
#pragma once

#include <cstdint>
#include <string>

#include "DibImage.h"
#include "PixelRows.h"

namespace dib_detail {

// The colour of pixel x of a 1-, 4-, 8- or 24-bit row as blue, green, red.
inline RGBQUAD PixelColor(const TDibRecord& dib, const uint8_t* row, int64_t x) {
  const int bits = dib.Header.biBitCount;
  if (bits == 24) return RGBQUAD{row[3 * x], row[3 * x + 1], row[3 * x + 2], 0};
  return dib.Colors[ReadPixel(row, x, bits)];
}

// Checks that an uncompressed source holds all its rows (an invariant of every storage).
void CheckSourceRows(const TDibRecord& source, const char* name);

// The result record of a converter: Source's header and colour table with the new bit count, BI_RGB,
// biSizeImage 0, and fresh zeroed pixel memory for all rows. Pixel memory above MaxPixelBytes raises
// EOutOfResources "<name>: Image Too Large".
TDibRecord NewResult(const TDibRecord& source, int bitCount, bool useFMO, const char* name);

// Raises EDibBadDIBType "<name>: Invalid Bitcount & Compression Combination" unless the source has this bit
// count and compression.
void CheckCombination(const TDibRecord& source, int bitCount, uint32_t compression, const char* name);

// The 215 colours of the halftone palette: 6 x 7 x 5 levels of red, green and blue (index r x 35 + g x 5 +
// b), then five extra colours.
const std::array<RGBQUAD, 215>& HalftoneColors();

}  // namespace dib_detail
