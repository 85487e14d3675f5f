// Small valid pictures of every kind the BMP and clipboard readers know, made with Tilora's own writers and a
// few hand-built headers: the fuzz targets' seeds and the reliability tests' fixtures.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "Clipbrd.h"
#include "DibImage.h"

namespace seeds {

using Bytes = std::vector<uint8_t>;
struct TNamed {
  std::string Name;
  Bytes Data;
};

// A Width x Height picture with a black diagonal and a colour for each run of Run columns, in Format.
inline std::unique_ptr<TBitmap> Picture(TPixelFormat Format, int Width = 7, int Height = 5, int Run = 1) {
  auto bitmap = std::make_unique<TBitmap>();
  bitmap->SetImage(NewBitmapImage(Width, Height, pf24bit, nullptr, true));
  for (int y = 0; y < Height; ++y)
    for (int x = 0; x < Width; ++x) {
      const int k = x / Run;
      bitmap->Canvas().SetPixel(x, y,
                                x == y ? clBlack : RGB(static_cast<uint8_t>(k * 36), 128, 255 - k * 30));
    }
  bitmap->SetPixelFormat(Format);
  return bitmap;
}

inline Bytes StreamBytes(TGraphic& Graphic) {
  TMemoryStream stream;
  Graphic.SaveToStream(stream);
  return stream.Data();
}

inline void Put16(Bytes& d, uint32_t v) {
  d.push_back(static_cast<uint8_t>(v));
  d.push_back(static_cast<uint8_t>(v >> 8));
}
inline void Put32(Bytes& d, uint32_t v) {
  Put16(d, v);
  Put16(d, v >> 16);
}

// A BMP with the 12-byte core header: 4 x 2 pixels at 1 bit.
inline Bytes CoreHeaderBmp() {
  Bytes d = {'B', 'M'};
  Put32(d, 14 + 12 + 6 + 8);
  Put32(d, 0);
  Put32(d, 14 + 12 + 6);
  Put32(d, 12);
  Put16(d, 4);
  Put16(d, 2);
  Put16(d, 1);
  Put16(d, 1);
  d.insert(d.end(), {0, 0, 0, 255, 255, 255});
  d.insert(d.end(), {0xA0, 0, 0, 0, 0x50, 0, 0, 0});
  return d;
}

// A BMP with the 124-byte header, top-down 32-bit bit fields of 10 bits a channel: 2 x 2 pixels.
inline Bytes V5HeaderBmp() {
  Bytes d = {'B', 'M'};
  Put32(d, 14 + 124 + 16);
  Put32(d, 0);
  Put32(d, 14 + 124);
  Put32(d, 124);
  Put32(d, 2);
  Put32(d, static_cast<uint32_t>(-2));
  Put16(d, 1);
  Put16(d, 32);
  Put32(d, BI_BITFIELDS);
  Put32(d, 16);
  for (int i = 0; i < 4; ++i) Put32(d, 0);
  for (uint32_t mask : {0x3FF00000u, 0x000FFC00u, 0x000003FFu}) Put32(d, mask);
  d.resize(14 + 124, 0);
  for (uint32_t p : {0x3FF00000u, 0x000FFC00u, 0x000003FFu, 0x12345678u}) Put32(d, p);
  return d;
}

inline const std::pair<TPixelFormat, const char*> BitmapFormats[] = {
    {pf1bit, "1"},   {pf4bit, "4"},   {pf8bit, "8"},  {pf15bit, "15"},
    {pf16bit, "16"}, {pf24bit, "24"}, {pf32bit, "32"}};

// A DIB graphic compressed with RLE4 or RLE8 (29 x 6, runs of six columns).
inline std::unique_ptr<TDibGraphic> RleDib(int Bits) {
  auto picture = Picture(Bits == 4 ? pf4bit : pf8bit, 29, 6, 6);
  auto dib = std::make_unique<TDibGraphic>();
  dib->Assign(picture.get());
  dib->SetPixelFormat(Bits == 4 ? dpf4BitRLE : dpf8BitRLE);
  return dib;
}

// BMP files: the platform bitmap's writer at every format, the DIB library's RLE4 and RLE8 files, the core
// header and the 124-byte header.
inline std::vector<TNamed> BmpFiles() {
  std::vector<TNamed> files;
  for (const auto& [format, bits] : BitmapFormats)
    files.push_back({std::string("bitmap") + bits, StreamBytes(*Picture(format))});
  for (int bits : {4, 8}) files.push_back({"rle" + std::to_string(bits), StreamBytes(*RleDib(bits))});
  files.push_back({"core", CoreHeaderBmp()});
  files.push_back({"v5", V5HeaderBmp()});
  return files;
}

// Packed DIBs (CF_DIB blocks): the platform bitmap's at every format and the DIB library's RLE4 and RLE8.
inline std::vector<TNamed> PackedDibs() {
  std::vector<TNamed> blocks;
  for (const auto& [format, bits] : BitmapFormats) {
    uint16_t cf = 0;
    HGLOBAL block;
    HPALETTE palette;
    Picture(format)->SaveToClipboardFormat(cf, block, palette);
    blocks.push_back({std::string("bitmap") + bits, block->Bytes});
  }
  for (int bits : {4, 8})
    blocks.push_back(
        {"rle" + std::to_string(bits), RleDib(bits)->InternalDIB()->SaveToClipboardFormat()->Bytes});
  return blocks;
}

}  // namespace seeds
