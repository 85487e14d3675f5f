// Colour cutting: the histogram quantiser, the per-pixel quantiser and the 8-to-4-bit palette reduction.
#include <algorithm>
#include <cmath>
#include <string>
#include <utility>

#include "DibInternal.h"

using namespace dib_detail;

namespace {

int ItemValue(const TDibWeightedItem& item, int channel) {
  return channel == 0 ? item.Red : channel == 1 ? item.Green : item.Blue;
}
int ItemValue(const TDibPixelItem& item, int channel) {
  return channel == 0 ? item.Red : channel == 1 ? item.Green : item.Blue;
}
int64_t ItemWeight(const TDibWeightedItem& item) {
  return item.Weight;
}
int64_t ItemWeight(const TDibPixelItem&) {
  return 1;
}

// Weighted means and variances of the three channels (red, green, blue) of a non-empty box. The sums are
// exact integers; means and variances follow in extended precision.
struct TBoxMoments {
  long double Mean[3];
  long double Variance[3];
};

template <class Item>
TBoxMoments Measure(const std::vector<Item>& items, int64_t start, int64_t end) {
  int64_t w = 0;
  int64_t sum[3] = {0, 0, 0};
  int64_t squares[3] = {0, 0, 0};
  for (int64_t i = start; i < end; ++i) {
    const Item& item = items[i];
    const int64_t weight = ItemWeight(item);
    w += weight;
    for (int c = 0; c < 3; ++c) {
      const int64_t v = ItemValue(item, c);
      sum[c] += weight * v;
      squares[c] += weight * v * v;
    }
  }
  TBoxMoments m;
  const long double total = static_cast<long double>(w);
  for (int c = 0; c < 3; ++c) {
    m.Mean[c] = static_cast<long double>(sum[c]) / total;
    m.Variance[c] = static_cast<long double>(squares[c]) / total - m.Mean[c] * m.Mean[c];
  }
  return m;
}

// The channel to cut: largest of 3 x var(red), 4 x var(green), 2 x var(blue); ties go to red, then green.
int CuttingChannel(const TBoxMoments& m) {
  const long double r = 3 * m.Variance[0], g = 4 * m.Variance[1], b = 2 * m.Variance[2];
  if (r >= g && r >= b) return 0;
  if (g >= b) return 1;
  return 2;
}

// Moves the items with values <= mean on the channel to the front; returns the first of the upper part.
template <class Item>
int64_t Partition(std::vector<Item>& items, int64_t start, int64_t end, int channel, long double mean) {
  int64_t f = start, t = end;
  for (;;) {
    while (f < t && ItemValue(items[f], channel) <= mean) ++f;
    while (t > f && ItemValue(items[t - 1], channel) > mean) --t;
    if (f >= t) return f;
    std::swap(items[f], items[t - 1]);
  }
}

RGBQUAD RoundedEntry(const TBoxMoments& m) {
  // lrint rounds half to even in the default rounding mode.
  return RGBQUAD{static_cast<uint8_t>(std::lrint(m.Mean[2])), static_cast<uint8_t>(std::lrint(m.Mean[1])),
                 static_cast<uint8_t>(std::lrint(m.Mean[0])), 0};
}

void Step(const TDibProgressStep& progressStep, TObject* owner) {
  if (progressStep) progressStep(owner);
}

}  // namespace

void DivideWeighted(std::vector<TDibWeightedItem>& Items, int64_t Start, int64_t End, int Depth, int MaxDepth,
                    std::vector<RGBQUAD>& Palette, const TDibProgressStep& ProgressStep,
                    TObject* ProgressOwner) {
  if (Start == End) {
    if (Depth == MaxDepth) {
      Step(ProgressStep, ProgressOwner);
    } else {
      DivideWeighted(Items, Start, End, Depth + 1, MaxDepth, Palette, ProgressStep, ProgressOwner);
      DivideWeighted(Items, Start, End, Depth + 1, MaxDepth, Palette, ProgressStep, ProgressOwner);
    }
    return;
  }
  const TBoxMoments m = Measure(Items, Start, End);
  if (Depth == MaxDepth) {
    const int32_t index = static_cast<int32_t>(Palette.size());
    Palette.push_back(RoundedEntry(m));
    for (int64_t i = Start; i < End; ++i) Items[i].Weight = index;
    Step(ProgressStep, ProgressOwner);
    return;
  }
  const int channel = CuttingChannel(m);
  const int64_t f = Partition(Items, Start, End, channel, m.Mean[channel]);
  DivideWeighted(Items, f, End, Depth + 1, MaxDepth, Palette, ProgressStep, ProgressOwner);
  DivideWeighted(Items, Start, f, Depth + 1, MaxDepth, Palette, ProgressStep, ProgressOwner);
}

void DivideTree(std::vector<TDibPixelItem>& Items, int64_t Start, int64_t End, int Depth, int Node,
                int MaxDepth, std::vector<TDibCutNode>& Tree, int& NodeCount, std::vector<RGBQUAD>& Palette,
                const TDibProgressStep& ProgressStep, TObject* ProgressOwner) {
  if (Start == End) {
    if (Depth == MaxDepth) {
      Step(ProgressStep, ProgressOwner);
    } else {
      DivideTree(Items, Start, End, Depth + 1, Node, MaxDepth, Tree, NodeCount, Palette, ProgressStep,
                 ProgressOwner);
      DivideTree(Items, Start, End, Depth + 1, Node, MaxDepth, Tree, NodeCount, Palette, ProgressStep,
                 ProgressOwner);
    }
    return;
  }
  const TBoxMoments m = Measure(Items, Start, End);
  TDibCutNode& node = Tree.at(static_cast<size_t>(Node));
  if (Depth == MaxDepth) {
    node.DivideID = 3;
    node.PaletteIndex = static_cast<uint8_t>(Palette.size());
    node.Lower = node.Upper = 0;
    Palette.push_back(RoundedEntry(m));
    Step(ProgressStep, ProgressOwner);
    return;
  }
  const int channel = CuttingChannel(m);
  node.DivideID = static_cast<uint8_t>(channel);
  node.Threshold = m.Mean[channel];
  const int64_t f = Partition(Items, Start, End, channel, m.Mean[channel]);
  Assert(NodeCount + 2 <= static_cast<int>(Tree.size()), "DivideTree: Too Many Nodes");
  const int upper = NodeCount++;
  Tree[static_cast<size_t>(Node)].Upper = upper;
  DivideTree(Items, f, End, Depth + 1, upper, MaxDepth, Tree, NodeCount, Palette, ProgressStep,
             ProgressOwner);
  const int lower = NodeCount++;
  Tree[static_cast<size_t>(Node)].Lower = lower;
  DivideTree(Items, Start, f, Depth + 1, lower, MaxDepth, Tree, NodeCount, Palette, ProgressStep,
             ProgressOwner);
}

namespace {

// The result of a palette reduction: depth-bit pixels, the new palette as the colour table.
TDibRecord NewIndexedResult(const TDibRecord& source, int depth, bool useFMO, const char* name,
                            const std::vector<RGBQUAD>& palette) {
  TDibRecord result = NewResult(source, depth, useFMO, name);
  result.Header.biClrUsed = static_cast<uint32_t>(palette.size());
  for (size_t i = 0; i < palette.size(); ++i) result.Colors[i] = palette[i];
  return result;
}

void CheckTrueColor(const TDibRecord& source, const char* name) {
  if (source.Header.biBitCount != 24 || source.Header.biCompression != BI_RGB)
    throw EDibBadDIBType(std::string(name) + ": Invalid Bitcount");
  CheckSourceRows(source, name);
}

constexpr int BinCount = 65536;

inline uint32_t BinNumber(uint8_t red, uint8_t green, uint8_t blue) {
  return ((red >> 3) << 11) | ((green >> 2) << 5) | (blue >> 3);
}
inline uint32_t BinNumber(const uint8_t* bgr) {
  return BinNumber(bgr[2], bgr[1], bgr[0]);
}

// The item of histogram bin Number from its totals: the bin's base colour plus the mean of its pixels' low
// bits, weighted by its pixel count.
TDibWeightedItem BinItem(int32_t number, int64_t red, int64_t green, int64_t blue, int64_t count) {
  return TDibWeightedItem{static_cast<int32_t>(red / count) + (number >> 11) * 8,
                          static_cast<int32_t>(green / count) + ((number >> 5) & 63) * 4,
                          static_cast<int32_t>(blue / count) + (number & 31) * 8, static_cast<int32_t>(count),
                          number};
}

// Cuts the items into at most 2^depth palette entries; table[item.Key] receives each item's entry.
template <class TTable>
std::vector<RGBQUAD> CutItems(std::vector<TDibWeightedItem>& items, int depth, TTable& table,
                              const TDibProgressStep& progressStep, TObject* owner) {
  std::vector<RGBQUAD> palette;
  DivideWeighted(items, 0, static_cast<int64_t>(items.size()), 0, depth, palette, progressStep, owner);
  for (const TDibWeightedItem& item : items)
    table[static_cast<size_t>(item.Key)] = static_cast<uint8_t>(item.Weight);
  return palette;
}

// Writes the index of every pixel, found by lookup(pixel address), packed at the result's depth.
template <class Lookup>
void MapPixels(const TDibRecord& source, TDibRecord& result, int depth, Lookup lookup) {
  const int64_t width = source.Width();
  for (int64_t y = 0; y < source.AbsHeight(); ++y) {
    const uint8_t* s = source.MemoryRow(y);
    uint8_t* d = result.MemoryRow(y);
    if (depth == 8) {
      for (int64_t x = 0; x < width; ++x, s += 3) d[x] = lookup(s);
    } else {
      for (int64_t x = 0; x < width; ++x, s += 3) WritePixel(d, x, 4, lookup(s));
    }
  }
}

// The histogram quantiser: pixels binned by (red div 8, green div 4, blue div 8); the non-empty bins, at
// their mean colours and weighted by their counts, are cut into at most 2^depth palette entries.
TDibRecord QuantizeByHistogram(const TDibRecord& source, bool useFMO, int depth,
                               const TDibProgressStep& progressStep, TObject* owner, const char* name) {
  CheckTrueColor(source, name);
  // Counting runs in 32-bit bins, folded into 64-bit totals at least every 2^28 pixels so that no sum of low
  // bits (at most 7 per pixel) can overflow however large the picture.
  struct TBin {
    uint32_t Red = 0, Green = 0, Blue = 0, Count = 0;
  };
  struct TBinTotal {
    int64_t Red = 0, Green = 0, Blue = 0, Count = 0;
  };
  constexpr int64_t foldPixels = int64_t{1} << 28;
  std::vector<TBin> bins(BinCount);
  std::vector<TBinTotal> totals(BinCount);
  auto fold = [&bins, &totals] {
    for (int i = 0; i < BinCount; ++i) {
      totals[i].Red += bins[i].Red;
      totals[i].Green += bins[i].Green;
      totals[i].Blue += bins[i].Blue;
      totals[i].Count += bins[i].Count;
      bins[i] = TBin{};
    }
  };
  const int64_t width = source.Width();
  int64_t pending = 0;
  for (int64_t y = 0; y < source.AbsHeight(); ++y) {
    const uint8_t* s = source.MemoryRow(y);
    for (int64_t x = 0; x < width;) {
      const int64_t n = std::min(width - x, foldPixels - pending);
      for (const uint8_t* end = s + 3 * n; s != end; s += 3) {
        TBin& bin = bins[BinNumber(s)];
        bin.Blue += s[0] & 7;
        bin.Green += s[1] & 3;
        bin.Red += s[2] & 7;
        ++bin.Count;
      }
      x += n;
      pending += n;
      if (pending == foldPixels) {
        fold();
        pending = 0;
      }
    }
  }
  fold();
  std::vector<TDibWeightedItem> items;
  for (int32_t number = 0; number < BinCount; ++number) {
    const TBinTotal& bin = totals[number];
    if (bin.Count == 0) continue;
    items.push_back(BinItem(number, bin.Red, bin.Green, bin.Blue, bin.Count));
  }
  std::vector<uint8_t> table(BinCount, 0);
  const std::vector<RGBQUAD> palette = CutItems(items, depth, table, progressStep, owner);

  TDibRecord result = NewIndexedResult(source, depth, useFMO, name, palette);
  MapPixels(source, result, depth, [&table](const uint8_t* bgr) { return table[BinNumber(bgr)]; });
  return result;
}

// The per-pixel quantiser: every pixel is an item of weight 1; the cutting tree then maps each pixel.
TDibRecord QuantizeByPixels(const TDibRecord& source, bool useFMO, int depth,
                            const TDibProgressStep& progressStep, TObject* owner, const char* name) {
  CheckTrueColor(source, name);
  const int64_t width = source.Width();
  std::vector<TDibPixelItem> items;
  items.reserve(static_cast<size_t>(width * source.AbsHeight()));
  for (int64_t y = 0; y < source.AbsHeight(); ++y) {
    const uint8_t* s = source.MemoryRow(y);
    for (int64_t x = 0; x < width; ++x, s += 3) items.push_back(TDibPixelItem{s[0], s[1], s[2]});
  }
  std::vector<TDibCutNode> tree(DibMaxCutNodes);
  int nodeCount = 1;
  std::vector<RGBQUAD> palette;
  DivideTree(items, 0, static_cast<int64_t>(items.size()), 0, 0, depth, tree, nodeCount, palette,
             progressStep, owner);
  items = {};

  const std::string invalidNode = "ConvertTrueColorTo8BitRGBHigh: Invalid DivideID";
  TDibRecord result = NewIndexedResult(source, depth, useFMO, name, palette);
  MapPixels(source, result, depth, [&tree, &invalidNode](const uint8_t* bgr) {
    const TDibCutNode* node = &tree[0];
    while (node->DivideID != 3) {
      Assert(node->DivideID < 3, invalidNode.c_str());
      const int value = node->DivideID == 0 ? bgr[2] : node->DivideID == 1 ? bgr[1] : bgr[0];
      node = &tree[static_cast<size_t>(node->Threshold >= value ? node->Lower : node->Upper)];
    }
    return node->PaletteIndex;
  });
  return result;
}

}  // namespace

TDibRecord ConvertTrueColorTo8BitRGBLow(const TDibRecord& Source, bool UseFMO,
                                        const TDibProgressStep& ProgressStep, TObject* ProgressOwner) {
  return QuantizeByHistogram(Source, UseFMO, 8, ProgressStep, ProgressOwner, "ConvertTrueColorTo8BitRGBLow");
}
TDibRecord ConvertTrueColorTo4BitRGBLow(const TDibRecord& Source, bool UseFMO,
                                        const TDibProgressStep& ProgressStep, TObject* ProgressOwner) {
  return QuantizeByHistogram(Source, UseFMO, 4, ProgressStep, ProgressOwner, "ConvertTrueColorTo4BitRGBLow");
}
TDibRecord ConvertTrueColorTo8BitRGBHigh(const TDibRecord& Source, bool UseFMO,
                                         const TDibProgressStep& ProgressStep, TObject* ProgressOwner) {
  return QuantizeByPixels(Source, UseFMO, 8, ProgressStep, ProgressOwner, "ConvertTrueColorTo8BitRGBHigh");
}
TDibRecord ConvertTrueColorTo4BitRGBHigh(const TDibRecord& Source, bool UseFMO,
                                         const TDibProgressStep& ProgressStep, TObject* ProgressOwner) {
  return QuantizeByPixels(Source, UseFMO, 4, ProgressStep, ProgressOwner, "ConvertTrueColorTo4BitRGBHigh");
}

TDibRecord Convert8BitRGBTo4BitRGB(const TDibRecord& Source, bool UseFMO,
                                   const TDibProgressStep& ProgressStep, TObject* ProgressOwner) {
  const char* const name = "Convert8BitRGBTo4BitRGB";
  if (Source.Header.biBitCount != 8 || Source.Header.biCompression != BI_RGB)
    throw EDibBadDIBType(std::string(name) + ": Invalid Bitcount or Compression");
  CheckSourceRows(Source, name);
  const int64_t width = Source.Width();
  int64_t counts[256] = {};
  for (int64_t y = 0; y < Source.AbsHeight(); ++y) {
    const uint8_t* s = Source.MemoryRow(y);
    for (int64_t x = 0; x < width; ++x) ++counts[s[x]];
  }
  std::vector<TDibWeightedItem> items;
  for (int index = 0; index < 256; ++index) {
    if (counts[index] == 0) continue;
    const RGBQUAD& c = Source.Colors[index];
    items.push_back(
        TDibWeightedItem{c.rgbRed, c.rgbGreen, c.rgbBlue, static_cast<int32_t>(counts[index]), index});
  }
  uint8_t table[256] = {};
  const std::vector<RGBQUAD> palette = CutItems(items, 4, table, ProgressStep, ProgressOwner);

  TDibRecord result = NewIndexedResult(Source, 4, UseFMO, name, palette);
  for (int64_t y = 0; y < Source.AbsHeight(); ++y) {
    const uint8_t* s = Source.MemoryRow(y);
    uint8_t* d = result.MemoryRow(y);
    for (int64_t x = 0; x < width; ++x) WritePixel(d, x, 4, table[s[x]]);
  }
  return result;
}

std::vector<RGBQUAD> HistogramQuantizerPalette(std::span<const TDibColorCount> Colors, int Depth,
                                               std::vector<uint8_t>& Entries) {
  // The colours in bin order; each run of one bin becomes the item the bin's pixels would make.
  std::vector<std::pair<uint32_t, size_t>> byBin;
  for (size_t i = 0; i < Colors.size(); ++i)
    byBin.emplace_back(BinNumber(Colors[i].Red, Colors[i].Green, Colors[i].Blue), i);
  std::sort(byBin.begin(), byBin.end());
  std::vector<TDibWeightedItem> items;
  std::vector<size_t> itemOf(Colors.size());
  for (size_t first = 0; first < byBin.size();) {
    const uint32_t number = byBin[first].first;
    int64_t red = 0, green = 0, blue = 0, count = 0;
    size_t last = first;
    for (; last < byBin.size() && byBin[last].first == number; ++last) {
      const TDibColorCount& c = Colors[byBin[last].second];
      red += (c.Red & 7) * c.Count;
      green += (c.Green & 3) * c.Count;
      blue += (c.Blue & 7) * c.Count;
      count += c.Count;
      itemOf[byBin[last].second] = items.size();
    }
    TDibWeightedItem item = BinItem(static_cast<int32_t>(number), red, green, blue, count);
    item.Key = static_cast<int32_t>(items.size());
    items.push_back(item);
    first = last;
  }
  std::vector<uint8_t> table(items.size());
  std::vector<RGBQUAD> palette = CutItems(items, Depth, table, {}, nullptr);
  Entries.resize(Colors.size());
  for (size_t i = 0; i < Colors.size(); ++i) Entries[i] = table[itemOf[i]];
  return palette;
}

std::vector<RGBQUAD> IndexQuantizerPalette(std::span<const TDibColorCount> Colors,
                                           std::vector<uint8_t>& Entries) {
  std::vector<TDibWeightedItem> items;
  for (size_t i = 0; i < Colors.size(); ++i)
    items.push_back(TDibWeightedItem{Colors[i].Red, Colors[i].Green, Colors[i].Blue,
                                     static_cast<int32_t>(Colors[i].Count), static_cast<int32_t>(i)});
  Entries.assign(Colors.size(), 0);
  return CutItems(items, 4, Entries, {}, nullptr);
}
