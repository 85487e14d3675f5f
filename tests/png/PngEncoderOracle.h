// Test support for the encoder and graphic tests: libpng as an independent reader of the files Tilora writes,
// a chunk lister, and small bitmap builders.
#pragma once

#include <png.h>
#include <zlib.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "ByteOrder.h"
#include "Classes.h"
#include "Graphics.h"

namespace pngtest {

// One chunk of a PNG file as stored.
struct Chunk {
  std::string Type;
  std::vector<uint8_t> Data;
  bool CrcOk = false;
};

// Splits a PNG file into its chunks; throws when the signature is missing or a chunk runs past the end.
inline std::vector<Chunk> ListChunks(const std::vector<uint8_t>& file) {
  static const uint8_t signature[8] = {137, 80, 78, 71, 13, 10, 26, 10};
  if (file.size() < 8 || std::memcmp(file.data(), signature, 8) != 0)
    throw std::runtime_error("no PNG signature");
  std::vector<Chunk> chunks;
  size_t pos = 8;
  while (pos < file.size()) {
    if (file.size() - pos < 12) throw std::runtime_error("truncated chunk header");
    const uint32_t length = ReadBE32(file, pos);
    if (file.size() - pos - 12 < length) throw std::runtime_error("chunk runs past the end");
    Chunk c;
    c.Type.assign(reinterpret_cast<const char*>(&file[pos + 4]), 4);
    c.Data.assign(file.begin() + pos + 8, file.begin() + pos + 8 + length);
    const uint32_t crc = static_cast<uint32_t>(crc32(0, &file[pos + 4], length + 4));
    c.CrcOk = crc == ReadBE32(file, pos + 8 + length);
    chunks.push_back(std::move(c));
    pos += 12 + length;
  }
  return chunks;
}

inline std::vector<std::string> ChunkTypes(const std::vector<Chunk>& chunks) {
  std::vector<std::string> types;
  for (const auto& c : chunks) types.push_back(c.Type);
  return types;
}

// The chunks of one type, in file order.
inline std::vector<Chunk> ChunksOf(const std::vector<Chunk>& chunks, const std::string& type) {
  std::vector<Chunk> out;
  for (const auto& c : chunks)
    if (c.Type == type) out.push_back(c);
  return out;
}

// What libpng reads from a file.
struct Decoded {
  uint32_t Width = 0, Height = 0;
  int BitDepth = 0, ColorType = 0, Interlace = 0;
  // Rows as libpng delivers them: with Expand, 8-bit RGBA for every colour type (grey spread to RGB, palette
  // looked up, tRNS turned into alpha, missing alpha 255); without, the raw samples of the file,
  // deinterlaced.
  std::vector<std::vector<uint8_t>> Rows;
  std::vector<png_color> Palette;
  std::vector<uint8_t> Trans;  // palette alpha table, when tRNS is present
  std::vector<std::string> Warnings;
};

// Reads a PNG from memory with libpng: CRC errors of every chunk stop the read, benign errors are errors
// unless allowBenign. Throws std::runtime_error with libpng's message on any error.
inline Decoded LibpngRead(const std::vector<uint8_t>& file, bool expand, bool allowBenign = false) {
  struct Reader {
    const std::vector<uint8_t>* File;
    size_t Pos;
    std::vector<std::string>* Warnings;
    std::string Error;
  };
  Decoded out;
  Reader reader{&file, 0, &out.Warnings, {}};
  png_structp png = png_create_read_struct(
      PNG_LIBPNG_VER_STRING, &reader,
      [](png_structp p, png_const_charp msg) {
        static_cast<Reader*>(png_get_error_ptr(p))->Error = msg;
        png_longjmp(p, 1);
      },
      [](png_structp p, png_const_charp msg) {
        static_cast<Reader*>(png_get_error_ptr(p))->Warnings->push_back(msg);
      });
  if (!png) throw std::runtime_error("png_create_read_struct");
  png_infop info = png_create_info_struct(png);
  // Rows live outside the jump region so that a longjmp leaks nothing.
  std::vector<png_bytep> rowPointers;
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    throw std::runtime_error("libpng: " + reader.Error);
  }
  png_set_read_fn(png, &reader, [](png_structp p, png_bytep data, png_size_t length) {
    auto* r = static_cast<Reader*>(png_get_io_ptr(p));
    if (r->File->size() - r->Pos < length) png_error(p, "read past the end of the file");
    std::memcpy(data, r->File->data() + r->Pos, length);
    r->Pos += length;
  });
  png_set_crc_action(png, PNG_CRC_ERROR_QUIT, PNG_CRC_ERROR_QUIT);
  png_set_benign_errors(png, allowBenign ? 1 : 0);
  png_read_info(png, info);
  out.Width = png_get_image_width(png, info);
  out.Height = png_get_image_height(png, info);
  out.BitDepth = png_get_bit_depth(png, info);
  out.ColorType = png_get_color_type(png, info);
  out.Interlace = png_get_interlace_type(png, info);
  png_colorp palette = nullptr;
  int paletteCount = 0;
  if (png_get_PLTE(png, info, &palette, &paletteCount) & PNG_INFO_PLTE)
    out.Palette.assign(palette, palette + paletteCount);
  png_bytep trans = nullptr;
  int transCount = 0;
  if ((png_get_tRNS(png, info, &trans, &transCount, nullptr) & PNG_INFO_tRNS) && trans)
    out.Trans.assign(trans, trans + transCount);
  if (expand) {
    png_set_expand(png);
    png_set_strip_16(png);
    png_set_gray_to_rgb(png);
    png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
  }
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  const size_t rowBytes = png_get_rowbytes(png, info);
  out.Rows.assign(out.Height, std::vector<uint8_t>(rowBytes));
  rowPointers.resize(out.Height);
  for (uint32_t y = 0; y < out.Height; ++y) rowPointers[y] = out.Rows[y].data();
  png_read_image(png, rowPointers.data());
  png_read_end(png, nullptr);
  png_destroy_read_struct(&png, &info, nullptr);
  return out;
}

// A bitmap of the given size and format whose pixel memory is zero, with the given palette for indexed
// formats.
inline std::unique_ptr<TBitmap> MakeBitmap(int width, int height, TPixelFormat format,
                                           std::vector<TPaletteEntry> palette = {}) {
  auto bitmap = std::make_unique<TBitmap>();
  bitmap->SetImage(
      NewBitmapImage(width, height, format, palette.empty() ? nullptr : CreatePalette(palette), false));
  return bitmap;
}

inline TPaletteEntry Entry(uint8_t r, uint8_t g, uint8_t b) {
  return TPaletteEntry{r, g, b, 0};
}

// A deterministic pseudo-random byte sequence (xorshift), so tests and benchmarks fill images reproducibly.
class ByteNoise {
 public:
  explicit ByteNoise(uint32_t seed) : FState(seed ? seed : 1) {}
  uint8_t Next() {
    FState ^= FState << 13;
    FState ^= FState >> 17;
    FState ^= FState << 5;
    return static_cast<uint8_t>(FState >> 8);
  }

 private:
  uint32_t FState;
};

// Fills every row of the bitmap's pixel memory (padding included) with noise.
inline void FillNoise(TBitmap& bitmap, uint32_t seed) {
  ByteNoise noise(seed);
  for (int y = 0; y < bitmap.Height(); ++y) {
    uint8_t* row = bitmap.ScanLine(y);
    for (int i = 0; i < bitmap.RowBytes(); ++i) row[i] = noise.Next();
  }
}

}  // namespace pngtest
