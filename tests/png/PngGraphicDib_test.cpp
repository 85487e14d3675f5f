// The save road of the tool: a platform bitmap assigned to a TDibGraphic, reduced, assigned to a TPngGraphic
// (through the platform's assignment: the PNG library never sees the DIB classes) and written. The test
// program links the DIB library for it; the PNG library does not.
#include <gtest/gtest.h>

#include "DibImage.h"
#include "PngEncoderSupport.h"
#include "PngGraphic.h"

namespace {

// A 24-bit bitmap of Colors distinct colours in stripes.
std::unique_ptr<TBitmap> Striped(int width, int height, int colors) {
  auto bitmap = pngtest::MakeBitmap(width, height, pf24bit);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const int c = (x + 3 * y) % colors;
      uint8_t* p = bitmap->ScanLine(y) + 3 * x;
      p[0] = static_cast<uint8_t>(40 * c);
      p[1] = static_cast<uint8_t>(255 - 20 * c);
      p[2] = static_cast<uint8_t>(c * c);
    }
  return bitmap;
}

TEST(PngGraphicDib, SavingAReducedDibWritesItsDepthAndPalette) {
  struct Case {
    TDibPixelFormat Format;  // dpf24Bit: not reduced
    int Colors;
    int BitDepth, ColorType;
  } cases[] = {
      {dpf8Bit, 12, 8, 3},
      {dpf4Bit, 5, 4, 3},
      {dpf1Bit, 2, 1, 3},  // the key colour white stays white, every other colour becomes black
      {dpf24Bit, 300, 8, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Colors);
    auto source = Striped(37, 11, c.Colors);
    TDibGraphic dib;
    dib.Assign(source.get());
    if (c.Format != dpf24Bit) dib.SetPixelFormat(c.Format);
    TPngGraphic png;
    png.Assign(&dib);
    TMemoryStream stream;
    png.SaveToStream(stream);
    const auto file = stream.Data();

    const auto chunks = pngtest::ListChunks(file);
    const auto ihdr = pngtest::ChunksOf(chunks, "IHDR").at(0).Data;
    EXPECT_EQ(ihdr[8], c.BitDepth);
    EXPECT_EQ(ihdr[9], c.ColorType);
    const auto plte = pngtest::ChunksOf(chunks, "PLTE");
    if (c.ColorType == 3) {
      TPaletteEntry entries[256];
      const int n = GetPaletteEntries(dib.Palette(), 0, 256, entries);
      ASSERT_EQ(plte.size(), 1u);
      ASSERT_EQ(plte[0].Data.size(), 3u * static_cast<size_t>(n));
      for (int i = 0; i < n; ++i) {
        EXPECT_EQ(plte[0].Data[3 * i], entries[i].peRed);
        EXPECT_EQ(plte[0].Data[3 * i + 2], entries[i].peBlue);
      }
    } else {
      EXPECT_TRUE(plte.empty());
    }
    // libpng reads back what the DIB holds; with fewer colours than 8 and 4 bits hold, that is the source.
    TBitmap held;
    held.Assign(&dib);
    const auto decoded = pngtest::LibpngRead(file, true);
    for (int y = 0; y < 11; ++y)
      for (int x = 0; x < 37; ++x) {
        const uint8_t* got = &decoded.Rows[y][4 * x];
        ASSERT_EQ(RGB(got[0], got[1], got[2]), held.GetPixel(x, y)) << x << "," << y;
        if (c.Format != dpf1Bit) {
          ASSERT_EQ(held.GetPixel(x, y), source->GetPixel(x, y)) << x << "," << y;
        }
      }
  }
}

}  // namespace
