// The decoder's rules on small hand-built files: header checks, size refusals, transparency variants,
// ancillary chunks, comments, broken image data, MacBinary, header-only reads, the row hook and progress.
#include <gtest/gtest.h>

#include <functional>

#include "PngDecoderSupport.h"
#include "SFunc.h"

namespace {

using namespace pngdec;

// A file of one image: IHDR, whatever Extra adds, one IDAT of the compressed raw rows (filter bytes
// included), IEND.
Bytes ImageFile(uint32_t w, uint32_t h, uint8_t depth, uint8_t type, const Bytes& raw,
                const std::function<void(PngBuilder&)>& extra = {}, uint8_t interlace = 0) {
  PngBuilder b;
  b.Ihdr(w, h, depth, type, interlace);
  if (extra) extra(b);
  return b.Chunk("IDAT", Compress(raw)).End().bytes();
}

// The message of the EPngError that decoding raises, or "" when none is raised.
std::string DecodeError(const Bytes& file, OurDecode& d) {
  try {
    DecodeInto(d, file);
  } catch (const EPngError& e) {
    return e.what();
  }
  return "";
}

// A bitmap that a failed or image-less load must leave alone: 2 x 2, 8 bits.
void MarkBitmap(TBitmap& bitmap) {
  bitmap.SetPixelFormat(pf8bit);
  bitmap.SetSize(2, 2);
  bitmap.ScanLine(0)[0] = 42;
}
void ExpectMarked(const TBitmap& bitmap) {
  EXPECT_EQ(bitmap.Width(), 2);
  EXPECT_EQ(bitmap.PixelFormat(), pf8bit);
  EXPECT_EQ(bitmap.ScanLine(0)[0], 42);
  EXPECT_FALSE(bitmap.Transparent());
}

TEST(PngDecoderSignature, AnythingButTheSignatureIsRefused) {
  const Bytes good = ImageFile(1, 1, 8, 0, {0, 7});
  Bytes wrongByte = good;
  wrongByte[7] = 0x0B;
  const std::vector<Bytes> cases = {{}, Bytes(good.begin(), good.begin() + 7), wrongByte, Bytes(64, 0x89)};
  for (const Bytes& file : cases) {
    OurDecode d;
    EXPECT_EQ(DecodeError(file, d), SPngNotPng) << file.size() << " bytes";
  }
}

struct HeaderCase {
  const char* Name;
  uint32_t Width, Height;
  uint8_t Depth, Type, Interlace, Compression, Filter;
  const char* Message;
};

class PngDecoderHeader : public testing::TestWithParam<HeaderCase> {};

TEST_P(PngDecoderHeader, RaisesItsMessageAndLeavesTheBitmap) {
  const HeaderCase& c = GetParam();
  PngBuilder b;
  b.Ihdr(c.Width, c.Height, c.Depth, c.Type, c.Interlace, c.Compression, c.Filter);
  const Bytes file = b.Chunk("IDAT", Compress(Bytes(64, 0))).End().bytes();
  OurDecode d;
  MarkBitmap(*d.Bitmap);
  EXPECT_EQ(DecodeError(file, d), c.Message);
  ExpectMarked(*d.Bitmap);
}

const HeaderCase HeaderCases[] = {
    {"ColourType1", 1, 1, 8, 1, 0, 0, 0, SPngColorType},
    {"ColourType5", 1, 1, 8, 5, 0, 0, 0, SPngColorType},
    {"ColourType7", 1, 1, 8, 7, 0, 0, 0, SPngColorType},
    {"Compression2", 1, 1, 8, 0, 0, 2, 0, SPngCompression},
    {"Filter2", 1, 1, 8, 0, 0, 0, 2, SPngFilter},
    {"Interlace2", 1, 1, 8, 0, 2, 0, 0, SPngInterlace},
    {"Grey3", 1, 1, 3, 0, 0, 0, 0, SPngGrayBitdepth},
    {"GreyAlpha4", 1, 1, 4, 4, 0, 0, 0, SPngGrayAlpha},
    {"GreyAlpha3", 1, 1, 3, 4, 0, 0, 0, SPngGrayBitdepth},
    {"Rgb4", 1, 1, 4, 2, 0, 0, 0, SPngBitDepth},
    {"Rgba1", 1, 1, 1, 6, 0, 0, 0, SPngBitDepth},
    {"Palette16", 1, 1, 16, 3, 0, 0, 0, SPngBitDepth},
    {"WidthZero", 0, 1, 8, 0, 0, 0, 0, SPngBadSize},
    {"HeightZero", 1, 0, 8, 0, 0, 0, 0, SPngBadSize},
    {"WidthAbove31Bits", 0x80000000u, 1, 8, 0, 0, 0, 0, SPngTooLarge},
    {"HeightAbove31Bits", 1, 0xFFFFFFFFu, 1, 0, 0, 0, 0, SPngTooLarge},
    {"PixelMemoryAbove31Bits", 100000, 100000, 8, 2, 0, 0, 0, SPngTooLarge},
    {"RowBytesAbove31Bits", 0x7FFFFFFF, 1, 16, 6, 0, 0, 0, SPngTooLarge},
};
INSTANTIATE_TEST_SUITE_P(Rules, PngDecoderHeader, testing::ValuesIn(HeaderCases),
                         [](const testing::TestParamInfo<HeaderCase>& info) { return info.param.Name; });

TEST(PngDecoderHeader, SecondIhdrIsRefused) {
  PngBuilder b;
  const Bytes file = b.Ihdr(1, 1, 8, 0).Ihdr(1, 1, 8, 0).End().bytes();
  OurDecode d;
  EXPECT_EQ(DecodeError(file, d), SPngTwoIHDR);
}

TEST(PngDecoderHeader, ColourType8AndMethods1PassAsGrey) {
  PngBuilder b;
  b.Ihdr(2, 1, 8, 8, 0, 1, 1);
  const auto d = Decode(b.Chunk("IDAT", Compress({0, 10, 200})).End().bytes());
  EXPECT_TRUE(d->Decoder->GrayScale);
  EXPECT_EQ(d->Bitmap->PixelFormat(), pf8bit);
  EXPECT_EQ(d->Bitmap->GetPixel(1, 0), RGB(200, 200, 200));
}

TEST(PngDecoderImage, FileWithoutImageDataLeavesTheBitmapAlone) {
  PngBuilder b;
  // A tRNS chunk does not make the untouched bitmap transparent either.
  const Bytes file = b.Ihdr(4, 4, 8, 2).Chunk("tRNS", {0, 1, 0, 2, 0, 3}).End().bytes();
  OurDecode d;
  MarkBitmap(*d.Bitmap);
  EXPECT_EQ(DecodeError(file, d), "");
  ExpectMarked(*d.Bitmap);
}

TEST(PngDecoderImage, ImageDataBeforeTheHeaderArePassedOver) {
  PngBuilder b;
  b.Chunk("IDAT", Compress({0, 1})).Ihdr(1, 1, 8, 0).Chunk("IDAT", Compress({0, 99}));
  const auto d = Decode(b.End().bytes());
  EXPECT_EQ(d->Bitmap->GetPixel(0, 0), RGB(99, 99, 99));
}

struct FormatCase {
  const char* Name;
  uint8_t Depth, Type;
  TPixelFormat Format;
  std::vector<TPaletteEntry> Palette;  // expected palette
};

TEST(PngDecoderImage, LowAndHighDepthsGetTheirFormatAndPalette) {
  const Bytes filePalette = {0, 0, 0, 255, 255, 255, 9, 8, 7, 1, 2, 3};
  const std::vector<TPaletteEntry> ramp4 = {
      {0, 0, 0, 0}, {85, 85, 85, 0}, {170, 170, 170, 0}, {255, 255, 255, 0}};
  std::vector<TPaletteEntry> ramp256;
  for (int i = 0; i < 256; ++i) ramp256.push_back(TPaletteEntry{uint8_t(i), uint8_t(i), uint8_t(i), 0});
  const std::vector<TPaletteEntry> plte = {{0, 0, 0, 0}, {255, 255, 255, 0}, {9, 8, 7, 0}, {1, 2, 3, 0}};
  const FormatCase cases[] = {
      {"grey2", 2, 0, pf4bit, ramp4},
      {"grey16", 16, 0, pf8bit, ramp256},
      {"greyAlpha16", 16, 4, pf8bit, ramp256},
      {"palette2", 2, 3, pf4bit, plte},
  };
  for (const FormatCase& c : cases) {
    SCOPED_TRACE(c.Name);
    // Five pixels: 2-bit samples 0..3 then 2; 16-bit samples with distinct high bytes.
    Bytes raw = {0};
    if (c.Depth == 2) {
      raw.insert(raw.end(), {0x1B, 0x80});
    } else {
      for (int i = 0; i < 5; ++i) {
        raw.insert(raw.end(), {uint8_t(i * 50), 0xFF});
        if (c.Type == 4) raw.insert(raw.end(), {0xFF, 0x00});
      }
    }
    const auto d = Decode(ImageFile(5, 1, c.Depth, c.Type, raw, [&](PngBuilder& b) {
      if (c.Type == 3) b.Chunk("PLTE", filePalette);
    }));
    EXPECT_EQ(d->Bitmap->PixelFormat(), c.Format);
    ASSERT_TRUE(d->Bitmap->Palette());
    EXPECT_EQ(d->Bitmap->Palette()->Entries, c.Palette);
    const uint8_t* row = d->Bitmap->ScanLine(0);
    if (c.Depth == 2) {
      EXPECT_EQ(row[0], 0x01);
      EXPECT_EQ(row[1], 0x23);
      EXPECT_EQ(row[2] >> 4, 2);
    } else {
      for (int i = 0; i < 5; ++i) EXPECT_EQ(row[i], i * 50);
    }
  }
}

TEST(PngDecoderImage, InterlacedTinyImagesUseOnlyThePassesThatHaveData) {
  // 1 x 1: pass 0 only. 3 x 3: passes 0, 3, 4, 5 and 6, with rows of 1, 1, 2, 1 + 1 and 3 pixels.
  {
    const auto d = Decode(ImageFile(1, 1, 8, 0, {0, 77}, {}, 1));
    EXPECT_EQ(d->Bitmap->ScanLine(0)[0], 77);
  }
  Bytes raw;
  const std::vector<std::vector<uint8_t>> passRows = {{1}, {2}, {3, 4}, {5}, {9}, {6, 7, 8}};
  for (const auto& row : passRows) {
    raw.push_back(0);
    raw.insert(raw.end(), row.begin(), row.end());
  }
  const auto d = Decode(ImageFile(3, 3, 8, 0, raw, {}, 1));
  const uint8_t expected[3][3] = {{1, 5, 2}, {6, 7, 8}, {3, 9, 4}};
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 3; ++x) EXPECT_EQ(d->Bitmap->ScanLine(y)[x], expected[y][x]) << x << "," << y;
}

TEST(PngDecoderTransparency, PaletteWithOneTransparentEntryGetsTheIndexColour) {
  const Bytes plte(12, 100);
  const auto d = Decode(ImageFile(4, 1, 8, 3, {0, 0, 1, 2, 3}, [&](PngBuilder& b) {
    b.Chunk("PLTE", plte).Chunk("tRNS", {255, 255, 255, 0});
  }));
  EXPECT_EQ(d->Decoder->TransparentColor, 0x01000003);
  EXPECT_TRUE(d->Bitmap->Transparent());
  EXPECT_EQ(d->Bitmap->TransparentColor(), 0x01000003);
  EXPECT_FALSE(d->Decoder->HasAlpha);
  EXPECT_TRUE(d->Alpha->Empty());
}

TEST(PngDecoderTransparency, PaletteAlphaTableFillsTheAlphaBitmap) {
  const Bytes plte(6, 100);
  const Bytes file =
      ImageFile(3, 1, 8, 3, {0, 0, 1, 0}, [&](PngBuilder& b) { b.Chunk("PLTE", plte).Chunk("tRNS", {128}); });
  const auto d = Decode(file);
  EXPECT_TRUE(d->Decoder->HasAlpha);
  EXPECT_EQ(d->Decoder->TransparentColor, -1);
  EXPECT_FALSE(d->Bitmap->Transparent());
  ASSERT_EQ(d->Alpha->PixelFormat(), pf8bit);
  const uint8_t* alpha = d->Alpha->ScanLine(0);
  EXPECT_EQ(alpha[0], 127);
  EXPECT_EQ(alpha[1], 0);
  EXPECT_EQ(alpha[2], 127);
  // Without an alpha target nothing carries the table.
  const auto plain = Decode(file, false);
  EXPECT_FALSE(plain->Decoder->HasAlpha);
  EXPECT_EQ(plain->Decoder->TransparentColor, -1);
}

TEST(PngDecoderTransparency, SingleColoursOfGreyAndRgb) {
  struct Case {
    const char* Name;
    uint8_t Depth, Type;
    Bytes Trns, Raw;
    TColor Expected;
  };
  const Case cases[] = {
      {"rgb8", 8, 2, {0, 10, 0, 20, 0, 30}, {0, 1, 2, 3}, 0x001E140A},
      {"rgb16", 16, 2, {0x0A, 0, 0x14, 0, 0x1E, 0}, {0, 1, 2, 3, 4, 5, 6}, 0x001E140A},
      {"grey4", 4, 0, {0, 15}, {0, 0xF0}, 0x000F0F0F},
      {"rgba8Ignored", 8, 6, {0, 10, 0, 20, 0, 30}, {0, 1, 2, 3, 4}, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    const auto d =
        Decode(ImageFile(1, 1, c.Depth, c.Type, c.Raw, [&](PngBuilder& b) { b.Chunk("tRNS", c.Trns); }));
    EXPECT_EQ(d->Decoder->TransparentColor, c.Expected);
    EXPECT_EQ(d->Bitmap->Transparent(), c.Expected != -1);
    if (c.Expected != -1) {
      EXPECT_EQ(d->Bitmap->TransparentColor(), c.Expected);
    }
  }
}

TEST(PngDecoderTransparency, PaletteTransparencyBeforeThePaletteEndsTheLoadQuietly) {
  const Bytes file = ImageFile(1, 1, 8, 3, {0, 0}, [](PngBuilder& b) {
    b.Chunk("tRNS", {0}).Chunk("PLTE", {1, 2, 3});
  });
  OurDecode d;
  MarkBitmap(*d.Bitmap);
  EXPECT_EQ(DecodeError(file, d), "");
  EXPECT_TRUE(d.Decoder->Stopped);
  ExpectMarked(*d.Bitmap);
}

TEST(PngDecoderChunks, CommentsAreGathered) {
  const auto d = Decode(ImageFile(1, 1, 8, 0, {0, 0}, [](PngBuilder& b) {
    b.Text("Comment", "A").Text("Author", "X").Text("comment", "Y").Text("Comment", "");
    b.Chunk("tEXt", {'C', 'o', 'm', 'm', 'e', 'n', 't'});  // no separator: keyword only
  }));
  PngBuilder after;  // a comment after the image data counts as well
  const auto d2 = Decode(ImageFile(1, 1, 8, 0, {0, 0}, [](PngBuilder& b) { b.Text("Comment", "A"); }));
  EXPECT_EQ(d->Decoder->Comment, "A\r\n");
  PngBuilder two;
  two.Ihdr(1, 1, 8, 0).Text("Comment", "A").Chunk("IDAT", Compress({0, 0})).Text("Comment", "B").End();
  EXPECT_EQ(Decode(two.bytes())->Decoder->Comment, "A\r\n\r\nB\r\n");
}

TEST(PngDecoderChunks, AncillaryChunksFillTheirFields) {
  TPngTime time;
  TPngChromaticity chroma;
  TPngGifControl gif;
  const auto ancillary = [](PngBuilder& b) {
    Bytes phys, chrm, time;
    AppendBE32(phys, 3780);
    AppendBE32(phys, 2835);
    phys.push_back(1);
    for (uint32_t v = 1; v <= 8; ++v) AppendBE32(chrm, v * 1000);
    AppendBE16(time, 2024);
    time.insert(time.end(), {2, 29, 23, 59, 60});
    b.Chunk("gAMA", {0, 0, 0xB1, 0x8F}).Chunk("sBIT", {5, 6, 5}).Chunk("pHYs", phys).Chunk("cHRM", chrm);
    b.Chunk("gIFg", {2, 1, 0, 10}).Chunk("tIME", time).Chunk("bKGD", {0, 1, 0, 2, 0, 3});
  };
  OurDecode d;
  d.Decoder->ImageTime = &time;
  d.Decoder->Chromaticity = &chroma;
  d.Decoder->GifControl = &gif;
  DecodeInto(d, ImageFile(1, 1, 8, 2, {0, 1, 2, 3}, ancillary));
  const TPngReadStream& dec = *d.Decoder;
  EXPECT_DOUBLE_EQ(dec.Gamma, 0.45455);
  EXPECT_EQ(dec.SignificantBits, 0x050605);
  EXPECT_EQ(dec.PhysX, 3780);
  EXPECT_EQ(dec.PhysY, 2835);
  EXPECT_EQ(dec.PhysUnit, 1);
  EXPECT_EQ(chroma, (TPngChromaticity{1000, 2000, 3000, 4000, 5000, 6000, 7000, 8000}));
  EXPECT_EQ(gif, (TPngGifControl{2, 1, 0, 10}));
  EXPECT_EQ(time.Year, 2024);
  EXPECT_EQ(time.Month, 2);
  EXPECT_EQ(time.Second, 60);
  EXPECT_EQ(dec.BackgroundColor, RGB(1, 2, 3));
  EXPECT_EQ(dec.BitDepth, 24);

  // The records are cleared by the next read and not filled from chunks that break their conditions: gAMA,
  // cHRM and gIFg after PLTE, a cHRM of the wrong length, a tIME of the wrong length.
  const auto late = [](PngBuilder& b) {
    b.Chunk("cHRM", Bytes(28, 1)).Chunk("tIME", Bytes(6, 1)).Chunk("PLTE", {1, 2, 3});
    b.Chunk("gAMA", {0, 0, 0xB1, 0x8F}).Chunk("gIFg", {1, 1, 1, 1}).Chunk("bKGD", {0});
  };
  OurDecode d2;
  d2.Decoder->ImageTime = &time;
  d2.Decoder->Chromaticity = &chroma;
  d2.Decoder->GifControl = &gif;
  DecodeInto(d2, ImageFile(1, 1, 8, 3, {0, 0}, late));
  EXPECT_EQ(d2.Decoder->Gamma, 0);
  EXPECT_EQ(chroma, TPngChromaticity{});
  EXPECT_EQ(gif, TPngGifControl{});
  EXPECT_EQ(time.Year, 0);
  EXPECT_EQ(d2.Decoder->BackgroundColor, 0x01000000);
}

TEST(PngDecoderChunks, BackgroundOfGreyImages) {
  const auto d = Decode(ImageFile(1, 1, 16, 0, {0, 0, 0}, [](PngBuilder& b) {
    b.Chunk("bKGD", {0xAB, 0xCD});
  }));
  EXPECT_EQ(d->Decoder->BackgroundColor, 0x00ABABAB);
}

TEST(PngDecoderChunks, HeaderOnlyReadValidatesWithoutPixels) {
  TMemoryStream stream;
  stream.Data() = ImageFile(3, 2, 16, 6, Bytes(2 * 25, 0), [](PngBuilder& b) { b.Text("Comment", "hi"); });
  TPngReadStream decoder;
  decoder.ReadGraphic(nullptr, stream, 0);
  EXPECT_EQ(decoder.Width, 3);
  EXPECT_EQ(decoder.Height, 2);
  EXPECT_EQ(decoder.BitDepth, 48);
  EXPECT_TRUE(decoder.HasAlpha);
  EXPECT_EQ(decoder.Comment, "hi\r\n");

  TMemoryStream bad;
  bad.Data() = ImageFile(1, 1, 4, 4, {0, 0});
  TPngReadStream second;
  EXPECT_THROW(second.ReadGraphic(nullptr, bad, 0), EPngError);
}

TEST(PngDecoderChunks, Allow16BitTurnsFiveSixFiveRgbIntoWords) {
  struct Case {
    Bytes Sbit;
    bool Allow;
    TPixelFormat Format;
    int Depth;
  };
  const Case cases[] = {{{5, 6, 5}, true, pf16bit, 16},
                        {{5, 5, 5}, true, pf16bit, 15},
                        {{5, 6, 5}, false, pf24bit, 24},
                        {{8, 8, 8}, true, pf24bit, 24}};
  for (const Case& c : cases) {
    OurDecode d;
    d.Decoder->Allow16Bit = c.Allow;
    DecodeInto(d,
               ImageFile(1, 1, 8, 2, {0, 0xFF, 0x80, 0x08}, [&](PngBuilder& b) { b.Chunk("sBIT", c.Sbit); }));
    EXPECT_EQ(d.Bitmap->PixelFormat(), c.Format);
    EXPECT_EQ(d.Decoder->BitDepth, c.Depth);
    if (c.Format == pf16bit) {
      const uint8_t* p = d.Bitmap->ScanLine(0);
      EXPECT_EQ(p[0] | p[1] << 8, (0xFF >> 3) << 11 | (0x80 >> 2) << 5 | 0x08 >> 3);
    }
  }
}

// Rows stored XOR 0x55 behind a "tiLE" chunk that asks for the key; the hook undoes it.
TEST(PngDecoderChunks, RowHookRunsOnlyWhenThePrivateChunkAsksForTheKey) {
  const Bytes plainRows = {0, 1, 2, 0, 3, 4};
  Bytes stored = plainRows;
  for (size_t i : {1, 2, 4, 5}) stored[i] ^= 0x55;
  for (uint8_t flag : {1, 0}) {
    SCOPED_TRACE(int{flag});
    Bytes tile = {'T', 'L', 'R', '3', flag, 0, 0, 0};
    std::vector<int> indices;
    std::string keySeen;
    OurDecode d;
    d.Decoder->Key = "secret";
    d.Decoder->OnKeyRequest = [&](TObject*, std::string& key) { key += "!"; };
    d.Decoder->OnDecodeRow = [&](TObject*, uint8_t* row, int32_t bytes, int32_t index,
                                 const std::string& key) {
      for (int i = 0; i < bytes; ++i) row[i] ^= 0x55;
      indices.push_back(index);
      keySeen = key;
    };
    DecodeInto(d, ImageFile(2, 2, 8, 0, stored, [&](PngBuilder& b) { b.Chunk("tiLE", tile); }));
    if (flag) {
      EXPECT_EQ(indices, (std::vector<int>{0, 1}));
      EXPECT_EQ(keySeen, "secret!");
      EXPECT_EQ(d.Bitmap->ScanLine(1)[1], 4);
    } else {
      EXPECT_TRUE(indices.empty());
      EXPECT_EQ(d.Bitmap->ScanLine(1)[1], 4 ^ 0x55);
    }
  }
}

// Broken image data: each raises the read error and ends.
TEST(PngDecoderImageData, BrokenDataRaisesTheReadError) {
  const Bytes rows = {0, 1, 2, 0, 3, 4, 0, 5, 6};  // 2 x 3, grey 8
  const Bytes all = Compress(rows);
  const Bytes twoRows = Compress(Bytes(rows.begin(), rows.begin() + 6));
  struct Case {
    const char* Name;
    std::function<void(PngBuilder&)> Data;
  };
  const Case cases[] = {
      {"compressedDataOneRowShort", [&](PngBuilder& b) { b.Chunk("IDAT", twoRows); }},
      {"streamCutShort", [&](PngBuilder& b) { b.Chunk("IDAT", Bytes(all.begin(), all.begin() + 6)); }},
      {"onlyEmptyIdatsBeforeTheEnd",
       [&](PngBuilder& b) {
         b.Chunk("IDAT", Bytes(all.begin(), all.begin() + 5)).Chunk("IDAT", {}).Chunk("IDAT", {});
       }},
      {"otherChunkInsideTheData",
       [&](PngBuilder& b) {
         b.Chunk("IDAT", Bytes(all.begin(), all.begin() + 5)).Text("Comment", "x");
         b.Chunk("IDAT", Bytes(all.begin() + 5, all.end()));
       }},
      {"filterType5",
       [&](PngBuilder& b) {
         b.Chunk("IDAT", Compress({0, 1, 2, 5, 3, 4, 0, 5, 6}));
       }},
      {"notZlib", [&](PngBuilder& b) { b.Chunk("IDAT", Bytes(20, 0xFF)); }},
      {"lengthPastTheSource", [&](PngBuilder& b) { b.RawChunk(0xFFFFFFF0u, "IDAT", all); }},
      {"sourceEndsInsideTheData",
       [&](PngBuilder& b) { b.RawChunk(static_cast<uint32_t>(all.size()), "IDAT", {}); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    PngBuilder b;
    b.Ihdr(2, 3, 8, 0);
    c.Data(b);
    OurDecode d;
    EXPECT_EQ(DecodeError(std::string(c.Name) == "sourceEndsInsideTheData" ? b.bytes() : b.End().bytes(), d),
              SPngReadError);
  }
}

// Data split into small chunks with empty ones before, between (one and two in a row) and after them.
TEST(PngDecoderImageData, SplitDataWithEmptyChunksAnywhereDecode) {
  const Bytes rows = {0, 1, 2, 0, 3, 4, 0, 5, 6};
  const Bytes all = Compress(rows);
  PngBuilder b;
  b.Ihdr(2, 3, 8, 0).Chunk("IDAT", {});
  for (size_t i = 0; i < all.size(); i += 3) {
    b.Chunk("IDAT", Bytes(all.begin() + i, all.begin() + std::min(i + 3, all.size()))).Chunk("IDAT", {});
    if (i == 3) b.Chunk("IDAT", {});
  }
  const auto d = Decode(b.End().bytes());
  for (int y = 0; y < 3; ++y) {
    EXPECT_EQ(d->Bitmap->ScanLine(y)[0], rows[3 * y + 1]);
    EXPECT_EQ(d->Bitmap->ScanLine(y)[1], rows[3 * y + 2]);
  }
}

// GCC 12 at -O2 and above reports the vector inserts below as reading past their source (-Warray-bounds,
// then -Wstringop-overread): a false positive of its analysis through libstdc++'s inlined copy. The ranges
// inserted are whole vectors.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Warray-bounds"
#ifndef __clang__  // a GCC-only warning group
#pragma GCC diagnostic ignored "-Wstringop-overread"
#endif
TEST(PngDecoderStream, MacBinaryHeaderIsSkipped) {
  const Bytes png = ImageFile(1, 1, 8, 0, {0, 9});
  Bytes file(128, 0x20);
  file[0] = 0;
  file[74] = 0;
  file.insert(file.end(), png.begin(), png.end());
  EXPECT_EQ(Decode(file)->Bitmap->ScanLine(0)[0], 9);
  OurDecode d;
  d.Decoder->CheckMacBinary = false;
  EXPECT_EQ(DecodeError(file, d), SPngNotPng);
}

TEST(PngDecoderStream, SourceIsLeftBehindTheFileAndTheBitmapKeepsItsHandlers) {
  const Bytes png = ImageFile(5, 5, 8, 2, Bytes(5 * 16, 0));
  TMemoryStream stream;
  stream.Data() = {1, 2, 3};
  stream.Data().insert(stream.Data().end(), png.begin(), png.end());
  stream.Data().insert(stream.Data().end(), {7, 7, 7});
  stream.SetPosition(3);
  TBitmap bitmap;
  int changes = 0;
  bitmap.OnChange = [&](TObject*) { ++changes; };
  std::vector<std::pair<TProgressStage, int>> progress;
  bitmap.OnProgress = [&](TObject* sender, TProgressStage stage, uint8_t percent, bool, const TRect&,
                          const std::string&) {
    EXPECT_EQ(sender, &bitmap);
    progress.emplace_back(stage, percent);
  };
  TPngReadStream decoder;
  decoder.ReadGraphic(&bitmap, stream, 0);
  EXPECT_EQ(stream.Position(), static_cast<int64_t>(3 + png.size()));
  EXPECT_EQ(changes, 0);
  ASSERT_TRUE(bitmap.OnChange);
  bitmap.OnChange(&bitmap);
  EXPECT_EQ(changes, 1);
  ASSERT_GE(progress.size(), 3u);
  EXPECT_EQ(progress.front(), std::make_pair(psStarting, 0));
  EXPECT_EQ(progress.back(), std::make_pair(psEnding, 100));
  for (size_t i = 1; i + 1 < progress.size(); ++i) {
    EXPECT_EQ(progress[i].first, psRunning);
    EXPECT_GT(progress[i].second, progress[i - 1].second);
  }
}
#pragma GCC diagnostic pop

}  // namespace
