// The colour-cutting quantisers and the 8-to-4-bit palette reduction: hand-computed palettes and indices, and
// the same palettes found from colour histograms.
#include <algorithm>
#include <random>

#include "DibTestSupport.h"

namespace {

struct TStepCounter {
  int Steps = 0;
  TDibProgressStep Step() {
    return [this](TObject*) { ++Steps; };
  }
};

using TQuantizer = TDibRecord (*)(const TDibRecord&, bool, const TDibProgressStep&, TObject*);

std::vector<uint32_t> PaletteOf(const TDibRecord& dib) {
  std::vector<uint32_t> colors;
  for (uint32_t i = 0; i < dib.Header.biClrUsed; ++i)
    colors.push_back(dib.Colors[i].rgbRed << 16 | dib.Colors[i].rgbGreen << 8 | dib.Colors[i].rgbBlue);
  return colors;
}

struct TQuantizeCase {
  const char* Name;
  TQuantizer Convert;
  int Depth;
  std::vector<uint32_t> Pixels;   // one row of 24-bit pixels, 0xRRGGBB
  std::vector<uint32_t> Palette;  // expected colour table
  std::vector<uint32_t> Indices;  // expected output indices
};

TEST(DibQuantize, TrueColourGoldenTables) {
  const std::vector<TQuantizeCase> cases = {
      // One bin: the mean of the low bits is truncated.
      {"two pixels in one bin", ConvertTrueColorTo8BitRGBLow, 8, {0x080000, 0x090000}, {0x080000}, {0, 0}},
      // Green is cut first (4 x var(green) beats 3 x var(red)); the upper part, white, is numbered first.
      {"black and white",
       ConvertTrueColorTo8BitRGBLow,
       8,
       {0x000000, 0xFFFFFF},
       {0xFFFFFF, 0x000000},
       {1, 0}},
      {"black and white, per pixel",
       ConvertTrueColorTo8BitRGBHigh,
       8,
       {0x000000, 0xFFFFFF},
       {0xFFFFFF, 0x000000},
       {1, 0}},
      // Per pixel the two reds are separate items: cut at 8.5.
      {"two reds, per pixel",
       ConvertTrueColorTo8BitRGBHigh,
       8,
       {0x080000, 0x090000},
       {0x090000, 0x080000},
       {1, 0}},
      // Bins 0..7 of red hold 0, 1, 2 and 4 (low bits 7 in 4 pixels: mean 1). Cuts at 50.7, then 149
      // and 8.57,
      // then 96, 24 and 2.4.
      {"ten reds to four bits",
       ConvertTrueColorTo4BitRGBLow,
       4,
       {0x000000, 0x010000, 0x020000, 0x040000, 0x080000, 0x100000, 0x200000, 0x400000, 0x800000, 0xFF0000},
       {0xFF0000, 0x800000, 0x400000, 0x200000, 0x100000, 0x080000, 0x010000},
       {6, 6, 6, 6, 5, 4, 3, 2, 1, 0}},
      // Per pixel every red is an item of weight 1: the cuts of the ten-colour 8-to-4 case below.
      {"ten reds to four bits, per pixel",
       ConvertTrueColorTo4BitRGBHigh,
       4,
       {0x000000, 0x010000, 0x020000, 0x040000, 0x080000, 0x100000, 0x200000, 0x400000, 0x800000, 0xFF0000},
       {0xFF0000, 0x800000, 0x400000, 0x200000, 0x100000, 0x080000, 0x040000, 0x020000, 0x000000},
       {8, 8, 7, 6, 5, 4, 3, 2, 1, 0}},
      // Equal variances: red (weighted 3) wins over blue (weighted 2).
      {"red and blue", ConvertTrueColorTo8BitRGBLow, 8, {0xF80000, 0x0000F8}, {0xF80000, 0x0000F8}, {0, 1}},
  };
  for (const TQuantizeCase& c : cases) {
    SCOPED_TRACE(c.Name);
    const TDibRecord source = MakeRecord(static_cast<int>(c.Pixels.size()), 1, 24, {}, c.Pixels);
    TStepCounter counter;
    const TDibRecord result = c.Convert(source, false, counter.Step(), nullptr);
    EXPECT_EQ(result.Header.biBitCount, c.Depth);
    EXPECT_EQ(result.Header.biCompression, BI_RGB);
    EXPECT_EQ(PaletteOf(result), c.Palette);
    EXPECT_EQ(DibPixels(result), c.Indices);
    EXPECT_EQ(counter.Steps, 1 << c.Depth) << "one step per leaf, empty leaves included";
  }
}

TEST(DibQuantize, ResultKeepsLayoutOfTheSource) {
  // A top-down 3 x 2 picture: rows, resolution and colours past the palette stay those of the source.
  TDibRecord source = MakeRecord(3, -2, 24, {}, {0x102030, 0x102030, 0xFFFFFF, 0, 0, 0x102030});
  source.Header.biXPelsPerMeter = 1234;
  source.Colors[100] = RGBQUAD{9, 9, 9, 0};
  for (TQuantizer q : {ConvertTrueColorTo8BitRGBLow, ConvertTrueColorTo4BitRGBHigh}) {
    const TDibRecord r = q(source, true, nullptr, nullptr);
    EXPECT_EQ(r.Header.biHeight, -2);
    EXPECT_EQ(r.Header.biXPelsPerMeter, 1234);
    EXPECT_EQ(r.Colors[100], (RGBQUAD{9, 9, 9, 0}));
    EXPECT_EQ(r.ImageSize, 2 * r.RowBytes());
    EXPECT_NE(r.MapHandle(), nullptr);
    EXPECT_EQ(DibColors(r), DibColors(source)) << "three colours are kept exactly";
  }
}

TEST(DibQuantize, EightToFourBitGoldenTables) {
  struct TCase {
    const char* name;
    std::vector<uint32_t> colors;   // the 8-bit colour table
    std::vector<uint32_t> pixels;   // indices
    std::vector<uint32_t> palette;  // expected
    std::vector<uint32_t> indices;  // expected
  };
  const std::vector<TCase> cases = {
      {"three colours kept exactly",
       {0x000000, 0x123456, 0x654321, 0xABCDEF},
       {3, 1, 3, 2, 1},
       {0xABCDEF, 0x654321, 0x123456},
       {0, 2, 0, 1, 2}},
      // Ten reds, one pixel each: (0, 0, 0) and (1, 0, 0) share the last entry, their mean 0.5 rounding to 0.
      {"ten reds",
       {0x000000, 0x010000, 0x020000, 0x040000, 0x080000, 0x100000, 0x200000, 0x400000, 0x800000, 0xFF0000},
       {0, 1, 2, 3, 4, 5, 6, 7, 8, 9},
       {0xFF0000, 0x800000, 0x400000, 0x200000, 0x100000, 0x080000, 0x040000, 0x020000, 0x000000},
       {8, 8, 7, 6, 5, 4, 3, 2, 1, 0}},
      // Only indices 5 (two pixels) and 6 (one) are items: cut on blue at 15.33, the upper part first.
      {"unused entries are ignored",
       {0xFFFFFF, 0x000000, 0xFFFFFF, 0x000000, 0xFFFFFF, 0x00000F, 0x000010},
       {5, 5, 6},
       {0x000010, 0x00000F},
       {1, 1, 0}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.name);
    const TDibRecord source = MakeRecord(static_cast<int>(c.pixels.size()), 1, 8, c.colors, c.pixels);
    TStepCounter counter;
    const TDibRecord result = Convert8BitRGBTo4BitRGB(source, false, counter.Step(), nullptr);
    EXPECT_EQ(result.Header.biBitCount, 4);
    EXPECT_EQ(PaletteOf(result), c.palette);
    EXPECT_EQ(DibPixels(result), c.indices);
    EXPECT_EQ(counter.Steps, 16);
  }
}

TEST(DibQuantize, SharedLeafTakesTheRoundedWeightedMean) {
  // With no cut left every item shares one leaf: the count-weighted mean, rounded half to even.
  std::vector<TDibWeightedItem> items = {{0, 0, 0, 1, 0}, {3, 0, 0, 1, 1}, {5, 0, 0, 2, 2}};
  std::vector<RGBQUAD> palette;
  int steps = 0;
  DivideWeighted(
      items, 0, 3, 0, 0, palette, [&steps](TObject*) { ++steps; }, nullptr);
  ASSERT_EQ(palette.size(), 1u);
  EXPECT_EQ(palette[0].rgbRed, 3) << "(0 + 3 + 10) / 4 = 3.25";
  EXPECT_EQ(steps, 1);
  for (const auto& item : items) EXPECT_EQ(item.Weight, 0);

  // 2.5 rounds to 2 (half to even), 3.5 to 4.
  for (const auto& [values, expected] :
       std::vector<std::pair<std::vector<int>, int>>{{{2, 3}, 2}, {{3, 4}, 4}}) {
    std::vector<TDibWeightedItem> pair = {{values[0], 0, 0, 1, 0}, {values[1], 0, 0, 1, 1}};
    std::vector<RGBQUAD> p;
    DivideWeighted(pair, 0, 2, 0, 0, p, nullptr, nullptr);
    EXPECT_EQ(p[0].rgbRed, expected);
  }
}

TEST(DibQuantize, CuttingTreeOfThePerPixelQuantiser) {
  std::vector<TDibPixelItem> items = {{0, 0, 0}, {255, 255, 255}, {0, 0, 200}};  // blue, green, red
  std::vector<TDibCutNode> tree(DibMaxCutNodes);
  int nodes = 1;
  std::vector<RGBQUAD> palette;
  DivideTree(items, 0, 3, 0, 0, 2, tree, nodes, palette, nullptr, nullptr);
  // Root: 4 x var(green) = 57800 beats 3 x var(red) = 36017 -> cut on green at 85. The upper box (white) is
  // node 1, cut once more (on red, all variances 0) into an empty node 2 and the leaf node 3. The lower box
  // (black and red) is node 4, cut on red at 100 into the leaves 5 (red) and 6 (black).
  const std::vector<std::tuple<int, double, int, int, int>> expected = {
      // DivideID, threshold, upper, lower, palette index
      {1, 85.0, 1, 4, 0},  {0, 255.0, 2, 3, 0}, {0, 0.0, 0, 0, 0}, {3, 0.0, 0, 0, 0},
      {0, 100.0, 5, 6, 0}, {3, 0.0, 0, 0, 1},   {3, 0.0, 0, 0, 2}};
  for (size_t i = 0; i < expected.size(); ++i) {
    const auto& [id, threshold, upper, lower, index] = expected[i];
    EXPECT_EQ(tree[i].DivideID, id) << i;
    EXPECT_DOUBLE_EQ(static_cast<double>(tree[i].Threshold), threshold) << i;
    EXPECT_EQ(tree[i].Upper, upper) << i;
    EXPECT_EQ(tree[i].Lower, lower) << i;
    EXPECT_EQ(tree[i].PaletteIndex, index) << i;
  }
  EXPECT_EQ(nodes, 7);
  ASSERT_EQ(palette.size(), 3u);
  EXPECT_EQ(palette[1].rgbRed, 200);
}

TEST(DibQuantize, FullPaletteOfManyColours) {
  // 64 x 64 pixels of 4096 colours: 256 entries, every pixel mapped to a close colour.
  std::vector<uint32_t> pixels;
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x)
      pixels.push_back(static_cast<uint32_t>((x * 4) << 16 | (y * 4) << 8 | ((x ^ y) * 4)));
  const TDibRecord source = MakeRecord(64, 64, 24, {}, pixels);
  for (TQuantizer q : {ConvertTrueColorTo8BitRGBLow, ConvertTrueColorTo8BitRGBHigh}) {
    TStepCounter counter;
    const TDibRecord r = q(source, false, counter.Step(), nullptr);
    EXPECT_EQ(r.Header.biClrUsed, 256u);
    EXPECT_EQ(counter.Steps, 256);
    const std::vector<uint32_t> colors = DibColors(r);
    for (size_t i = 0; i < pixels.size(); ++i) {
      const int dr = static_cast<int>(colors[i] >> 16) - static_cast<int>(pixels[i] >> 16);
      const int dg = static_cast<int>(colors[i] >> 8 & 255) - static_cast<int>(pixels[i] >> 8 & 255);
      EXPECT_LE(std::abs(dr) + std::abs(dg), 40) << i;
    }
  }
}

}  // namespace

namespace {

// Pictures of random colours and pixel counts: the colours gather in a few spots, so that many share a bin of
// the histogram quantiser and some bins hold several colours of different counts.
struct THistogramPicture {
  std::vector<TDibColorCount> Colors;
  std::vector<uint32_t> Pixels;  // 0xRRGGBB, every pixel of every colour
};
THistogramPicture RandomHistogram(uint32_t Seed, int ColorCount) {
  std::mt19937 random(Seed);
  std::vector<uint32_t> spots(1 + random() % 6);
  for (uint32_t& s : spots) s = random() & 0xFFFFFF;
  THistogramPicture picture;
  std::vector<uint32_t> seen;
  while (static_cast<int>(picture.Colors.size()) < ColorCount) {
    const uint32_t spot = spots[random() % spots.size()];
    const uint32_t color = spot ^ (random() & 0x0F0F0F);
    if (std::find(seen.begin(), seen.end(), color) != seen.end()) continue;
    seen.push_back(color);
    const int count = 1 + static_cast<int>(random() % (random() % 4 == 0 ? 200 : 5));
    picture.Colors.push_back({static_cast<uint8_t>(color >> 16), static_cast<uint8_t>(color >> 8),
                              static_cast<uint8_t>(color), count});
    picture.Pixels.insert(picture.Pixels.end(), static_cast<size_t>(count), color);
  }
  std::shuffle(picture.Pixels.begin(), picture.Pixels.end(), random);
  return picture;
}

uint32_t ColorValue(const TDibColorCount& c) {
  return uint32_t{c.Red} << 16 | uint32_t{c.Green} << 8 | c.Blue;
}

std::vector<uint32_t> PaletteValues(const std::vector<RGBQUAD>& Palette) {
  std::vector<uint32_t> colors;
  for (const RGBQUAD& q : Palette) colors.push_back(q.rgbRed << 16 | q.rgbGreen << 8 | q.rgbBlue);
  return colors;
}

}  // namespace

TEST(DibQuantize, HistogramPalettesEqualWhatThePicturesGive) {
  for (uint32_t seed = 1; seed <= 40; ++seed) {
    SCOPED_TRACE(seed);
    const THistogramPicture picture = RandomHistogram(seed, 1 + static_cast<int>(seed * 7 % 300));
    const TDibRecord source = MakeRecord(static_cast<int>(picture.Pixels.size()), 1, 24, {}, picture.Pixels);
    const std::pair<int, TQuantizer> quantizers[] = {{8, ConvertTrueColorTo8BitRGBLow},
                                                     {4, ConvertTrueColorTo4BitRGBLow}};
    for (const auto& [depth, convert] : quantizers) {
      const TDibRecord reduced = convert(source, false, nullptr, nullptr);
      std::vector<uint8_t> entries;
      const std::vector<RGBQUAD> palette = HistogramQuantizerPalette(picture.Colors, depth, entries);
      ASSERT_EQ(PaletteValues(palette), PaletteOf(reduced)) << depth << " bits";
      // Every pixel takes its colour's entry.
      for (size_t i = 0; i < picture.Pixels.size(); ++i) {
        const size_t color = static_cast<size_t>(
            std::find_if(picture.Colors.begin(), picture.Colors.end(),
                         [&](const TDibColorCount& c) { return ColorValue(c) == picture.Pixels[i]; }) -
            picture.Colors.begin());
        ASSERT_EQ(DibPixel(reduced, static_cast<int>(i), 0), entries[color]) << i;
      }
    }

    // The 8-bit reduction's result taken to 4 bits, with its entries given once each and with equal colours
    // merged.
    const TDibRecord eight = ConvertTrueColorTo8BitRGBLow(source, false, nullptr, nullptr);
    const TDibRecord four = Convert8BitRGBTo4BitRGB(eight, false, nullptr, nullptr);
    std::vector<TDibColorCount> used;
    for (const uint32_t index : DibPixels(eight)) {
      const RGBQUAD& q = eight.Colors[index];
      auto same = std::find_if(used.begin(), used.end(), [&](const TDibColorCount& c) {
        return c.Red == q.rgbRed && c.Green == q.rgbGreen && c.Blue == q.rgbBlue;
      });
      if (same == used.end()) same = used.insert(used.end(), {q.rgbRed, q.rgbGreen, q.rgbBlue, 0});
      ++same->Count;
    }
    std::vector<uint8_t> entries;
    EXPECT_EQ(PaletteValues(IndexQuantizerPalette(used, entries)), PaletteOf(four));
  }
}
