// Test support for the decoder tests and the decode benchmark: PNG files built chunk by chunk, files written
// by libpng for any colour type, depth and interlace, and a decode through TPngReadStream from memory.
#pragma once

#include <png.h>
#include <zlib.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "ByteOrder.h"
#include "Classes.h"
#include "Graphics.h"
#include "PngReadStream.h"

namespace pngdec {

using Bytes = std::vector<uint8_t>;

// A PNG file assembled chunk by chunk; Chunk writes a correct CRC, RawChunk takes the length as given.
class PngBuilder {
 public:
  explicit PngBuilder(bool signature = true) {
    if (signature) FBytes.assign(PngSignature.begin(), PngSignature.end());
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

// What libpng is asked to write. Rows hold the raw samples as PNG stores them (packed below 8 bits, 16-bit
// samples most significant byte first).
struct LibpngDesc {
  uint32_t Width = 1, Height = 1;
  int ColorType = PNG_COLOR_TYPE_GRAY;
  int BitDepth = 8;
  int Interlace = PNG_INTERLACE_NONE;
  std::vector<png_color> Palette;
  Bytes Trans;                             // palette alpha table
  std::optional<png_color_16> TransColor;  // grey or RGB transparent colour
  int Filters = PNG_ALL_FILTERS;
  int Level = 6;
};

inline int Channels(int colorType) {
  switch (colorType) {
    case PNG_COLOR_TYPE_GRAY_ALPHA:
      return 2;
    case PNG_COLOR_TYPE_RGB:
      return 3;
    case PNG_COLOR_TYPE_RGB_ALPHA:
      return 4;
    default:
      return 1;
  }
}

inline size_t RawRowBytes(const LibpngDesc& desc) {
  return (size_t{desc.Width} * Channels(desc.ColorType) * desc.BitDepth + 7) / 8;
}

// Deterministic noise rows for a desc; palette indices stay below the palette size.
inline std::vector<Bytes> NoiseRows(const LibpngDesc& desc, uint32_t seed) {
  std::vector<Bytes> rows(desc.Height, Bytes(RawRowBytes(desc)));
  uint32_t state = seed ? seed : 1;
  for (auto& row : rows)
    for (auto& b : row) {
      state ^= state << 13;
      state ^= state >> 17;
      state ^= state << 5;
      b = static_cast<uint8_t>(state >> 8);
      if (desc.ColorType == PNG_COLOR_TYPE_PALETTE && desc.BitDepth == 8 && !desc.Palette.empty())
        b = static_cast<uint8_t>(b % desc.Palette.size());
    }
  return rows;
}

inline Bytes LibpngWrite(const LibpngDesc& desc, const std::vector<Bytes>& rows) {
  Bytes out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    throw std::runtime_error("libpng write failed");
  }
  png_set_write_fn(
      png, &out,
      [](png_structp p, png_bytep data, png_size_t length) {
        auto* o = static_cast<Bytes*>(png_get_io_ptr(p));
        o->insert(o->end(), data, data + length);
      },
      [](png_structp) {});
  png_set_IHDR(png, info, desc.Width, desc.Height, desc.BitDepth, desc.ColorType, desc.Interlace,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  if (!desc.Palette.empty())
    png_set_PLTE(png, info, desc.Palette.data(), static_cast<int>(desc.Palette.size()));
  if (!desc.Trans.empty() || desc.TransColor) {
    png_color_16 color = desc.TransColor.value_or(png_color_16{});
    png_set_tRNS(png, info, desc.Trans.empty() ? nullptr : desc.Trans.data(),
                 static_cast<int>(desc.Trans.size()), desc.TransColor ? &color : nullptr);
  }
  png_set_filter(png, PNG_FILTER_TYPE_BASE, desc.Filters);
  png_set_compression_level(png, desc.Level);
  png_write_info(png, info);
  const int passes = png_set_interlace_handling(png);
  for (int pass = 0; pass < passes; ++pass)
    for (const auto& row : rows) png_write_row(png, row.data());
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return out;
}

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
