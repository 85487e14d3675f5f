// The platform bitmap's pixel formats and the facts of each, in one table that every mapping from a format to
// bits reads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>

#include "SysUtils.h"

enum TPixelFormat { pfDevice, pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit, pfCustom };

struct TPixelFormatFacts {
  // Bits per pixel of the rows in memory (and of a DIB holding them): pf15bit stores 16-bit words.
  int BitCount;
  // The layout as pixel readers and surfaces name it (ReadPixel, PixelToRgb): 15 for 5-5-5 words, which share
  // their 16-bit storage with 5-6-5; the PNG encoder's source bits are the same value.
  int LayoutBits;
  bool Indexed;  // pixels are palette indices
};

// pfDevice is the display's format, 32 bits B, G, R, unused. pfCustom has no row layout, so it reads 0 bits
// everywhere; no bitmap holds it (creating or converting to it is refused), and a value outside the
// enumeration reads as pfCustom.
inline constexpr TPixelFormatFacts PixelFormatTable[] = {
    {32, 32, false},  // pfDevice
    {1, 1, true},     // pf1bit
    {4, 4, true},     // pf4bit
    {8, 8, true},     // pf8bit
    {16, 15, false},  // pf15bit
    {16, 16, false},  // pf16bit
    {24, 24, false},  // pf24bit
    {32, 32, false},  // pf32bit
    {0, 0, false},    // pfCustom
};
static_assert(std::size(PixelFormatTable) == pfCustom + 1, "one row per pixel format");
static_assert(
    [] {
      for (const TPixelFormatFacts& f : PixelFormatTable)
        if (f.Indexed != (f.BitCount > 0 && f.BitCount <= 8) ||
            (f.LayoutBits + 7) / 8 != (f.BitCount + 7) / 8)
          return false;
      return true;
    }(),
    "palette indices are the formats of at most 8 bits; a layout fills whole bytes of its storage");

constexpr const TPixelFormatFacts& PixelFormatFacts(TPixelFormat Format) {
  const auto index = static_cast<size_t>(Format);
  return PixelFormatTable[index < std::size(PixelFormatTable) ? index : size_t{pfCustom}];
}
constexpr int PixelFormatBitCount(TPixelFormat Format) {
  return PixelFormatFacts(Format).BitCount;
}
// Bytes of one row of Width pixels, padded to whole 32-bit words.
constexpr int64_t PixelFormatRowBytes(TPixelFormat Format, int64_t Width) {
  return DibRowBytes(Width, PixelFormatBitCount(Format));
}

// The first format in table order from pf1bit whose Field is Bits (so pf32bit rather than pfDevice); pfCustom
// when there is none.
constexpr TPixelFormat FirstPixelFormatWith(int TPixelFormatFacts::*Field, int Bits) {
  for (int f = pf1bit; f < pfCustom; ++f)
    if (PixelFormatTable[f].*Field == Bits) return static_cast<TPixelFormat>(f);
  return pfCustom;
}
// The format of uncompressed DIB rows of a bit count: 16-bit BI_RGB rows are 5-5-5, so pf15bit.
constexpr TPixelFormat DibRgbPixelFormat(int BitCount) {
  return FirstPixelFormatWith(&TPixelFormatFacts::BitCount, BitCount);
}
// The format of a layout as pixel readers and surfaces name it (15 is pf15bit, 16 pf16bit).
constexpr TPixelFormat LayoutPixelFormat(int LayoutBits) {
  return FirstPixelFormatWith(&TPixelFormatFacts::LayoutBits, LayoutBits);
}
// Whether pixels of a bit count (as a DIB or a surface names it) are palette indices: 1, 4 and 8 bits.
constexpr bool IsIndexedBitCount(int BitCount) {
  return PixelFormatFacts(LayoutPixelFormat(BitCount)).Indexed;
}

static_assert(DibRgbPixelFormat(1) == pf1bit && DibRgbPixelFormat(4) == pf4bit &&
              DibRgbPixelFormat(8) == pf8bit && DibRgbPixelFormat(16) == pf15bit &&
              DibRgbPixelFormat(24) == pf24bit && DibRgbPixelFormat(32) == pf32bit &&
              DibRgbPixelFormat(2) == pfCustom && DibRgbPixelFormat(0) == pfCustom);
static_assert(LayoutPixelFormat(15) == pf15bit && LayoutPixelFormat(16) == pf16bit &&
              LayoutPixelFormat(32) == pf32bit && LayoutPixelFormat(0) == pfCustom);
static_assert(IsIndexedBitCount(1) && IsIndexedBitCount(4) && IsIndexedBitCount(8) &&
              !IsIndexedBitCount(15) && !IsIndexedBitCount(16) && !IsIndexedBitCount(0) &&
              !IsIndexedBitCount(2));
static_assert(PixelFormatRowBytes(pf1bit, 33) == 8 && PixelFormatRowBytes(pf15bit, 3) == 8 &&
              PixelFormatRowBytes(pf24bit, 3) == 12 && PixelFormatRowBytes(pfDevice, 1) == 4 &&
              PixelFormatRowBytes(pfCustom, 5) == 0);
