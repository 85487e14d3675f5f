// Test support for the encoder and graphic tests: encoding into memory, the inflated image data of a file,
// and the colours a source bitmap should come back with from libpng.
#pragma once

#include <zlib.h>

#include <array>
#include <functional>
#include <stdexcept>
#include <vector>

#include "LibpngOracle.h"
#include "NoiseImages.h"
#include "PngWriteStream.h"

namespace pngenc {

using Bytes = std::vector<uint8_t>;

// Encodes Bitmap with an encoder set up by Setup; returns the file.
inline Bytes Encode(TBitmap& bitmap, const std::function<void(TPngWriteStream&)>& setup = {}) {
  TPngWriteStream encoder;
  if (setup) setup(encoder);
  TMemoryStream stream;
  encoder.WriteGraphic(&bitmap, stream);
  return stream.Data();
}

// The zlib stream of all IDAT chunks, inflated: the filtered rows of every pass.
inline Bytes InflatedImageData(const Bytes& file) {
  Bytes compressed;
  for (const auto& c : pngtest::ChunksOf(pngtest::ListChunks(file), "IDAT"))
    compressed.insert(compressed.end(), c.Data.begin(), c.Data.end());
  z_stream z{};
  if (inflateInit(&z) != Z_OK) throw std::runtime_error("inflateInit");
  Bytes out;
  uint8_t buffer[65536];
  z.next_in = compressed.data();
  z.avail_in = static_cast<uInt>(compressed.size());
  int result = Z_OK;
  while (result == Z_OK) {
    z.next_out = buffer;
    z.avail_out = sizeof buffer;
    result = inflate(&z, Z_NO_FLUSH);
    out.insert(out.end(), buffer, buffer + (sizeof buffer - z.avail_out));
  }
  inflateEnd(&z);
  if (result != Z_STREAM_END) throw std::runtime_error("image data do not inflate");
  return out;
}

// Filter-type bytes of a non-interlaced image whose rows are RowBytes long without the filter byte.
inline Bytes RowFilters(const Bytes& file, size_t rowBytes) {
  const Bytes data = InflatedImageData(file);
  Bytes filters;
  for (size_t at = 0; at < data.size(); at += rowBytes + 1) filters.push_back(data[at]);
  return filters;
}

using Rgba = std::array<uint8_t, 4>;

inline uint8_t Gray(uint32_t r, uint32_t g, uint32_t b) {
  return static_cast<uint8_t>((77 * r + 150 * g + 29 * b) / 256);
}

// Palette index of pixel X of an indexed DIB row.
inline int IndexAt(const uint8_t* row, int bits, int x) {
  if (bits == 1) return (row[x / 8] >> (7 - x % 8)) & 1;
  if (bits == 4) return (x % 2 == 0) ? row[x / 2] >> 4 : row[x / 2] & 15;
  return row[x];
}

// The colour pixel (X, Y) of a bitmap stands for, with 5- and 6-bit channels widened by repeating their high
// bits.
inline Rgba SourceColor(const TBitmap& bitmap, int x, int y) {
  const uint8_t* row = bitmap.ScanLine(y);
  const auto widen5 = [](uint32_t v) { return static_cast<uint8_t>(v << 3 | v >> 2); };
  switch (bitmap.PixelFormat()) {
    case pf1bit:
    case pf4bit:
    case pf8bit: {
      TPaletteEntry e[256];
      GetPaletteEntries(bitmap.Palette(), 0, 256, e);
      const TPaletteEntry& p = e[IndexAt(row, bitmap.BitCount(), x)];
      return {p.peRed, p.peGreen, p.peBlue, 255};
    }
    case pf15bit: {
      const uint32_t w = row[2 * x] | row[2 * x + 1] << 8;
      return {widen5(w >> 10 & 31), widen5(w >> 5 & 31), widen5(w & 31), 255};
    }
    case pf16bit: {
      const uint32_t w = row[2 * x] | row[2 * x + 1] << 8;
      return {widen5(w >> 11), static_cast<uint8_t>((w >> 5 & 63) << 2 | (w >> 5 & 63) >> 4), widen5(w & 31),
              255};
    }
    case pf24bit:
      return {row[3 * x + 2], row[3 * x + 1], row[3 * x], 255};
    default:
      return {row[4 * x + 2], row[4 * x + 1], row[4 * x], 255};
  }
}

// What libpng's expansion to 8-bit RGBA should give for pixel (X, Y) of a file written from Bitmap with the
// given grey option and alpha bitmap (already known to be accepted and used).
inline Rgba ExpectedPixel(const TBitmap& bitmap, const TBitmap* alpha, bool gray, int x, int y) {
  Rgba c = SourceColor(bitmap, x, y);
  const int bits = bitmap.BitCount();
  if (gray) {
    uint8_t v = Gray(c[0], c[1], c[2]);
    if (bits == 1) {
      TPaletteEntry e[2];
      GetPaletteEntries(bitmap.Palette(), 0, 2, e);
      const bool invert =
          Gray(e[0].peRed, e[0].peGreen, e[0].peBlue) > Gray(e[1].peRed, e[1].peGreen, e[1].peBlue);
      v = static_cast<uint8_t>(((IndexAt(bitmap.ScanLine(y), 1, x) != 0) != invert) ? 255 : 0);
    } else if (bits == 4) {
      v = static_cast<uint8_t>((77u * c[0] + 150u * c[1] + 29u * c[2]) / 4096 * 17);
    }
    c = {v, v, v, 255};
  }
  if (alpha) c[3] = static_cast<uint8_t>(255 - alpha->ScanLine(y)[x]);
  return c;
}

// The first pixel whose libpng reading differs from the expectation, as a message; empty when all match.
inline std::string ComparePixels(const pngtest::Decoded& decoded, const TBitmap& bitmap, const TBitmap* alpha,
                                 bool gray) {
  if (decoded.Width != static_cast<uint32_t>(bitmap.Width()) ||
      decoded.Height != static_cast<uint32_t>(bitmap.Height()))
    return "size differs";
  for (int y = 0; y < bitmap.Height(); ++y) {
    for (int x = 0; x < bitmap.Width(); ++x) {
      const Rgba want = ExpectedPixel(bitmap, alpha, gray, x, y);
      const uint8_t* got = &decoded.Rows[static_cast<size_t>(y)][static_cast<size_t>(x) * 4];
      for (int i = 0; i < 4; ++i)
        if (got[i] != want[static_cast<size_t>(i)])
          return "pixel (" + std::to_string(x) + ", " + std::to_string(y) + ") channel " + std::to_string(i) +
                 ": got " + std::to_string(got[i]) + ", want " + std::to_string(want[static_cast<size_t>(i)]);
    }
  }
  return {};
}

// A palette of Count pseudo-random colours.
inline std::vector<TPaletteEntry> NoisePalette(int count, uint32_t seed) {
  pngtest::ByteNoise noise(seed);
  std::vector<TPaletteEntry> entries;
  for (int i = 0; i < count; ++i) entries.push_back(pngtest::Entry(noise.Next(), noise.Next(), noise.Next()));
  return entries;
}

// A bitmap of the format filled with noise; indexed formats get a full palette of noise colours.
inline std::unique_ptr<TBitmap> NoiseBitmap(int width, int height, TPixelFormat format, uint32_t seed) {
  const int bits = PixelFormatBitCount(format);
  auto bitmap = pngtest::MakeBitmap(
      width, height, format, bits <= 8 ? NoisePalette(1 << bits, seed + 1) : std::vector<TPaletteEntry>{});
  pngtest::FillNoise(*bitmap, seed);
  return bitmap;
}

}  // namespace pngenc
