// DIB transfer: a bitmap's pixels into DIB memory, DIB memory onto a canvas, and the RLE decoder every reader
// shares.
#include <algorithm>
#include <cstdlib>
#include <limits>
#include <vector>

#include "Graphics.h"
#include "PixelAccess.h"

namespace {

constexpr const char* SInvalidPixelFormat = "Invalid pixel format";

// A surface over DIB memory whose first row in memory is the bottom row when the DIB is bottom-up.
TSurface DibSurface(uint8_t* Bits, int32_t Width, int32_t Height, bool BottomUp, int BitCount,
                    std::span<const TPaletteEntry> Palette) {
  TSurface s;
  s.Width = Width;
  s.Height = Height;
  s.BitCount = PixelFormatFacts(DibRgbPixelFormat(BitCount)).LayoutBits;  // 16-bit BI_RGB rows are 5-5-5
  const int64_t stride = DibRowBytes(Width, BitCount);
  s.Top = BottomUp && Height > 0 ? Bits + (Height - 1) * stride : Bits;
  s.Stride = BottomUp ? -stride : stride;
  s.Palette = Palette;
  return s;
}

}  // namespace

void GetDIBits(const TBitmap& Bitmap, BITMAPINFOHEADER& Header, RGBQUAD* Colors, uint8_t* Bits) {
  const TBitmapImage& image = Bitmap.Image();
  const int bits = Header.biBitCount;
  if ((bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) ||
      Header.biCompression != BI_RGB)
    throw EInvalidGraphic(SInvalidPixelFormat);
  const int64_t height = std::llabs(static_cast<int64_t>(Header.biHeight));
  if (Header.biWidth != image.Width || height != image.Height) throw EInvalidGraphic(SInvalidImageSize);

  HPALETTE palette;
  if (IsIndexedBitCount(bits)) {
    palette = ConversionPalette(image, bits);
    const int count = PaletteSize(palette);
    // A bitmap without a palette of its own reports the full default table as "no count".
    Header.biClrUsed =
        PaletteSize(image.Palette) == 0 && count == (1 << bits) ? 0 : static_cast<uint32_t>(count);
    for (int i = 0; i < (1 << bits); ++i)
      Colors[i] = i < count ? RGBQUAD{palette->Entries[i].peBlue, palette->Entries[i].peGreen,
                                      palette->Entries[i].peRed, 0}
                            : RGBQUAD{};
  } else {
    Header.biClrUsed = 0;
  }
  const int64_t bytes = DibImageBytes(image.Width, image.Height, bits);
  if (bytes <= 0) return;
  std::fill(Bits, Bits + bytes, uint8_t{0});
  const TSurface dst = DibSurface(Bits, image.Width, image.Height, Header.biHeight > 0, bits,
                                  palette ? std::span(palette->Entries) : std::span<const TPaletteEntry>());
  const HPALETTE sourcePalette = EffectivePalette(image);
  const TRect all = Rect(0, 0, image.Width, image.Height);
  CopyPixels(dst, all, ImageSurface(image, sourcePalette), all);
}

void StretchDIBits(TCanvas& Canvas, int X, int Y, int W, int H, int SrcX, int SrcY, int SrcW, int SrcH,
                   const uint8_t* Bits, int64_t BitsSize, const BITMAPINFOHEADER& Header,
                   const RGBQUAD* Colors) {
  const int bits = Header.biBitCount;
  const uint32_t compression = Header.biCompression;
  const bool valid = Header.biWidth > 0 && Header.biHeight != 0 &&
                     Header.biHeight != std::numeric_limits<int32_t>::min() &&
                     ((compression == BI_RGB &&
                       (bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32)) ||
                      (compression == BI_RLE4 && bits == 4 && Header.biHeight > 0) ||
                      (compression == BI_RLE8 && bits == 8 && Header.biHeight > 0));
  if (!valid || !Bits || BitsSize < 0) throw EInvalidGraphic(SInvalidBitmap);
  const int32_t width = Header.biWidth, height = std::abs(Header.biHeight);
  const int64_t bytes = DibImageBytes(width, height, bits);
  if (bytes < 0) throw EInvalidGraphic(SInvalidBitmap);

  std::vector<TPaletteEntry> palette;
  if (IsIndexedBitCount(bits)) {
    const uint32_t count = std::min<uint32_t>(Header.biClrUsed ? Header.biClrUsed : 1u << bits, 256);
    palette.resize(count);
    for (uint32_t i = 0; i < count; ++i)
      palette[i] = {Colors[i].rgbRed, Colors[i].rgbGreen, Colors[i].rgbBlue, 0};
  }

  const uint8_t* pixels = Bits;
  std::vector<uint8_t> decoded;
  if (compression != BI_RGB) {
    decoded.assign(static_cast<size_t>(bytes), 0);
    if (DecodeRle(std::span(Bits, static_cast<size_t>(BitsSize)), bits, width, height, decoded.data(),
                  DibRowBytes(width, bits)) != TRleResult::Ok)
      throw EInvalidGraphic(SInvalidBitmap);
    pixels = decoded.data();
  } else if (BitsSize < bytes) {
    throw EInvalidGraphic(SInvalidBitmap);
  }

  // The source is only read; the surface type is writable by design.
  const TSurface src =
      DibSurface(const_cast<uint8_t*>(pixels), width, height, Header.biHeight > 0, bits, palette);
  const TSurface dst = Canvas.Surface();
  const TRect dstRect = Rect(X, Y, ClampToInt32(int64_t{X} + W), ClampToInt32(int64_t{Y} + H));
  const TRect srcRect =
      Rect(SrcX, SrcY, ClampToInt32(int64_t{SrcX} + SrcW), ClampToInt32(int64_t{SrcY} + SrcH));
  if (CopyPixels(dst, dstRect, src, srcRect)) Canvas.Changed();
}

TRleResult DecodeRle(std::span<const uint8_t> Data, int BitCount, int Width, int Height, uint8_t* Dest,
                     int64_t Stride, TRleOverrun Overrun) {
  const bool four = BitCount == 4;
  const bool clip = Overrun == TRleOverrun::Clip;
  const int64_t w = four ? (int64_t{Width} + 1) / 2 * 2 : Width;
  const int64_t h = std::llabs(static_cast<int64_t>(Height));
  const size_t size = Data.size();
  auto put = [&](int64_t x, int64_t y, uint32_t value) {
    WritePixel(Dest + y * Stride, x, four ? 4 : 8, value);
  };
  // Pixels of a run of n at (x, y) that are written: all of them when overruns are refused; when clipping,
  // those inside the picture's own width (the padding nibble of an odd 4-bit width stays clear).
  const int64_t right = clip ? Width : w;
  auto inside = [&](int64_t x, int64_t y, int64_t n) {
    return y < h ? std::clamp<int64_t>(right - x, 0, n) : 0;
  };
  int64_t x = 0, y = 0;
  size_t i = 0;
  while (i + 2 <= size) {
    const uint32_t n = Data[i], c = Data[i + 1];
    i += 2;
    if (n > 0) {
      // Encoded run: 4 bits alternate the high and low nibble of c.
      if (!clip && (x + n > w || y >= h)) return TRleResult::BadRun;
      const int64_t count = inside(x, y, n);
      for (int64_t k = 0; k < count; ++k) put(x + k, y, four ? ((k & 1) ? (c & 15) : (c >> 4)) : c);
      x += n;
    } else if (c == 0) {
      ++y;
      x = 0;
      if (!clip && y > h) return TRleResult::BadEndOfLine;
    } else if (c == 1) {
      return TRleResult::Ok;
    } else if (c == 2) {
      if (i + 2 > size) return TRleResult::Ok;
      x += Data[i];
      y += Data[i + 1];
      i += 2;
      if (!clip && (x > w || y > h)) return TRleResult::BadDelta;
    } else {
      // Absolute run of c pixels, padded to a 16-bit boundary.
      if (!clip && (x + c > w || y >= h)) return TRleResult::BadAbsolute;
      const size_t length = four ? (c + 3) / 4 * 2 : (c + 1) / 2 * 2;
      const int64_t count = inside(x, y, c);
      for (int64_t k = 0; k < count; ++k) {
        const size_t at = i + static_cast<size_t>(four ? k / 2 : k);
        if (at >= size) return TRleResult::Ok;
        put(x + k, y, four ? ((k & 1) ? (Data[at] & 15) : (Data[at] >> 4)) : Data[at]);
      }
      x += c;
      i += length;
    }
  }
  return TRleResult::Ok;
}
