// Checks a decode by TPngReadStream against libpng's reading of the same file, pixel by pixel.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "LibpngOracle.h"
#include "PngDecoderSupport.h"

namespace pngdec {

// The transparent colour a grey or RGB tRNS chunk names, each sample reduced to 8 bits (16-bit samples to
// their high byte, grey samples below 8 bits taken as they stand), or -1 when there is none.
inline TColor ExpectedTransparentColor(const Bytes& file, int colorType, int bitDepth) {
  for (const auto& c : pngtest::ListChunks(file)) {
    if (c.Type != "tRNS") continue;
    const auto sample = [&](size_t i) -> uint8_t {
      const int v = c.Data[i] << 8 | c.Data[i + 1];
      return static_cast<uint8_t>(bitDepth == 16 ? v >> 8 : v);
    };
    if (colorType == PNG_COLOR_TYPE_GRAY && c.Data.size() >= 2) return RGB(sample(0), sample(0), sample(0));
    if (colorType == PNG_COLOR_TYPE_RGB && c.Data.size() >= 6) return RGB(sample(0), sample(2), sample(4));
  }
  return -1;
}

// Decodes the file with both and compares every pixel's colour and alpha. Colours: the bitmap's colour
// (palette looked up) against libpng's expansion to 8-bit RGB (16-bit samples reduced to their high byte).
// Alpha: the alpha bitmap (255 - alpha) when the decode has one, the palette index named by the transparent
// colour, or for grey and RGB transparency the colour named by the tRNS chunk; otherwise every pixel must be
// opaque.
inline void ExpectMatchesLibpng(const Bytes& file, const std::string& label) {
  SCOPED_TRACE(label);
  const pngtest::Decoded ref = pngtest::LibpngRead(file, true, true);
  auto ours = Decode(file);
  const TBitmap& bitmap = *ours->Bitmap;
  const TPngReadStream& dec = *ours->Decoder;
  ASSERT_EQ(bitmap.Width(), static_cast<int>(ref.Width));
  ASSERT_EQ(bitmap.Height(), static_cast<int>(ref.Height));
  const bool hasAlphaChannel = (ref.ColorType & PNG_COLOR_MASK_ALPHA) != 0;
  const bool paletteAlpha = ref.ColorType == PNG_COLOR_TYPE_PALETTE && !ref.Trans.empty();
  EXPECT_EQ(dec.HasAlpha, hasAlphaChannel || (paletteAlpha && dec.TransparentColor == -1));
  TColor transparent = -1;
  if (!hasAlphaChannel && ref.ColorType != PNG_COLOR_TYPE_PALETTE) {
    transparent = ExpectedTransparentColor(file, ref.ColorType, ref.BitDepth);
    EXPECT_EQ(dec.TransparentColor, transparent);
    EXPECT_EQ(bitmap.Transparent(), transparent != -1);
    if (transparent != -1) {
      EXPECT_EQ(bitmap.TransparentColor(), transparent);
    }
  }
  int mismatches = 0;
  for (int y = 0; y < bitmap.Height() && mismatches < 5; ++y) {
    const uint8_t* want = ref.Rows[y].data();
    for (int x = 0; x < bitmap.Width() && mismatches < 5; ++x, want += 4) {
      const TColor colour = bitmap.GetPixel(x, y);
      int alpha = 255;
      if (dec.HasAlpha) {
        alpha = 255 - ours->Alpha->ScanLine(y)[x];
      } else if (ref.ColorType == PNG_COLOR_TYPE_PALETTE && dec.TransparentColor != -1) {
        const uint8_t* row = bitmap.ScanLine(y);
        const int bits = bitmap.BitCount();
        const int index = bits == 8   ? row[x]
                          : bits == 4 ? (row[x / 2] >> ((x & 1) ? 0 : 4)) & 15
                                      : (row[x / 8] >> (7 - x % 8)) & 1;
        alpha = index == (dec.TransparentColor & 0xFF) ? 0 : 255;
      } else if (transparent != -1 && ref.BitDepth == 8) {
        alpha = colour == transparent ? 0 : 255;
      } else if (transparent != -1) {
        alpha = want[3];  // below or above 8 bits the 8-bit colour does not decide it
      }
      const TColor expected = RGB(want[0], want[1], want[2]);
      if (colour != expected || alpha != want[3]) {
        ++mismatches;
        ADD_FAILURE() << "pixel (" << x << ", " << y << "): ours colour " << std::hex << colour << " alpha "
                      << std::dec << alpha << ", libpng colour " << std::hex << expected << " alpha "
                      << std::dec << int{want[3]};
      }
    }
  }
}

}  // namespace pngdec
