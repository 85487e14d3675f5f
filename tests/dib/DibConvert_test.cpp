// The converter family: widening, key colour, halftone, source checks, and the dispatch table.
#include <algorithm>

#include "DibTestSupport.h"

namespace {

// 16 x 4 black and white pixels in runs of eight, at the bit count (2 and 4 made by the RLE encoders).
std::unique_ptr<TDibStorage> BlackWhiteStorage(TDibPixelFormat format) {
  std::vector<uint32_t> pixels;
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 16; ++x) pixels.push_back(static_cast<uint32_t>((x / 8 + y) % 2));
  switch (format) {
    case dpf1Bit:
      return MakeStorage(16, 4, 1, {0x000000, 0xFFFFFF}, pixels);
    case dpf4Bit:
    case dpf4BitRLE: {
      auto s = MakeStorage(16, 4, 4, {0x000000, 0xFFFFFF, 0x808080}, pixels);
      if (format == dpf4BitRLE) s->SetPixelsFormat(dpf4BitRLE, 0, nullptr, nullptr, clWhite);
      return s;
    }
    case dpf8Bit:
    case dpf8BitRLE: {
      auto s = MakeStorage(16, 4, 8, {0x000000, 0xFFFFFF}, pixels);
      if (format == dpf8BitRLE) s->SetPixelsFormat(dpf8BitRLE, 0, nullptr, nullptr, clWhite);
      return s;
    }
    default:
      for (auto& p : pixels) p = p ? 0xFFFFFF : 0;
      return MakeStorage(16, 4, 24, {}, pixels);
  }
}

// Colours of every pixel, decoding compressed pictures.
std::vector<uint32_t> Colors(const TDibRecord& dib) {
  if (dib.Header.biCompression == BI_RLE8) return DibColors(Convert8BitRLETo8BitRGB(dib, false));
  if (dib.Header.biCompression == BI_RLE4) return DibColors(Convert4BitRLETo4BitRGB(dib, false));
  return DibColors(dib);
}

TEST(DibConvert, DispatchTable) {
  // Chains by source (rows) and target (columns 0..7), written as converter names; "" is no chain. "Q8" and
  // "Q4" stand for the 24-bit quantiser of the mode.
  const std::vector<std::vector<std::vector<std::string>>> table = {
      {{},
       {"Convert1BitRGBTo4BitRGB"},
       {"Convert1BitRGBTo4BitRGB", "Convert4BitRGBTo4BitRLE"},
       {"Convert1BitRGBTo8BitRGB"},
       {"Convert1BitRGBTo8BitRGB", "Convert8BitRGBTo8BitRLE"},
       {"Convert1BitRGBToTrueColor"},
       {"ConvertToHalfTone"},
       {"ConvertToHalfToneBW"}},
      {{"Convert4BitRGBTo1BitRGB"},
       {},
       {"Convert4BitRGBTo4BitRLE"},
       {"Convert4BitRGBTo8BitRGB"},
       {"Convert4BitRGBTo8BitRGB", "Convert8BitRGBTo8BitRLE"},
       {"Convert4BitRGBToTrueColor"},
       {"ConvertToHalfTone"},
       {"ConvertToHalfToneBW"}},
      {{"Convert4BitRLETo4BitRGB", "Convert4BitRGBTo1BitRGB"},
       {"Convert4BitRLETo4BitRGB"},
       {},
       {"Convert4BitRLETo4BitRGB", "Convert4BitRGBTo8BitRGB"},
       {"Convert4BitRLETo4BitRGB", "Convert4BitRGBTo8BitRGB", "Convert8BitRGBTo8BitRLE"},
       {"Convert4BitRLETo4BitRGB", "Convert4BitRGBToTrueColor"},
       {"Convert4BitRLETo4BitRGB", "ConvertToHalfTone"},
       {"Convert4BitRLETo4BitRGB", "ConvertToHalfToneBW"}},
      {{"Convert8BitTo1BitRGB"},
       {"Convert8BitRGBTo4BitRGB"},
       {"Convert8BitRGBTo4BitRGB", "Convert4BitRGBTo4BitRLE"},
       {},
       {"Convert8BitRGBTo8BitRLE"},
       {"Convert8BitRGBToTrueColor"},
       {"ConvertToHalfTone"},
       {"ConvertToHalfToneBW"}},
      {{"Convert8BitRLETo8BitRGB", "Convert8BitTo1BitRGB"},
       {"Convert8BitRLETo8BitRGB", "Convert8BitRGBTo4BitRGB"},
       {"Convert8BitRLETo8BitRGB", "Convert8BitRGBTo4BitRGB", "Convert4BitRGBTo4BitRLE"},
       {"Convert8BitRLETo8BitRGB"},
       {},
       {"Convert8BitRLETo8BitRGB", "Convert8BitRGBToTrueColor"},
       {"Convert8BitRLETo8BitRGB", "ConvertToHalfTone"},
       {"Convert8BitRLETo8BitRGB", "ConvertToHalfToneBW"}},
      {{"ConvertTrueColorTo1BitRGB"},
       {"Q4"},
       {"Q4", "Convert4BitRGBTo4BitRLE"},
       {"Q8"},
       {"Q8", "Convert8BitRGBTo8BitRLE"},
       {},
       {"ConvertToHalfTone"},
       {"ConvertToHalfToneBW"}},
  };
  const TDibPixelFormat resultFormat[8] = {dpf1Bit,    dpf4Bit,  dpf4BitRLE, dpf8Bit,
                                           dpf8BitRLE, dpf24Bit, dpf8Bit,    dpf1Bit};
  for (int mode = 0; mode <= 1; ++mode) {
    for (int s = 0; s < 6; ++s) {
      for (int t = 0; t < 8; ++t) {
        SCOPED_TRACE(testing::Message() << "mode " << mode << ", " << s << " -> " << t);
        const auto source = static_cast<TDibPixelFormat>(s), target = static_cast<TDibPixelFormat>(t);
        std::vector<std::string> expected = table[s][t];
        for (std::string& name : expected) {
          if (name == "Q8")
            name = mode == 0 ? "ConvertTrueColorTo8BitRGBLow" : "ConvertTrueColorTo8BitRGBHigh";
          if (name == "Q4")
            name = mode == 0 ? "ConvertTrueColorTo4BitRGBLow" : "ConvertTrueColorTo4BitRGBHigh";
        }
        auto storage = BlackWhiteStorage(source);
        ASSERT_EQ(storage->GetPixelFormat(), source);
        if (expected.empty()) {
          ExpectRaises<EAssertionFailed>(
              [&] { DibConversionChain(source, target, static_cast<uint8_t>(mode)); },
              "TDibStorage.SetPixelsFormat: PixelFormat Error");
          ExpectRaises<EAssertionFailed>(
              [&] {
                storage->SetPixelsFormat(target, static_cast<uint8_t>(mode), nullptr, nullptr, clWhite);
              },
              "TDibStorage.SetPixelsFormat: PixelFormat Error");
          continue;
        }
        std::vector<std::string> chain;
        for (TDibConverter c : DibConversionChain(source, target, static_cast<uint8_t>(mode)))
          chain.push_back(DibConverterName(c));
        EXPECT_EQ(chain, expected);

        const std::vector<uint32_t> before = Colors(storage->DIB);
        int steps = 0;
        storage->PaletteModified = false;
        storage->SetPixelsFormat(
            target, static_cast<uint8_t>(mode), [&steps](TObject*) { ++steps; }, nullptr, clWhite);
        EXPECT_EQ(storage->GetPixelFormat(), resultFormat[t]);
        EXPECT_EQ(Colors(storage->DIB), before) << "black and white survive every conversion";
        EXPECT_TRUE(storage->PaletteModified);
        EXPECT_EQ(storage->Width, 16);
        EXPECT_EQ(storage->Height, 4);
        const bool quantises = std::any_of(expected.begin(), expected.end(), [](const std::string& name) {
          return name == "Convert8BitRGBTo4BitRGB" || name.find("RGBLow") != std::string::npos ||
                 name.find("RGBHigh") != std::string::npos;
        });
        const int bits = t == 1 || t == 2 ? 4 : 8;
        EXPECT_EQ(steps, quantises ? 1 << bits : 0);
      }
    }
  }
}

TEST(DibConvert, DispatchRejectsBadTargetsAndModes) {
  ExpectRaises<EAssertionFailed>([&] { DibConversionChain(dpf8Bit, static_cast<TDibPixelFormat>(8), 0); },
                                 "TDibStorage.SetPixelsFormat: PixelFormat Error");
  for (TDibPixelFormat t : {dpf4Bit, dpf4BitRLE, dpf8Bit, dpf8BitRLE})
    ExpectRaises<EAssertionFailed>([&] { DibConversionChain(dpf24Bit, t, 2); },
                                   "TDibStorage.SetPixelsFormat: PixelFormat Error");
  EXPECT_NO_THROW(DibConversionChain(dpf24Bit, dpf1Bit, 2));
  EXPECT_NO_THROW(DibConversionChain(dpf8Bit, dpf4Bit, 2));
}

TEST(DibConvert, FailingChainLeavesTheStorageUnchanged) {
  // 1 x 1, 1 bit to RLE8: the widening succeeds, the encoder finds no room.
  auto s = MakeStorage(1, 1, 1, {0x000000, 0xFFFFFF}, {1});
  const uint8_t* bits = s->DIB.Bits();
  s->PaletteModified = false;
  ExpectRaises<EDibCompressionFailed>([&] { s->SetPixelsFormat(dpf8BitRLE, 0, nullptr, nullptr, clWhite); },
                                      "Convert8BitRGBTo8BitRLE: Compression Failed");
  EXPECT_EQ(s->GetPixelFormat(), dpf1Bit);
  EXPECT_EQ(s->DIB.Bits(), bits);
  EXPECT_EQ(DibPixel(s->DIB, 0, 0), 1u);
  EXPECT_FALSE(s->PaletteModified);
}

TEST(DibConvert, WideningKeepsIndicesAndColours) {
  const std::vector<uint32_t> colors = {0x102030, 0x405060, 0x708090, 0xA0B0C0};
  const TDibRecord one =
      MakeRecord(9, 2, 1, {0x000000, 0xFFFFFF}, {1, 0, 1, 1, 0, 0, 1, 0, 1, 0, 0, 0, 1, 1, 1, 0, 0, 1});
  const TDibRecord four = MakeRecord(3, -2, 4, colors, {3, 2, 1, 0, 3, 3});
  for (const TDibRecord* r : {&one, &four}) {
    const std::vector<uint32_t> indices = DibPixels(*r);
    std::vector<TDibRecord> results;
    if (r == &one) {
      results.push_back(Convert1BitRGBTo4BitRGB(*r, false));
      results.push_back(Convert1BitRGBTo8BitRGB(*r, false));
    } else {
      results.push_back(Convert4BitRGBTo8BitRGB(*r, true));
    }
    for (const TDibRecord& w : results) {
      EXPECT_EQ(DibPixels(w), indices);
      EXPECT_EQ(w.Header.biClrUsed, r->Header.biClrUsed);
      EXPECT_EQ(w.Header.biHeight, r->Header.biHeight);
      EXPECT_EQ(w.Colors, r->Colors);
    }
  }
  const TDibRecord eight = MakeRecord(2, 1, 8, colors, {2, 3});
  const TDibRecord trueColor[] = {Convert1BitRGBToTrueColor(one, false),
                                  Convert4BitRGBToTrueColor(four, false),
                                  Convert8BitRGBToTrueColor(eight, false)};
  const TDibRecord* sources[] = {&one, &four, &eight};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(trueColor[i].Header.biBitCount, 24);
    EXPECT_EQ(DibPixels(trueColor[i]), DibColors(*sources[i]));
    EXPECT_EQ(trueColor[i].Header.biClrUsed, sources[i]->Header.biClrUsed) << "the colour table is kept";
    EXPECT_EQ(trueColor[i].Colors[1], sources[i]->Colors[1]);
  }
}

TEST(DibConvert, KeyColourMakesTheOnlyWhite) {
  const TDibRecord four = MakeRecord(4, 1, 4, {0xFFFFFF, 0xFF0000, 0xFFFFFE}, {0, 1, 2, 0});
  TDibRecord r = Convert4BitRGBTo1BitRGB(four, false, clWhite);
  EXPECT_EQ(DibPixels(r), (std::vector<uint32_t>{1, 0, 0, 1}));
  EXPECT_EQ(r.Header.biClrUsed, 2u);
  EXPECT_EQ(r.Colors[0], (RGBQUAD{0, 0, 0, 0}));
  EXPECT_EQ(r.Colors[1], (RGBQUAD{255, 255, 255, 0}));
  // One non-white colour becomes all black.
  EXPECT_EQ(DibPixels(Convert4BitRGBTo1BitRGB(MakeRecord(3, 1, 4, {0x00FF00}, {0, 0, 0}), false, clWhite)),
            (std::vector<uint32_t>{0, 0, 0}));
  // Another key colour: red (TColor 0x0000FF) is the one that becomes white.
  const TDibRecord eight = MakeRecord(3, 1, 8, {0xFF0000, 0x000000, 0xFFFFFF}, {2, 0, 1});
  EXPECT_EQ(DibPixels(Convert8BitTo1BitRGB(eight, false, RGB(255, 0, 0))), (std::vector<uint32_t>{0, 1, 0}));
  const TDibRecord rgb = MakeRecord(3, 1, 24, {}, {0x123456, 0xFFFFFF, 0x123456});
  EXPECT_EQ(DibPixels(ConvertTrueColorTo1BitRGB(rgb, false, RGB(0x12, 0x34, 0x56))),
            (std::vector<uint32_t>{1, 0, 1}));
}

TEST(DibConvert, HalftoneDithersInSerpentineOrder) {
  // 2 x 2 of grey 128. Memory row 0 left to right: 128 -> (153, 128, 128) = index 122 with red error 25; then
  // red 128 - 300/32 = 119 -> 102 = index 87, error -17. Row 1 right to left: red 128 + 204/32 = 134 -> index
  // 122, error 19; then red 128 - (228 + 300 - 85)/32 = 115 -> index 87.
  const TDibRecord grey = MakeRecord(2, 2, 24, {}, {0x808080, 0x808080, 0x808080, 0x808080});
  const TDibRecord h = ConvertToHalfTone(grey, false);
  EXPECT_EQ(h.Header.biBitCount, 8);
  EXPECT_EQ(h.Header.biClrUsed, 215u);
  EXPECT_EQ(h.MemoryRow(0)[0], 122);
  EXPECT_EQ(h.MemoryRow(0)[1], 87);
  EXPECT_EQ(h.MemoryRow(1)[0], 87);
  EXPECT_EQ(h.MemoryRow(1)[1], 122);
  EXPECT_EQ(h.Colors[122], (RGBQUAD{128, 128, 153, 0}));
  EXPECT_EQ(h.Colors[87], (RGBQUAD{128, 128, 102, 0}));
  EXPECT_EQ(h.Colors[209], (RGBQUAD{255, 255, 255, 0}));
  EXPECT_EQ(h.Colors[210], (RGBQUAD{0, 0, 128, 0}));
  EXPECT_EQ(h.Colors[214], (RGBQUAD{128, 128, 128, 0}));
  // Black and white: 384 is white (error 127); then 128 - 1524/32 = 81 -> black (error -81); row 1 from the
  // right: 128 + 972/32 = 158 -> white (97); then 128 - (1164 + 1524 - 405)/32 = 57 -> black.
  const TDibRecord bw = ConvertToHalfToneBW(grey, false);
  EXPECT_EQ(bw.Header.biClrUsed, 2u);
  EXPECT_EQ(bw.MemoryRow(0)[0], 0x80);
  EXPECT_EQ(bw.MemoryRow(1)[0], 0x40);
  // Indexed sources dither their colours; pure colours need no error.
  const TDibRecord four = MakeRecord(3, 1, 4, {0xFF0000, 0x00FF00, 0x0000FF}, {0, 1, 2});
  const TDibRecord h4 = ConvertToHalfTone(four, false);
  EXPECT_EQ(DibPixels(h4), (std::vector<uint32_t>{5 * 35, 6 * 5, 4}));
}

TEST(DibConvert, SourcesOfTheWrongTypeAreRefused) {
  const TDibRecord one = MakeRecord(2, 1, 1, {}, {0, 1});
  const TDibRecord four = MakeRecord(2, 1, 4, {}, {0, 1});
  const TDibRecord eight = MakeRecord(2, 1, 8, {}, {0, 1});
  const TDibRecord rgb = MakeRecord(2, 1, 24, {}, {0, 1});
  TDibRecord rle8 = MakeRecord(2, 1, 8, {}, {0, 1});
  rle8.Header.biCompression = BI_RLE8;
  const std::string combination = ": Invalid Bitcount & Compression Combination";
  const std::vector<std::pair<std::string, std::function<TDibRecord()>>> badType = {
      {"Convert1BitRGBTo4BitRGB" + combination, [&] { return Convert1BitRGBTo4BitRGB(four, false); }},
      {"Convert1BitRGBTo8BitRGB" + combination, [&] { return Convert1BitRGBTo8BitRGB(eight, false); }},
      {"Convert1BitRGBToTrueColor" + combination, [&] { return Convert1BitRGBToTrueColor(rgb, false); }},
      {"Convert4BitRGBTo8BitRGB" + combination, [&] { return Convert4BitRGBTo8BitRGB(one, false); }},
      {"Convert4BitRGBToTrueColor" + combination, [&] { return Convert4BitRGBToTrueColor(eight, false); }},
      {"Convert8BitRGBToTrueColor" + combination, [&] { return Convert8BitRGBToTrueColor(rle8, false); }},
      {"Convert4BitRLETo4BitRGB" + combination, [&] { return Convert4BitRLETo4BitRGB(four, false); }},
      {"Convert8BitRLETo8BitRGB" + combination, [&] { return Convert8BitRLETo8BitRGB(eight, false); }},
      {"Convert4BitRGBTo4BitRLE" + combination, [&] { return Convert4BitRGBTo4BitRLE(eight, false); }},
      {"Convert8BitRGBTo8BitRLE" + combination, [&] { return Convert8BitRGBTo8BitRLE(rle8, false); }},
      {"ConvertTrueColorTo8BitRGBLow: Invalid Bitcount",
       [&] { return ConvertTrueColorTo8BitRGBLow(eight, false, nullptr, nullptr); }},
      {"ConvertTrueColorTo4BitRGBLow: Invalid Bitcount",
       [&] { return ConvertTrueColorTo4BitRGBLow(four, false, nullptr, nullptr); }},
      {"ConvertTrueColorTo8BitRGBHigh: Invalid Bitcount",
       [&] { return ConvertTrueColorTo8BitRGBHigh(one, false, nullptr, nullptr); }},
      {"ConvertTrueColorTo4BitRGBHigh: Invalid Bitcount",
       [&] { return ConvertTrueColorTo4BitRGBHigh(eight, false, nullptr, nullptr); }},
      {"Convert8BitRGBTo4BitRGB: Invalid Bitcount or Compression",
       [&] { return Convert8BitRGBTo4BitRGB(rle8, false, nullptr, nullptr); }},
      {"ConvertTrueColorTo1BitRGB: Invalid Bitcount",
       [&] { return ConvertTrueColorTo1BitRGB(eight, false, clWhite); }},
      {"Convert8BitTo1BitRGB: Invalid Bitcount or Compression",
       [&] { return Convert8BitTo1BitRGB(rle8, false, clWhite); }},
      {"Convert4BitRGBTo1BitRGB: Invalid Bitcount",
       [&] { return Convert4BitRGBTo1BitRGB(one, false, clWhite); }},
  };
  for (const auto& [message, convert] : badType)
    ExpectRaises<EDibBadDIBType>([&convert = convert] { convert(); }, message);

  TDibRecord sixteen = MakeRecord(2, 1, 8, {}, {0, 1});
  sixteen.Header.biBitCount = 16;
  ExpectRaises<EAssertionFailed>([&] { ConvertToHalfTone(rle8, false); },
                                 "ConvertToHalfTone: Invalid DIB Format");
  ExpectRaises<EAssertionFailed>([&] { ConvertToHalfToneBW(rle8, false); },
                                 "ConvertToHalfToneBW: Invalid DIB Format");
  ExpectRaises<EAssertionFailed>([&] { ConvertToHalfTone(sixteen, false); },
                                 "ConvertToHalfTone: Invalid Bit Count");
  ExpectRaises<EAssertionFailed>([&] { ConvertToHalfToneBW(sixteen, false); },
                                 "ConvertToHalfToneBW: Invalid Bit Count");
}

TEST(DibConvert, WideningBeyondTheSizeLimitIsRefused) {
  // 46341 x 46341 at 1 bit is 268 MB; at 24 bits it would exceed 2^31 - 1 bytes.
  TDibStorage s(true);
  s.CreateDIB(46341, 46341, 2, 1);
  ExpectRaises<EOutOfResources>([&] { s.SetPixelsFormat(dpf24Bit, 0, nullptr, nullptr, clWhite); },
                                "Convert1BitRGBToTrueColor: Image Too Large");
  EXPECT_EQ(s.GetPixelFormat(), dpf1Bit);
}

}  // namespace
