// Dithering by error diffusion to the 215-colour halftone palette and to black and white.
#include <algorithm>
#include <string>
#include <utility>

#include "DibInternal.h"

using namespace dib_detail;

namespace {

constexpr int RedLevels[] = {0, 51, 102, 153, 204, 255};
constexpr int GreenLevels[] = {0, 43, 85, 128, 171, 214, 255};
constexpr int BlueLevels[] = {0, 64, 128, 192, 255};
constexpr int RedThresholds[] = {26, 77, 128, 179, 231};
constexpr int GreenThresholds[] = {22, 64, 107, 150, 193, 234};
constexpr int BlueThresholds[] = {32, 96, 160, 224};

// The number of thresholds the value reaches.
template <size_t N>
int Level(int value, const int (&thresholds)[N]) {
  int level = 0;
  for (int t : thresholds) level += value >= t ? 1 : 0;
  return level;
}

struct TError {
  int16_t Channel[3] = {0, 0, 0};  // red, green, blue
};

// Dithers any uncompressed 1-, 4-, 8- or 24-bit source in serpentine order (even memory rows left to right,
// odd rows right to left); choose(adjusted red, green, blue, chosen colour out) returns the output index.
template <class Choose>
TDibRecord Dither(const TDibRecord& source, bool useFMO, int resultBits, const char* name, Choose choose) {
  Assert(source.Header.biCompression == BI_RGB, (std::string(name) + ": Invalid DIB Format").c_str());
  const int bits = source.Header.biBitCount;
  Assert(bits == 1 || bits == 4 || bits == 8 || bits == 24,
         (std::string(name) + ": Invalid Bit Count").c_str());
  CheckSourceRows(source, name);
  TDibRecord result = NewResult(source, resultBits, useFMO, name);
  const int64_t width = source.Width();
  std::vector<TError> previous(static_cast<size_t>(width)), current(static_cast<size_t>(width));
  for (int64_t y = 0; y < source.AbsHeight(); ++y) {
    const uint8_t* s = source.MemoryRow(y);
    uint8_t* d = result.MemoryRow(y);
    const int64_t step = (y & 1) == 0 ? 1 : -1;
    int64_t x = step > 0 ? 0 : width - 1;
    for (int64_t k = 0; k < width; ++k, x += step) {
      const RGBQUAD c = PixelColor(source, s, x);
      const int value[3] = {c.rgbRed, c.rgbGreen, c.rgbBlue};
      int adjusted[3];
      for (int ch = 0; ch < 3; ++ch) {
        const int left = k > 0 ? current[x - step].Channel[ch] : 0;
        const int above = y > 0 ? previous[x].Channel[ch] : 0;
        const int aboveBehind = y > 0 && k > 0 ? previous[x - step].Channel[ch] : 0;
        adjusted[ch] = value[ch] - (12 * left + 12 * above + 5 * aboveBehind) / 32;
      }
      int chosen[3];
      WritePixel(d, x, resultBits, choose(adjusted, chosen));
      for (int ch = 0; ch < 3; ++ch) current[x].Channel[ch] = static_cast<int16_t>(chosen[ch] - adjusted[ch]);
    }
    std::swap(previous, current);
  }
  return result;
}

}  // namespace

namespace dib_detail {

const std::array<RGBQUAD, 215>& HalftoneColors() {
  static const std::array<RGBQUAD, 215> colors = [] {
    std::array<RGBQUAD, 215> c{};
    for (int r = 0; r < 6; ++r)
      for (int g = 0; g < 7; ++g)
        for (int b = 0; b < 5; ++b)
          c[r * 35 + g * 5 + b] =
              RGBQUAD{static_cast<uint8_t>(BlueLevels[b]), static_cast<uint8_t>(GreenLevels[g]),
                      static_cast<uint8_t>(RedLevels[r]), 0};
    c[210] = RGBQUAD{0, 0, 128, 0};
    c[211] = RGBQUAD{0, 128, 128, 0};
    c[212] = RGBQUAD{128, 0, 128, 0};
    c[213] = RGBQUAD{192, 192, 192, 0};
    c[214] = RGBQUAD{128, 128, 128, 0};
    return c;
  }();
  return colors;
}

}  // namespace dib_detail

TDibRecord ConvertToHalfTone(const TDibRecord& Source, bool UseFMO) {
  TDibRecord result =
      Dither(Source, UseFMO, 8, "ConvertToHalfTone", [](const int(&adjusted)[3], int(&chosen)[3]) {
        const int r = Level(adjusted[0], RedThresholds);
        const int g = Level(adjusted[1], GreenThresholds);
        const int b = Level(adjusted[2], BlueThresholds);
        chosen[0] = RedLevels[r];
        chosen[1] = GreenLevels[g];
        chosen[2] = BlueLevels[b];
        return static_cast<uint8_t>(r * 35 + g * 5 + b);
      });
  const auto& colors = HalftoneColors();
  result.Header.biClrUsed = static_cast<uint32_t>(colors.size());
  std::copy(colors.begin(), colors.end(), result.Colors.begin());
  return result;
}

TDibRecord ConvertToHalfToneBW(const TDibRecord& Source, bool UseFMO) {
  TDibRecord result =
      Dither(Source, UseFMO, 1, "ConvertToHalfToneBW", [](const int(&adjusted)[3], int(&chosen)[3]) {
        const bool white = adjusted[0] + adjusted[1] + adjusted[2] >= 384;
        chosen[0] = chosen[1] = chosen[2] = white ? 255 : 0;
        return static_cast<uint8_t>(white ? 1 : 0);
      });
  result.Header.biClrUsed = 2;
  result.Colors[0] = RGBQUAD{0, 0, 0, 0};
  result.Colors[1] = RGBQUAD{255, 255, 255, 0};
  return result;
}
