// Bitmaps for tests: every pixel format, white bitmaps and palettes, pixels read back, pictures of a chosen
// number of colours, and snapshots that tell whether a bitmap changed.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "Graphics.h"

inline const std::vector<TPixelFormat> kAllPixelFormats = {pf1bit,  pf4bit,  pf8bit,  pf15bit,
                                                           pf16bit, pf24bit, pf32bit, pfDevice};

inline std::string PixelFormatName(TPixelFormat f) {
  static const char* names[] = {"Device", "1bit",  "4bit",  "8bit",  "15bit",
                                "16bit",  "24bit", "32bit", "Custom"};
  return names[f];
}

// A white bitmap of the format and size.
inline std::unique_ptr<TBitmap> WhiteBitmap(TPixelFormat Format, int Width, int Height) {
  auto b = std::make_unique<TBitmap>();
  b->SetPixelFormat(Format);
  b->SetSize(Width, Height);
  return b;
}

// Every pixel's colour (0x00BBGGRR), row by row from the top.
inline std::vector<TColor> PixelColors(const TBitmap& b) {
  std::vector<TColor> colors;
  for (int y = 0; y < b.Height(); ++y)
    for (int x = 0; x < b.Width(); ++x) colors.push_back(b.GetPixel(x, y));
  return colors;
}

// The pixel bytes of every row (padding left out), row by row from the top.
inline std::vector<uint8_t> PixelBytes(const TBitmap& b) {
  std::vector<uint8_t> bytes;
  const int bits = PixelFormatBitCount(b.PixelFormat());
  const size_t used = (static_cast<size_t>(b.Width()) * bits + 7) / 8;
  for (int y = 0; y < b.Height(); ++y) {
    const uint8_t* row = b.ScanLine(y);
    bytes.insert(bytes.end(), row, row + used);
  }
  return bytes;
}

inline HPALETTE MakePalette(std::initializer_list<TColor> colors) {
  std::vector<TPaletteEntry> entries;
  for (TColor c : colors) entries.push_back({GetRValue(c), GetGValue(c), GetBValue(c), 0});
  return CreatePalette(entries);
}

namespace filestest {

// Colour number k (k < 768) of a set of distinct colours, none of them black or white, that fall into
// distinct bins of the histogram quantiser (red and blue in steps of 8, green in steps of 4).
inline TColor DistinctColor(int k) {
  return RGB(static_cast<uint8_t>((k & 31) * 8), static_cast<uint8_t>(20 + (k >> 5) * 4), 96);
}

// Fills a display-format (pfDevice) bitmap of Width x Height with Count colours: pixel i (row by row) shows
// colour Color(i % Count). The image is replaced.
template <class TColorOf>
void FillWithColors(TBitmap& bitmap, int width, int height, int count, TColorOf color) {
  bitmap.SetImage(NewBitmapImage(width, height, pfDevice, nullptr, false));
  for (int y = 0; y < height; ++y) {
    uint8_t* p = bitmap.ScanLine(y);
    for (int x = 0; x < width; ++x, p += 4) {
      const TColor c = color((y * width + x) % count);
      p[0] = GetBValue(c), p[1] = GetGValue(c), p[2] = GetRValue(c), p[3] = 0;
    }
  }
}

// Everything a bitmap shows: format, size, pixel memory and palette.
struct BitmapSnapshot {
  TPixelFormat Format = pfDevice;
  int Width = 0, Height = 0;
  std::vector<uint8_t> Bits;
  std::vector<TPaletteEntry> Palette;
  bool operator==(const BitmapSnapshot&) const = default;
};

inline BitmapSnapshot Snapshot(const TBitmap& bitmap) {
  BitmapSnapshot s;
  s.Format = bitmap.PixelFormat();
  s.Width = bitmap.Width();
  s.Height = bitmap.Height();
  s.Bits = bitmap.Image().Bits;
  if (const HPALETTE palette = bitmap.Palette()) s.Palette = palette->Entries;
  return s;
}

}  // namespace filestest
