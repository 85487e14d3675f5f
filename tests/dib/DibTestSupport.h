// Helpers for the DIB library tests: pictures built pixel by pixel, pixels read back, and BMP bytes.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <string>
#include <tuple>
#include <typeinfo>
#include <vector>

#include "ByteBuilders.h"
#include "ByteOrder.h"
#include "DibImage.h"
#include "ExpectRaises.h"

// Pixel value of (x, y), y counted from the top of the picture: an index for 1, 4 and 8 bits, 0x00RRGGBB
// (as stored: blue, green, red bytes) for 24 bits.
inline uint32_t DibPixel(const TDibRecord& dib, int x, int y) {
  const int64_t h = dib.AbsHeight();
  const int64_t row = dib.TopDown() ? y : h - 1 - y;
  const uint8_t* p = dib.Bits() + row * dib.RowBytes();
  switch (dib.Header.biBitCount) {
    case 1:
      return (p[x / 8] >> (7 - x % 8)) & 1;
    case 4:
      return x % 2 ? p[x / 2] & 15 : p[x / 2] >> 4;
    case 8:
      return p[x];
    default:
      return p[3 * x] | (p[3 * x + 1] << 8) | (p[3 * x + 2] << 16);
  }
}

inline void SetDibPixel(TDibRecord& dib, int x, int y, uint32_t value) {
  const int64_t h = dib.AbsHeight();
  const int64_t row = dib.TopDown() ? y : h - 1 - y;
  uint8_t* p = dib.Bits() + row * dib.RowBytes();
  switch (dib.Header.biBitCount) {
    case 1:
      p[x / 8] = static_cast<uint8_t>((p[x / 8] & ~(0x80 >> (x % 8))) | ((value & 1) << (7 - x % 8)));
      break;
    case 4:
      p[x / 2] = x % 2 ? static_cast<uint8_t>((p[x / 2] & 0xF0) | (value & 15))
                       : static_cast<uint8_t>((p[x / 2] & 0x0F) | (value << 4));
      break;
    case 8:
      p[x] = static_cast<uint8_t>(value);
      break;
    default:
      p[3 * x] = static_cast<uint8_t>(value);
      p[3 * x + 1] = static_cast<uint8_t>(value >> 8);
      p[3 * x + 2] = static_cast<uint8_t>(value >> 16);
  }
}

// All pixel values, row by row from the top.
inline std::vector<uint32_t> DibPixels(const TDibRecord& dib) {
  std::vector<uint32_t> v;
  for (int y = 0; y < dib.AbsHeight(); ++y)
    for (int x = 0; x < dib.Header.biWidth; ++x) v.push_back(DibPixel(dib, x, y));
  return v;
}

// The colour (0x00RRGGBB) of every pixel, row by row from the top: colour entries for indexed pictures.
inline std::vector<uint32_t> DibColors(const TDibRecord& dib) {
  std::vector<uint32_t> v = DibPixels(dib);
  if (dib.Header.biBitCount <= 8)
    for (uint32_t& p : v) {
      const RGBQUAD& c = dib.Colors[p];
      p = c.rgbBlue | (c.rgbGreen << 8) | (c.rgbRed << 16);
    }
  return v;
}

inline RGBQUAD Quad(uint32_t rrggbb) {
  return RGBQUAD{static_cast<uint8_t>(rrggbb), static_cast<uint8_t>(rrggbb >> 8),
                 static_cast<uint8_t>(rrggbb >> 16), 0};
}

// A storage holding a picture of the given bit count with the colour table and pixel values (rows from the
// top).
inline std::unique_ptr<TDibStorage> MakeStorage(int width, int height, int bitCount,
                                                std::vector<uint32_t> colors,
                                                const std::vector<uint32_t>& pixels, bool useFMO = false) {
  auto s = std::make_unique<TDibStorage>(useFMO);
  s->CreateDIB(width, height, static_cast<int32_t>(colors.size()), bitCount);
  for (size_t i = 0; i < colors.size(); ++i) s->DIB.Colors[i] = Quad(colors[i]);
  const int absHeight = height < 0 ? -height : height;
  for (int y = 0; y < absHeight; ++y)
    for (int x = 0; x < width; ++x) SetDibPixel(s->DIB, x, y, pixels[static_cast<size_t>(y * width + x)]);
  return s;
}

// A record (no storage) with the given layout and pixels.
inline TDibRecord MakeRecord(int width, int height, int bitCount, std::vector<uint32_t> colors,
                             const std::vector<uint32_t>& pixels) {
  auto s = MakeStorage(width, height, bitCount, std::move(colors), pixels);
  return std::move(s->DIB);
}

// Bytes of a stream.
inline std::vector<uint8_t> StreamBytes(TMemoryStream& m) {
  return std::vector<uint8_t>(m.Memory(), m.Memory() + m.Size());
}

inline std::vector<uint8_t> SavedBytes(const TDibStorage& s) {
  TMemoryStream m;
  s.SaveToStream(m);
  return StreamBytes(m);
}

inline void LoadBytes(TDibStorage& s, const std::vector<uint8_t>& bytes) {
  TMemoryStream m;
  m.Write(bytes.data(), static_cast<int64_t>(bytes.size()));
  m.SetPosition(0);
  s.LoadFromStream(m);
}
