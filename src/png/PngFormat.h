// What the PNG decoder and encoder share: the signature, chunk type codes, the Adam7 pass geometry, the
// records of the tIME, cHRM and gIFg chunks and the shape of the row-transform events.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "SysUtils.h"

inline constexpr std::array<uint8_t, 8> PngSignature = {137, 80, 78, 71, 13, 10, 26, 10};

// Chunk types compared as one big-endian 32-bit number.
constexpr uint32_t PngChunkType(const char (&name)[5]) {
  return static_cast<uint32_t>(static_cast<uint8_t>(name[0])) << 24 |
         static_cast<uint32_t>(static_cast<uint8_t>(name[1])) << 16 |
         static_cast<uint32_t>(static_cast<uint8_t>(name[2])) << 8 |
         static_cast<uint32_t>(static_cast<uint8_t>(name[3]));
}
inline constexpr uint32_t ChunkIHDR = PngChunkType("IHDR");
inline constexpr uint32_t ChunkPLTE = PngChunkType("PLTE");
inline constexpr uint32_t ChunkIDAT = PngChunkType("IDAT");
inline constexpr uint32_t ChunkIEND = PngChunkType("IEND");
inline constexpr uint32_t ChunkTRNS = PngChunkType("tRNS");
inline constexpr uint32_t ChunkBKGD = PngChunkType("bKGD");
inline constexpr uint32_t ChunkGAMA = PngChunkType("gAMA");
inline constexpr uint32_t ChunkSBIT = PngChunkType("sBIT");
inline constexpr uint32_t ChunkPHYS = PngChunkType("pHYs");
inline constexpr uint32_t ChunkCHRM = PngChunkType("cHRM");
inline constexpr uint32_t ChunkGIFG = PngChunkType("gIFg");
inline constexpr uint32_t ChunkTIME = PngChunkType("tIME");
inline constexpr uint32_t ChunkTEXT = PngChunkType("tEXt");
inline constexpr uint32_t ChunkTILE = PngChunkType("tiLE");
// Magic at the start of the private "tiLE" chunk: the letters T, L, R, 3.
inline constexpr uint32_t TileMagic = PngChunkType("TLR3");

// The seven Adam7 passes: first row, row step, first column, column step.
struct TAdam7Pass {
  int32_t FirstRow, RowStep, FirstColumn, ColumnStep;
};
inline constexpr std::array<TAdam7Pass, 7> Adam7Passes = {{
    {0, 8, 0, 8},
    {0, 8, 4, 8},
    {4, 8, 0, 4},
    {0, 4, 2, 4},
    {2, 4, 0, 2},
    {0, 2, 1, 2},
    {1, 2, 0, 1},
}};
// Columns of pass Pass (0..6) in an image Width pixels wide: (W + 7) div 8, (W + 3) div 8, (W + 3) div 4, ...
inline int32_t Adam7PassColumns(int Pass, int32_t Width) {
  const TAdam7Pass& p = Adam7Passes[Pass];
  return static_cast<int32_t>((int64_t{Width} + p.ColumnStep - 1 - p.FirstColumn) / p.ColumnStep);
}
// Rows of pass Pass (0..6) in an image Height pixels high: (H + 7) div 8, (H + 7) div 8, (H + 3) div 8, ...
inline int32_t Adam7PassRows(int Pass, int32_t Height) {
  const TAdam7Pass& p = Adam7Passes[Pass];
  return static_cast<int32_t>((int64_t{Height} + p.RowStep - 1 - p.FirstRow) / p.RowStep);
}
// Rows of all seven passes added up (passes without columns included): the progress total of an Adam7 image.
inline int64_t Adam7TotalRows(int32_t Height) {
  int64_t total = 0;
  for (int pass = 0; pass < 7; ++pass) total += Adam7PassRows(pass, Height);
  return total;
}

// tIME record: year in host order, then month, day, hour, minute, second.
#pragma pack(push, 1)
struct TPngTime {
  uint16_t Year = 0;
  uint8_t Month = 0, Day = 0, Hour = 0, Minute = 0, Second = 0;
};
#pragma pack(pop)
static_assert(sizeof(TPngTime) == 7);
// cHRM record: white x, white y, red x, red y, green x, green y, blue x, blue y, each the raw 32-bit value.
using TPngChromaticity = std::array<int32_t, 8>;
// gIFg record: disposal method, user-input flag, 16-bit delay in file byte order.
using TPngGifControl = std::array<uint8_t, 4>;

// Row hook of both directions: Row is the raw PNG row without its filter-type byte (changed in place),
// RowBytes its length, RowIndex the rows handled before it over all passes, Key the active key text.
using TPngRowEvent = std::function<void(TObject* Sender, uint8_t* Row, int32_t RowBytes, int32_t RowIndex,
                                        const std::string& Key)>;
// Asks the application for the key of a file whose rows went through the hook; the handler may change Key.
using TPngKeyEvent = std::function<void(TObject* Sender, std::string& Key)>;
