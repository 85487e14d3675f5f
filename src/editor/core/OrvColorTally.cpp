// The colour tally: counting pixels by colour area by area, and the colour budget from the counts.
#include "OrvColorTally.h"

#include <algorithm>
#include <bit>

#include "AlphaPlane.h"
#include "DibImage.h"
#include "OrvCui.h"
#include "OrvEdit.h"
#include "OrvSave.h"

namespace {

// Past this many colours the tally keeps one count for every 24-bit colour (64 MiB) instead of a table.
constexpr size_t DenseFrom = size_t{1} << 22;

// Distinct pixel areas covering Areas: each area less the parts earlier ones cover.
std::vector<TRect> Disjoint(std::span<const TRect> Areas) {
  std::vector<TRect> pieces;
  for (const TRect& area : Areas) {
    std::vector<TRect> rest = {area};
    for (const TRect& done : pieces) {
      std::vector<TRect> next;
      for (const TRect& r : rest) {
        const TRect cut = Rect(std::max(r.Left, done.Left), std::max(r.Top, done.Top),
                               std::min(r.Right, done.Right), std::min(r.Bottom, done.Bottom));
        if (cut.Left >= cut.Right || cut.Top >= cut.Bottom) {
          next.push_back(r);
          continue;
        }
        // The bands above and below the overlap, then the parts left and right of it.
        const TRect parts[] = {
            Rect(r.Left, r.Top, r.Right, cut.Top), Rect(r.Left, cut.Bottom, r.Right, r.Bottom),
            Rect(r.Left, cut.Top, cut.Left, cut.Bottom), Rect(cut.Right, cut.Top, r.Right, cut.Bottom)};
        for (const TRect& p : parts)
          if (p.Left < p.Right && p.Top < p.Bottom) next.push_back(p);
      }
      rest = std::move(next);
    }
    pieces.insert(pieces.end(), rest.begin(), rest.end());
  }
  return pieces;
}

TDibColorCount CountOf(uint32_t Key, int64_t Count) {
  return {static_cast<uint8_t>(Key >> 16), static_cast<uint8_t>(Key >> 8), static_cast<uint8_t>(Key), Count};
}
uint32_t KeyOf(const TDibColorCount& Color) {
  return Color.Blue | (uint32_t{Color.Green} << 8) | (uint32_t{Color.Red} << 16);
}

// The colours of a palette's used entries with the pixels of each, merged by colour.
std::vector<TDibColorCount> UsedEntries(const std::vector<RGBQUAD>& Palette,
                                        std::span<const TDibColorCount> Colors,
                                        const std::vector<uint8_t>& Entries) {
  std::vector<int64_t> pixels(Palette.size());
  for (size_t i = 0; i < Colors.size(); ++i) pixels[Entries[i]] += Colors[i].Count;
  std::vector<TDibColorCount> used;
  for (size_t e = 0; e < Palette.size(); ++e) {
    if (pixels[e] == 0) continue;
    const TDibColorCount c{Palette[e].rgbRed, Palette[e].rgbGreen, Palette[e].rgbBlue, pixels[e]};
    const auto same = std::find_if(used.begin(), used.end(), [&](const TDibColorCount& Used) {
      return Used.Red == c.Red && Used.Green == c.Green && Used.Blue == c.Blue;
    });
    if (same != used.end())
      same->Count += c.Count;
    else
      used.push_back(c);
  }
  return used;
}

// Whether every colour is an entry of the palette the document's loaded file had, so that the designed save
// reduces the sheet as that indexed picture.
bool AllInLoadedPalette(std::span<const TDibColorCount> Colors, const TOrvDatas::TLoadedFile& File) {
  const int bits = PixelFormatBitCount(File.Format);
  const HPALETTE palette = PaletteSize(File.Palette) > 0 ? File.Palette : DefaultPalette(bits);
  const size_t size = std::min<size_t>(static_cast<size_t>(PaletteSize(palette)), size_t{1} << bits);
  std::vector<uint32_t> keys;
  for (size_t i = 0; i < size; ++i) {
    const TPaletteEntry& e = palette->Entries[i];
    keys.push_back(e.peBlue | (uint32_t{e.peGreen} << 8) | (uint32_t{e.peRed} << 16));
  }
  std::sort(keys.begin(), keys.end());
  return std::all_of(Colors.begin(), Colors.end(), [&](const TDibColorCount& Color) {
    return std::binary_search(keys.begin(), keys.end(), KeyOf(Color));
  });
}

// What TOrvDatas::ReduceForSave makes of a picture of at most 256 colours with these pixel counts, without
// the pixels: the same quantisers run on the histogram.
TDesignedReduction ReduceHistogram(std::vector<TDibColorCount> Colors, const TOrvDatas& Document) {
  const size_t n = Colors.size();
  const TOrvDatas::TLoadedFile file = Document.LoadedFile();
  // An indexed picture (the edit image itself, or the loaded file's form of it) reaches 8 bits with its own
  // colours; a true-colour one through the histogram quantiser.
  const bool indexed = PixelFormatFacts(Document.EditImage->PixelFormat()).Indexed ||
                       (file.Palette && AllInLoadedPalette(Colors, file));
  std::vector<uint8_t> entries;
  if (!indexed) Colors = UsedEntries(HistogramQuantizerPalette(Colors, 8, entries), Colors, entries);
  if (n >= 17) return {8, static_cast<int64_t>(Colors.size())};
  Colors = UsedEntries(IndexQuantizerPalette(Colors, entries), Colors, entries);
  // One single colour reaches 1 bit when it is black or white.
  const uint32_t only = n == 1 ? static_cast<uint32_t>(Document.EditImage->GetPixel(0, 0) & 0xFFFFFF) : 1;
  const int bits = n == 1 && (only == clBlack || only == clWhite) ? 1 : 4;
  return {bits, static_cast<int64_t>(Colors.size())};
}

}  // namespace

// ---------------------------------------------------------------------------------------------------------------
// TCountTable

void TCountTable::Clear() {
  FSlots.clear();
  FSize = 0;
  FShift = 64;
}

size_t TCountTable::Find(uint32_t Key) const {
  const size_t mask = FSlots.size() - 1;
  size_t slot = Home(Key);
  while (FSlots[slot].Count != 0 && FSlots[slot].Key != Key) slot = (slot + 1) & mask;
  return slot;
}

void TCountTable::Grow() {
  std::vector<TSlot> old = std::move(FSlots);
  FSlots.assign(std::max<size_t>(64, old.size() * 2), TSlot{});
  FShift = 64 - std::countr_zero(FSlots.size());
  for (const TSlot& s : old)
    if (s.Count != 0) FSlots[Find(s.Key)] = s;
}

void TCountTable::Add(uint32_t Key, uint32_t Count) {
  if ((FSize + 1) * 2 > FSlots.size()) Grow();
  TSlot& slot = FSlots[Find(Key)];
  if (slot.Count == 0) {
    slot.Key = Key;
    ++FSize;
  }
  slot.Count += Count;
}

bool TCountTable::Remove(uint32_t Key, uint32_t Count) {
  if (FSlots.empty()) return false;
  size_t hole = Find(Key);
  TSlot& slot = FSlots[hole];
  if (slot.Count < Count || slot.Count == 0) return false;
  slot.Count -= Count;
  if (slot.Count != 0) return true;
  // Shift back every slot after the hole whose home lies at or before it, until a free slot.
  const size_t mask = FSlots.size() - 1;
  for (size_t j = (hole + 1) & mask; FSlots[j].Count != 0; j = (j + 1) & mask) {
    const size_t home = Home(FSlots[j].Key);
    if (((j - home) & mask) >= ((j - hole) & mask)) {
      FSlots[hole] = FSlots[j];
      hole = j;
    }
  }
  FSlots[hole] = TSlot{};
  --FSize;
  return true;
}

// ---------------------------------------------------------------------------------------------------------------
// TColorTally

void TColorTally::Recount(const TBitmap& Image, const TBitmap& Alpha) {
  FColors.Clear();
  FDense = {};
  FDenseSize = 0;
  FValues.Clear();
  FTransparent = 0;
  FPlane = IsAlphaPlaneOf(Alpha, Image);
  FUsable = static_cast<uint64_t>(Image.Width()) * static_cast<uint64_t>(Image.Height()) <= UINT32_MAX;
  FValid = true;
  if (FUsable && !Image.Empty()) Count(Image, Alpha, Rect(0, 0, Image.Width(), Image.Height()), true);
  FImage = IdentityOf(Image);
  FAlpha = IdentityOf(Alpha);
}

bool TColorTally::Follows(const TBitmap& Image, const TBitmap& Alpha) const {
  return FValid && IdentityOf(Image) == FImage && IdentityOf(Alpha) == FAlpha;
}

void TColorTally::Remove(const TBitmap& Image, const TBitmap& Alpha, std::span<const TRect> Areas) {
  if (!Follows(Image, Alpha)) FValid = false;
  if (!FValid || !FUsable) return;
  for (const TRect& area : Disjoint(Areas)) Count(Image, Alpha, area, false);
}

void TColorTally::Add(const TBitmap& Image, const TBitmap& Alpha, std::span<const TRect> Areas) {
  if (!FValid || !FUsable) return;
  FollowPlane(IsAlphaPlaneOf(Alpha, Image));
  for (const TRect& area : Disjoint(Areas)) Count(Image, Alpha, area, true);
  FImage = IdentityOf(Image);
  FAlpha = IdentityOf(Alpha);
}

void TColorTally::FollowPlane(bool Plane) {
  if (Plane == FPlane) return;
  FPlane = Plane;
  FValues.Clear();
  FTransparent = 0;
  if (!Plane) return;
  // A plane that appears is opaque but where the change writes it: every counted pixel is its colour, opaque.
  if (FDense.empty()) {
    FColors.ForEach([this](uint32_t Color, uint32_t Pixels) { FValues.Add(Color, Pixels); });
  } else {
    for (uint32_t color = 0; color < FDense.size(); ++color)
      if (FDense[color] != 0) FValues.Add(color, FDense[color]);
  }
  if (FValues.Size() > MaxValues) FUsable = false;
}

void TColorTally::Change(uint32_t Color, uint8_t Cover, uint32_t Pixels, bool Adding) {
  if (!FDense.empty()) {
    uint32_t& count = FDense[Color];
    if (!Adding && count < Pixels) {
      FValid = false;
      return;
    }
    if (count == 0) ++FDenseSize;
    count = Adding ? count + Pixels : count - Pixels;
    if (count == 0) --FDenseSize;
  } else if (Adding) {
    FColors.Add(Color, Pixels);
    if (FColors.Size() > DenseFrom) {
      FDense.assign(size_t{1} << 24, 0);
      FColors.ForEach([this](uint32_t Color, uint32_t Pixels) { FDense[Color] = Pixels; });
      FDenseSize = static_cast<int64_t>(FColors.Size());
      FColors.Clear();
    }
  } else if (!FColors.Remove(Color, Pixels)) {
    FValid = false;
    return;
  }
  if (!FPlane) return;
  const uint32_t value = Color | uint32_t{Cover} << 24;
  if (Adding) {
    FValues.Add(value, Pixels);
    if (FValues.Size() > MaxValues) FUsable = false;
  } else if (!FValues.Remove(value, Pixels)) {
    FValid = false;
    return;
  }
  if (Cover != 0) FTransparent += Adding ? int64_t{Pixels} : -int64_t{Pixels};
}

void TColorTally::Count(const TBitmap& Image, const TBitmap& Alpha, const TRect& Area, bool Adding) {
  // True-colour rows are read as they are; other formats through the bitmap's own conversion to 24 bits, the
  // colours that the save counts.
  TBitmap converted;
  const TBitmap* rgb = &Image;
  TPoint origin{Area.Left, Area.Top};
  if (Image.BitCount() != 24 && Image.BitCount() != 32) {
    converted.SetImage(std::const_pointer_cast<TBitmapImage>(CutBlock(Image, TBitmap(), Area).Image));
    converted.SetPixelFormat(pf24bit);
    rgb = &converted;
    origin = {0, 0};
  }
  const int bytes = rgb->BitCount() / 8;
  for (int32_t y = 0; y < Area.Height() && FValid; ++y) {
    const uint8_t* p = rgb->ScanLine(origin.Y + y) + static_cast<int64_t>(origin.X) * bytes;
    const uint8_t* cover = FPlane ? Alpha.ScanLine(Area.Top + y) + Area.Left : nullptr;
    // Runs of one colour and cover count at once.
    uint32_t runColor = 0, run = 0;
    uint8_t runCover = 0;
    for (int32_t x = 0; x < Area.Width(); ++x, p += bytes) {
      const uint32_t color = p[0] | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16);
      const uint8_t c = cover ? cover[x] : 0;
      if (run != 0 && (color != runColor || c != runCover)) {
        Change(runColor, runCover, run, Adding);
        run = 0;
      }
      runColor = color;
      runCover = c;
      ++run;
    }
    if (run != 0) Change(runColor, runCover, run, Adding);
  }
}

std::optional<TColorBudget> TColorTally::Budget(const TOrvDatas& Document,
                                                const TSaveOptions& Options) const {
  if (!FValid || !FUsable) return std::nullopt;
  class TTallyFacts : public TColorBudgetFacts {
   public:
    TTallyFacts(const TColorTally& Tally, const TOrvDatas& Document) : FTally(Tally), FDocument(Document) {}
    bool HasTransparentPixel() const override { return FTally.FPlane && FTally.FTransparent > 0; }
    int64_t Colors() const override { return FTally.ColorCount(); }
    int64_t ColorAlphaValues() const override { return static_cast<int64_t>(FTally.FValues.Size()); }
    int64_t VisibleColors() const override {
      // The colours of the values that are not fully transparent (cover 255), each once.
      std::vector<uint32_t> colors;
      FTally.FValues.ForEach([&](uint32_t Value, uint32_t) {
        if (Value >> 24 != 255) colors.push_back(Value & 0xFFFFFF);
      });
      std::sort(colors.begin(), colors.end());
      return std::unique(colors.begin(), colors.end()) - colors.begin();
    }
    TDesignedReduction DesignedReduction() const override {
      const int64_t colors = Colors();
      // More colours than a palette holds stay in true colour.
      if (colors > 256) return {24, colors};
      std::vector<TDibColorCount> histogram;
      if (FTally.FDense.empty()) {
        FTally.FColors.ForEach(
            [&](uint32_t Color, uint32_t Pixels) { histogram.push_back(CountOf(Color, Pixels)); });
      } else {
        for (uint32_t color = 0; color < FTally.FDense.size(); ++color)
          if (FTally.FDense[color] != 0) histogram.push_back(CountOf(color, FTally.FDense[color]));
      }
      return ReduceHistogram(std::move(histogram), FDocument);
    }

   private:
    const TColorTally& FTally;
    const TOrvDatas& FDocument;
  };
  return ColorBudgetOf(TTallyFacts(*this, Document), Options);
}
