// Every valid colour type x bit depth x interlace, with and without tRNS, at odd sizes: files written by
// libpng decode to the pixels libpng reads from them.
#include <gtest/gtest.h>

#include <sstream>

#include "PngDecoderOracle.h"

namespace {

using namespace pngdec;

enum class Trns { None, Single, Table };

struct MatrixCase {
  int ColorType, BitDepth, Interlace;
  Trns Transparency;
  uint32_t Width, Height;
};

std::string Name(const MatrixCase& c) {
  std::ostringstream s;
  s << "type" << c.ColorType << "_depth" << c.BitDepth << (c.Interlace ? "_adam7" : "_plain")
    << (c.Transparency == Trns::None     ? ""
        : c.Transparency == Trns::Single ? "_trnsSingle"
                                         : "_trnsTable")
    << "_" << c.Width << "x" << c.Height;
  return s.str();
}

std::vector<MatrixCase> AllCases() {
  struct Format {
    int Type;
    std::vector<int> Depths;
    std::vector<Trns> Transparency;
  };
  const std::vector<Format> formats = {
      {PNG_COLOR_TYPE_GRAY, {1, 2, 4, 8, 16}, {Trns::None, Trns::Single}},
      {PNG_COLOR_TYPE_RGB, {8, 16}, {Trns::None, Trns::Single}},
      {PNG_COLOR_TYPE_PALETTE, {1, 2, 4, 8}, {Trns::None, Trns::Single, Trns::Table}},
      {PNG_COLOR_TYPE_GRAY_ALPHA, {8, 16}, {Trns::None}},
      {PNG_COLOR_TYPE_RGB_ALPHA, {8, 16}, {Trns::None}},
  };
  const std::pair<uint32_t, uint32_t> sizes[] = {{1, 1}, {3, 3}, {7, 5}, {33, 17}};
  std::vector<MatrixCase> cases;
  for (const auto& f : formats)
    for (int depth : f.Depths)
      for (int interlace : {0, 1})
        for (Trns t : f.Transparency)
          for (auto [w, h] : sizes) cases.push_back({f.Type, depth, interlace, t, w, h});
  return cases;
}

LibpngDesc DescFor(const MatrixCase& c) {
  LibpngDesc desc;
  desc.Width = c.Width;
  desc.Height = c.Height;
  desc.ColorType = c.ColorType;
  desc.BitDepth = c.BitDepth;
  desc.Interlace = c.Interlace ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE;
  const int maxSample = (1 << c.BitDepth) - 1;
  if (c.ColorType == PNG_COLOR_TYPE_PALETTE) {
    for (int i = 0; i <= maxSample; ++i)
      desc.Palette.push_back(png_color{static_cast<png_byte>(i * 37), static_cast<png_byte>(255 - i),
                                       static_cast<png_byte>(i * 91 + 7)});
    if (c.Transparency == Trns::Single) {
      desc.Trans.assign(2, 255);
      desc.Trans[1] = 0;  // index 1 alone fully transparent
    } else if (c.Transparency == Trns::Table) {
      for (int i = 0; i < std::min(maxSample, 5); ++i)
        desc.Trans.push_back(static_cast<uint8_t>(i * 60 + 10));
    }
  } else if (c.Transparency == Trns::Single) {
    png_color_16 color{};
    color.gray = static_cast<png_uint_16>(maxSample / 3);
    color.red = static_cast<png_uint_16>(maxSample / 5);
    color.green = static_cast<png_uint_16>(maxSample / 7);
    color.blue = static_cast<png_uint_16>(maxSample / 2);
    desc.TransColor = color;
  }
  return desc;
}

class PngDecoderMatrix : public testing::TestWithParam<MatrixCase> {};

TEST_P(PngDecoderMatrix, MatchesLibpng) {
  const MatrixCase& c = GetParam();
  const LibpngDesc desc = DescFor(c);
  std::vector<Bytes> rows = NoiseRows(desc, c.Width * 131 + c.Height * 7 + c.BitDepth);
  // The first pixel carries the transparent grey or RGB colour, so that transparency is exercised.
  if (desc.TransColor && c.BitDepth == 8) {
    if (c.ColorType == PNG_COLOR_TYPE_GRAY) rows[0][0] = static_cast<uint8_t>(desc.TransColor->gray);
    if (c.ColorType == PNG_COLOR_TYPE_RGB) {
      rows[0][0] = static_cast<uint8_t>(desc.TransColor->red);
      rows[0][1] = static_cast<uint8_t>(desc.TransColor->green);
      rows[0][2] = static_cast<uint8_t>(desc.TransColor->blue);
    }
  }
  const Bytes file = LibpngWrite(desc, rows);
  ExpectMatchesLibpng(file, Name(c));
}

INSTANTIATE_TEST_SUITE_P(AllFormats, PngDecoderMatrix, testing::ValuesIn(AllCases()),
                         [](const testing::TestParamInfo<MatrixCase>& info) { return Name(info.param); });

}  // namespace
