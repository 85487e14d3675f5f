// The DIB storage: creation, the BMP reader and writer, the clipboard form and the pixel-format codes.

#include "DibTestSupport.h"
#include "StbOracle.h"

namespace {

// The storage still holds the 1 x 1, 8-bit default picture.
void ExpectDefaultPicture(const TDibStorage& s) {
  EXPECT_EQ(s.Width, 1);
  EXPECT_EQ(s.Height, 1);
  EXPECT_EQ(s.DIB.Header.biBitCount, 8);
  EXPECT_EQ(s.DIB.Header.biClrUsed, 256u);
  EXPECT_EQ(s.DIB.ImageSize, 4);
  EXPECT_EQ(DibPixel(s.DIB, 0, 0), 0u);
}

TEST(DibStorage, NewStorageIsOneBlackEightBitPixel) {
  for (bool fmo : {false, true}) {
    TDibStorage s(fmo);
    ExpectDefaultPicture(s);
    EXPECT_EQ(s.RefCount, 1);
    EXPECT_EQ(s.UseFMO, fmo);
    EXPECT_EQ(s.DIB.MapHandle() != nullptr, fmo);
    EXPECT_EQ(s.GetPixelFormat(), dpf8Bit);
    EXPECT_EQ(s.DIB.Header.biXPelsPerMeter, 3780);
    EXPECT_EQ(s.DIB.Header.biYPelsPerMeter, 3780);
    EXPECT_EQ(s.DIB.Header.biClrImportant, 0u);
    for (int i = 0; i < 256; ++i) EXPECT_EQ(s.DIB.Colors[i], RGBQUAD{}) << i;
    ASSERT_EQ(PaletteSize(s.GetPaletteHandle()), 256);
    EXPECT_EQ(s.GetPaletteHandle(), s.GetPaletteHandle()) << "the palette is cached";
  }
}

TEST(DibStorage, CreateDIBRejectsInvalidParameters) {
  struct TCase {
    int32_t w, h, colors, bits;
  };
  const TCase cases[] = {{0, 1, 0, 8},         {-3, 1, 0, 8},           {1, 0, 0, 8},  {1, 1, 257, 8},
                         {1, 1, -1, 8},        {1, 1, 0, 16},           {1, 1, 0, 32}, {1, 1, 0, 2},
                         {65536, 32768, 0, 8}, {100000, -100000, 0, 24}};
  TDibStorage s(false);
  for (const TCase& c : cases) {
    ExpectRaises<EDibInvalidDIBPara>([&] { s.CreateDIB(c.w, c.h, c.colors, c.bits); },
                                     "TDibStorage.CreateDIB: Invalid Parameters");
    ExpectDefaultPicture(s);
  }
}

TEST(DibStorage, CreateDIBWithNegativeHeightIsTopDown) {
  TDibStorage s(true);
  s.CreateDIB(7, -5, 16, 4);
  EXPECT_EQ(s.Width, 7);
  EXPECT_EQ(s.Height, 5);
  EXPECT_EQ(s.DIB.Header.biHeight, -5);
  EXPECT_EQ(s.DIB.ImageSize, 5 * 4);
  EXPECT_EQ(s.DIB.Header.biClrUsed, 16u);
  EXPECT_TRUE(s.PaletteModified);
  EXPECT_EQ(s.GetPixelFormat(), dpf4Bit);
}

TEST(DibStorage, WritesThreeByTwoTrueColourFile) {
  auto s = MakeStorage(3, 2, 24, {}, {0x010203, 0x040506, 0x070809, 0x0A0B0C, 0x0D0E0F, 0x101112});
  const std::vector<uint8_t> bytes = SavedBytes(*s);
  ASSERT_EQ(bytes.size(), 78u);
  const std::vector<uint8_t> expectedHead =
      TBytes().FileHeader(78, 54).InfoHeader(3, 2, 24, 0, 0, 3780, 3780).Data;
  EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 54), expectedHead);
  // Bottom row first, blue, green, red, then three padding bytes.
  const std::vector<uint8_t> rows = {0x0C, 0x0B, 0x0A, 0x0F, 0x0E, 0x0D, 0x12, 0x11, 0x10, 0, 0, 0,
                                     0x03, 0x02, 0x01, 0x06, 0x05, 0x04, 0x09, 0x08, 0x07, 0, 0, 0};
  EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + 54, bytes.end()), rows);
}

TEST(DibStorage, WritesExactlyTheUsedColours) {
  auto s = MakeStorage(2, 1, 8, {0x111111, 0x222222, 0x333333, 0x444444, 0x555555}, {4, 2});
  const std::vector<uint8_t> bytes = SavedBytes(*s);
  ASSERT_EQ(bytes.size(), 74u + 4);
  EXPECT_EQ(bytes[10], 74);  // bfOffBits
  EXPECT_EQ(bytes[2], 78);   // bfSize
  EXPECT_EQ(bytes[54 + 4 * 4], 0x55);
  EXPECT_EQ(bytes[74], 4);
  EXPECT_EQ(bytes[75], 2);
}

TEST(DibStorage, ReadsEightBitFileWithoutColourCountAsFullTable) {
  TBytes f;
  f.FileHeader(14 + 40 + 1024 + 4, 14 + 40 + 1024).InfoHeader(1, 1, 8, 0, 0, 0, 0);
  for (int i = 0; i < 256; ++i) f.U8(i).U8(0).U8(255 - i).U8(0);
  f.Raw({200, 0, 0, 0});
  TDibStorage s(false);
  LoadBytes(s, f.Data);
  EXPECT_EQ(s.DIB.Header.biClrUsed, 256u);
  EXPECT_EQ(s.DIB.Colors[200], (RGBQUAD{200, 0, 55, 0}));
  EXPECT_EQ(DibPixel(s.DIB, 0, 0), 200u);
  EXPECT_EQ(s.DIB.Header.biXPelsPerMeter, 3780) << "a zero resolution becomes 3780";
  EXPECT_EQ(s.DIB.Header.biYPelsPerMeter, 3780);
  EXPECT_TRUE(s.PaletteModified);
}

TEST(DibStorage, ReadsColourCountAbove256AndFindsPixelsAtOffset) {
  TBytes f;
  const uint32_t off = 14 + 40 + 300 * 4 + 6;  // six spare bytes after the table
  f.FileHeader(off + 4, off).InfoHeader(2, 1, 8, 0, 300);
  for (int i = 0; i < 300; ++i) f.U8(i & 255).U8(1).U8(2).U8(0);
  f.Fill(6, 0xEE).Raw({7, 9, 0, 0});
  TDibStorage s(true);
  LoadBytes(s, f.Data);
  EXPECT_EQ(s.DIB.Header.biClrUsed, 256u);
  EXPECT_EQ(s.DIB.Colors[255], (RGBQUAD{255, 1, 2, 0}));
  EXPECT_EQ(DibPixels(s.DIB), (std::vector<uint32_t>{7, 9}));
}

TEST(DibStorage, ReadsSixteenBitPixelsAsTrueColour) {
  // 5-5-5 without bit fields: 0x7FFF is white, 0x0421 is 8, 8, 8 (8 x 255 div 248).
  TBytes f;
  f.FileHeader(14 + 40 + 4, 54).InfoHeader(2, 1, 16).U16(0x7FFF).U16(0x0421);
  TDibStorage s(false);
  LoadBytes(s, f.Data);
  EXPECT_EQ(s.DIB.Header.biBitCount, 24);
  EXPECT_EQ(s.DIB.Header.biCompression, BI_RGB);
  EXPECT_EQ(s.DIB.Header.biClrUsed, 0u);
  EXPECT_EQ(s.GetPixelFormat(), dpf24Bit);
  EXPECT_EQ(s.DIB.ImageSize, 8);
  EXPECT_EQ(DibPixels(s.DIB), (std::vector<uint32_t>{0xFFFFFF, 0x080808}));
}

TEST(DibStorage, ReadsBitFieldsAndMovesColoursDown) {
  // 5-6-5 masks, two colour entries after them, top-down rows.
  TBytes f;
  f.FileHeader(14 + 40 + 12 + 8 + 8, 14 + 40 + 12 + 8).InfoHeader(1, -2, 16, BI_BITFIELDS, 2);
  f.U32(0xF800).U32(0x07E0).U32(0x001F).Raw({1, 2, 3, 0, 4, 5, 6, 0});
  f.U16(0xFFFF).U16(0).U16(0x0841).U16(0);
  TDibStorage s(false);
  LoadBytes(s, f.Data);
  EXPECT_EQ(s.DIB.Header.biHeight, -2) << "rows keep their order";
  EXPECT_EQ(s.DIB.Header.biClrUsed, 2u);
  EXPECT_EQ(s.DIB.Colors[0], (RGBQUAD{1, 2, 3, 0}));
  EXPECT_EQ(s.DIB.Colors[1], (RGBQUAD{4, 5, 6, 0}));
  EXPECT_EQ(DibPixels(s.DIB), (std::vector<uint32_t>{0xFFFFFF, 0x080808}));
}

TEST(DibStorage, BitFieldMaskConversionGolden) {
  // Each mask is shifted into 128..255 (right shifts, or left for small masks); a channel is
  // (pixel and mask) shifted the same way, times 255, div the shifted mask.
  struct TCase {
    uint16_t bits;
    uint32_t red, green, blue, pixel, expected;  // expected as 0xRRGGBB
  };
  const TCase cases[] = {
      {16, 0x7C00, 0x03E0, 0x001F, 0x7FFF, 0xFFFFFF},  // 5-5-5 white
      {16, 0x7C00, 0x03E0, 0x001F, 0x0421, 0x080808},  // 8 x 255 div 248
      {16, 0xF800, 0x07E0, 0x001F, 0x07E0, 0x00FF00},  // 5-6-5 green
      {16, 0xF800, 0x07E0, 0x001F, 0x0841, 0x080808},  // green 8 x 255 div 252 = 8
      {16, 0x0F00, 0x00F0, 0x000F, 0x0F81, 0xFF8811},  // 4-4-4: 15 -> 255, 8 -> 136, 1 -> 17
      {16, 0x0003, 0x000C, 0x0030, 0x0039, 0x55AAFF},  // 2-bit channels shifted left: 64 x 255 div 192 = 85
      {32, 0xFF000000, 0x00FF0000, 0x0000FF00, 0x12345678, 0x123456},
      {32, 0x3FF00000, 0x000FFC00, 0x000003FF, 0x3FFFFFFF, 0xFFFFFF},  // 10-bit channels
      {32, 0x3FF00000, 0x000FFC00, 0x000003FF, 0x20080200, 0x808080},  // 512 >> 2 = 128 x 255 div 255
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << c.pixel);
    TBytes f;
    f.FileHeader(14 + 40 + 12 + 4, 14 + 40 + 12).InfoHeader(1, 1, c.bits, BI_BITFIELDS);
    f.U32(c.red).U32(c.green).U32(c.blue);
    if (c.bits == 16)
      f.U16(c.pixel).U16(0);
    else
      f.U32(c.pixel);
    TDibStorage s(false);
    LoadBytes(s, f.Data);
    EXPECT_EQ(DibPixel(s.DIB, 0, 0), c.expected);
  }
}

TEST(DibStorage, ReadsThirtyTwoBitPixels) {
  TBytes f;
  f.FileHeader(14 + 40 + 8, 54).InfoHeader(2, 1, 32).Raw({0x30, 0x20, 0x10, 0x99, 0xFF, 0x00, 0x80, 0x00});
  TDibStorage s(false);
  LoadBytes(s, f.Data);
  EXPECT_EQ(DibPixels(s.DIB), (std::vector<uint32_t>{0x102030, 0x8000FF}));
}

TEST(DibStorage, ReadsCoreHeaderFile) {
  TBytes f;
  f.FileHeader(14 + 12 + 48 + 4, 14 + 12 + 48).U32(12).U16(3).U16(1).U16(1).U16(4);
  for (int i = 0; i < 16; ++i) f.U8(i).U8(2 * i).U8(3 * i);
  f.Raw({0x1F, 0x20, 0, 0});
  TDibStorage s(false);
  LoadBytes(s, f.Data);
  EXPECT_EQ(s.DIB.Header.biSize, 40u);
  EXPECT_EQ(s.DIB.Header.biClrUsed, 16u);
  EXPECT_EQ(s.DIB.Header.biHeight, 1);
  EXPECT_EQ(s.DIB.Header.biXPelsPerMeter, 3780);
  EXPECT_EQ(s.DIB.Header.biYPelsPerMeter, 3780);
  EXPECT_EQ(s.DIB.Colors[15], (RGBQUAD{15, 30, 45, 0}));
  EXPECT_EQ(DibPixels(s.DIB), (std::vector<uint32_t>{1, 15, 2}));
}

TEST(DibStorage, CompressedDataStaysCompressed) {
  TBytes f;
  f.FileHeader(14 + 40 + 8 + 6, 14 + 40 + 8).InfoHeader(3, 1, 8, BI_RLE8, 2).Raw({0, 0, 0, 0, 1, 1, 1, 0});
  f.Raw({3, 1, 0, 0, 0, 1});
  TDibStorage s(false);
  LoadBytes(s, f.Data);
  EXPECT_EQ(s.GetPixelFormat(), dpf8BitRLE);
  EXPECT_EQ(s.DIB.ImageSize, 6);
  EXPECT_EQ(SavedBytes(s), f.Data);
}

TEST(DibStorage, MismatchedCompressionLoadsButHasNoPixelFormat) {
  struct TCase {
    uint16_t bits;
    uint32_t compression;
    const char* message;
  };
  const TCase cases[] = {
      {1, BI_RLE8, "TDibStorage.GetPixelFormat: Invalid DIB(1Bit)"},
      {4, BI_RLE8, "TDibStorage.GetPixelFormat: Invalid DIB(4Bit)"},
      {8, BI_RLE4, "TDibStorage.GetPixelFormat: Invalid DIB(8Bit)"},
      {24, BI_RLE8, "TDibStorage.GetPixelFormat: Invalid DIB(24Bit)"},
  };
  for (const TCase& c : cases) {
    TBytes f;
    const uint32_t colors = static_cast<uint32_t>(DefaultColorCount(c.bits));
    f.FileHeader(14 + 40 + 4 * colors + 2, 14 + 40 + 4 * colors).InfoHeader(1, 1, c.bits, c.compression);
    f.Fill(4 * colors).Raw({0, 1});
    TDibStorage s(false);
    LoadBytes(s, f.Data);
    ExpectRaises<EDibInvalidDIB>([&] { s.GetPixelFormat(); }, c.message);
  }
  TDibStorage s(false);
  s.DIB.Header.biBitCount = 2;
  ExpectRaises<EDibInvalidDIB>([&] { s.GetPixelFormat(); },
                               "TDibStorage.GetPixelFormat: Invalid DIB(Illegal BitCount)");
}

// A well-formed 3 x 2, 24-bit file (bfSize 78), changed by the cases below.
std::vector<uint8_t> GoodFile() {
  return TBytes().FileHeader(78, 54).InfoHeader(3, 2, 24).Fill(24, 0x5A).Data;
}
std::vector<uint8_t> Patched(std::vector<uint8_t> bytes, size_t at, std::initializer_list<uint8_t> values) {
  for (uint8_t v : values) bytes[at++] = v;
  return bytes;
}
std::vector<uint8_t> Truncated(std::vector<uint8_t> bytes, size_t size) {
  bytes.resize(size);
  return bytes;
}

struct TMalformedCase {
  const char* Name;
  std::vector<uint8_t> Bytes;
  enum { InvalidDIB, InvalidDIBFile, ReadError } Class;
  const char* Message;
};

TEST(DibStorage, MalformedFilesRaiseTheirErrorAndKeepThePicture) {
  const std::vector<TMalformedCase> cases = {
      {"not BM", Patched(GoodFile(), 0, {'B', 'A'}), TMalformedCase::InvalidDIBFile,
       "TDibStorage.LoadFromFile: File type is invalid"},
      {"108-byte header", Patched(GoodFile(), 14, {108}), TMalformedCase::InvalidDIB,
       "TDibStorage.LoadFromStream: Invalid Bitmap Header Size"},
      {"124-byte header", Patched(GoodFile(), 14, {124}), TMalformedCase::InvalidDIB,
       "TDibStorage.LoadFromStream: Invalid Bitmap Header Size"},
      {"2 bits", Patched(GoodFile(), 28, {2}), TMalformedCase::InvalidDIB,
       "TDibStorage.LoadFromStream: Invalid BitCout"},
      {"core header, 16 bits", TBytes().FileHeader(30, 26).U32(12).U16(1).U16(1).U16(1).U16(16).Fill(4).Data,
       TMalformedCase::InvalidDIB, "TDibStorage.LoadFromStream: Invalid BitCount"},
      {"bfOffBits inside the colour table",
       TBytes().FileHeader(14 + 40 + 8 + 4, 60).InfoHeader(1, 1, 8, 0, 2).Fill(8 + 4).Data,
       TMalformedCase::InvalidDIB, "TDibStorage.LoadFromFile: bfOffBits is too small"},
      {"bfOffBits inside the masks",
       TBytes().FileHeader(14 + 40 + 12 + 4, 60).InfoHeader(1, 1, 16, BI_BITFIELDS).Fill(12 + 4).Data,
       TMalformedCase::InvalidDIB, "TDibStorage.LoadFromFile: bfOffBits is too small"},
      {"core bfOffBits inside the triples",
       TBytes().FileHeader(14 + 12 + 6 + 4, 14 + 12 + 5).U32(12).U16(1).U16(1).U16(1).U16(1).Fill(6 + 4).Data,
       TMalformedCase::InvalidDIB, "TDibStorage.LoadFromFile: bfOffBits is too small"},
      {"width 0", Patched(GoodFile(), 18, {0}), TMalformedCase::InvalidDIB,
       "TDibStorage.LoadFromStream: Invalid Width or Height"},
      {"negative width", Patched(GoodFile(), 18, {0xFD, 0xFF, 0xFF, 0xFF}), TMalformedCase::InvalidDIB,
       "TDibStorage.LoadFromStream: Invalid Width or Height"},
      {"height 0", Patched(GoodFile(), 22, {0}), TMalformedCase::InvalidDIB,
       "TDibStorage.LoadFromStream: Invalid Width or Height"},
      {"bfSize below bfOffBits", Patched(GoodFile(), 2, {40}), TMalformedCase::InvalidDIB,
       "TDibStorage.LoadFromStream: Invalid Image Size"},
      {"bfSize above 2^31", Patched(GoodFile(), 2, {0xFF, 0xFF, 0xFF, 0xFF}), TMalformedCase::InvalidDIB,
       "TDibStorage.LoadFromStream: Invalid Image Size"},
      {"pixel data shorter than the rows", Patched(GoodFile(), 2, {77}), TMalformedCase::InvalidDIB,
       "TDibStorage.LoadFromStream: Image Data Too Short"},
      {"pixel memory above 2^31 - 1 bytes", Patched(GoodFile(), 18, {0, 0, 1, 0, 0, 0x80}),
       TMalformedCase::InvalidDIB, "TDibStorage.LoadFromStream: Image Too Large"},
      {"RLE picture too large to decode",
       TBytes()
           .FileHeader(14 + 40 + 8 + 2, 14 + 40 + 8)
           .InfoHeader(0x10000, 0x10000, 8, BI_RLE8, 2)
           .Fill(8)
           .Raw({0, 1})
           .Data,
       TMalformedCase::InvalidDIB, "TDibStorage.LoadFromStream: Image Too Large"},
      {"zero bit-field mask",
       TBytes()
           .FileHeader(14 + 40 + 12 + 4, 14 + 40 + 12)
           .InfoHeader(1, 1, 16, BI_BITFIELDS)
           .U32(0xF800)
           .U32(0)
           .U32(0x1F)
           .Fill(4)
           .Data,
       TMalformedCase::InvalidDIB, "TDibStorage.LoadFromStream: Invalid Masks"},
      {"pixel data past the end of the stream", Truncated(GoodFile(), 70), TMalformedCase::ReadError,
       SReadError},
      {"bfSize promising 2 GB", Patched(GoodFile(), 2, {0xFF, 0xFF, 0xFF, 0x7F}), TMalformedCase::ReadError,
       SReadError},
      {"sixteen-bit rows past the end of the stream",
       TBytes().FileHeader(14 + 40 + 8, 54).InfoHeader(2, 2, 16).Fill(6).Data, TMalformedCase::ReadError,
       SReadError},
      {"file header cut short", Truncated(GoodFile(), 10), TMalformedCase::ReadError, SReadError},
      {"info header cut short", Truncated(GoodFile(), 30), TMalformedCase::ReadError, SReadError},
      {"colour table cut short",
       TBytes().FileHeader(14 + 40 + 1024, 14 + 40 + 1024).InfoHeader(1, 1, 8).Fill(100).Data,
       TMalformedCase::ReadError, SReadError},
  };
  for (const TMalformedCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TDibStorage s(false);
    switch (c.Class) {
      case TMalformedCase::InvalidDIB:
        ExpectRaises<EDibInvalidDIB>([&] { LoadBytes(s, c.Bytes); }, c.Message);
        break;
      case TMalformedCase::InvalidDIBFile:
        ExpectRaises<EDibInvalidDIBFile>([&] { LoadBytes(s, c.Bytes); }, c.Message);
        break;
      case TMalformedCase::ReadError:
        ExpectRaises<EReadError>([&] { LoadBytes(s, c.Bytes); }, c.Message);
        break;
    }
    ExpectDefaultPicture(s);
  }
}

TEST(DibStorage, ReadsFromTheStreamPosition) {
  auto s = MakeStorage(2, 2, 4, {0x000000, 0xFF0000, 0x00FF00}, {1, 2, 0, 1});
  TMemoryStream m;
  m.Write("xyz", 3);
  s->SaveToStream(m);
  m.Write("tail", 4);
  m.SetPosition(3);
  TDibStorage t(false);
  t.LoadFromStream(m);
  EXPECT_EQ(DibPixels(t.DIB), (std::vector<uint32_t>{1, 2, 0, 1}));
  EXPECT_EQ(m.Position(), m.Size() - 4);
}

// One storage of every pixel format: 2 is made by the RLE4 encoder, 4 by the RLE8 encoder.
std::unique_ptr<TDibStorage> StorageOfFormat(TDibPixelFormat format, bool topDown) {
  const int h = topDown ? -3 : 3;
  const std::vector<uint32_t> gray4 = {0x000000, 0x404040, 0x808080, 0xC0C0C0, 0xFFFFFF, 0xFF0000,
                                       0x00FF00, 0x0000FF, 0x123456, 0x654321, 0xABCDEF, 0xFEDCBA,
                                       0x0F0F0F, 0xF0F0F0, 0x777777, 0x888888};
  // 24 x 3 pixels in runs of eight, so that the RLE encoders find room for their code.
  std::vector<uint32_t> pixels;
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 24; ++x) pixels.push_back(static_cast<uint32_t>((x / 8 * 5 + y * 3) % 16));
  switch (format) {
    case dpf1Bit:
      for (auto& p : pixels) p &= 1;
      return MakeStorage(24, h, 1, {0x102030, 0xF0E0D0}, pixels);
    case dpf4Bit:
    case dpf4BitRLE: {
      auto s = MakeStorage(24, h, 4, gray4, pixels);
      if (format == dpf4BitRLE) s->SetPixelsFormat(dpf4BitRLE, 0, nullptr, nullptr, clWhite);
      return s;
    }
    case dpf8Bit:
    case dpf8BitRLE: {
      std::vector<uint32_t> colors;
      for (int i = 0; i < 256; ++i) colors.push_back(static_cast<uint32_t>(i * 0x010203));
      for (auto& p : pixels) p *= 13;
      auto s = MakeStorage(24, h, 8, colors, pixels);
      if (format == dpf8BitRLE) s->SetPixelsFormat(dpf8BitRLE, 0, nullptr, nullptr, clWhite);
      return s;
    }
    default:
      for (auto& p : pixels) p *= 0x0F1E2D;
      return MakeStorage(24, h, 24, {}, pixels);
  }
}

void ExpectSameDIB(const TDibStorage& a, const TDibStorage& b) {
  EXPECT_EQ(0, std::memcmp(&a.DIB.Header, &b.DIB.Header, sizeof(BITMAPINFOHEADER)));
  EXPECT_EQ(a.Width, b.Width);
  EXPECT_EQ(a.Height, b.Height);
  ASSERT_EQ(a.DIB.ImageSize, b.DIB.ImageSize);
  EXPECT_EQ(0, std::memcmp(a.DIB.Bits(), b.DIB.Bits(), static_cast<size_t>(a.DIB.ImageSize)));
  for (uint32_t i = 0; i < a.DIB.Header.biClrUsed; ++i) EXPECT_EQ(a.DIB.Colors[i], b.DIB.Colors[i]) << i;
}

class DibFormatRoundTrip : public testing::TestWithParam<std::tuple<TDibPixelFormat, bool>> {};

TEST_P(DibFormatRoundTrip, ThroughStreamAndClipboard) {
  const auto [format, topDown] = GetParam();
  auto original = StorageOfFormat(format, topDown);
  ASSERT_EQ(original->GetPixelFormat(), format);

  TDibStorage fromStream(true);
  LoadBytes(fromStream, SavedBytes(*original));
  ExpectSameDIB(*original, fromStream);

  const HGLOBAL block = original->SaveToClipboardFormat();
  ASSERT_TRUE(block);
  EXPECT_EQ(GlobalSize(block), 40 + 4 * int64_t{original->DIB.Header.biClrUsed} + original->DIB.ImageSize);
  TDibStorage fromClipboard(false);
  fromClipboard.LoadFromClipboardFormat(block);
  ExpectSameDIB(*original, fromClipboard);
}

INSTANTIATE_TEST_SUITE_P(EveryFormat, DibFormatRoundTrip,
                         testing::Combine(testing::Values(dpf1Bit, dpf4Bit, dpf4BitRLE, dpf8Bit, dpf8BitRLE,
                                                          dpf24Bit),
                                          testing::Bool()),
                         [](const testing::TestParamInfo<DibFormatRoundTrip::ParamType>& info) {
                           return "Format" + std::to_string(std::get<0>(info.param)) +
                                  (std::get<1>(info.param) ? "TopDown" : "BottomUp");
                         });

// Bit fields with a bit count that cannot use them: the picture loads (and has no pixel format), and its own
// file and clipboard forms keep the masks in front of the colours, so they read back as the same picture.
TEST(DibStorage, BitFieldsWithoutAPixelFormatSurviveTheirOwnFileAndClipboardForms) {
  for (const uint16_t bits : {8, 24}) {
    SCOPED_TRACE(bits);
    const uint32_t colors = bits == 8 ? 2 : 0;
    TBytes f;
    f.FileHeader(14 + 40 + 12 + 4 * colors + 4, 14 + 40 + 12 + 4 * colors)
        .InfoHeader(1, 1, bits, BI_BITFIELDS, colors);
    f.U32(0xFF0000).U32(0xFF00).U32(0xFF).Fill(4 * colors, 0x5A).Raw({1, 2, 3, 0});
    TDibStorage original(false);
    LoadBytes(original, f.Data);
    ExpectRaises<EDibInvalidDIB>([&] { original.GetPixelFormat(); },
                                 bits == 8 ? "TDibStorage.GetPixelFormat: Invalid DIB(8Bit)"
                                           : "TDibStorage.GetPixelFormat: Invalid DIB(24Bit)");

    TDibStorage fromStream(false);
    LoadBytes(fromStream, SavedBytes(original));
    ExpectSameDIB(original, fromStream);
    const HGLOBAL block = original.SaveToClipboardFormat();
    EXPECT_EQ(GlobalSize(block), 40 + 12 + 4 * int64_t{colors} + 4);
    TDibStorage fromClipboard(false);
    fromClipboard.LoadFromClipboardFormat(block);
    ExpectSameDIB(original, fromClipboard);
    for (int i = 0; i < 3 + static_cast<int>(colors); ++i) {
      EXPECT_EQ(fromStream.DIB.Colors[i], original.DIB.Colors[i]) << i;
      EXPECT_EQ(fromClipboard.DIB.Colors[i], original.DIB.Colors[i]) << i;
    }
  }
}

TEST(DibStorage, FilesOpenInAnIndependentReader) {
  for (TDibPixelFormat format : {dpf1Bit, dpf4Bit, dpf8Bit, dpf24Bit}) {
    for (bool topDown : {false, true}) {
      SCOPED_TRACE(testing::Message() << "format " << int{format} << (topDown ? " top-down" : " bottom-up"));
      auto s = StorageOfFormat(format, topDown);
      const std::vector<uint8_t> bytes = SavedBytes(*s);
      const stbtest::StbImage image = stbtest::StbReadRgb(bytes);
      ASSERT_TRUE(image.Ok()) << image.Error;
      const int w = image.Width, h = image.Height;
      const uint8_t* rgb = image.Rgb.data();
      ASSERT_EQ(w, 24);
      ASSERT_EQ(h, 3);
      const std::vector<uint32_t> expected = DibColors(s->DIB);
      for (int i = 0; i < w * h; ++i)
        EXPECT_EQ(static_cast<uint32_t>(rgb[3 * i] << 16 | rgb[3 * i + 1] << 8 | rgb[3 * i + 2]), expected[i])
            << i;
    }
  }
}

TEST(DibStorage, ClipboardBlockLayout) {
  auto s = MakeStorage(2, 1, 8, {0x112233, 0x445566, 0x778899}, {2, 1});
  const HGLOBAL block = s->SaveToClipboardFormat();
  ASSERT_EQ(GlobalSize(block), 40 + 12 + 4);
  const uint8_t* p = GlobalLock(block);
  EXPECT_EQ(p[0], 40);
  EXPECT_EQ(p[32], 3);  // biClrUsed
  EXPECT_EQ(p[40 + 8], 0x99);
  EXPECT_EQ(p[40 + 10], 0x77);
  EXPECT_EQ(p[52], 2);
  EXPECT_EQ(p[53], 1);
  GlobalUnlock(block);
}

HGLOBAL Block(const std::vector<uint8_t>& bytes) {
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, static_cast<int64_t>(bytes.size()));
  std::copy(bytes.begin(), bytes.end(), GlobalLock(block));
  GlobalUnlock(block);
  return block;
}

TEST(DibStorage, ReadsClipboardBitFieldsAndCoreHeaders) {
  TDibStorage s(false);
  s.LoadFromClipboardFormat(Block(TBytes()
                                      .InfoHeader(2, 1, 16, BI_BITFIELDS, 0, 0, 0)
                                      .U32(0xF800)
                                      .U32(0x07E0)
                                      .U32(0x1F)
                                      .U16(0xF800)
                                      .U16(0x001F)
                                      .Data));
  EXPECT_EQ(s.GetPixelFormat(), dpf24Bit);
  EXPECT_EQ(DibPixels(s.DIB), (std::vector<uint32_t>{0xFF0000, 0x0000FF}));
  EXPECT_EQ(s.DIB.Header.biXPelsPerMeter, 3780);

  TBytes core;
  core.U32(12).U16(9).U16(1).U16(1).U16(1).Raw({0, 0, 0, 255, 255, 255}).Raw({0xAA, 0x80, 0, 0});
  s.LoadFromClipboardFormat(Block(core.Data));
  EXPECT_EQ(s.DIB.Header.biClrUsed, 2u);
  EXPECT_EQ(DibPixels(s.DIB), (std::vector<uint32_t>{1, 0, 1, 0, 1, 0, 1, 0, 1}));
}

TEST(DibStorage, MalformedClipboardBlocksRaiseTheirError) {
  const std::vector<uint8_t> good = TBytes().InfoHeader(3, 2, 24).Fill(24).Data;
  struct TCase {
    const char* name;
    std::vector<uint8_t> bytes;
    const char* message;
  };
  const std::vector<TCase> cases = {
      {"three bytes", {40, 0, 0}, "TDibStorage.LoadFromClipboardFormat: Clipboard Data Too Short"},
      {"header cut short", Truncated(good, 30),
       "TDibStorage.LoadFromClipboardFormat: Clipboard Data Too Short"},
      {"colour table cut short", TBytes().InfoHeader(1, 1, 8).Fill(100).Data,
       "TDibStorage.LoadFromClipboardFormat: Clipboard Data Too Short"},
      {"huge colour count", TBytes().InfoHeader(1, 1, 8, 0, 0x7FFFFFFF).Fill(8).Data,
       "TDibStorage.LoadFromClipboardFormat: Clipboard Data Too Short"},
      {"core header cut short", TBytes().U32(12).U16(1).U16(1).Data,
       "TDibStorage.LoadFromClipboardFormat: Clipboard Data Too Short"},
      {"20-byte header", Patched(good, 0, {20}),
       "TDibGraphic.LoadFromClipboardFormat: Invalid Clipboard Data"},
      {"width 0", Patched(good, 4, {0}), "TDibStorage.LoadFromStream: Invalid Width or Height"},
      {"2 bits", Patched(good, 14, {2}), "TDibStorage.LoadFromClipboardFormat: Invalid biBitCount"},
      // Bit counts that no size can be computed for are still refused for their bit count.
      {"0 bits", Patched(good, 14, {0}), "TDibStorage.LoadFromClipboardFormat: Invalid biBitCount"},
      {"65 bits", Patched(good, 14, {65}), "TDibStorage.LoadFromClipboardFormat: Invalid biBitCount"},
      {"65535 bits", Patched(good, 14, {0xFF, 0xFF}),
       "TDibStorage.LoadFromClipboardFormat: Invalid biBitCount"},
      {"too large", Patched(good, 4, {0xFF, 0xFF, 0xFF, 0x7F}),
       "TDibStorage.LoadFromClipboardFormat: Image Too Large"},
      {"pixels shorter than the rows", Truncated(good, 63),
       "TDibStorage.LoadFromClipboardFormat: Image Data Too Short"},
      {"32-bit rows cut short", TBytes().InfoHeader(2, 2, 32).Fill(15).Data,
       "TDibStorage.LoadFromClipboardFormat: Image Data Too Short"},
      {"zero masks", TBytes().InfoHeader(1, 1, 32, BI_BITFIELDS).Fill(16).Data,
       "TDibStorage.LoadFromStream: Invalid Masks"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.name);
    TDibStorage s(false);
    ExpectRaises<EDibInvalidDIB>([&] { s.LoadFromClipboardFormat(Block(c.bytes)); }, c.message);
    ExpectDefaultPicture(s);
  }
  TDibStorage s(false);
  ExpectRaises<EDibInvalidDIB>([&] { s.LoadFromClipboardFormat(nullptr); },
                               "TDibStorage.LoadFromClipboardFormat: Clipboard Data Too Short");
}

TEST(DibStorage, PaletteFollowsTheColourTable) {
  auto s = MakeStorage(1, 1, 4, {0xFF0000, 0x00FF00}, {0});
  const HPALETTE p = s->GetPaletteHandle();
  ASSERT_EQ(PaletteSize(p), 2);
  EXPECT_EQ(p->Entries[0], (TPaletteEntry{255, 0, 0, 0}));
  s->UpdatePalette();
  EXPECT_NE(s->GetPaletteHandle(), p) << "UpdatePalette drops the cached palette";
  auto t = MakeStorage(1, 1, 24, {}, {0});
  EXPECT_FALSE(t->GetPaletteHandle());
  t->RefCount = 2;
  ExpectRaises<EAssertionFailed>([&] { t->UpdatePalette(); },
                                 "TDibStorage.UpdatePalette: RefCount Must be 1");
  t->RefCount = 1;
}

TEST(DibStorage, SharedMemoryIsZeroedAndWritable) {
  TDibMemory m = GetMemory(100000, true);
  ASSERT_NE(m.MapHandle(), nullptr);
  for (int i = 0; i < 100000; i += 4099) EXPECT_EQ(m.Bits()[i], 0);
  m.Bits()[99999] = 7;
  TDibMemory moved = std::move(m);
  EXPECT_EQ(m.Bits(), nullptr);
  EXPECT_EQ(moved.Bits()[99999], 7);
  ReleaseMemory(moved);
  EXPECT_EQ(moved.Bits(), nullptr);
  ExpectRaises<EAssertionFailed>([&] { GetMemory(MaxPixelBytes + 1, false); }, "GetMemory: Invalid Size");
}

}  // namespace

namespace {

// Byte mutations of valid files and clipboard blocks: every outcome is a picture that converts to every
// format or a library or stream error; never a crash or an access out of bounds (run under the sanitizers).
TEST(DibStorage, MutatedInputNeverEscapesItsBuffers) {
  std::vector<std::vector<uint8_t>> seeds;
  for (TDibPixelFormat f : {dpf1Bit, dpf4BitRLE, dpf8Bit, dpf8BitRLE, dpf24Bit})
    seeds.push_back(SavedBytes(*StorageOfFormat(f, false)));
  seeds.push_back(TBytes()
                      .FileHeader(14 + 40 + 12 + 8, 14 + 40 + 12)
                      .InfoHeader(2, 1, 16, BI_BITFIELDS)
                      .U32(0xF800)
                      .U32(0x07E0)
                      .U32(0x1F)
                      .U16(1)
                      .U16(2)
                      .U32(0)
                      .Data);
  seeds.push_back(TBytes()
                      .FileHeader(14 + 12 + 6 + 4, 14 + 12 + 6)
                      .U32(12)
                      .U16(3)
                      .U16(1)
                      .U16(1)
                      .U16(1)
                      .Raw({0, 0, 0, 255, 255, 255, 0xA0, 0, 0, 0})
                      .Data);
  uint32_t state = 2024;
  auto next = [&state] { return state = state * 1664525u + 1013904223u; };
  int loaded = 0;
  for (int round = 0; round < 1500; ++round) {
    std::vector<uint8_t> bytes = seeds[static_cast<size_t>(round) % seeds.size()];
    const int edits = 1 + static_cast<int>(next() % 4);
    for (int e = 0; e < edits; ++e) {
      const uint32_t r = next();
      const size_t at = (r >> 8) % bytes.size();
      // Mostly the headers; sometimes anywhere. Small, large and sign-flipping values.
      const size_t pos = (r & 1) ? at % std::min<size_t>(bytes.size(), 70) : at;
      const uint8_t values[] = {0, 1, 2, 3, 4, 0x7F, 0x80, 0xFF, static_cast<uint8_t>(r >> 24)};
      bytes[pos] = values[(r >> 4) % std::size(values)];
    }
    if (next() % 5 == 0) bytes.resize(next() % bytes.size());
    for (bool clipboard : {false, true}) {
      TDibStorage s(false);
      try {
        if (clipboard) {
          if (bytes.size() <= 14) continue;
          HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, static_cast<int64_t>(bytes.size()) - 14);
          std::copy(bytes.begin() + 14, bytes.end(), GlobalLock(block));
          GlobalUnlock(block);
          s.LoadFromClipboardFormat(block);
        } else {
          LoadBytes(s, bytes);
        }
      } catch (const EDibError&) {
        continue;
      } catch (const EStreamError&) {
        continue;
      }
      ++loaded;
      if (int64_t{s.Width} * s.Height > 4096) continue;  // large pictures are valid but slow to convert
      for (int t = 0; t < 8; ++t) {
        try {
          TDibStorage copy(false);
          LoadBytes(copy, SavedBytes(s));
          copy.SetPixelsFormat(static_cast<TDibPixelFormat>(t), 0, nullptr, nullptr, clWhite);
        } catch (const EDibError&) {
        } catch (const EAssertionFailed&) {
        } catch (const EOutOfResources&) {
        }
      }
    }
  }
  EXPECT_GT(loaded, 50) << "mutations should still load often enough to exercise the converters";
}

}  // namespace
