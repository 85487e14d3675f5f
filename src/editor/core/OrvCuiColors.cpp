// Counting the distinct 24-bit colours of a bitmap in one pass over its pixels.
#include <bit>
#include <cstring>
#include <vector>

#include "OrvColorSet.h"
#include "OrvCui.h"
#include "PixelRows.h"

namespace {

// Rows of 24-bit (B, G, R) or 32-bit (B, G, R, unused) pixels: the key is the first three bytes of a pixel.
template <int BytesPerPixel>
void AddRows(const TBitmap& Bitmap, TColorSet& Set) {
  uint64_t* const words = Set.Words();
  const int width = Bitmap.Width();
  for (int y = 0; y < Bitmap.Height(); ++y) {
    const uint8_t* p = Bitmap.ScanLine(y);
    for (int x = 0; x < width; ++x, p += BytesPerPixel) {
      uint32_t key;
      if constexpr (BytesPerPixel == 4 && std::endian::native == std::endian::little) {
        std::memcpy(&key, p, 4);  // one load; the mask drops the fourth byte
        key &= 0xFFFFFF;
      } else {
        key = p[0] | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16);
      }
      words[key >> 6] |= uint64_t{1} << (key & 63);
    }
  }
}

// Formats of at most 2^16 pixel values (1, 4 and 8 bits indexed, 15 and 16 bits): the values present are
// collected, then one row holding each of them once, in the bitmap's format and with its palette, is
// converted to 24 bits by the bitmap's own conversion; the colours of that row are the colours of the image.
void AddValueRows(const TBitmap& Bitmap, TColorSet& Set) {
  const TBitmapImage& source = Bitmap.Image();
  const int storedBits = Bitmap.BitCount();
  std::vector<bool> present(size_t{1} << storedBits);
  for (int y = 0; y < source.Height; ++y) {
    const uint8_t* row = Bitmap.ScanLine(y);
    for (int x = 0; x < source.Width; ++x) present[ReadPixel(row, x, storedBits)] = true;
  }
  std::vector<uint32_t> values;
  for (uint32_t v = 0; v < present.size(); ++v)
    if (present[v]) values.push_back(v);

  auto probe = std::make_shared<TBitmapImage>();
  probe->Width = static_cast<int32_t>(values.size());
  probe->Height = 1;
  probe->PixelFormat = source.PixelFormat;
  probe->RowBytes = static_cast<int32_t>(PixelFormatRowBytes(probe->PixelFormat, probe->Width));
  probe->Bits.assign(static_cast<size_t>(probe->RowBytes), 0);
  probe->Palette = source.Palette;
  for (size_t i = 0; i < values.size(); ++i)
    WritePixel(probe->Bits.data(), static_cast<int64_t>(i), storedBits, values[i]);
  TBitmap colors;
  colors.SetImage(std::move(probe));
  colors.SetPixelFormat(pf24bit);
  AddRows<3>(colors, Set);
}

}  // namespace

int64_t TOrvDatas::CountColors(const TBitmap& Bitmap) {
  if (Bitmap.Empty()) return 0;
  TColorSet set;
  switch (Bitmap.BitCount()) {
    case 32:
      AddRows<4>(Bitmap, set);
      break;
    case 24:
      AddRows<3>(Bitmap, set);
      break;
    case 1:
    case 4:
    case 8:
    case 16:
      AddValueRows(Bitmap, set);
      break;
    default: {
      TBitmap copy;
      copy.SetImage(std::make_shared<TBitmapImage>(Bitmap.Image()));
      copy.SetPixelFormat(pf24bit);
      AddRows<3>(copy, set);
      break;
    }
  }
  return set.Count();
}
