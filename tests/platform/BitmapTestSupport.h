// Small helpers for the bitmap, canvas, BMP and DIB transfer tests.
#pragma once

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

// Every pixel's colour, row by row from the top.
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
