// Helpers shared by the converters; not part of the library's interface.
#pragma once

#include <cstdint>
#include <string>

#include "DibImage.h"

namespace dib_detail {

// Index of pixel x in a 1-, 4- or 8-bit row (first pixel in the high bits).
inline uint8_t GetIndex(const uint8_t* row, int64_t x, int bits) {
  switch (bits) {
    case 1:
      return (row[x >> 3] >> (7 - (x & 7))) & 1;
    case 4:
      return (x & 1) ? (row[x >> 1] & 0x0F) : (row[x >> 1] >> 4);
    default:
      return row[x];
  }
}

// Stores an index into a zero-initialised 1-, 4- or 8-bit row.
inline void OrIndex(uint8_t* row, int64_t x, int bits, uint8_t value) {
  switch (bits) {
    case 1:
      row[x >> 3] |= static_cast<uint8_t>((value & 1) << (7 - (x & 7)));
      break;
    case 4:
      row[x >> 1] |= (x & 1) ? (value & 0x0F) : static_cast<uint8_t>(value << 4);
      break;
    default:
      row[x] = value;
  }
}

// The colour of pixel x of a 1-, 4-, 8- or 24-bit row as blue, green, red.
inline RGBQUAD PixelColor(const TDibRecord& dib, const uint8_t* row, int64_t x) {
  const int bits = dib.Header.biBitCount;
  if (bits == 24) return RGBQUAD{row[3 * x], row[3 * x + 1], row[3 * x + 2], 0};
  return dib.Colors[GetIndex(row, x, bits)];
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

}  // namespace dib_detail

namespace dib_detail {

// The 215 colours of the halftone palette: 6 x 7 x 5 levels of red, green and blue (index r x 35 + g x 5 +
// b), then five extra colours.
const std::array<RGBQUAD, 215>& HalftoneColors();

}  // namespace dib_detail
