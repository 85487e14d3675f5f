// stb_image as an independent reader of the BMP and PNG files Tilora writes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace stbtest {

// What stb_image read: the size and 8-bit RGB (or, from StbReadRgba, RGBA) samples row by row from the top,
// or the reason it failed.
struct StbImage {
  int Width = 0, Height = 0;
  std::vector<uint8_t> Rgb;
  std::string Error;  // empty when the file was read
  bool Ok() const { return Error.empty(); }
};

StbImage StbReadRgb(const std::vector<uint8_t>& file);
StbImage StbReadRgba(const std::vector<uint8_t>& file);

}  // namespace stbtest
