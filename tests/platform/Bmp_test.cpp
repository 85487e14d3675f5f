// The bitmap's BMP reader and writer and its CF_DIB clipboard exchange: round trips in every pixel format
// checked by stb_image as an independent reader, the header variants and compressions the reader accepts, and
// a table of malformed files that must all be rejected without touching the bitmap.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <functional>

#include "Bitmaps.h"
#include "ByteOrder.h"
#include "Clipbrd.h"
#include "ExpectRaises.h"
#include "Graphics.h"
#include "StbOracle.h"
#include "TestFiles.h"

namespace {

// ---------------------------------------------------------------------------------------------------------------
// A BMP file built field by field

struct BmpDesc {
  uint32_t HeaderSize = 40;
  int32_t Width = 2, Height = 2;
  uint16_t Planes = 1, BitCount = 8;
  uint32_t Compression = BI_RGB;
  uint32_t SizeImage = 0;
  uint32_t ClrUsed = 0;
  std::vector<uint32_t> Masks;  // after a 40-byte header, inside the larger ones
  std::vector<TColor> Colors;   // written as B, G, R (and 0 unless the header is a core header)
  std::vector<uint8_t> Pixels;  // exactly as stored
  int64_t OffBitsChange = 0;    // added to the offset of the pixels written in the file header
};

void Put(std::vector<uint8_t>& d, uint64_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) d.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

std::vector<uint8_t> BuildBmp(const BmpDesc& s) {
  std::vector<uint8_t> h;
  Put(h, s.HeaderSize, 4);
  if (s.HeaderSize == 12) {
    Put(h, static_cast<uint32_t>(s.Width), 2);
    Put(h, static_cast<uint32_t>(s.Height), 2);
    Put(h, s.Planes, 2);
    Put(h, s.BitCount, 2);
  } else {
    Put(h, static_cast<uint32_t>(s.Width), 4);
    Put(h, static_cast<uint32_t>(s.Height), 4);
    Put(h, s.Planes, 2);
    Put(h, s.BitCount, 2);
    Put(h, s.Compression, 4);
    Put(h, s.SizeImage, 4);
    Put(h, 0, 8);
    Put(h, s.ClrUsed, 4);
    Put(h, 0, 4);
    for (uint32_t m : s.Masks) Put(h, m, 4);
    while (h.size() < s.HeaderSize) h.push_back(0);
  }
  for (TColor c : s.Colors) {
    h.insert(h.end(), {GetBValue(c), GetGValue(c), GetRValue(c)});
    if (s.HeaderSize != 12) h.push_back(0);
  }
  std::vector<uint8_t> f = {'B', 'M'};
  Put(f, 14 + h.size() + s.Pixels.size(), 4);
  Put(f, 0, 4);
  Put(f, static_cast<uint32_t>(static_cast<int64_t>(14 + h.size()) + s.OffBitsChange), 4);
  f.insert(f.end(), h.begin(), h.end());
  f.insert(f.end(), s.Pixels.begin(), s.Pixels.end());
  return f;
}

std::unique_ptr<TMemoryStream> StreamOf(const std::vector<uint8_t>& bytes) {
  auto s = std::make_unique<TMemoryStream>();
  if (!bytes.empty()) s->WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
  s->SetPosition(0);
  return s;
}

void Load(TBitmap& b, const std::vector<uint8_t>& bytes) {
  auto s = StreamOf(bytes);
  b.LoadFromStream(*s);
}

std::vector<uint8_t> Save(TBitmap& b) {
  TMemoryStream s;
  b.SaveToStream(s);
  return std::vector<uint8_t>(s.Memory(), s.Memory() + s.Size());
}

// ---------------------------------------------------------------------------------------------------------------
// Round trips

// A 7 x 5 bitmap of the format with varied pixels and, for indexed formats, a palette of its own.
std::unique_ptr<TBitmap> PatternBitmap(TPixelFormat format) {
  auto b = WhiteBitmap(format, 7, 5);
  const int bits = PixelFormatBitCount(format);
  if (bits <= 8) {
    // 8 bits: a short palette (fewer entries than the format holds) is written as it is.
    const int entries = bits == 8 ? 200 : 1 << bits;
    std::vector<TPaletteEntry> palette;
    for (int i = 0; i < entries; ++i)
      palette.push_back(
          {static_cast<uint8_t>(i * 7), static_cast<uint8_t>(255 - i), static_cast<uint8_t>(i * 3)});
    b->SetPalette(CreatePalette(palette));
    for (int y = 0; y < 5; ++y)
      for (int x = 0; x < 7; ++x) b->Canvas().SetPixel(x, y, PaletteIndexColor((x * 3 + y * 5) % entries));
  } else {
    for (int y = 0; y < 5; ++y)
      for (int x = 0; x < 7; ++x)
        b->Canvas().SetPixel(x, y,
                             RGB(static_cast<uint8_t>(x * 37), static_cast<uint8_t>(y * 51 + 3),
                                 static_cast<uint8_t>((x * y * 13) ^ 0xA5)));
  }
  return b;
}

class BmpRoundTrip : public testing::TestWithParam<TPixelFormat> {};

INSTANTIATE_TEST_SUITE_P(AllFormats, BmpRoundTrip, testing::ValuesIn(kAllPixelFormats),
                         [](const auto& info) { return PixelFormatName(info.param); });

TEST_P(BmpRoundTrip, ReadsBackIdentically) {
  auto original = PatternBitmap(GetParam());
  const std::vector<uint8_t> file = Save(*original);
  TBitmap copy;
  Load(copy, file);
  EXPECT_EQ(copy.Width(), 7);
  EXPECT_EQ(copy.Height(), 5);
  EXPECT_EQ(copy.PixelFormat(), GetParam() == pfDevice ? pf32bit : GetParam());
  EXPECT_EQ(PixelBytes(copy), PixelBytes(*original));
  EXPECT_EQ(PixelColors(copy), PixelColors(*original));
  if (PixelFormatBitCount(GetParam()) <= 8) {
    EXPECT_EQ(copy.Palette()->Entries, original->Palette()->Entries);
  }
  // Writing the copy gives the same file.
  EXPECT_EQ(Save(copy), file);
}

TEST_P(BmpRoundTrip, OpensInAnIndependentReaderWithTheSamePixels) {
  auto original = PatternBitmap(GetParam());
  const std::vector<uint8_t> file = Save(*original);
  const stbtest::StbImage image = stbtest::StbReadRgb(file);
  ASSERT_TRUE(image.Ok()) << image.Error;
  const int w = image.Width, h = image.Height;
  ASSERT_EQ(w, 7);
  ASSERT_EQ(h, 5);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const uint8_t* p = image.Rgb.data() + 3 * (y * w + x);
      EXPECT_EQ(RGB(p[0], p[1], p[2]), original->GetPixel(x, y)) << x << "," << y;
    }
}

TEST(Bmp, WrittenLayout) {
  // 3 x 2 at 24 bits: 54 bytes of headers and two rows of 9 pixel bytes and 3 padding bytes.
  auto b = WhiteBitmap(pf24bit, 3, 2);
  b->Canvas().SetPixel(0, 1, RGB(1, 2, 3));
  std::vector<uint8_t> f = Save(*b);
  ASSERT_EQ(f.size(), 78u);
  EXPECT_EQ(ReadLE32(f, 2), 78u);
  EXPECT_EQ(ReadLE32(f, 10), 54u);
  EXPECT_EQ(ReadLE32(f, 14), 40u);
  EXPECT_EQ(static_cast<int32_t>(ReadLE32(f, 22)), 2);  // bottom-up
  EXPECT_EQ(ReadLE32(f, 30), BI_RGB);
  EXPECT_EQ(std::vector<uint8_t>(f.begin() + 54, f.begin() + 57),
            (std::vector<uint8_t>{3, 2, 1}));  // bottom row

  // 16 bits (5-6-5): bit fields with their three masks after the 40-byte header.
  b->SetPixelFormat(pf16bit);
  f = Save(*b);
  EXPECT_EQ(ReadLE32(f, 30), BI_BITFIELDS);
  EXPECT_EQ(ReadLE32(f, 54), 0xF800u);
  EXPECT_EQ(ReadLE32(f, 58), 0x07E0u);
  EXPECT_EQ(ReadLE32(f, 62), 0x001Fu);
  EXPECT_EQ(ReadLE32(f, 10), 66u);

  // 15 bits: plain 16-bit rows.
  b->SetPixelFormat(pf15bit);
  f = Save(*b);
  EXPECT_EQ(f[28], 16);
  EXPECT_EQ(ReadLE32(f, 30), BI_RGB);

  // An indexed bitmap without a palette of its own is written with the default palette.
  b->SetPixelFormat(pf4bit);
  b->SetPalette(nullptr);
  f = Save(*b);
  EXPECT_EQ(ReadLE32(f, 46), 16u);
  EXPECT_EQ(ReadLE32(f, 10), 54u + 64u);
  TBitmap copy;
  Load(copy, f);
  EXPECT_EQ(copy.Palette()->Entries, DefaultPalette(4)->Entries);
  EXPECT_EQ(PixelColors(copy), PixelColors(*b));
}

TEST(Bmp, EmptyBitmapRoundTrips) {
  auto b = WhiteBitmap(pf8bit, 0, 0);
  TBitmap copy;
  Load(copy, Save(*b));
  EXPECT_TRUE(copy.Empty());
  EXPECT_EQ(copy.PixelFormat(), pf8bit);
}

TEST(Bmp, FilesAndStreamsInsideLargerStreams) {
  auto original = PatternBitmap(pf8bit);
  const filestest::TempFolder folder;
  const std::string name = folder.Path("bmp_file_test.bmp");
  original->SaveToFile(name);
  TBitmap fromFile;
  fromFile.LoadFromFile(name);
  EXPECT_EQ(PixelBytes(fromFile), PixelBytes(*original));

  // The file starts at the stream's position; the stream is left after the pixels.
  std::vector<uint8_t> bytes = {1, 2, 3, 4, 5};
  const std::vector<uint8_t> file = Save(*original);
  bytes.insert(bytes.end(), file.begin(), file.end());
  bytes.insert(bytes.end(), {9, 9, 9});
  auto s = StreamOf(bytes);
  s->SetPosition(5);
  TBitmap inside;
  inside.LoadFromStream(*s);
  EXPECT_EQ(PixelBytes(inside), PixelBytes(*original));
  EXPECT_EQ(s->Position(), static_cast<int64_t>(5 + file.size()));
}

// ---------------------------------------------------------------------------------------------------------------
// Variants the reader accepts

TEST(Bmp, ReadsACoreHeaderWithItsThreeByteColours) {
  BmpDesc s;
  s.HeaderSize = 12;
  s.Width = 3;
  s.Height = 2;
  s.BitCount = 4;
  for (int i = 0; i < 16; ++i) s.Colors.push_back(RGB(static_cast<uint8_t>(i * 16), 1, 2));
  s.Pixels = {0x12, 0x30, 0, 0,   // bottom row: 1 2 3
              0xF0, 0xE0, 0, 0};  // top row: 15 0 14
  TBitmap b;
  Load(b, BuildBmp(s));
  EXPECT_EQ(b.PixelFormat(), pf4bit);
  EXPECT_EQ(PaletteSize(b.Palette()), 16);
  EXPECT_EQ(PixelColors(b), (std::vector<TColor>{RGB(240, 1, 2), RGB(0, 1, 2), RGB(224, 1, 2),  //
                                                 RGB(16, 1, 2), RGB(32, 1, 2), RGB(48, 1, 2)}));
}

TEST(Bmp, ReadsVersionFourAndFiveHeaders) {
  BmpDesc s;
  s.HeaderSize = 108;
  s.Width = 2;
  s.Height = 1;
  s.BitCount = 16;
  s.Compression = BI_BITFIELDS;
  s.Masks = {0xF800, 0x07E0, 0x001F};
  s.Pixels = {0x00, 0xF8, 0x1F, 0x00};  // red, blue
  TBitmap b;
  Load(b, BuildBmp(s));
  EXPECT_EQ(b.PixelFormat(), pf16bit);
  EXPECT_EQ(PixelColors(b), (std::vector<TColor>{RGB(255, 0, 0), RGB(0, 0, 255)}));

  BmpDesc v5;
  v5.HeaderSize = 124;
  v5.Width = 1;
  v5.Height = 1;
  v5.BitCount = 24;
  v5.Pixels = {1, 2, 3, 0};
  Load(b, BuildBmp(v5));
  EXPECT_EQ(b.PixelFormat(), pf24bit);
  EXPECT_EQ(b.GetPixel(0, 0), RGB(3, 2, 1));
}

TEST(Bmp, ReadsTopDownRowsAndShortColourTables) {
  BmpDesc s;
  s.Width = 2;
  s.Height = -2;
  s.ClrUsed = 3;
  s.Colors = {clBlack, RGB(10, 20, 30), clWhite};
  s.Pixels = {1, 2, 0, 0,  // top row
              2, 0, 0, 0};
  TBitmap b;
  Load(b, BuildBmp(s));
  EXPECT_EQ(PaletteSize(b.Palette()), 3);
  EXPECT_EQ(PixelColors(b), (std::vector<TColor>{RGB(10, 20, 30), clWhite, clWhite, clBlack}));

  // More declared colours than the format holds: the first 256 are taken, the pixels found at their offset.
  BmpDesc many;
  many.Width = 1;
  many.Height = 1;
  many.ClrUsed = 300;
  many.Colors.assign(300, clBlack);
  many.Colors[5] = RGB(5, 5, 5);
  many.Pixels = {5, 0, 0, 0};
  Load(b, BuildBmp(many));
  EXPECT_EQ(PaletteSize(b.Palette()), 256);
  EXPECT_EQ(b.GetPixel(0, 0), RGB(5, 5, 5));
}

TEST(Bmp, ReadsRle8AndRle4) {
  BmpDesc s;
  s.Width = 4;
  s.Height = 2;
  s.Compression = BI_RLE8;
  s.Colors = {clBlack, clWhite, RGB(255, 0, 0), RGB(0, 255, 0)};
  s.ClrUsed = 4;
  s.Pixels = {2, 2, 0, 0,        // bottom row: red red, then black
              0, 3, 1, 3, 1, 0,  // top row: white green white
              0, 1};
  TBitmap b;
  // Without a byte count in the header the data end where the file size says, not at the stream's end.
  std::vector<uint8_t> bytes = BuildBmp(s);
  const int64_t fileSize = static_cast<int64_t>(bytes.size());
  bytes.insert(bytes.end(), {7, 7, 7});
  auto stream = StreamOf(bytes);
  b.LoadFromStream(*stream);
  EXPECT_EQ(stream->Position(), fileSize);
  EXPECT_EQ(b.PixelFormat(), pf8bit);
  EXPECT_EQ(PixelColors(b), (std::vector<TColor>{clWhite, RGB(0, 255, 0), clWhite, clBlack,  //
                                                 RGB(255, 0, 0), RGB(255, 0, 0), clBlack, clBlack}));

  s.BitCount = 4;
  s.Compression = BI_RLE4;
  s.Width = 5;
  s.Pixels = {5, 0x23, 0, 0,         // bottom row: 2 3 2 3 2
              0, 2,    4, 0, 0, 1};  // a delta along the top row, end of bitmap
  Load(b, BuildBmp(s));
  EXPECT_EQ(b.PixelFormat(), pf4bit);
  const TColor R = RGB(255, 0, 0), G = RGB(0, 255, 0), K = clBlack;
  EXPECT_EQ(PixelColors(b), (std::vector<TColor>{K, K, K, K, K, R, G, R, G, R}));
}

// Codes that reach outside the picture, as writers of odd-width rows produce them (one pixel too many at the
// end of each row), are read by dropping the pixels that fall outside; nothing is written past the picture.
TEST(Bmp, RleCodesOutsideThePictureDropTheirOutsidePixels) {
  BmpDesc s;
  s.Width = 3;
  s.Height = 2;
  s.Compression = BI_RLE8;
  s.Colors = {clBlack, clWhite, RGB(255, 0, 0), RGB(0, 255, 0)};
  s.ClrUsed = 4;
  s.Pixels = {1, 1, 1, 2, 1, 3, 1, 1, 0, 0,  // bottom row: white red green, and a fourth pixel
              0, 4, 3, 2, 1, 1, 9, 3, 0, 0,  // top row: an absolute run of four, then a run past the width
              0, 0, 2, 2,                    // an end of line past the last row and a run there
              0, 2, 0, 9, 1, 1, 0, 1};       // a delta past the bottom, a run there, end of bitmap
  TBitmap b;
  Load(b, BuildBmp(s));
  const TColor W = clWhite, R = RGB(255, 0, 0), G = RGB(0, 255, 0);
  EXPECT_EQ(PixelColors(b), (std::vector<TColor>{G, R, W, W, R, G}));
  for (int y = 0; y < 2; ++y)  // the row padding stays clear
    EXPECT_EQ(b.Image().Bits[static_cast<size_t>(y * b.Image().RowBytes + 3)], 0) << y;

  // 4 bits: an odd width's padding nibble is outside the picture too.
  s.BitCount = 4;
  s.Compression = BI_RLE4;
  s.Width = 5;
  s.Height = 1;
  s.Pixels = {7, 0x23, 0, 5, 0x11, 0x11, 0x10, 0, 0, 1};
  Load(b, BuildBmp(s));
  EXPECT_EQ(PixelColors(b), (std::vector<TColor>{R, G, R, G, R}));
  EXPECT_EQ(b.Image().Bits[2], 0x20);
}

TEST(Bmp, BitFieldsPickTheFormatOrConvertExactly) {
  struct Case {
    uint16_t BitCount;
    std::vector<uint32_t> Masks;
    std::vector<uint8_t> Pixel;  // one pixel (padded to 4 bytes)
    TPixelFormat Format;
    TColor Color;
  };
  const Case cases[] = {
      {16, {0x7C00, 0x03E0, 0x001F}, {0xFF, 0x7F, 0, 0}, pf15bit, clWhite},
      {16, {0xF800, 0x07E0, 0x001F}, {0x1F, 0x00, 0, 0}, pf16bit, RGB(0, 0, 255)},
      {32, {0xFF0000, 0xFF00, 0xFF}, {1, 2, 3, 0}, pf32bit, RGB(3, 2, 1)},
      // Masks no bitmap format holds: 24 bits, each channel scaled exactly.
      {32, {0xFF000000, 0xFF0000, 0xFF00}, {0, 1, 2, 3}, pf24bit, RGB(3, 2, 1)},
      {16, {0x0F00, 0x00F0, 0x000F}, {0x08, 0x0F, 0, 0}, pf24bit, RGB(255, 0, 136)},
      {32, {0x3FF00000, 0x000FFC00, 0x000003FF}, {0xFF, 0x03, 0xF0, 0x3F}, pf24bit, RGB(255, 0, 255)},
  };
  for (const Case& c : cases) {
    BmpDesc s;
    s.Width = 1;
    s.Height = 1;
    s.BitCount = c.BitCount;
    s.Compression = BI_BITFIELDS;
    s.Masks = c.Masks;
    s.Pixels = c.Pixel;
    TBitmap b;
    Load(b, BuildBmp(s));
    EXPECT_EQ(b.PixelFormat(), c.Format) << c.Masks[0];
    EXPECT_EQ(b.GetPixel(0, 0), c.Color) << c.Masks[0];
  }
  // 16-bit rows without bit fields are 5-5-5 and keep their bits as stored.
  BmpDesc plain;
  plain.Width = 1;
  plain.Height = 1;
  plain.BitCount = 16;
  plain.Pixels = {0x21, 0x04, 0, 0};
  TBitmap b;
  Load(b, BuildBmp(plain));
  EXPECT_EQ(b.PixelFormat(), pf15bit);
  EXPECT_EQ(b.ScanLine(0)[0], 0x21);
  EXPECT_EQ(b.GetPixel(0, 0), RGB(8, 8, 8));
}

// ---------------------------------------------------------------------------------------------------------------
// Malformed files

struct Malformed {
  const char* Name;
  std::function<std::vector<uint8_t>()> Bytes;
};
std::ostream& operator<<(std::ostream& os, const Malformed& m) {
  return os << m.Name;
}

// A valid 2 x 2, 8-bit file with two colours, changed by each case.
BmpDesc Base() {
  BmpDesc s;
  s.ClrUsed = 2;
  s.Colors = {clBlack, clWhite};
  s.Pixels = {0, 1, 0, 0, 1, 0, 0, 0};
  return s;
}
std::vector<uint8_t> With(const std::function<void(BmpDesc&)>& change) {
  BmpDesc s = Base();
  change(s);
  return BuildBmp(s);
}
std::vector<uint8_t> Cut(std::vector<uint8_t> bytes, size_t size) {
  bytes.resize(size);
  return bytes;
}

// The base changed to 16 bits with bit fields of the given masks.
std::vector<uint8_t> Fields16(std::vector<uint32_t> masks) {
  return With([&](BmpDesc& s) {
    s.BitCount = 16;
    s.Compression = BI_BITFIELDS;
    s.Masks = std::move(masks);
    s.Colors = {};
    s.ClrUsed = 0;
  });
}

class BmpMalformed : public testing::TestWithParam<Malformed> {};

TEST_P(BmpMalformed, IsRejectedAndTheBitmapKeepsItsImage) {
  auto b = WhiteBitmap(pf24bit, 3, 3);
  TBitmap before;
  before.Assign(b.get());
  ExpectRaises<EInvalidGraphic>([&] { Load(*b, GetParam().Bytes()); }, "Bitmap image is not valid");
  EXPECT_TRUE(b->SharesImageWith(before));
  EXPECT_EQ(b->PixelFormat(), pf24bit);
}

INSTANTIATE_TEST_SUITE_P(
    Table, BmpMalformed,
    testing::Values(
        Malformed{"ZeroBytes", [] { return std::vector<uint8_t>{}; }},
        Malformed{"FileHeaderCut", [] { return Cut(BuildBmp(Base()), 10); }},
        Malformed{"NotBM",
                  [] {
                    auto f = BuildBmp(Base());
                    f[1] = 'A';
                    return f;
                  }},
        Malformed{"InfoHeaderCut", [] { return Cut(BuildBmp(Base()), 14 + 30); }},
        Malformed{"HeaderSize20", [] { return With([](BmpDesc& s) { s.HeaderSize = 20; }); }},
        Malformed{"HeaderSize64", [] { return With([](BmpDesc& s) { s.HeaderSize = 64; }); }},
        Malformed{"ColourTableCut", [] { return Cut(BuildBmp(Base()), 14 + 40 + 6); }},
        Malformed{"PixelsCut",
                  [] {
                    auto f = BuildBmp(Base());
                    f.pop_back();
                    return f;
                  }},
        Malformed{"OffsetInsideTheHeader", [] { return With([](BmpDesc& s) { s.OffBitsChange = -20; }); }},
        Malformed{"OffsetInsideTheColourTable",
                  [] { return With([](BmpDesc& s) { s.OffBitsChange = -4; }); }},
        Malformed{"OffsetPastTheEnd", [] { return With([](BmpDesc& s) { s.OffBitsChange = 100; }); }},
        Malformed{"BitCount3", [] { return With([](BmpDesc& s) { s.BitCount = 3; }); }},
        Malformed{"BitCount0", [] { return With([](BmpDesc& s) { s.BitCount = 0; }); }},
        Malformed{"TwoPlanes", [] { return With([](BmpDesc& s) { s.Planes = 2; }); }},
        Malformed{"NegativeWidth", [] { return With([](BmpDesc& s) { s.Width = -2; }); }},
        Malformed{"SmallestHeight", [] { return With([](BmpDesc& s) { s.Height = INT32_MIN; }); }},
        Malformed{"Rle8WithFourBits",
                  [] {
                    return With([](BmpDesc& s) {
                      s.BitCount = 4;
                      s.Compression = BI_RLE8;
                    });
                  }},
        Malformed{"Rle4WithEightBits", [] { return With([](BmpDesc& s) { s.Compression = BI_RLE4; }); }},
        Malformed{"BitFieldsWith24Bits",
                  [] {
                    return With([](BmpDesc& s) {
                      s.BitCount = 24;
                      s.Compression = BI_BITFIELDS;
                    });
                  }},
        Malformed{"JpegCompression", [] { return With([](BmpDesc& s) { s.Compression = 4; }); }},
        Malformed{"TopDownRle",
                  [] {
                    return With([](BmpDesc& s) {
                      s.Height = -2;
                      s.Compression = BI_RLE8;
                    });
                  }},
        Malformed{"CoreHeaderWith16Bits",
                  [] {
                    return With([](BmpDesc& s) {
                      s.HeaderSize = 12;
                      s.BitCount = 16;
                      s.Colors = {};
                    });
                  }},
        Malformed{"CoreColourTableCut", [] { return With([](BmpDesc& s) { s.HeaderSize = 12; }); }},
        Malformed{"ByteCountOverflows",
                  [] {
                    return With([](BmpDesc& s) {
                      s.Width = INT32_MAX;
                      s.Height = INT32_MAX;
                      s.BitCount = 24;
                      s.Colors = {};
                      s.ClrUsed = 0;
                    });
                  }},
        Malformed{"PixelMemoryAboveTheLimit",
                  [] {
                    return With([](BmpDesc& s) {
                      s.Width = 50000;
                      s.Height = 50000;
                    });
                  }},
        Malformed{"LargeAndTruncated",
                  [] {
                    return With([](BmpDesc& s) {
                      s.Width = 20000;
                      s.Height = 20000;
                    });
                  }},
        Malformed{"ZeroMask",
                  [] {
                    return Fields16({0xF800, 0, 0x1F});
                  }},
        Malformed{"SplitMask",
                  [] {
                    return Fields16({0xF00F, 0x0F00, 0x00F0});
                  }},
        Malformed{"OverlappingMasks",
                  [] {
                    return Fields16({0xFF00, 0x0FF0, 0x000F});
                  }},
        Malformed{"MasksCut",
                  [] {
                    return Cut(Fields16({0xF800, 0x07E0, 0x1F}), 14 + 40 + 8);
                  }},
        Malformed{"RleSizeBeyondTheFile",
                  [] {
                    return With([](BmpDesc& s) {
                      s.Compression = BI_RLE8;
                      s.Pixels = {0, 1};
                      s.SizeImage = 100;
                    });
                  }}),
    [](const auto& info) { return std::string(info.param.Name); });

// ---------------------------------------------------------------------------------------------------------------
// Clipboard

TEST(BmpClipboard, PackedDibRoundTrips) {
  for (TPixelFormat format : {pf1bit, pf8bit, pf16bit, pf24bit}) {
    auto original = PatternBitmap(format);
    uint16_t clipFormat = 0;
    HGLOBAL data;
    HPALETTE palette;
    original->SaveToClipboardFormat(clipFormat, data, palette);
    EXPECT_EQ(clipFormat, CF_DIB);
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(ReadLE32(data->Bytes, 0), 40u);
    TBitmap copy;
    copy.LoadFromClipboardFormat(clipFormat, data, palette);
    EXPECT_EQ(copy.PixelFormat(), format);
    EXPECT_EQ(PixelBytes(copy), PixelBytes(*original)) << PixelFormatName(format);
  }
}

TEST(BmpClipboard, PixelsFollowTheWholeColourTable) {
  // An 8-bit packed DIB without a colour count carries 256 colours before its pixels.
  std::vector<uint8_t> file = With([](BmpDesc& s) {
    s.ClrUsed = 0;
    s.Colors.assign(256, clBlack);
    s.Colors[1] = RGB(1, 2, 3);
  });
  auto block = std::make_shared<TGlobalMemory>();
  block->Bytes.assign(file.begin() + 14, file.end());
  TBitmap b;
  b.LoadFromClipboardFormat(CF_DIB, block, nullptr);
  EXPECT_EQ(b.GetPixel(1, 1), RGB(1, 2, 3));
}

TEST(BmpClipboard, Errors) {
  auto b = WhiteBitmap(pf8bit, 1, 1);
  TBitmap before;
  before.Assign(b.get());
  auto block = std::make_shared<TGlobalMemory>();
  const std::vector<uint8_t> file = BuildBmp(Base());
  block->Bytes.assign(file.begin() + 14, file.end());
  ExpectRaises<EInvalidGraphic>([&] { b->LoadFromClipboardFormat(2, block, nullptr); },
                                "Unsupported clipboard format");
  EXPECT_THROW(b->LoadFromClipboardFormat(CF_DIB, nullptr, nullptr), EInvalidGraphic);
  for (size_t size : {size_t{0}, size_t{3}, size_t{39}, size_t{45}, block->Bytes.size() - 1}) {
    auto cut = std::make_shared<TGlobalMemory>();
    cut->Bytes.assign(block->Bytes.begin(), block->Bytes.begin() + static_cast<std::ptrdiff_t>(size));
    ExpectRaises<EInvalidGraphic>([&] { b->LoadFromClipboardFormat(CF_DIB, cut, nullptr); },
                                  "Bitmap image is not valid");
  }
  EXPECT_TRUE(b->SharesImageWith(before));
}

}  // namespace
