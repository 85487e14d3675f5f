// The BMP file header and the DIB headers in their little-endian wire form: each record reads itself from and
// writes itself to bytes, and its in-memory layout is the wire layout.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "ByteOrder.h"

#pragma pack(push, 1)
// The 14 bytes in front of a BMP file's DIB: "BM", the file size, two reserved words, the pixels' offset.
struct BITMAPFILEHEADER {
  static constexpr size_t WireSize = 14;
  static constexpr uint16_t BitmapType = 0x4D42;  // "BM"
  uint16_t bfType = BitmapType;
  uint32_t bfSize = 0;
  uint16_t bfReserved1 = 0;
  uint16_t bfReserved2 = 0;
  uint32_t bfOffBits = 0;

  static constexpr BITMAPFILEHEADER Read(std::span<const uint8_t> Bytes) {
    BITMAPFILEHEADER h;
    h.bfType = ReadLE16(Bytes, 0);
    h.bfSize = ReadLE32(Bytes, 2);
    h.bfReserved1 = ReadLE16(Bytes, 6);
    h.bfReserved2 = ReadLE16(Bytes, 8);
    h.bfOffBits = ReadLE32(Bytes, 10);
    return h;
  }
  constexpr void Write(std::span<uint8_t> Bytes) const {
    WriteLE16(Bytes, 0, bfType);
    WriteLE32(Bytes, 2, bfSize);
    WriteLE16(Bytes, 6, bfReserved1);
    WriteLE16(Bytes, 8, bfReserved2);
    WriteLE32(Bytes, 10, bfOffBits);
  }
};

// The 12-byte OS/2 core header; its colour table holds 3-byte entries.
struct BITMAPCOREHEADER {
  static constexpr size_t WireSize = 12;
  uint32_t bcSize = WireSize;
  uint16_t bcWidth = 0;
  uint16_t bcHeight = 0;
  uint16_t bcPlanes = 1;
  uint16_t bcBitCount = 0;

  static constexpr BITMAPCOREHEADER Read(std::span<const uint8_t> Bytes) {
    BITMAPCOREHEADER h;
    h.bcSize = ReadLE32(Bytes, 0);
    h.bcWidth = ReadLE16(Bytes, 4);
    h.bcHeight = ReadLE16(Bytes, 6);
    h.bcPlanes = ReadLE16(Bytes, 8);
    h.bcBitCount = ReadLE16(Bytes, 10);
    return h;
  }
  constexpr void Write(std::span<uint8_t> Bytes) const {
    WriteLE32(Bytes, 0, bcSize);
    WriteLE16(Bytes, 4, bcWidth);
    WriteLE16(Bytes, 6, bcHeight);
    WriteLE16(Bytes, 8, bcPlanes);
    WriteLE16(Bytes, 10, bcBitCount);
  }
};

// The 40-byte info header. The V4 (108 bytes) and V5 (124 bytes) headers begin with these fields and hold the
// three bit-field masks at BitFieldsOffset, where a 40-byte header is followed by them.
struct BITMAPINFOHEADER {
  static constexpr size_t WireSize = 40;
  static constexpr size_t V4WireSize = 108;
  static constexpr size_t V5WireSize = 124;
  static constexpr size_t BitFieldsOffset = 40;
  uint32_t biSize = WireSize;
  int32_t biWidth = 0;
  int32_t biHeight = 0;  // negative for top-down rows
  uint16_t biPlanes = 1;
  uint16_t biBitCount = 0;
  uint32_t biCompression = 0;
  uint32_t biSizeImage = 0;
  int32_t biXPelsPerMeter = 0;
  int32_t biYPelsPerMeter = 0;
  uint32_t biClrUsed = 0;
  uint32_t biClrImportant = 0;

  static constexpr BITMAPINFOHEADER Read(std::span<const uint8_t> Bytes) {
    BITMAPINFOHEADER h;
    h.biSize = ReadLE32(Bytes, 0);
    h.biWidth = static_cast<int32_t>(ReadLE32(Bytes, 4));
    h.biHeight = static_cast<int32_t>(ReadLE32(Bytes, 8));
    h.biPlanes = ReadLE16(Bytes, 12);
    h.biBitCount = ReadLE16(Bytes, 14);
    h.biCompression = ReadLE32(Bytes, 16);
    h.biSizeImage = ReadLE32(Bytes, 20);
    h.biXPelsPerMeter = static_cast<int32_t>(ReadLE32(Bytes, 24));
    h.biYPelsPerMeter = static_cast<int32_t>(ReadLE32(Bytes, 28));
    h.biClrUsed = ReadLE32(Bytes, 32);
    h.biClrImportant = ReadLE32(Bytes, 36);
    return h;
  }
  constexpr void Write(std::span<uint8_t> Bytes) const {
    WriteLE32(Bytes, 0, biSize);
    WriteLE32(Bytes, 4, static_cast<uint32_t>(biWidth));
    WriteLE32(Bytes, 8, static_cast<uint32_t>(biHeight));
    WriteLE16(Bytes, 12, biPlanes);
    WriteLE16(Bytes, 14, biBitCount);
    WriteLE32(Bytes, 16, biCompression);
    WriteLE32(Bytes, 20, biSizeImage);
    WriteLE32(Bytes, 24, static_cast<uint32_t>(biXPelsPerMeter));
    WriteLE32(Bytes, 28, static_cast<uint32_t>(biYPelsPerMeter));
    WriteLE32(Bytes, 32, biClrUsed);
    WriteLE32(Bytes, 36, biClrImportant);
  }
};
#pragma pack(pop)

static_assert(sizeof(BITMAPFILEHEADER) == BITMAPFILEHEADER::WireSize);
static_assert(sizeof(BITMAPCOREHEADER) == BITMAPCOREHEADER::WireSize);
static_assert(sizeof(BITMAPINFOHEADER) == BITMAPINFOHEADER::WireSize);

// Appends the wire form of a header record to Out.
template <class THeader>
void AppendHeader(std::vector<uint8_t>& Out, const THeader& Header) {
  Out.resize(Out.size() + THeader::WireSize);
  Header.Write(std::span(Out).last(THeader::WireSize));
}

inline constexpr uint32_t BI_RGB = 0, BI_RLE8 = 1, BI_RLE4 = 2, BI_BITFIELDS = 3;
