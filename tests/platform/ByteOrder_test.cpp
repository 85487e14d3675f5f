// Byte-order reads and writes at offsets, and the wire form of the BMP file and DIB headers.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <vector>

#include "ByteOrder.h"
#include "DibHeaders.h"

namespace {

using Bytes = std::vector<uint8_t>;

using TRead = uint32_t (*)(std::span<const uint8_t>, size_t);
using TWrite = void (*)(std::span<uint8_t>, size_t, uint32_t);
using TAppend = void (*)(Bytes&, uint32_t);

// Each value at an odd offset inside bytes that differ from it: reading gives the value back, writing gives
// the same bytes and leaves the neighbours alone, appending adds just the value's bytes.
TEST(ByteOrder, ReadsAndWritesEachOrderAtOddOffsets) {
  struct TCase {
    const char* Name;
    size_t At;
    uint32_t Value;
    Bytes Wire;
    TRead Read;
    TWrite Write;
    TAppend Append;
  };
  const TCase cases[] = {
      {"LE16",
       1,
       0xBEEF,
       {0xEF, 0xBE},
       [](auto d, size_t at) -> uint32_t { return ReadLE16(d, at); },
       [](auto d, size_t at, uint32_t v) { WriteLE16(d, at, static_cast<uint16_t>(v)); },
       [](Bytes& d, uint32_t v) { AppendLE16(d, static_cast<uint16_t>(v)); }},
      {"LE32",
       3,
       0x80000001,
       {0x01, 0x00, 0x00, 0x80},
       [](auto d, size_t at) { return ReadLE32(d, at); },
       [](auto d, size_t at, uint32_t v) { WriteLE32(d, at, v); },
       [](Bytes& d, uint32_t v) { AppendLE32(d, v); }},
      {"BE16",
       5,
       0x1234,
       {0x12, 0x34},
       [](auto d, size_t at) -> uint32_t { return ReadBE16(d, at); },
       [](auto d, size_t at, uint32_t v) { WriteBE16(d, at, static_cast<uint16_t>(v)); },
       [](Bytes& d, uint32_t v) { AppendBE16(d, static_cast<uint16_t>(v)); }},
      {"BE32",
       1,
       0xFEDCBA98,
       {0xFE, 0xDC, 0xBA, 0x98},
       [](auto d, size_t at) { return ReadBE32(d, at); },
       [](auto d, size_t at, uint32_t v) { WriteBE32(d, at, v); },
       [](Bytes& d, uint32_t v) { AppendBE32(d, v); }},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    Bytes data(12, 0x5A);
    std::copy(c.Wire.begin(), c.Wire.end(), data.begin() + static_cast<ptrdiff_t>(c.At));
    EXPECT_EQ(c.Read(data, c.At), c.Value);

    Bytes written(12, 0x5A);
    c.Write(written, c.At, c.Value);
    EXPECT_EQ(written, data);

    Bytes appended = {0x5A};
    c.Append(appended, c.Value);
    EXPECT_EQ(Bytes(appended.begin() + 1, appended.end()), c.Wire);
  }
}

// An offset whose value would end past the data is refused, including offsets so large that adding the
// value's size would wrap.
TEST(ByteOrder, RefusesOffsetsPastTheEnd) {
  Bytes data(6);
  for (size_t at : {size_t{5}, size_t{6}, size_t{7}, SIZE_MAX - 1}) {
    SCOPED_TRACE(at);
    EXPECT_THROW(ReadLE16(data, at), std::out_of_range);
    EXPECT_THROW(WriteBE16(data, at, 1), std::out_of_range);
  }
  for (size_t at : {size_t{3}, size_t{6}, SIZE_MAX - 2}) {
    SCOPED_TRACE(at);
    EXPECT_THROW(ReadBE32(data, at), std::out_of_range);
    EXPECT_THROW(WriteLE32(data, at, 1), std::out_of_range);
  }
  EXPECT_EQ(ReadLE16(data, 4), 0u);  // the last two bytes
  EXPECT_EQ(ReadLE32(data, 2), 0u);
  EXPECT_THROW(BITMAPINFOHEADER::Read(Bytes(39)), std::out_of_range);
}

static_assert(ReadBE32(std::array<uint8_t, 4>{'I', 'H', 'D', 'R'}) == 0x49484452);

// A top-down 16-bit info header with bit fields and a negative resolution, as a file would hold it: every
// field at its place, the signed ones keeping their sign both ways.
TEST(DibHeaders, InfoHeaderFieldsSitAtTheirWireOffsets) {
  const Bytes wire = {40,   0,    0,    0,     // biSize
                      0x03, 0x01, 0,    0,     // biWidth 259
                      0xFE, 0xFF, 0xFF, 0xFF,  // biHeight -2
                      1,    0,                 // biPlanes
                      16,   0,                 // biBitCount
                      3,    0,    0,    0,     // biCompression
                      0x10, 0x20, 0,    0,     // biSizeImage
                      0x13, 0x0B, 0,    0,     // biXPelsPerMeter 2835
                      0xFF, 0xFF, 0xFF, 0x7F,  // biYPelsPerMeter
                      0,    0,    0,    0x80,  // biClrUsed
                      7,    0,    0,    0};    // biClrImportant
  const BITMAPINFOHEADER h = BITMAPINFOHEADER::Read(wire);
  EXPECT_EQ(h.biSize, 40u);
  EXPECT_EQ(h.biWidth, 259);
  EXPECT_EQ(h.biHeight, -2);
  EXPECT_EQ(h.biPlanes, 1);
  EXPECT_EQ(h.biBitCount, 16);
  EXPECT_EQ(h.biCompression, BI_BITFIELDS);
  EXPECT_EQ(h.biSizeImage, 0x2010u);
  EXPECT_EQ(h.biXPelsPerMeter, 2835);
  EXPECT_EQ(h.biYPelsPerMeter, INT32_MAX);
  EXPECT_EQ(h.biClrUsed, 0x80000000u);
  EXPECT_EQ(h.biClrImportant, 7u);
  Bytes back;
  AppendHeader(back, h);
  EXPECT_EQ(back, wire);
}

TEST(DibHeaders, FileAndCoreHeadersSitAtTheirWireOffsets) {
  const Bytes file = {'B', 'M', 0x36, 0x01, 0, 0, 0xAA, 0xBB, 0xCC, 0xDD, 0x36, 0, 0, 0};
  const BITMAPFILEHEADER f = BITMAPFILEHEADER::Read(file);
  EXPECT_EQ(f.bfType, BITMAPFILEHEADER::BitmapType);
  EXPECT_EQ(f.bfSize, 0x136u);
  EXPECT_EQ(f.bfReserved1, 0xBBAA);
  EXPECT_EQ(f.bfReserved2, 0xDDCC);
  EXPECT_EQ(f.bfOffBits, 0x36u);

  const Bytes core = {12, 0, 0, 0, 0xFF, 0xFF, 0x02, 0x80, 1, 0, 24, 0};
  const BITMAPCOREHEADER c = BITMAPCOREHEADER::Read(core);
  EXPECT_EQ(c.bcSize, 12u);
  EXPECT_EQ(c.bcWidth, 0xFFFF);  // the core header's sizes are unsigned
  EXPECT_EQ(c.bcHeight, 0x8002);
  EXPECT_EQ(c.bcPlanes, 1);
  EXPECT_EQ(c.bcBitCount, 24);

  Bytes back;
  AppendHeader(back, f);
  AppendHeader(back, c);
  Bytes both = file;
  both.insert(both.end(), core.begin(), core.end());
  EXPECT_EQ(back, both);
}

}  // namespace
