// Small valid pictures of every kind the BMP and clipboard readers know, made with Tilora's own writers and a
// few hand-built headers: the fuzz targets' seeds and the reliability tests' fixtures.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "Clipbrd.h"
#include "DibHeaders.h"
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

// "BM", the file size and the pixels' offset.
inline BITMAPFILEHEADER FileHeader(uint32_t Size, uint32_t OffBits) {
  BITMAPFILEHEADER h;
  h.bfSize = Size;
  h.bfOffBits = OffBits;
  return h;
}

// A BMP with the 12-byte core header: 4 x 2 pixels at 1 bit.
inline Bytes CoreHeaderBmp() {
  Bytes d;
  AppendHeader(d, FileHeader(14 + 12 + 6 + 8, 14 + 12 + 6));
  BITMAPCOREHEADER core;
  core.bcWidth = 4;
  core.bcHeight = 2;
  core.bcBitCount = 1;
  AppendHeader(d, core);
  d.insert(d.end(), {0, 0, 0, 255, 255, 255});
  d.insert(d.end(), {0xA0, 0, 0, 0, 0x50, 0, 0, 0});
  return d;
}

// A BMP with the 124-byte header, top-down 32-bit bit fields of 10 bits a channel: 2 x 2 pixels.
inline Bytes V5HeaderBmp() {
  Bytes d;
  AppendHeader(d, FileHeader(14 + 124 + 16, 14 + 124));
  BITMAPINFOHEADER info;
  info.biSize = BITMAPINFOHEADER::V5WireSize;
  info.biWidth = 2;
  info.biHeight = -2;
  info.biBitCount = 32;
  info.biCompression = BI_BITFIELDS;
  info.biSizeImage = 16;
  AppendHeader(d, info);
  for (uint32_t mask : {0x3FF00000u, 0x000FFC00u, 0x000003FFu}) AppendLE32(d, mask);
  d.resize(14 + 124, 0);
  for (uint32_t p : {0x3FF00000u, 0x000FFC00u, 0x000003FFu, 0x12345678u}) AppendLE32(d, p);
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
