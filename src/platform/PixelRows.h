// Reading and writing single pixels of a DIB row, and the colour a raw pixel value stands for: the platform's
// pixel access API, for every layer that walks pixel rows itself (rows as ScanLine and DIB records lay them
// out: 1, 4 and 8 bits indexed with the first pixel in the high bits, 15 and 16 bits as little-endian words,
// 24 and 32 bits as blue, green, red).
#pragma once

#include <cstdint>
#include <span>

#include "Graphics.h"

struct TRgb {
  uint8_t R = 0, G = 0, B = 0;
  bool operator==(const TRgb&) const = default;
};

// Raw pixel value at column x of a row: an index for 1, 4 and 8 bits, the little-endian word for 15 and 16
// bits, B | G << 8 | R << 16 for 24 and 32 bits (the fourth byte of 32 bits is not read).
inline uint32_t ReadPixel(const uint8_t* Row, int64_t X, int BitCount) {
  switch (BitCount) {
    case 1:
      return (Row[X >> 3] >> (7 - (X & 7))) & 1;
    case 4:
      return (X & 1) ? (Row[X >> 1] & 0x0F) : (Row[X >> 1] >> 4);
    case 8:
      return Row[X];
    case 15:
    case 16:
      return Row[2 * X] | (Row[2 * X + 1] << 8);
    case 24: {
      const uint8_t* p = Row + 3 * X;
      return p[0] | (p[1] << 8) | (p[2] << 16);
    }
    default: {
      const uint8_t* p = Row + 4 * X;
      return p[0] | (p[1] << 8) | (p[2] << 16);
    }
  }
}

// Stores a raw value (as ReadPixel returns it); 32 bits write a fourth byte of 0.
inline void WritePixel(uint8_t* Row, int64_t X, int BitCount, uint32_t Raw) {
  switch (BitCount) {
    case 1: {
      const uint8_t bit = static_cast<uint8_t>(0x80 >> (X & 7));
      Row[X >> 3] = (Raw & 1) ? (Row[X >> 3] | bit) : (Row[X >> 3] & ~bit);
      break;
    }
    case 4:
      if (X & 1)
        Row[X >> 1] = static_cast<uint8_t>((Row[X >> 1] & 0xF0) | (Raw & 0x0F));
      else
        Row[X >> 1] = static_cast<uint8_t>((Row[X >> 1] & 0x0F) | ((Raw & 0x0F) << 4));
      break;
    case 8:
      Row[X] = static_cast<uint8_t>(Raw);
      break;
    case 15:
    case 16:
      Row[2 * X] = static_cast<uint8_t>(Raw);
      Row[2 * X + 1] = static_cast<uint8_t>(Raw >> 8);
      break;
    case 24: {
      uint8_t* p = Row + 3 * X;
      p[0] = static_cast<uint8_t>(Raw);
      p[1] = static_cast<uint8_t>(Raw >> 8);
      p[2] = static_cast<uint8_t>(Raw >> 16);
      break;
    }
    default: {
      uint8_t* p = Row + 4 * X;
      p[0] = static_cast<uint8_t>(Raw);
      p[1] = static_cast<uint8_t>(Raw >> 8);
      p[2] = static_cast<uint8_t>(Raw >> 16);
      p[3] = 0;
      break;
    }
  }
}

// 5 and 6 bit channels widen by repeating their high bits, so that full intensity stays 255.
inline uint8_t Expand5(uint32_t v) {
  return static_cast<uint8_t>((v << 3) | (v >> 2));
}
inline uint8_t Expand6(uint32_t v) {
  return static_cast<uint8_t>((v << 2) | (v >> 4));
}

// Colour of a raw pixel; indices past the palette are black.
inline TRgb PixelToRgb(uint32_t Raw, int BitCount, std::span<const TPaletteEntry> Palette) {
  switch (BitCount) {
    case 1:
    case 4:
    case 8:
      if (Raw < Palette.size()) return {Palette[Raw].peRed, Palette[Raw].peGreen, Palette[Raw].peBlue};
      return {};
    case 15:
      return {Expand5((Raw >> 10) & 31), Expand5((Raw >> 5) & 31), Expand5(Raw & 31)};
    case 16:
      return {Expand5((Raw >> 11) & 31), Expand6((Raw >> 5) & 63), Expand5(Raw & 31)};
    default:
      return {static_cast<uint8_t>(Raw >> 16), static_cast<uint8_t>(Raw >> 8), static_cast<uint8_t>(Raw)};
  }
}

// Raw value of a colour in a true-colour layout (15 and 16 bits keep the high bits of each channel).
inline uint32_t RgbToTrueColorPixel(TRgb c, int BitCount) {
  switch (BitCount) {
    case 15:
      return ((c.R >> 3) << 10) | ((c.G >> 3) << 5) | (c.B >> 3);
    case 16:
      return ((c.R >> 3) << 11) | ((c.G >> 2) << 5) | (c.B >> 3);
    default:
      return c.B | (c.G << 8) | (c.R << 16);
  }
}

inline TColor RgbToColor(TRgb c) {
  return RGB(c.R, c.G, c.B);
}
inline TRgb ColorToRgb(TColor c) {
  return {GetRValue(c), GetGValue(c), GetBValue(c)};
}
