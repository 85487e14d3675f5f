#include "StbOracle.h"

#include <stb_image.h>

namespace stbtest {

StbImage StbReadRgb(const std::vector<uint8_t>& file) {
  StbImage image;
  int channels = 0;
  stbi_uc* pixels = stbi_load_from_memory(file.data(), static_cast<int>(file.size()), &image.Width,
                                          &image.Height, &channels, 3);
  if (!pixels) {
    image.Error = stbi_failure_reason();
    return image;
  }
  image.Rgb.assign(pixels, pixels + static_cast<size_t>(image.Width) * static_cast<size_t>(image.Height) * 3);
  stbi_image_free(pixels);
  return image;
}

}  // namespace stbtest
