// Surface copies and fills, colour matching and the palettes of bitmap conversions, shared by the platform's
// bitmap, canvas, BMP and DIB transfer code.
#include "PixelAccess.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <vector>

// ---------------------------------------------------------------------------------------------------------------
// Colours on surfaces

bool SamePaletteColors(std::span<const TPaletteEntry> A, std::span<const TPaletteEntry> B) {
  if (A.size() != B.size()) return false;
  for (size_t i = 0; i < A.size(); ++i)
    if (A[i].peRed != B[i].peRed || A[i].peGreen != B[i].peGreen || A[i].peBlue != B[i].peBlue) return false;
  return true;
}

TNearestColorMap::TNearestColorMap(std::span<const TPaletteEntry> Palette) : FPalette(Palette) {
  FKeys.fill(0xFFFFFFFFu);  // no 24-bit key matches
  FValues.fill(0);
}

uint8_t TNearestColorMap::Lookup(TRgb c) const {
  const int index = NearestPaletteEntry(FPalette, c.R, c.G, c.B);
  return static_cast<uint8_t>(index < 0 ? 0 : index);
}

uint32_t ColorToPixel(TColor Color, const TSurface& Surface) {
  if (IsIndexedBitCount(Surface.BitCount)) {
    if (IsPaletteIndexColor(Color))
      return static_cast<uint32_t>(Color & 0xFF) & ((1u << Surface.BitCount) - 1);
    const int index =
        NearestPaletteEntry(Surface.Palette, GetRValue(Color), GetGValue(Color), GetBValue(Color));
    return index < 0 ? 0 : static_cast<uint32_t>(index);
  }
  TRgb c = ColorToRgb(Color);
  if (IsPaletteIndexColor(Color)) {
    const size_t index = Color & 0xFF;
    c = index < Surface.Palette.size() ? TRgb{Surface.Palette[index].peRed, Surface.Palette[index].peGreen,
                                              Surface.Palette[index].peBlue}
                                       : TRgb{};
  }
  return RgbToTrueColorPixel(c, Surface.BitCount);
}

void FillPixels(uint8_t* Row, int64_t X0, int64_t X1, int BitCount, uint32_t Raw) {
  if (X0 >= X1) return;
  switch (BitCount) {
    case 8:
      std::memset(Row + X0, static_cast<int>(Raw & 0xFF), static_cast<size_t>(X1 - X0));
      return;
    case 1:
    case 4: {
      const int perByte = 8 / BitCount;
      // Partial bytes at both ends pixel by pixel, whole bytes in between at once.
      while (X0 < X1 && X0 % perByte != 0) WritePixel(Row, X0++, BitCount, Raw);
      while (X1 > X0 && X1 % perByte != 0) WritePixel(Row, --X1, BitCount, Raw);
      const uint8_t pattern =
          BitCount == 1 ? ((Raw & 1) ? 0xFF : 0x00) : static_cast<uint8_t>((Raw & 15) * 0x11);
      if (X1 > X0) std::memset(Row + X0 / perByte, pattern, static_cast<size_t>((X1 - X0) / perByte));
      return;
    }
    default:
      for (int64_t x = X0; x < X1; ++x) WritePixel(Row, x, BitCount, Raw);
      return;
  }
}

// ---------------------------------------------------------------------------------------------------------------
// The pixel copy

namespace {

constexpr bool Indexed(int BitCount) {
  return BitCount <= 8;
}

struct TCopyContext {
  std::array<TRgb, 256> SrcColors{};  // colours of an indexed source's indices
  bool IndexCopy = false;             // identical palettes: indices go across
  uint32_t DstIndexLimit = 0;         // 1 << destination bits
  TNearestColorMap* Map = nullptr;    // nearest entry of an indexed destination
};

using TSpanCopy = void (*)(const uint8_t* Src, const int64_t* SrcX, uint8_t* Dst, int64_t DstX, int64_t Count,
                           TCopyContext& Context);

template <int SB, int DB>
void CopySpan(const uint8_t* Src, const int64_t* SrcX, uint8_t* Dst, int64_t DstX, int64_t Count,
              TCopyContext& Context) {
  for (int64_t i = 0; i < Count; ++i) {
    const uint32_t raw = ReadPixel(Src, SrcX[i], SB);
    if constexpr (Indexed(SB) && Indexed(DB)) {
      if (Context.IndexCopy && raw < Context.DstIndexLimit) {
        WritePixel(Dst, DstX + i, DB, raw);
        continue;
      }
    }
    if constexpr (SB == DB && !Indexed(SB)) {
      WritePixel(Dst, DstX + i, DB, raw);
    } else {
      TRgb c;
      if constexpr (Indexed(SB))
        c = Context.SrcColors[raw];
      else
        c = PixelToRgb(raw, SB, {});
      if constexpr (Indexed(DB))
        WritePixel(Dst, DstX + i, DB, Context.Map->Index(c));
      else
        WritePixel(Dst, DstX + i, DB, RgbToTrueColorPixel(c, DB));
    }
  }
}

constexpr int BitCounts[] = {1, 4, 8, 15, 16, 24, 32};

int BitCountSlot(int BitCount) {
  for (int i = 0; i < 7; ++i)
    if (BitCounts[i] == BitCount) return i;
  return -1;
}

template <int SB>
constexpr std::array<TSpanCopy, 7> SpanCopiesFrom() {
  return {&CopySpan<SB, 1>,  &CopySpan<SB, 4>,  &CopySpan<SB, 8>, &CopySpan<SB, 15>,
          &CopySpan<SB, 16>, &CopySpan<SB, 24>, &CopySpan<SB, 32>};
}

constexpr std::array<std::array<TSpanCopy, 7>, 7> SpanCopies = {
    SpanCopiesFrom<1>(),  SpanCopiesFrom<4>(),  SpanCopiesFrom<8>(), SpanCopiesFrom<15>(),
    SpanCopiesFrom<16>(), SpanCopiesFrom<24>(), SpanCopiesFrom<32>()};

// One axis of a copy: which destination positions are written and which source position each one reads.
struct TAxisMap {
  int64_t DstFirst = 0;         // first destination position written
  std::vector<int64_t> Source;  // source position of each written destination position, in order
};

TAxisMap MapAxis(int64_t DstA, int64_t DstB, int64_t DstLimit, int64_t SrcA, int64_t SrcB, int64_t SrcLimit) {
  TAxisMap map;
  const int64_t dLen = DstB - DstA, sLen = SrcB - SrcA;
  if (dLen == 0 || sLen == 0) return map;
  const bool flip = (dLen < 0) != (sLen < 0);
  const int64_t dStart = std::min(DstA, DstB), dCount = std::llabs(dLen);
  const int64_t sStart = std::min(SrcA, SrcB), sCount = std::llabs(sLen);
  int64_t first = std::max<int64_t>(0, -dStart), last = std::min<int64_t>(dCount, DstLimit - dStart);
  // Nearest pixel: the source position under the centre of each destination pixel.
  auto sourceOf = [&](int64_t i) {
    const int64_t k = flip ? dCount - 1 - i : i;
    return sStart + static_cast<int64_t>((static_cast<__int128>(2 * k + 1) * sCount) / (2 * dCount));
  };
  auto inside = [&](int64_t i) {
    const int64_t s = sourceOf(i);
    return s >= 0 && s < SrcLimit;
  };
  // The mapping is monotonic, so the positions with a source inside the source surface are contiguous.
  while (first < last && !inside(first)) ++first;
  while (last > first && !inside(last - 1)) --last;
  if (first >= last) return map;
  map.DstFirst = dStart + first;
  map.Source.resize(static_cast<size_t>(last - first));
  for (int64_t i = first; i < last; ++i) map.Source[static_cast<size_t>(i - first)] = sourceOf(i);
  return map;
}

int BytesPerPixel(int BitCount) {
  return BitCount == 15 ? 2 : BitCount / 8;
}

}  // namespace

bool CopyPixels(const TSurface& Dst, const TRect& DstRect, const TSurface& Src, const TRect& SrcRect) {
  const int srcSlot = BitCountSlot(Src.BitCount), dstSlot = BitCountSlot(Dst.BitCount);
  if (!Dst.Top || !Src.Top || srcSlot < 0 || dstSlot < 0) return false;
  if (Dst.Width <= 0 || Dst.Height <= 0 || Src.Width <= 0 || Src.Height <= 0) return false;
  TAxisMap xs = MapAxis(DstRect.Left, DstRect.Right, Dst.Width, SrcRect.Left, SrcRect.Right, Src.Width);
  TAxisMap ys = MapAxis(DstRect.Top, DstRect.Bottom, Dst.Height, SrcRect.Top, SrcRect.Bottom, Src.Height);
  if (xs.Source.empty() || ys.Source.empty()) return false;

  // Copying within one surface: take the source box aside first so that overlapping areas copy as they were.
  TSurface source = Src;
  std::vector<uint8_t> saved;
  if (Src.Top == Dst.Top) {
    const auto [xMin, xMax] = std::minmax_element(xs.Source.begin(), xs.Source.end());
    const auto [yMin, yMax] = std::minmax_element(ys.Source.begin(), ys.Source.end());
    const int perByte = Src.BitCount < 8 ? 8 / Src.BitCount : 1;
    const int64_t left = *xMin - *xMin % perByte, top = *yMin;
    const int64_t width = *xMax + 1 - left, height = *yMax + 1 - top;
    const int64_t bits = Src.BitCount == 15 ? 16 : Src.BitCount;
    const int64_t firstByte = left * bits / 8, rowBytes = (width * bits + 7) / 8;
    saved.assign(static_cast<size_t>(rowBytes * height), 0);
    for (int64_t y = 0; y < height; ++y)
      std::memcpy(saved.data() + y * rowBytes, Src.Row(static_cast<int32_t>(top + y)) + firstByte,
                  static_cast<size_t>(rowBytes));
    source.Top = saved.data();
    source.Stride = rowBytes;
    source.Width = static_cast<int32_t>(width);
    source.Height = static_cast<int32_t>(height);
    for (auto& x : xs.Source) x -= left;
    for (auto& y : ys.Source) y -= top;
  }

  TCopyContext context;
  const bool srcIndexed = Indexed(Src.BitCount), dstIndexed = Indexed(Dst.BitCount);
  context.IndexCopy = srcIndexed && dstIndexed && SamePaletteColors(Src.Palette, Dst.Palette);
  context.DstIndexLimit = dstIndexed ? (1u << Dst.BitCount) : 0;
  if (srcIndexed)
    for (size_t i = 0; i < Src.Palette.size() && i < 256; ++i)
      context.SrcColors[i] = {Src.Palette[i].peRed, Src.Palette[i].peGreen, Src.Palette[i].peBlue};
  std::unique_ptr<TNearestColorMap> map;
  if (dstIndexed) {
    map = std::make_unique<TNearestColorMap>(Dst.Palette);
    context.Map = map.get();
  }

  const int64_t count = static_cast<int64_t>(xs.Source.size());
  // Same layout, one to one: whole byte runs. (A nearest-pixel map steps either all by at most one or all by
  // at least one, so a run of consecutive sources is exactly the one-to-one case.)
  const bool contiguous = xs.Source.back() - xs.Source.front() == count - 1;
  if (contiguous && Src.BitCount == Dst.BitCount && Src.BitCount >= 8 && (!srcIndexed || context.IndexCopy)) {
    const int bpp = BytesPerPixel(Src.BitCount);
    for (size_t j = 0; j < ys.Source.size(); ++j)
      std::memmove(Dst.Row(static_cast<int32_t>(ys.DstFirst + static_cast<int64_t>(j))) + xs.DstFirst * bpp,
                   source.Row(static_cast<int32_t>(ys.Source[j])) + xs.Source.front() * bpp,
                   static_cast<size_t>(count * bpp));
    return true;
  }
  const TSpanCopy copy = SpanCopies[static_cast<size_t>(srcSlot)][static_cast<size_t>(dstSlot)];
  for (size_t j = 0; j < ys.Source.size(); ++j)
    copy(source.Row(static_cast<int32_t>(ys.Source[j])), xs.Source.data(),
         Dst.Row(static_cast<int32_t>(ys.DstFirst + static_cast<int64_t>(j))), xs.DstFirst, count, context);
  return true;
}

// ---------------------------------------------------------------------------------------------------------------
// Palettes and surfaces of bitmap images

HPALETTE CutPalette(const HPALETTE& Palette, int MaxEntries) {
  if (PaletteSize(Palette) <= MaxEntries) return Palette;
  return CreatePalette(
      std::span<const TPaletteEntry>(Palette->Entries).first(static_cast<size_t>(MaxEntries)));
}

HPALETTE EffectivePalette(const TBitmapImage& Image) {
  const int bits = PixelFormatBitCount(Image.PixelFormat);
  if (PaletteSize(Image.Palette) > 0 || !IsIndexedBitCount(bits)) return Image.Palette;
  return DefaultPalette(bits);
}

HPALETTE ConversionPalette(const TBitmapImage& Image, int TargetBitCount) {
  const int bits = PixelFormatBitCount(Image.PixelFormat);
  if (IsIndexedBitCount(bits) && bits <= TargetBitCount) return EffectivePalette(Image);
  return CutPalette(PaletteSize(Image.Palette) > 0 ? Image.Palette : DefaultPalette(TargetBitCount),
                    1 << TargetBitCount);
}

TSurface ImageSurface(const TBitmapImage& Image, const HPALETTE& Palette) {
  TSurface s;
  s.Width = Image.Width;
  s.Height = Image.Height;
  s.BitCount = PixelFormatFacts(Image.PixelFormat).LayoutBits;
  s.Top = const_cast<uint8_t*>(Image.Bits.data());
  s.Stride = Image.RowBytes;
  if (Palette) s.Palette = Palette->Entries;
  return s;
}
