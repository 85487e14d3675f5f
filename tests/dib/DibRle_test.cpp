// RLE8 and RLE4: the encoders' code byte for byte, and decoding with its error messages.
#include "DibTestSupport.h"

namespace {

std::vector<uint8_t> Code(const TDibRecord& dib) {
  return std::vector<uint8_t>(dib.Bits(), dib.Bits() + dib.ImageSize);
}

// A compressed record of the given size whose pixel memory is the code.
TDibRecord RleRecord(int width, int height, int bits, const std::vector<uint8_t>& code) {
  TDibRecord dib =
      MakeRecord(width, height, bits, {0x000000, 0xFFFFFF}, std::vector<uint32_t>(width * height, 0));
  dib.Header.biCompression = bits == 8 ? BI_RLE8 : BI_RLE4;
  dib.Header.biSizeImage = static_cast<uint32_t>(code.size());
  dib.ImageSize = static_cast<int64_t>(code.size());
  dib.Memory = GetMemory(dib.ImageSize, false);
  std::copy(code.begin(), code.end(), dib.Bits());
  return dib;
}

TEST(DibRle, EightBitCodeGolden) {
  // Rows from the top; the code starts with the bottom row.
  const std::vector<uint32_t> pixels = {
      4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4,  // a run
      1, 2, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5,  // a literal of two units: two runs of 1, then the run
      1, 2, 3, 7, 7, 7, 7, 7, 7, 7, 7, 7,  // the literal 1, 2, 3 (padded), then the run
  };
  TDibRecord source = MakeRecord(12, 3, 8, {0x000000, 0x111111}, pixels);
  source.Header.biXPelsPerMeter = 99;
  const TDibRecord rle = Convert8BitRGBTo8BitRLE(source, false);
  const std::vector<uint8_t> expected = {0,  3, 1, 2, 3,  0, 9, 7, 0, 0,  // bottom row
                                         1,  1, 1, 2, 10, 5, 0, 0,        //
                                         12, 4, 0, 0,                     // top row
                                         0,  1};
  EXPECT_EQ(Code(rle), expected);
  EXPECT_EQ(rle.ImageSize, 24);
  EXPECT_EQ(rle.Header.biSizeImage, 24u);
  EXPECT_EQ(rle.Header.biCompression, BI_RLE8);
  EXPECT_EQ(rle.Header.biBitCount, 8);
  EXPECT_EQ(rle.Header.biXPelsPerMeter, 99);
  EXPECT_EQ(rle.Header.biClrUsed, 2u);

  const TDibRecord decoded = Convert8BitRLETo8BitRGB(rle, false);
  EXPECT_EQ(decoded.Header.biCompression, BI_RGB);
  EXPECT_EQ(decoded.Header.biSizeImage, 0u);
  EXPECT_EQ(DibPixels(decoded), pixels);
}

TEST(DibRle, RunsAndLiteralsStopAtTheirLimits) {
  // 300 equal bytes: (255, v) (45, v).
  const TDibRecord run =
      Convert8BitRGBTo8BitRLE(MakeRecord(300, 1, 8, {}, std::vector<uint32_t>(300, 9)), false);
  EXPECT_EQ(Code(run), (std::vector<uint8_t>{255, 9, 45, 9, 0, 0, 0, 1}));

  // 257 alternating bytes then 300 ones: a literal of 255; then 1, 0 (the first one of the run joins the
  // literal and leaves it again) as two runs of 1; then the run, cut at 255.
  std::vector<uint32_t> pixels;
  for (int i = 0; i < 257; ++i) pixels.push_back(static_cast<uint32_t>(i & 1));
  pixels.insert(pixels.end(), 300, 1);
  const TDibRecord mixed = Convert8BitRGBTo8BitRLE(MakeRecord(557, 1, 8, {}, pixels), false);
  std::vector<uint8_t> expected = {0, 255};
  for (int i = 0; i < 255; ++i) expected.push_back(static_cast<uint8_t>(i & 1));
  expected.push_back(0);  // odd literal padding
  expected.insert(expected.end(), {1, 1, 1, 0, 255, 1, 45, 1, 0, 0, 0, 1});
  EXPECT_EQ(Code(mixed), expected);
  EXPECT_EQ(DibPixels(Convert8BitRLETo8BitRGB(mixed, false)), pixels);
}

TEST(DibRle, FourBitCodeGolden) {
  // 21 pixels: units 11 11 23 45 66 66 66 66 66 66 60; the last pair holds one pixel.
  const std::vector<uint32_t> bottom = {1, 1, 1, 1, 2, 3, 4, 5, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6};
  std::vector<uint32_t> pixels(21, 7);
  pixels.insert(pixels.end(), bottom.begin(), bottom.end());
  const TDibRecord source = MakeRecord(21, 2, 4, {0, 1, 2, 3, 4, 5, 6, 7}, pixels);
  const TDibRecord rle = Convert4BitRGBTo4BitRLE(source, false);
  const std::vector<uint8_t> expected = {4,  0x11, 0, 4,    0x23, 0x45, 12, 0x66,
                                         1,  0x60, 0, 0,  // bottom row
                                         20, 0x77, 1, 0x70, 0,    0,    0,  1};
  EXPECT_EQ(Code(rle), expected);
  EXPECT_EQ(rle.Header.biCompression, BI_RLE4);
  EXPECT_EQ(DibPixels(Convert4BitRLETo4BitRGB(rle, false)), pixels);
}

TEST(DibRle, TopDownSourceBecomesBottomUp) {
  std::vector<uint32_t> pixels;
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 16; ++x) pixels.push_back(static_cast<uint32_t>(x < 8 ? y : 15 - y));
  for (int bits : {4, 8}) {
    const TDibRecord source = MakeRecord(16, -4, bits, {}, pixels);
    const TDibRecord rle =
        bits == 8 ? Convert8BitRGBTo8BitRLE(source, false) : Convert4BitRGBTo4BitRLE(source, false);
    EXPECT_EQ(rle.Header.biHeight, 4);
    EXPECT_EQ(rle.Bits()[1], bits == 8 ? 3 : 0x33) << "the bottom row comes first";
    const TDibRecord back =
        bits == 8 ? Convert8BitRLETo8BitRGB(rle, false) : Convert4BitRLETo4BitRGB(rle, false);
    EXPECT_EQ(back.Header.biHeight, 4);
    EXPECT_EQ(DibPixels(back), pixels);
  }
}

TEST(DibRle, EncoderFailsWhenTheCodeDoesNotFit) {
  ExpectRaises<EDibCompressionFailed>([&] { Convert8BitRGBTo8BitRLE(MakeRecord(1, 1, 8, {}, {0}), false); },
                                      "Convert8BitRGBTo8BitRLE: Compression Failed");
  std::vector<uint32_t> alternating;
  for (int i = 0; i < 4 * 300; ++i) alternating.push_back(static_cast<uint32_t>(i % 3));
  ExpectRaises<EDibCompressionFailed>(
      [&] { Convert8BitRGBTo8BitRLE(MakeRecord(300, 4, 8, {}, alternating), false); },
      "Convert8BitRGBTo8BitRLE: Compression Failed");
  ExpectRaises<EDibCompressionFailed>(
      [&] {
        Convert4BitRGBTo4BitRLE(MakeRecord(3, 2, 4, {}, {1, 2, 3, 1, 2, 3}), false);
      },
      "Convert4BitRGBTo4BitRLE: Compression Failed");
}

TEST(DibRle, DecoderFollowsDeltasAndEndsWithTheData) {
  // 4 x 3: a delta of (2, 1) from (1, 0), then a pixel; the rest stays 0. No end-of-bitmap code.
  const TDibRecord delta = Convert8BitRLETo8BitRGB(RleRecord(4, 3, 8, {1, 5, 0, 2, 2, 1, 1, 6}), false);
  EXPECT_EQ(DibPixels(delta), (std::vector<uint32_t>{0, 0, 0, 0, 0, 0, 0, 6, 5, 0, 0, 0}));
  // An absolute run cut short by the end of the data ends the picture.
  const TDibRecord cut = Convert8BitRLETo8BitRGB(RleRecord(4, 1, 8, {0, 4, 1, 2}), false);
  EXPECT_EQ(DibPixels(cut), (std::vector<uint32_t>{1, 2, 0, 0}));
  // RLE4: runs alternate the nibbles; an absolute run takes nibbles high first.
  const TDibRecord four =
      Convert4BitRLETo4BitRGB(RleRecord(7, 1, 4, {3, 0x12, 0, 4, 0xAB, 0xCD, 0, 1}), false);
  EXPECT_EQ(DibPixels(four), (std::vector<uint32_t>{1, 2, 1, 10, 11, 12, 13}));
}

TEST(DibRle, BadDataMessages) {
  struct TCase {
    int bits, width, height;
    std::vector<uint8_t> code;
    const char* message;
  };
  const std::vector<TCase> cases = {
      {8, 2, 1, {0, 0, 0, 0}, "Convert8BitRLETo8BitRGB: Bad RLE Data 1"},
      {8, 2, 2, {0, 2, 3, 0}, "Convert8BitRLETo8BitRGB: Bad RLE Data 2"},
      {8, 2, 2, {0, 2, 0, 3}, "Convert8BitRLETo8BitRGB: Bad RLE Data 2"},
      {8, 2, 1, {0, 3, 1, 2, 3, 0}, "Convert8BitRLETo8BitRGB: Bad RLE Data 3"},
      {8, 4, 1, {0, 0, 0, 3, 1, 2, 3, 0}, "Convert8BitRLETo8BitRGB: Bad RLE Data 3"},
      {8, 2, 1, {3, 1}, "Convert8BitRLETo8BitRGB: Bad RLE Data 4"},
      {8, 2, 1, {0, 0, 1, 1}, "Convert8BitRLETo8BitRGB: Bad RLE Data 4"},
      {4, 2, 1, {0, 0, 0, 0}, "Convert4BitRLETo4BitRGB: Bad RLE Data 5"},
      {4, 3, 1, {0, 2, 5, 0}, "Convert4BitRLETo4BitRGB: Bad RLE Data 6"},
      {4, 3, 1, {0, 5, 0x12, 0x34, 0x50, 0}, "Convert4BitRLETo4BitRGB: Bad RLE Data 7"},
      {4, 3, 1, {5, 0x12}, "Convert4BitRLETo4BitRGB: Bad RLE Data 8"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.message);
    const TDibRecord rle = RleRecord(c.width, c.height, c.bits, c.code);
    if (c.bits == 8)
      ExpectRaises<EDibInvalidDIB>([&] { Convert8BitRLETo8BitRGB(rle, false); }, c.message);
    else
      ExpectRaises<EDibInvalidDIB>([&] { Convert4BitRLETo4BitRGB(rle, false); }, c.message);
  }
  // A width rounded up to even lets a 3-pixel row take a run of 4.
  EXPECT_NO_THROW(Convert4BitRLETo4BitRGB(RleRecord(3, 1, 4, {4, 0x12, 0, 1}), false));
}

TEST(DibRle, FailedDecodingLeavesTheStorageUnchanged) {
  TDibStorage s(false);
  s.DIB = RleRecord(2, 1, 8, {3, 1});
  s.Width = 2;
  ExpectRaises<EDibInvalidDIB>([&] { s.SetPixelsFormat(dpf24Bit, 0, nullptr, nullptr, clWhite); },
                               "Convert8BitRLETo8BitRGB: Bad RLE Data 4");
  EXPECT_EQ(s.GetPixelFormat(), dpf8BitRLE);
  EXPECT_EQ(Code(s.DIB), (std::vector<uint8_t>{3, 1}));
}

}  // namespace
