// Hand-made files byte by byte: little-endian values and BMP headers, and PNG files chunk by chunk.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <initializer_list>
#include <stdexcept>
#include <string>
#include <vector>

#include "ByteOrder.h"
#include "DibHeaders.h"

// Little-endian byte building for hand-made files.
struct TBytes {
  std::vector<uint8_t> Data;
  TBytes& U8(uint32_t v) {
    Data.push_back(static_cast<uint8_t>(v));
    return *this;
  }
  TBytes& U16(uint32_t v) {
    AppendLE16(Data, static_cast<uint16_t>(v));
    return *this;
  }
  TBytes& U32(uint32_t v) {
    AppendLE32(Data, v);
    return *this;
  }
  TBytes& Raw(std::initializer_list<uint8_t> bytes) {
    Data.insert(Data.end(), bytes);
    return *this;
  }
  TBytes& Fill(size_t n, uint8_t v = 0) {
    Data.insert(Data.end(), n, v);
    return *this;
  }
  // "BM", bfSize, reserved words, bfOffBits.
  TBytes& FileHeader(uint32_t size, uint32_t offBits) {
    BITMAPFILEHEADER h;
    h.bfSize = size;
    h.bfOffBits = offBits;
    AppendHeader(Data, h);
    return *this;
  }
  // A 40-byte info header.
  TBytes& InfoHeader(int32_t w, int32_t h, uint16_t bits, uint32_t compression = 0, uint32_t clrUsed = 0,
                     int32_t xRes = 2835, int32_t yRes = 2835) {
    BITMAPINFOHEADER info;
    info.biWidth = w;
    info.biHeight = h;
    info.biBitCount = bits;
    info.biCompression = compression;
    info.biXPelsPerMeter = xRes;
    info.biYPelsPerMeter = yRes;
    info.biClrUsed = clrUsed;
    AppendHeader(Data, info);
    return *this;
  }
};

namespace pngdec {

using Bytes = std::vector<uint8_t>;

// A PNG file assembled chunk by chunk; Chunk writes a correct CRC, RawChunk takes the length as given.
class PngBuilder {
 public:
  explicit PngBuilder(bool signature = true) {
    if (signature) FBytes = {137, 80, 78, 71, 13, 10, 26, 10};
  }
  PngBuilder& RawChunk(uint32_t length, const std::string& type, const Bytes& data) {
    AppendBE32(FBytes, length);
    const size_t typeAt = FBytes.size();
    FBytes.insert(FBytes.end(), type.begin(), type.end());
    FBytes.insert(FBytes.end(), data.begin(), data.end());
    AppendBE32(FBytes,
               static_cast<uint32_t>(crc32(0, FBytes.data() + typeAt, static_cast<uInt>(4 + data.size()))));
    return *this;
  }
  PngBuilder& Chunk(const std::string& type, const Bytes& data = {}) {
    return RawChunk(static_cast<uint32_t>(data.size()), type, data);
  }
  PngBuilder& Ihdr(uint32_t w, uint32_t h, uint8_t depth, uint8_t colorType, uint8_t interlace = 0,
                   uint8_t compression = 0, uint8_t filter = 0) {
    Bytes d;
    AppendBE32(d, w);
    AppendBE32(d, h);
    d.insert(d.end(), {depth, colorType, compression, filter, interlace});
    return Chunk("IHDR", d);
  }
  PngBuilder& Text(const std::string& keyword, const std::string& text) {
    Bytes d(keyword.begin(), keyword.end());
    d.push_back(0);
    d.insert(d.end(), text.begin(), text.end());
    return Chunk("tEXt", d);
  }
  PngBuilder& End() { return Chunk("IEND"); }
  const Bytes& bytes() const { return FBytes; }

 private:
  Bytes FBytes;
};

inline Bytes Compress(const Bytes& raw, int level = 6) {
  uLongf size = compressBound(static_cast<uLong>(raw.size()));
  Bytes out(size);
  if (compress2(out.data(), &size, raw.data(), static_cast<uLong>(raw.size()), level) != Z_OK)
    throw std::runtime_error("compress2");
  out.resize(size);
  return out;
}

}  // namespace pngdec
