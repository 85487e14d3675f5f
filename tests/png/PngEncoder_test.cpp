#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <tuple>

#include "ByteOrder.h"
#include "ExpectRaises.h"
#include "PngEncoderSupport.h"
#include "SFunc.h"

using pngenc::Bytes;
using pngenc::Encode;
using pngtest::ChunksOf;
using pngtest::ChunkTypes;
using pngtest::ListChunks;
using pngtest::MakeBitmap;

namespace {

Bytes ChunkData(const Bytes& file, const std::string& type) {
  const auto chunks = ChunksOf(ListChunks(file), type);
  if (chunks.size() != 1)
    throw std::runtime_error("expected one " + type + " chunk, found " + std::to_string(chunks.size()));
  return chunks[0].Data;
}

bool HasChunk(const Bytes& file, const std::string& type) {
  return !ChunksOf(ListChunks(file), type).empty();
}

// The values as consecutive big-endian 32-bit numbers.
Bytes BE32(std::initializer_list<uint32_t> values) {
  Bytes out;
  for (const uint32_t v : values) AppendBE32(out, v);
  return out;
}

// ---------------------------------------------------------------------------------------------------------------
// Every combination of source format, interlace, grey output and alpha, at odd sizes and with every filter
// option, is read back by libpng (CRCs checked, benign errors fatal) and gives the source pixels.

using RoundTripParam = std::tuple<TPixelFormat, bool /*interlace*/, bool /*gray*/, bool /*alpha*/>;
class EncoderRoundTrip : public testing::TestWithParam<RoundTripParam> {};

TEST_P(EncoderRoundTrip, LibpngReadsTheSourcePixels) {
  const auto [format, interlace, gray, withAlpha] = GetParam();
  const int bits = PixelFormatBitCount(format);
  const int sizes[][2] = {{1, 1}, {3, 3}, {7, 5}, {33, 17}};
  // The alpha bitmap is used with 8-bit grey output and with every source above 8 bits.
  const bool alphaUsed = withAlpha && (bits > 8 || (bits == 8 && gray));
  const int expectedType = gray ? (alphaUsed ? 4 : 0) : bits <= 8 ? 3 : (alphaUsed ? 6 : 2);
  uint32_t seed = 1;
  for (const auto& size : sizes) {
    auto bitmap = pngenc::NoiseBitmap(size[0], size[1], format, seed++);
    auto alpha = pngenc::NoiseBitmap(size[0], size[1], pf8bit, seed++);
    for (const int filter : {0, 1, 2, 3, 4, 5, 9}) {
      SCOPED_TRACE(std::to_string(size[0]) + "x" + std::to_string(size[1]) + " filter " +
                   std::to_string(filter));
      const Bytes file =
          Encode(*bitmap, [&, interlace = interlace, gray = gray, withAlpha = withAlpha](TPngWriteStream& e) {
            e.FilterType = filter;
            e.Interlace = interlace ? 1 : 0;
            e.GrayScale = gray;
            if (withAlpha) e.AlphaSource = alpha.get();
          });
      const pngtest::Decoded decoded = pngtest::LibpngRead(file, true);
      EXPECT_TRUE(decoded.Warnings.empty()) << decoded.Warnings.front();
      EXPECT_EQ(decoded.ColorType, expectedType);
      EXPECT_EQ(decoded.BitDepth, bits <= 8 ? bits : 8);
      EXPECT_EQ(decoded.Interlace, interlace ? 1 : 0);
      EXPECT_EQ(pngenc::ComparePixels(decoded, *bitmap, alphaUsed ? alpha.get() : nullptr, gray), "");
    }
  }
}

INSTANTIATE_TEST_SUITE_P(AllSources, EncoderRoundTrip,
                         testing::Combine(testing::Values(pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit,
                                                          pf32bit),
                                          testing::Bool(), testing::Bool(), testing::Bool()));

// ---------------------------------------------------------------------------------------------------------------
// The fixed chunk sequence with the graphic object's defaults.

TEST(EncoderChunks, DefaultSequenceForPaletteAndRgbSources) {
  for (const TPixelFormat format : {pf1bit, pf4bit, pf8bit, pf24bit}) {
    const int bits = PixelFormatBitCount(format);
    SCOPED_TRACE(bits);
    auto bitmap = pngenc::NoiseBitmap(300, 200, format, 7);
    const TSystemTime before = GetSystemTime();
    const Bytes file = Encode(*bitmap, [](TPngWriteStream& e) { e.Gamma = 0.45455; });
    ASSERT_EQ(Bytes(file.begin(), file.begin() + 8), Bytes(PngSignature.begin(), PngSignature.end()));
    const auto chunks = ListChunks(file);
    for (const auto& c : chunks) EXPECT_TRUE(c.CrcOk) << c.Type;

    std::vector<std::string> want = {"IHDR", "tIME", "tEXt", "tiLE", "gAMA"};
    if (bits <= 8) want.push_back("PLTE");
    auto types = ChunkTypes(chunks);
    ASSERT_GE(types.size(), want.size() + 2);
    EXPECT_EQ(std::vector<std::string>(types.begin(), types.begin() + static_cast<long>(want.size())), want);
    EXPECT_EQ(types.back(), "IEND");
    EXPECT_TRUE(chunks.back().Data.empty());
    const auto idat = ChunksOf(chunks, "IDAT");
    EXPECT_EQ(types.size(), want.size() + idat.size() + 1);
    for (size_t i = 0; i + 1 < idat.size(); ++i) EXPECT_EQ(idat[i].Data.size(), 32768u);
    EXPECT_LE(idat.back().Data.size(), 32768u);
    EXPECT_GT(idat.back().Data.size(), 0u);

    Bytes ihdr = BE32({300, 200});
    ihdr.insert(ihdr.end(), {uint8_t(bits <= 8 ? bits : 8), uint8_t(bits <= 8 ? 3 : 2), 0, 0, 0});
    EXPECT_EQ(ChunkData(file, "IHDR"), ihdr);
    const std::string software = "Software";
    Bytes text(software.begin(), software.end());
    text.push_back(0);
    const std::string name = "Tilora ver 1.0";
    text.insert(text.end(), name.begin(), name.end());
    EXPECT_EQ(ChunkData(file, "tEXt"), text);
    EXPECT_EQ(ChunkData(file, "tiLE"), (Bytes{'T', 'L', 'R', '3', 0, 0, 0, 0}));
    EXPECT_EQ(ChunkData(file, "gAMA"), BE32({45455}));
    if (bits <= 8) {
      TPaletteEntry e[256];
      const int n = GetPaletteEntries(bitmap->Palette(), 0, 256, e);
      ASSERT_EQ(n, 1 << bits);
      Bytes plte;
      for (int i = 0; i < n; ++i) plte.insert(plte.end(), {e[i].peRed, e[i].peGreen, e[i].peBlue});
      EXPECT_EQ(ChunkData(file, "PLTE"), plte);
    }
    // tIME is the current UTC time.
    const Bytes time = ChunkData(file, "tIME");
    ASSERT_EQ(time.size(), 7u);
    EXPECT_EQ(time[0] << 8 | time[1], before.wYear);
    EXPECT_EQ(time[2], before.wMonth);
    EXPECT_EQ(time[3], before.wDay);
    // Every row has filter type None.
    const size_t rowBytes = (300u * static_cast<size_t>(bits) + 7) / 8;
    EXPECT_EQ(pngenc::RowFilters(file, rowBytes), Bytes(200, 0));
    const auto decoded = pngtest::LibpngRead(file, true);
    EXPECT_EQ(pngenc::ComparePixels(decoded, *bitmap, nullptr, false), "");
  }
}

TEST(EncoderChunks, OptionalChunksInTheirFixedOrder) {
  auto bitmap = pngenc::NoiseBitmap(4, 4, pf8bit, 3);
  const TPngChromaticity chrm = {31270, 32900, 64000, 33000, 30000, 60000, 15000, 6000};
  const TPngGifControl gif = {2, 0, 0, 10};
  const Bytes file = Encode(*bitmap, [&](TPngWriteStream& e) {
    e.Comment = "tiles";
    e.Gamma = 1.0;
    e.Chromaticity = &chrm;
    e.GifControl = &gif;
    e.SignificantBits = 0x050505;
    e.BackgroundColor = PaletteIndexColor(1);
    e.TransparentColor = PaletteIndexColor(2);
    e.PhysUnit = 1;
    e.PhysX = 2835;
    e.PhysY = 2836;
  });
  const auto chunks = ListChunks(file);
  const std::vector<std::string> want = {"IHDR", "tIME", "tEXt", "tEXt", "tiLE", "gIFg", "gAMA", "cHRM",
                                         "sBIT", "PLTE", "bKGD", "tRNS", "pHYs", "IDAT", "IEND"};
  EXPECT_EQ(ChunkTypes(chunks), want);
  const std::string comment = "Comment";
  Bytes text(comment.begin(), comment.end());
  text.push_back(0);
  text.insert(text.end(), {'t', 'i', 'l', 'e', 's'});
  EXPECT_EQ(chunks[2].Data, text);
  EXPECT_EQ(ChunkData(file, "gIFg"), (Bytes{2, 0, 0, 10}));
  EXPECT_EQ(ChunkData(file, "gAMA"), BE32({100000}));
  Bytes chrmBytes;
  for (const int32_t v : chrm) AppendBE32(chrmBytes, static_cast<uint32_t>(v));
  EXPECT_EQ(ChunkData(file, "cHRM"), chrmBytes);
  EXPECT_EQ(ChunkData(file, "sBIT"), (Bytes{5, 5, 5}));
  EXPECT_EQ(ChunkData(file, "bKGD"), Bytes{1});
  EXPECT_EQ(ChunkData(file, "tRNS"), (Bytes{255, 255, 0}));
  Bytes phys = BE32({2835, 2836});
  phys.push_back(1);
  EXPECT_EQ(ChunkData(file, "pHYs"), phys);
  const auto decoded = pngtest::LibpngRead(file, false);
  EXPECT_TRUE(decoded.Warnings.empty());
}

TEST(EncoderChunks, ConditionsThatLeaveChunksOut) {
  auto bitmap = pngenc::NoiseBitmap(2, 2, pf24bit, 5);
  const TPngChromaticity noWhite = {0, 32900, 64000, 33000, 30000, 60000, 15000, 6000};
  const TPngGifControl zeroGif = {0, 0, 0, 0};
  const Bytes file = Encode(*bitmap, [&](TPngWriteStream& e) {
    e.Gamma = 0.000009;  // truncates to 0
    e.Chromaticity = &noWhite;
    e.GifControl = &zeroGif;
    e.SignificantBits = int32_t(0x80080808);  // negative as a signed number
    e.PhysX = 0;
    e.PhysY = 96;
    e.Comment = "";
  });
  EXPECT_EQ(ChunkTypes(ListChunks(file)),
            (std::vector<std::string>{"IHDR", "tIME", "tEXt", "tiLE", "IDAT", "IEND"}));
  // A keyword longer than 79 bytes is never written; the text chunk present is the "Software" one.
  EXPECT_EQ(ChunkData(file, "tEXt")[0], 'S');
}

// tIME comes from ImageTime when UseCurrentTime is off, and only when the record is a valid time.
TEST(EncoderChunks, ImageTimeValidity) {
  auto bitmap = pngenc::NoiseBitmap(1, 1, pf24bit, 1);
  struct Case {
    TPngTime Time;
    bool Written;
  } cases[] = {
      {{2024, 2, 29, 23, 59, 60}, true},  // leap second
      {{2024, 13, 1, 0, 0, 0}, false},    // month 13
      {{2024, 1, 1, 0, 0, 61}, false},    // second 61
      {{0, 1, 1, 0, 0, 0}, false},        // year 0
      {{2024, 1, 0, 0, 0, 0}, false},     // day 0
      {{2024, 1, 31, 24, 0, 0}, false},   // hour 24
      {{2024, 1, 31, 0, 60, 0}, false},   // minute 60
  };
  for (const Case& c : cases) {
    const Bytes file = Encode(*bitmap, [&](TPngWriteStream& e) {
      e.UseCurrentTime = false;
      e.ImageTime = &c.Time;
    });
    SCOPED_TRACE(int(c.Time.Month) * 100 + c.Time.Second);
    EXPECT_EQ(HasChunk(file, "tIME"), c.Written);
    if (c.Written) {
      EXPECT_EQ(ChunkData(file, "tIME"), (Bytes{0x07, 0xE8, 2, 29, 23, 59, 60}));
      EXPECT_NO_THROW(pngtest::LibpngRead(file, false));
    }
  }
  const Bytes noRecord = Encode(*bitmap, [](TPngWriteStream& e) { e.UseCurrentTime = false; });
  EXPECT_FALSE(HasChunk(noRecord, "tIME"));
}

// bKGD and tRNS bytes for each kind of output.
TEST(EncoderChunks, BackgroundAndTransparencyBytes) {
  const std::vector<TPaletteEntry> palette = {pngtest::Entry(0, 0, 0), pngtest::Entry(250, 10, 10),
                                              pngtest::Entry(255, 255, 255), pngtest::Entry(10, 10, 250)};
  auto indexed = MakeBitmap(3, 3, pf8bit, palette);
  auto rgb = MakeBitmap(3, 3, pf24bit);
  auto mono = MakeBitmap(3, 3, pf1bit, {pngtest::Entry(0, 0, 0), pngtest::Entry(255, 255, 255)});
  auto nibble = MakeBitmap(3, 3, pf4bit, palette);
  struct Case {
    const char* Name;
    TBitmap* Bitmap;
    bool Gray;
    TColor Color;
    Bytes Background;  // empty: no chunk
    Bytes Transparency;
  } cases[] = {
      {"index colour", indexed.get(), false, PaletteIndexColor(3), {3}, {255, 255, 255, 0}},
      {"nearest entry", indexed.get(), false, RGB(240, 20, 20), {1}, {255, 0}},
      {"exact entry", indexed.get(), false, RGB(255, 255, 255), {2}, {255, 255, 0}},
      {"index beyond the palette", indexed.get(), false, PaletteIndexColor(9), {}, {}},
      {"clNone names no entry: its colour part is white", indexed.get(), false, clNone, {2}, {255, 255, 0}},
      {"rgb", rgb.get(), false, 0x00FF0000, {0, 0, 0, 0, 0, 255}, {0, 0, 0, 0, 0, 255}},
      {"grey 8 from index", indexed.get(), true, PaletteIndexColor(1), {0, 82}, {0, 82}},  // (77 x 250 +
                                                                                           // 1790) / 256
      {"grey 8 from rgb", rgb.get(), true, RGB(100, 100, 100), {0, 100}, {0, 100}},
      {"grey 1", mono.get(), true, RGB(200, 200, 200), {0, 1}, {0, 1}},
      {"grey 4", nibble.get(), true, RGB(255, 255, 255), {0, 15}, {0, 15}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    for (const bool transparency : {false, true}) {
      const Bytes file = Encode(*c.Bitmap, [&](TPngWriteStream& e) {
        e.GrayScale = c.Gray;
        (transparency ? e.TransparentColor : e.BackgroundColor) = c.Color;
      });
      const char* type = transparency ? "tRNS" : "bKGD";
      const Bytes& want = transparency ? c.Transparency : c.Background;
      if (want.empty())
        EXPECT_FALSE(HasChunk(file, type));
      else
        EXPECT_EQ(ChunkData(file, type), want);
      const auto decoded = pngtest::LibpngRead(file, false);
      EXPECT_TRUE(decoded.Warnings.empty()) << decoded.Warnings.front();
    }
  }
}

TEST(EncoderChunks, PhysicalSize) {
  auto bitmap = pngenc::NoiseBitmap(1, 1, pf24bit, 1);
  struct Case {
    int32_t Unit, X, Y;
    Bytes Want;  // empty: no chunk
  } cases[] = {
      {2, 96, 96, {0, 0, 0x0E, 0xC3, 0, 0, 0x0E, 0xC3, 1}},   // 3779 per metre
      {2, 300, 72, {0, 0, 0x2E, 0x23, 0, 0, 0x0B, 0x12, 1}},  // 11811 and 2834
      {0, 1, 2, {0, 0, 0, 1, 0, 0, 0, 2, 0}},
      {1, 3780, 3780, {0, 0, 0x0E, 0xC4, 0, 0, 0x0E, 0xC4, 1}},
      {3, 96, 96, {}},         // no such unit
      {2, 100000000, 96, {}},  // beyond what the chunk holds
      {1, -5, 96, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Unit * 1000 + c.X);
    const Bytes file = Encode(*bitmap, [&](TPngWriteStream& e) {
      e.PhysUnit = c.Unit;
      e.PhysX = c.X;
      e.PhysY = c.Y;
    });
    if (c.Want.empty())
      EXPECT_FALSE(HasChunk(file, "pHYs"));
    else
      EXPECT_EQ(ChunkData(file, "pHYs"), c.Want);
  }
}

// 15- and 16-bit sources are written as 8-bit RGB with the significant bits of their channels.
TEST(EncoderChunks, SignificantBitsOfWordSources) {
  for (const auto& [format, want] :
       {std::pair{pf15bit, Bytes{5, 5, 5}}, std::pair{pf16bit, Bytes{5, 6, 5}}}) {
    auto bitmap = MakeBitmap(2, 1, format);
    // Pixel 0 white: every channel at its maximum becomes 255.
    bitmap->ScanLine(0)[0] = 0xFF;
    bitmap->ScanLine(0)[1] = 0xFF;
    const Bytes file = Encode(*bitmap, [](TPngWriteStream& e) { e.SignificantBits = 0x030303; });
    EXPECT_EQ(ChunkData(file, "IHDR")[8], 8);
    EXPECT_EQ(ChunkData(file, "IHDR")[9], 2);
    EXPECT_EQ(ChunkData(file, "sBIT"), want);
    const auto decoded = pngtest::LibpngRead(file, true);
    EXPECT_EQ(decoded.Rows[0][0], 255);
    EXPECT_EQ(decoded.Rows[0][1], 255);
    EXPECT_EQ(decoded.Rows[0][2], 255);
    EXPECT_EQ(decoded.Rows[0][4], 0);

    auto alpha = MakeBitmap(2, 1, pf8bit);
    const Bytes withAlpha = Encode(*bitmap, [&](TPngWriteStream& e) { e.AlphaSource = alpha.get(); });
    Bytes alphaWant = want;
    alphaWant.push_back(8);
    EXPECT_EQ(ChunkData(withAlpha, "sBIT"), alphaWant);
    // Grey output carries no sBIT.
    EXPECT_FALSE(HasChunk(Encode(*bitmap, [](TPngWriteStream& e) { e.GrayScale = true; }), "sBIT"));
  }
}

// ---------------------------------------------------------------------------------------------------------------
// Alpha: when the alpha bitmap is taken and what the file then is.

TEST(EncoderAlpha, AcceptanceAndColourTypes) {
  auto indexed = pngenc::NoiseBitmap(5, 4, pf8bit, 1);
  auto rgb = pngenc::NoiseBitmap(5, 4, pf24bit, 2);
  auto alpha = pngenc::NoiseBitmap(5, 4, pf8bit, 3);
  auto narrow = pngenc::NoiseBitmap(4, 4, pf8bit, 4);
  auto deep = pngenc::NoiseBitmap(5, 4, pf24bit, 5);
  struct Case {
    const char* Name;
    TBitmap* Source;
    TBitmap* Alpha;
    bool Gray;
    int ColorType;
  } cases[] = {
      {"palette output ignores alpha", indexed.get(), alpha.get(), false, 3},
      {"grey output of 8 bits takes it", indexed.get(), alpha.get(), true, 4},
      {"rgb takes it", rgb.get(), alpha.get(), false, 6},
      {"grey of rgb takes it", rgb.get(), alpha.get(), true, 4},
      {"one pixel narrower", rgb.get(), narrow.get(), false, 2},
      {"not 8 bits", rgb.get(), deep.get(), false, 2},
      {"the source itself", indexed.get(), indexed.get(), true, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    const Bytes file = Encode(*c.Source, [&](TPngWriteStream& e) {
      e.AlphaSource = c.Alpha;
      e.GrayScale = c.Gray;
      e.TransparentColor = RGB(1, 2, 3);
    });
    EXPECT_EQ(ChunkData(file, "IHDR")[9], c.ColorType);
    // With alpha in the samples no tRNS is written.
    EXPECT_EQ(HasChunk(file, "tRNS"), c.ColorType != 4 && c.ColorType != 6);
    const auto decoded = pngtest::LibpngRead(file, true);
    const bool used = c.ColorType == 4 || c.ColorType == 6;
    if (!HasChunk(file, "tRNS")) {  // (libpng would turn the tRNS colour into alpha)
      EXPECT_EQ(pngenc::ComparePixels(decoded, *c.Source, used ? c.Alpha : nullptr, c.Gray), "");
    }
  }
}

// The index mode: 8-bit palette indices with alpha as grey-with-alpha samples, plus PLTE and the tiLE flag.
TEST(EncoderAlpha, PaletteAsGrayAlphaWritesIndices) {
  auto bitmap = pngenc::NoiseBitmap(6, 3, pf8bit, 11);
  auto alpha = pngenc::NoiseBitmap(6, 3, pf8bit, 12);
  const Bytes file = Encode(*bitmap, [&](TPngWriteStream& e) {
    e.PaletteAsGrayAlpha = true;
    e.AlphaSource = alpha.get();
  });
  EXPECT_EQ(ChunkData(file, "IHDR")[9], 4);
  EXPECT_EQ(ChunkData(file, "tiLE"), (Bytes{'T', 'L', 'R', '3', 0, 1, 0, 0}));
  EXPECT_EQ(ChunkData(file, "PLTE").size(), 768u);
  // libpng ignores a PLTE in a grey file with a warning; the samples are the indices and the alpha.
  const auto decoded = pngtest::LibpngRead(file, false, true);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 6; ++x) {
      EXPECT_EQ(decoded.Rows[y][2 * x], bitmap->ScanLine(y)[x]);
      EXPECT_EQ(decoded.Rows[y][2 * x + 1], 255 - alpha->ScanLine(y)[x]);
    }
  // Without an accepted alpha bitmap, or with grey output, the option has no effect.
  const Bytes plain = Encode(*bitmap, [](TPngWriteStream& e) { e.PaletteAsGrayAlpha = true; });
  EXPECT_EQ(ChunkData(plain, "IHDR")[9], 3);
}

// ---------------------------------------------------------------------------------------------------------------
// Grey output of indexed sources.

TEST(EncoderGray, OneBitSamplesAreInvertedWhenEntryZeroIsBrighter) {
  auto bitmap = MakeBitmap(19, 3, pf1bit, {pngtest::Entry(255, 255, 255), pngtest::Entry(0, 0, 0)});
  pngtest::FillNoise(*bitmap, 9);
  for (const int interlace : {0, 1}) {
    const Bytes file = Encode(*bitmap, [&](TPngWriteStream& e) {
      e.GrayScale = true;
      e.Interlace = interlace;
    });
    EXPECT_EQ(ChunkData(file, "IHDR")[8], 1);
    EXPECT_EQ(ChunkData(file, "IHDR")[9], 0);
    EXPECT_FALSE(HasChunk(file, "PLTE"));
    const auto raw = pngtest::LibpngRead(file, false);
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 19; ++x)
        EXPECT_NE(pngenc::IndexAt(raw.Rows[y].data(), 1, x), pngenc::IndexAt(bitmap->ScanLine(y), 1, x));
  }
  // Black entry 0: the bits are kept.
  auto straight = MakeBitmap(8, 1, pf1bit, {pngtest::Entry(0, 0, 0), pngtest::Entry(255, 255, 255)});
  straight->ScanLine(0)[0] = 0xA5;
  const auto raw =
      pngtest::LibpngRead(Encode(*straight, [](TPngWriteStream& e) { e.GrayScale = true; }), false);
  EXPECT_EQ(raw.Rows[0][0], 0xA5);
}

// A palette without entries: a palette file carries the platform's default palette, which is what the indices
// show; grey output maps index i to sample i.
TEST(EncoderGray, BitmapWithoutPalette) {
  auto bitmap = pngtest::MakeBitmap(4, 2, pf8bit);
  bitmap->SetPalette(nullptr);
  pngtest::FillNoise(*bitmap, 4);
  const Bytes file = Encode(*bitmap);
  TPaletteEntry e[256];
  ASSERT_EQ(GetPaletteEntries(DefaultPalette(8), 0, 256, e), 256);
  const Bytes plte = ChunkData(file, "PLTE");
  ASSERT_EQ(plte.size(), 768u);
  EXPECT_EQ(plte[3 * 200], e[200].peRed);
  EXPECT_NO_THROW(pngtest::LibpngRead(file, true));

  const auto gray =
      pngtest::LibpngRead(Encode(*bitmap, [](TPngWriteStream& e) { e.GrayScale = true; }), false);
  for (int x = 0; x < 4; ++x) EXPECT_EQ(gray.Rows[1][x], bitmap->ScanLine(1)[x]);
}

// ---------------------------------------------------------------------------------------------------------------
// Filters.

TEST(EncoderFilter, FilterRowGolden) {
  const uint8_t raw[] = {10, 20, 30, 200};
  const uint8_t prior[] = {5, 5, 5, 100};
  struct Case {
    TPngFilter Filter;
    int32_t Bpp;
    Bytes Want;
  } cases[] = {
      {ftNone, 1, {0, 10, 20, 30, 200}},   {ftSub, 1, {1, 10, 10, 10, 170}},
      {ftSub, 3, {1, 10, 20, 30, 190}},    {ftUp, 1, {2, 5, 15, 25, 100}},
      {ftAverage, 1, {3, 8, 13, 18, 135}},  // 200 - (30 + 100) / 2
      {ftAverage, 2, {3, 8, 18, 23, 140}},  // 30 - (10 + 5) / 2; 200 - (20 + 100) / 2
      {ftPaeth, 1, {4, 5, 10, 10, 100}},    // last: a 30, b 100, c 5: p 125, nearest b
      {ftPaeth, 3, {4, 5, 15, 25, 100}},    // last: a 10, b 100, c 5: p 105, nearest b
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(int(c.Filter) * 10 + c.Bpp);
    Bytes out(5);
    FilterRow(c.Filter, raw, prior, out.data(), 4, c.Bpp);
    EXPECT_EQ(out, c.Want);
  }
}

TEST(EncoderFilter, RowScoreGolden) {
  int32_t counts[256];
  Bytes distinct20(20);
  for (int i = 0; i < 20; ++i) distinct20[i] = static_cast<uint8_t>(i);
  // (20 / 1.5) / 20 x 1000 + 3 / 20 x 1000 = 816.67; with fewer than 8 bits per pixel
  // (20 / 1.5) / 20 x 1500 + 2 / 20 x 1000 = 1100.
  EXPECT_EQ(RowScore(distinct20.data(), 20, 8, counts), 816);
  EXPECT_EQ(RowScore(distinct20.data(), 20, 1, counts), 1100);
  // At most 8 distinct values.
  EXPECT_EQ(RowScore(distinct20.data(), 8, 24, counts), -1);
  // One value filling 90 % or more of the row.
  Bytes mostlyZero(100, 0);
  for (int i = 0; i < 9; ++i) mostlyZero[91 + i] = static_cast<uint8_t>(i + 1);
  EXPECT_EQ(RowScore(mostlyZero.data(), 100, 8, counts), -1);
  // 89 zeros and 11 others: (100 / 1.5) / 12 x 1000 + (89 + 1 + 1) / 100 x 1000 = 6465.56.
  Bytes eightyNine(100, 0);
  for (int i = 0; i < 11; ++i) eightyNine[89 + i] = static_cast<uint8_t>(i + 1);
  EXPECT_EQ(RowScore(eightyNine.data(), 100, 8, counts), 6465);
}

TEST(EncoderFilter, AdaptiveChoice) {
  // Row 0: a ramp 0, 1, 2, ... (Sub gives a row of ones: taken at once); row 1: the same ramp (Up gives
  // zeros, but Sub comes first and is taken at once); row 2: eight values only (None taken at once); row 3:
  // noise.
  auto bitmap = MakeBitmap(64, 4, pf8bit, pngenc::NoisePalette(256, 3));
  for (int x = 0; x < 64; ++x) {
    bitmap->ScanLine(0)[x] = static_cast<uint8_t>(3 * x);
    bitmap->ScanLine(1)[x] = static_cast<uint8_t>(3 * x);
    bitmap->ScanLine(2)[x] = static_cast<uint8_t>(x % 8);
  }
  pngtest::ByteNoise noise(5);
  for (int x = 0; x < 64; ++x) bitmap->ScanLine(3)[x] = noise.Next();
  const Bytes file = Encode(*bitmap, [](TPngWriteStream& e) { e.FilterType = 0; });
  const Bytes filters = pngenc::RowFilters(file, 64);
  EXPECT_EQ(filters[0], 1);
  EXPECT_EQ(filters[1], 1);
  EXPECT_EQ(filters[2], 0);
  EXPECT_EQ(pngenc::ComparePixels(pngtest::LibpngRead(file, true), *bitmap, nullptr, false), "");

  // 4-bit output: always None under the adaptive option.
  auto nibble = pngenc::NoiseBitmap(64, 8, pf4bit, 6);
  EXPECT_EQ(pngenc::RowFilters(Encode(*nibble, [](TPngWriteStream& e) { e.FilterType = 0; }), 32),
            Bytes(8, 0));
}

TEST(EncoderFilter, FixedFilterTypesAndOutOfRangeOptions) {
  auto bitmap = pngenc::NoiseBitmap(20, 6, pf24bit, 8);
  for (const auto& [option, type] : {std::pair{1, 0}, std::pair{2, 1}, std::pair{3, 2}, std::pair{4, 3},
                                     std::pair{5, 4}, std::pair{9, 0}, std::pair{0x102, 1}}) {
    SCOPED_TRACE(option);
    const Bytes file = Encode(*bitmap, [option = option](TPngWriteStream& e) { e.FilterType = option; });
    EXPECT_EQ(pngenc::RowFilters(file, 60), Bytes(6, static_cast<uint8_t>(type)));
  }
  // A compression level outside -1..9 is zlib's default.
  const auto idat = [&](int level) {
    return ChunkData(Encode(*bitmap, [&](TPngWriteStream& e) { e.CompressionLevel = level; }), "IDAT");
  };
  EXPECT_EQ(idat(12), idat(-1));
  EXPECT_EQ(idat(-7), idat(-1));
  EXPECT_NE(idat(0), idat(-1));
}

// ---------------------------------------------------------------------------------------------------------------
// Adam7 passes and IDAT chunking.

TEST(EncoderAdam7, SmallImagesSkipPassesWithoutPixels) {
  struct Case {
    int W, H;
    size_t Bytes;  // inflated image data for 8-bit pixels: rows x (1 + pass width)
  } cases[] = {
      {1, 1, 2},   // pass 1 only
      {3, 3, 15},  // passes 1, 4, 5, 6 and 7: 2 + 2 + 3 + 2 x 2 + 4
      {8, 8, 2 + 2 + 3 + 2 * 3 + 2 * 5 + 4 * 5 + 4 * 9},
  };
  for (const Case& c : cases) {
    auto bitmap = pngenc::NoiseBitmap(c.W, c.H, pf8bit, 2);
    const Bytes file = Encode(*bitmap, [](TPngWriteStream& e) { e.Interlace = 1; });
    EXPECT_EQ(pngenc::InflatedImageData(file).size(), c.Bytes) << c.W;
  }
}

TEST(EncoderIdat, SizeLimits) {
  TPngWriteStream encoder;
  for (const int bad : {255, 100001, 0, -1}) {
    ExpectRaises<EPngError>([&] { encoder.SetIDATSize(bad); },
                            "Write PNG Param: Err IDAT Size(min:256  max:100000)");
  }
  EXPECT_EQ(encoder.IDATSize(), 32768);
  encoder.SetIDATSize(256);
  EXPECT_EQ(encoder.IDATSize(), 256);
  encoder.SetIDATSize(100000);
  EXPECT_EQ(encoder.IDATSize(), 100000);

  auto pixel = pngenc::NoiseBitmap(1, 1, pf24bit, 1);
  const auto idat =
      ChunksOf(ListChunks(Encode(*pixel, [](TPngWriteStream& e) { e.SetIDATSize(256); })), "IDAT");
  ASSERT_EQ(idat.size(), 1u);
  EXPECT_LT(idat[0].Data.size(), 256u);
}

TEST(EncoderIdat, ChunksOfIDATSizeAndNoEmptyChunk) {
  // Noise does not compress: many chunks, all full but the last.
  auto noise = pngenc::NoiseBitmap(100, 100, pf24bit, 3);
  const Bytes file = Encode(*noise, [](TPngWriteStream& e) { e.SetIDATSize(1000); });
  const auto idat = ChunksOf(ListChunks(file), "IDAT");
  ASSERT_GT(idat.size(), 20u);
  for (size_t i = 0; i + 1 < idat.size(); ++i) ASSERT_EQ(idat[i].Data.size(), 1000u);
  EXPECT_GT(idat.back().Data.size(), 0u);
  EXPECT_EQ(pngenc::ComparePixels(pngtest::LibpngRead(file, true), *noise, nullptr, false), "");

  // A zlib stream of exactly k x IDATSize bytes: k full chunks and no empty one. The stream does not depend
  // on the chunk size, so measure it once and pick a chunk size that divides it.
  for (int width = 40;; ++width) {
    auto bitmap = pngenc::NoiseBitmap(width, 20, pf24bit, static_cast<uint32_t>(width));
    const size_t total =
        ChunkData(Encode(*bitmap, [](TPngWriteStream& e) { e.SetIDATSize(100000); }), "IDAT").size();
    if (total % 3 != 0 || total / 3 < 256) continue;
    const int32_t size = static_cast<int32_t>(total / 3);
    const Bytes exact = Encode(*bitmap, [&](TPngWriteStream& e) { e.SetIDATSize(size); });
    const auto chunks = ChunksOf(ListChunks(exact), "IDAT");
    ASSERT_EQ(chunks.size(), 3u);
    for (const auto& c : chunks) EXPECT_EQ(c.Data.size(), static_cast<size_t>(size));
    EXPECT_EQ(pngenc::ComparePixels(pngtest::LibpngRead(exact, true), *bitmap, nullptr, false), "");
    break;
  }
}

// ---------------------------------------------------------------------------------------------------------------
// Hooks, progress and refusals.

TEST(EncoderHooks, RowHookSeesEveryRowOverAllPasses) {
  auto bitmap = pngenc::NoiseBitmap(9, 9, pf24bit, 4);
  std::vector<int32_t> indices;
  const Bytes file = Encode(*bitmap, [&](TPngWriteStream& e) {
    e.Interlace = 1;
    e.Key = "k";
    e.OnEncodeRow = [&](TObject* sender, uint8_t* row, int32_t rowBytes, int32_t rowIndex,
                        const std::string& key) {
      EXPECT_NE(dynamic_cast<TPngWriteStream*>(sender), nullptr);
      EXPECT_EQ(key, "k");
      EXPECT_EQ(rowBytes % 3, 0);
      for (int32_t i = 0; i < rowBytes; ++i) row[i] = static_cast<uint8_t>(~row[i]);
      indices.push_back(rowIndex);
    };
  });
  ASSERT_EQ(indices.size(), static_cast<size_t>(Adam7TotalRows(9)));
  for (size_t i = 0; i < indices.size(); ++i) EXPECT_EQ(indices[i], static_cast<int32_t>(i));
  EXPECT_EQ(ChunkData(file, "tiLE")[4], 1);
  // The hook's changes are what the file holds.
  const auto decoded = pngtest::LibpngRead(file, true);
  const auto want = pngenc::SourceColor(*bitmap, 4, 5);
  EXPECT_EQ(decoded.Rows[5][16], 255 - want[0]);
  // Without a key the hook is not called.
  indices.clear();
  Encode(*bitmap, [&](TPngWriteStream& e) {
    e.OnEncodeRow = [&](TObject*, uint8_t*, int32_t, int32_t i, const std::string&) { indices.push_back(i); };
  });
  EXPECT_TRUE(indices.empty());
}

TEST(EncoderHooks, ProgressGoesThroughTheSourceBitmap) {
  auto bitmap = pngenc::NoiseBitmap(16, 40, pf24bit, 4);
  std::vector<int> percents;
  std::vector<TProgressStage> stages;
  bitmap->OnProgress = [&](TObject* sender, TProgressStage stage, uint8_t percent, bool, const TRect&,
                           const std::string& message) {
    EXPECT_EQ(sender, bitmap.get());
    EXPECT_TRUE(message.empty());
    percents.push_back(percent);
    stages.push_back(stage);
  };
  Encode(*bitmap);
  ASSERT_GE(percents.size(), 3u);
  EXPECT_EQ(percents.front(), 0);
  EXPECT_EQ(stages.front(), psStarting);
  EXPECT_EQ(percents.back(), 100);
  EXPECT_EQ(stages.back(), psEnding);
  for (size_t i = 1; i < percents.size(); ++i) EXPECT_GT(percents[i], percents[i - 1]);
  // The header chunks take 29 points.
  EXPECT_EQ(percents[1], 29);
}

TEST(EncoderRefusal, ZeroWidthOrHeightWritesNothing) {
  for (const auto& [w, h] : {std::pair{0, 0}, std::pair{0, 5}, std::pair{5, 0}}) {
    auto bitmap = MakeBitmap(w, h, pf24bit);
    TPngWriteStream encoder;
    TMemoryStream stream;
    ExpectRaises<EPngError>([&] { encoder.WriteGraphic(bitmap.get(), stream); },
                            "Write Image (PNG): Invalid Width or Height");
    EXPECT_EQ(stream.Size(), 0);
  }
}

}  // namespace
