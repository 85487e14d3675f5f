// libpng as an independent reader and writer of PNG files, and a chunk lister: the oracles the PNG, editor
// and tool tests check Tilora's files against.
#pragma once

#include <png.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace pngtest {

// One chunk of a PNG file as stored.
struct Chunk {
  std::string Type;
  std::vector<uint8_t> Data;
  bool CrcOk = false;
};

// Splits a PNG file into its chunks; throws when the signature is missing or a chunk runs past the end.
std::vector<Chunk> ListChunks(const std::vector<uint8_t>& file);

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
Decoded LibpngRead(const std::vector<uint8_t>& file, bool expand, bool allowBenign = false);

}  // namespace pngtest

namespace pngdec {

using Bytes = std::vector<uint8_t>;

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

int Channels(int colorType);

size_t RawRowBytes(const LibpngDesc& desc);

// Deterministic noise rows for a desc; palette indices stay below the palette size.
std::vector<Bytes> NoiseRows(const LibpngDesc& desc, uint32_t seed);

// The file libpng writes for the desc and rows.
Bytes LibpngWrite(const LibpngDesc& desc, const std::vector<Bytes>& rows);

}  // namespace pngdec
