#include "LibpngOracle.h"

#include <zlib.h>

#include <cstring>
#include <stdexcept>

#include "ByteOrder.h"
#include "NoiseImages.h"

namespace pngtest {

std::vector<Chunk> ListChunks(const std::vector<uint8_t>& file) {
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

Decoded LibpngRead(const std::vector<uint8_t>& file, bool expand, bool allowBenign) {
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

}  // namespace pngtest

namespace pngdec {

int Channels(int colorType) {
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

size_t RawRowBytes(const LibpngDesc& desc) {
  return (size_t{desc.Width} * Channels(desc.ColorType) * desc.BitDepth + 7) / 8;
}

std::vector<Bytes> NoiseRows(const LibpngDesc& desc, uint32_t seed) {
  std::vector<Bytes> rows(desc.Height, Bytes(RawRowBytes(desc)));
  pngtest::ByteNoise noise(seed);
  for (auto& row : rows)
    for (auto& b : row) {
      b = noise.Next();
      if (desc.ColorType == PNG_COLOR_TYPE_PALETTE && desc.BitDepth == 8 && !desc.Palette.empty())
        b = static_cast<uint8_t>(b % desc.Palette.size());
    }
  return rows;
}

Bytes LibpngWrite(const LibpngDesc& desc, const std::vector<Bytes>& rows) {
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

}  // namespace pngdec
