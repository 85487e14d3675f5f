// The RLE4 and RLE8 targets: the first four bytes give the picture's width and height (1..256), the fifth
// the row order, the rest is the compressed data. The platform's decoder fills exactly the picture's memory;
// the DIB library's converter decodes the same data to the same pixels and its encoder's output decodes back
// to them. The decoder's clipping mode (the platform bitmap's reader) reads any data, stays inside the same
// memory and gives the same pixels wherever the data keep inside the picture.
#pragma once

#include <vector>

#include "DibFuzzSupport.h"
#include "PixelRows.h"

namespace fuzz {

inline int RunRle(const uint8_t* Data, size_t Size, int Bits) {
  if (Size < 5) return 0;
  const int width = 1 + static_cast<int>(Le16(Bytes(Data, Size), 0) % 256);
  const int height = 1 + static_cast<int>(Le16(Bytes(Data, Size), 2) % 256);
  const bool bottomUp = Data[4] & 1;
  const Bytes code(Data + 5, Size - 5);
  const int64_t stride = DibRowBytes(width, Bits);
  SetDibDefaultUseFMO(false);

  // Exactly the picture's memory, so that any write outside it is caught.
  std::vector<uint8_t> pixels(static_cast<size_t>(stride * height));
  uint8_t* first = bottomUp ? pixels.data() + (height - 1) * stride : pixels.data();
  const TRleResult result = DecodeRle(code, Bits, width, height, first, bottomUp ? -stride : stride);
  std::vector<uint8_t> clipped(pixels.size());
  Check(DecodeRle(code, Bits, width, height, clipped.data() + (first - pixels.data()),
                  bottomUp ? -stride : stride, TRleOverrun::Clip) == TRleResult::Ok,
        "clipping refused RLE data");
  if (result == TRleResult::Ok)
    for (int64_t y = 0; y < height; ++y)
      for (int64_t x = 0; x < width; ++x)
        Check(
            ReadPixel(clipped.data() + y * stride, x, Bits) == ReadPixel(pixels.data() + y * stride, x, Bits),
            "clipping changed a pixel of data that keep inside the picture");

  TDibRecord record;
  record.Header.biWidth = width;
  record.Header.biHeight = height;
  record.Header.biBitCount = static_cast<uint16_t>(Bits);
  record.Header.biCompression = Bits == 8 ? BI_RLE8 : BI_RLE4;
  record.Header.biSizeImage = static_cast<uint32_t>(code.size());
  record.Header.biClrUsed = static_cast<uint32_t>(DefaultColorCount(Bits));
  record.ImageSize = static_cast<int64_t>(code.size());
  record.Memory = GetMemory(record.ImageSize, false);
  std::copy(code.begin(), code.end(), record.Bits());
  const auto decode = [Bits](const TDibRecord& r) {
    return Bits == 8 ? Convert8BitRLETo8BitRGB(r, false) : Convert4BitRLETo4BitRGB(r, false);
  };
  TDibRecord decoded;
  const bool accepted = Accepted([&] { decoded = decode(record); });
  Check(accepted == (result == TRleResult::Ok), "the DIB converter and the platform decoder disagree");
  if (!accepted) return 0;
  // The converter puts the first row of the code first in memory; with bottomUp the decoder put it last.
  for (int64_t y = 0; y < height; ++y) {
    const uint8_t* a = decoded.MemoryRow(y);
    const uint8_t* b = pixels.data() + (bottomUp ? height - 1 - y : y) * stride;
    for (int64_t x = 0; x < width; ++x)
      Check(ReadPixel(a, x, Bits) == ReadPixel(b, x, Bits),
            "the DIB converter and the platform decoder give different pixels");
  }

  TDibRecord encoded;
  if (!Accepted([&] {
        encoded =
            Bits == 8 ? Convert8BitRGBTo8BitRLE(decoded, false) : Convert4BitRGBTo4BitRLE(decoded, false);
      }))
    return 0;  // the code would be larger than the pixels
  TDibRecord back;
  if (!Accepted([&] { back = decode(encoded); })) Finding("the encoder's RLE data are refused");
  for (int64_t y = 0; y < height; ++y)
    for (int64_t x = 0; x < width; ++x)
      Check(ReadPixel(back.MemoryRow(y), x, Bits) == ReadPixel(decoded.MemoryRow(y), x, Bits),
            "RLE encoding and decoding changed a pixel");
  return 0;
}

}  // namespace fuzz
