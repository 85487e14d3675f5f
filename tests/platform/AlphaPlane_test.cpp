// BMP files with alpha: which headers give an alpha plane, and the 32-bit V5 writer read back by stb_image
// and by the reader itself.
#include <gtest/gtest.h>

#include "AlphaPlane.h"
#include "ByteBuilders.h"
#include "StbOracle.h"

namespace {

// A 2 x 1 bottom-up BMP with a V4 or V5 header (HeaderSize 108 or 124): the three colour masks and the alpha
// mask, then the two pixels' raw values of Bits bits.
std::vector<uint8_t> MaskedBmp(uint32_t HeaderSize, uint16_t Bits, uint32_t Compression,
                               std::array<uint32_t, 4> Masks, std::array<uint32_t, 2> Pixels) {
  const uint32_t offBits = 14 + HeaderSize;
  TBytes b;
  b.FileHeader(offBits + 8, offBits);
  BITMAPINFOHEADER info;
  info.biSize = HeaderSize;
  info.biWidth = 2;
  info.biHeight = 1;
  info.biBitCount = Bits;
  info.biCompression = Compression;
  AppendHeader(b.Data, info);
  for (uint32_t m : Masks) b.U32(m);
  b.Fill(HeaderSize - 56);
  for (uint32_t p : Pixels) Bits == 16 ? b.U16(p) : b.U32(p);
  if (Bits == 16) b.U32(0);  // row padding
  return b.Data;
}

struct AlphaRead {
  TBitmap Image, Alpha;
};

void Read(const std::vector<uint8_t>& File, AlphaRead& Out) {
  TMemoryStream stream;
  stream.WriteBuffer(File.data(), static_cast<int64_t>(File.size()));
  stream.SetPosition(0);
  LoadBmpWithAlpha(stream, Out.Image, Out.Alpha);
}

TEST(BmpAlpha, AnAlphaMaskOfAV4OrV5HeaderGivesThePlane) {
  constexpr std::array<uint32_t, 4> Argb = {0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000};
  struct Case {
    const char* Name;
    std::vector<uint8_t> File;
    std::vector<int> Planes;  // 255 - alpha of the two pixels; empty for no plane
  };
  const Case cases[] = {
      {"v5 argb", MaskedBmp(124, 32, BI_BITFIELDS, Argb, {0x80102030, 0xFF405060}), {127, 0}},
      {"v4 argb", MaskedBmp(108, 32, BI_BITFIELDS, Argb, {0x00102030, 0x40405060}), {255, 191}},
      {"v4 1555",
       MaskedBmp(108, 16, BI_BITFIELDS, {0x7C00, 0x03E0, 0x001F, 0x8000}, {0x7FFF, 0x801F}),
       {255, 0}},
      // Opaque: no alpha mask, the mask of a BI_RGB file, alpha samples that are all 0, a mask overlapping
      // red.
      {"no mask", MaskedBmp(124, 32, BI_BITFIELDS, {0xFF0000, 0xFF00, 0xFF, 0}, {0x80102030, 0}), {}},
      {"bi_rgb", MaskedBmp(124, 32, BI_RGB, Argb, {0x80102030, 0}), {}},
      {"all zero", MaskedBmp(124, 32, BI_BITFIELDS, Argb, {0x00102030, 0x00405060}), {}},
      {"overlap",
       MaskedBmp(124, 32, BI_BITFIELDS, {0xFF0000, 0xFF00, 0xFF, 0xFFFF0000}, {0x80102030, 0}),
       {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    AlphaRead read;
    Read(c.File, read);
    ASSERT_EQ(read.Image.Width(), 2);
    if (c.Planes.empty()) {
      EXPECT_TRUE(read.Alpha.Empty());
      continue;
    }
    ASSERT_TRUE(IsAlphaPlaneOf(read.Alpha, read.Image));
    EXPECT_EQ((std::vector<int>{read.Alpha.ScanLine(0)[0], read.Alpha.ScanLine(0)[1]}), c.Planes);
  }
  // The colours are read as before: the first pixel of the V5 file.
  AlphaRead v5;
  Read(cases[0].File, v5);
  EXPECT_EQ(v5.Image.GetPixel(0, 0), RGB(0x10, 0x20, 0x30));
}

TEST(BmpAlpha, TheV5WriterIsReadBackWithTheSameRgba) {
  TBitmap image, alpha;
  image.SetImage(NewBitmapImage(5, 3, pf24bit, nullptr, false));
  alpha.SetImage(NewAlphaPlaneImage(5, 3));
  std::vector<uint8_t> rgba;
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x) {
      const uint8_t r = static_cast<uint8_t>(40 * x), g = static_cast<uint8_t>(70 * y), b = 9;
      const auto a = static_cast<uint8_t>((x + 5 * y) * 17);
      image.Canvas().SetPixel(x, y, RGB(r, g, b));
      alpha.ScanLine(y)[x] = static_cast<uint8_t>(255 - a);
      rgba.insert(rgba.end(), {r, g, b, a});
    }
  TMemoryStream stream;
  SaveBmpWithAlpha(stream, image, alpha);
  std::vector<uint8_t> file(static_cast<size_t>(stream.Size()));
  stream.SetPosition(0);
  stream.ReadBuffer(file.data(), static_cast<int64_t>(file.size()));
  EXPECT_EQ(ReadLE32(file, 14), 124u);  // BITMAPV5HEADER
  EXPECT_EQ(ReadLE16(file, 28), 32);
  EXPECT_EQ(ReadLE32(file, 66), 0xFF000000u);  // the alpha mask

  const stbtest::StbImage stb = stbtest::StbReadRgba(file);
  ASSERT_TRUE(stb.Ok()) << stb.Error;
  EXPECT_EQ(stb.Rgb, rgba);
  AlphaRead back;
  Read(file, back);
  ASSERT_TRUE(IsAlphaPlaneOf(back.Alpha, back.Image));
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x) {
      EXPECT_EQ(back.Image.GetPixel(x, y), image.GetPixel(x, y));
      EXPECT_EQ(back.Alpha.ScanLine(y)[x], alpha.ScanLine(y)[x]);
    }
}

}  // namespace
