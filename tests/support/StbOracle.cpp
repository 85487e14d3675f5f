#include "StbOracle.h"

#include <stb_image.h>

namespace stbtest {

namespace {

StbImage StbRead(const std::vector<uint8_t>& file, int wanted) {
  StbImage image;
  int channels = 0;
  stbi_uc* pixels = stbi_load_from_memory(file.data(), static_cast<int>(file.size()), &image.Width,
                                          &image.Height, &channels, wanted);
  if (!pixels) {
    image.Error = stbi_failure_reason();
    return image;
  }
  image.Rgb.assign(pixels,
                   pixels + static_cast<size_t>(image.Width) * static_cast<size_t>(image.Height) * wanted);
  stbi_image_free(pixels);
  return image;
}

}  // namespace

StbImage StbReadRgb(const std::vector<uint8_t>& file) {
  return StbRead(file, 3);
}

StbImage StbReadRgba(const std::vector<uint8_t>& file) {
  return StbRead(file, 4);
}

}  // namespace stbtest
