// Counting the distinct 24-bit colours of a bitmap in one pass over its pixels.
#include <bit>
#include <cstring>
#include <vector>

#include "OrvCui.h"
#include "PixelRows.h"

namespace {

// One bit for every 24-bit colour (2 MiB).
class TColorSet {
 public:
  TColorSet() : FWords(size_t{1} << 18) {}
  uint64_t* Words() { return FWords.data(); }
  int64_t Count() const {
    int64_t Result = 0;
    for (uint64_t Word : FWords) Result += std::popcount(Word);
    return Result;
  }

 private:
  std::vector<uint64_t> FWords;
};

// Rows of 24-bit (B, G, R) or 32-bit (B, G, R, unused) pixels: the key is the first three bytes of a pixel.
template <int BytesPerPixel>
void AddRows(const TBitmap& Bitmap, TColorSet& Set) {
  uint64_t* const Words = Set.Words();
  const int Width = Bitmap.Width();
  for (int y = 0; y < Bitmap.Height(); ++y) {
    const uint8_t* p = Bitmap.ScanLine(y);
    for (int x = 0; x < Width; ++x, p += BytesPerPixel) {
      uint32_t Key;
      if constexpr (BytesPerPixel == 4 && std::endian::native == std::endian::little) {
        std::memcpy(&Key, p, 4);  // one load; the mask drops the fourth byte
        Key &= 0xFFFFFF;
      } else {
        Key = p[0] | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16);
      }
      Words[Key >> 6] |= uint64_t{1} << (Key & 63);
    }
  }
}

// Formats of at most 2^16 pixel values (1, 4 and 8 bits indexed, 15 and 16 bits): the values present are
// collected, then one row holding each of them once, in the bitmap's format and with its palette, is
// converted to 24 bits by the bitmap's own conversion; the colours of that row are the colours of the image.
void AddValueRows(const TBitmap& Bitmap, TColorSet& Set) {
  const TBitmapImage& Source = Bitmap.Image();
  const int StoredBits = Bitmap.BitCount();
  std::vector<bool> Present(size_t{1} << StoredBits);
  for (int y = 0; y < Source.Height; ++y) {
    const uint8_t* Row = Bitmap.ScanLine(y);
    for (int x = 0; x < Source.Width; ++x) Present[ReadPixel(Row, x, StoredBits)] = true;
  }
  std::vector<uint32_t> Values;
  for (uint32_t v = 0; v < Present.size(); ++v)
    if (Present[v]) Values.push_back(v);

  auto Probe = std::make_shared<TBitmapImage>();
  Probe->Width = static_cast<int32_t>(Values.size());
  Probe->Height = 1;
  Probe->PixelFormat = Source.PixelFormat;
  Probe->RowBytes = static_cast<int32_t>(PixelFormatRowBytes(Probe->PixelFormat, Probe->Width));
  Probe->Bits.assign(static_cast<size_t>(Probe->RowBytes), 0);
  Probe->Palette = Source.Palette;
  for (size_t i = 0; i < Values.size(); ++i)
    WritePixel(Probe->Bits.data(), static_cast<int64_t>(i), StoredBits, Values[i]);
  TBitmap Colors;
  Colors.SetImage(std::move(Probe));
  Colors.SetPixelFormat(pf24bit);
  AddRows<3>(Colors, Set);
}

}  // namespace

int64_t TOrvDatas::CountColors(const TBitmap& Bitmap) {
  if (Bitmap.Empty()) return 0;
  TColorSet Set;
  switch (Bitmap.BitCount()) {
    case 32:
      AddRows<4>(Bitmap, Set);
      break;
    case 24:
      AddRows<3>(Bitmap, Set);
      break;
    case 1:
    case 4:
    case 8:
    case 16:
      AddValueRows(Bitmap, Set);
      break;
    default: {
      TBitmap Copy;
      Copy.SetImage(std::make_shared<TBitmapImage>(Bitmap.Image()));
      Copy.SetPixelFormat(pf24bit);
      AddRows<3>(Copy, Set);
      break;
    }
  }
  return Set.Count();
}
