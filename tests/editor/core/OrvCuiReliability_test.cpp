// Reliability of the readers and writers: valid pictures of every kind cut at every length and with single
// bytes of their headers changed; headers that announce pictures too large to hold; compressed image data far
// longer than the image; and writes that fail after any number of bytes.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <zlib.h>

#include <csignal>
#include <cstring>
#include <functional>
#include <typeinfo>

#include "Bitmaps.h"
#include "ByteBuilders.h"
#include "ExpectRaises.h"
#include "FileSizeLimit.h"
#include "LibpngOracle.h"
#include "NoiseImages.h"
#include "OrvCui.h"
#include "PngGraphic.h"
#include "PngReadStream.h"
#include "SeedPictures.h"
#include "TestFiles.h"

using namespace filestest;

namespace {

using Bytes = std::vector<uint8_t>;

// ---------------------------------------------------------------------------------------------------------------
// Fixtures

// PNG files written by libpng: every colour type and depth, transparency and interlacing.
struct PngKind {
  const char* Name;
  int ColorType, BitDepth, Interlace;
  bool Transparency;
};
const PngKind kPngKinds[] = {
    {"grey1", PNG_COLOR_TYPE_GRAY, 1, 0, false},
    {"grey2", PNG_COLOR_TYPE_GRAY, 2, 0, false},
    {"grey4", PNG_COLOR_TYPE_GRAY, 4, 0, false},
    {"grey8", PNG_COLOR_TYPE_GRAY, 8, 0, false},
    {"grey16_trns", PNG_COLOR_TYPE_GRAY, 16, 0, true},
    {"rgb8", PNG_COLOR_TYPE_RGB, 8, 0, false},
    {"rgb16_trns", PNG_COLOR_TYPE_RGB, 16, 0, true},
    {"palette1", PNG_COLOR_TYPE_PALETTE, 1, 0, false},
    {"palette2", PNG_COLOR_TYPE_PALETTE, 2, 0, false},
    {"palette4_adam7", PNG_COLOR_TYPE_PALETTE, 4, 1, false},
    {"palette8_trns", PNG_COLOR_TYPE_PALETTE, 8, 0, true},
    {"greyalpha8", PNG_COLOR_TYPE_GRAY_ALPHA, 8, 0, false},
    {"greyalpha16_adam7", PNG_COLOR_TYPE_GRAY_ALPHA, 16, 1, false},
    {"rgba8_adam7", PNG_COLOR_TYPE_RGB_ALPHA, 8, 1, false},
    {"rgba16", PNG_COLOR_TYPE_RGB_ALPHA, 16, 0, false},
};

Bytes PngFile(const PngKind& kind) {
  pngdec::LibpngDesc desc;
  desc.Width = 9;
  desc.Height = 7;
  desc.ColorType = kind.ColorType;
  desc.BitDepth = kind.BitDepth;
  desc.Interlace = kind.Interlace;
  if (kind.ColorType == PNG_COLOR_TYPE_PALETTE) {
    for (int i = 0; i < (1 << kind.BitDepth); ++i)
      desc.Palette.push_back(png_color{static_cast<png_byte>(i * 3), static_cast<png_byte>(255 - i),
                                       static_cast<png_byte>(i * 7)});
    if (kind.Transparency) desc.Trans = {0, 128, 255, 7};
  } else if (kind.Transparency) {
    desc.TransColor = png_color_16{0, 0x1234, 0x5678, 0x9ABC, 0x1234};
  }
  return pngdec::LibpngWrite(desc, pngdec::NoiseRows(desc, 11));
}

// Bytes of a PNG up to and including the zlib header at the start of its first IDAT chunk.
size_t PngHeaderBytes(const Bytes& png) {
  size_t at = 8;
  while (at + 8 <= png.size()) {
    const uint32_t length = ReadBE32(png, at);
    if (std::memcmp(png.data() + at + 4, "IDAT", 4) == 0) return at + 8 + 2;
    at += 12 + length;
  }
  return png.size();
}

// Bytes of a BMP file before its pixels (file header, info header, masks and colour table).
size_t BmpHeaderBytes(const Bytes& bmp) {
  return std::min<size_t>(BITMAPFILEHEADER::Read(bmp).bfOffBits, bmp.size());
}

std::string ClassOf(const std::exception& e) {
  return typeid(e).name();
}

// DIB pixel memory on the heap while it lives, where the sanitizers see every access (mappings hide
// overruns within their last page).
struct HeapDibs {
  HeapDibs() { SetDibDefaultUseFMO(false); }
  ~HeapDibs() { SetDibDefaultUseFMO(true); }
  HeapDibs(const HeapDibs&) = delete;
  HeapDibs& operator=(const HeapDibs&) = delete;
};

// ---------------------------------------------------------------------------------------------------------------
// Damaged files: each load either succeeds or raises the reader's error, and a failed load leaves the target
// as it was.

// What a reader may raise for damaged data: checks the exception and says what is wrong with it.
using TRefusalRule = std::function<testing::AssertionResult(const std::exception&)>;

testing::AssertionResult InvalidBitmap(const std::exception& e) {
  if (dynamic_cast<const EInvalidGraphic*>(&e) && std::string(e.what()) == SInvalidBitmap)
    return testing::AssertionSuccess();
  return testing::AssertionFailure() << ClassOf(e) << ": " << e.what();
}

// The PNG load of the document: the decoder's error, or the document's own for a file without image data.
TRefusalRule PngLoadRefusal(const std::string& path) {
  return [path](const std::exception& e) -> testing::AssertionResult {
    if (dynamic_cast<const EPngError*>(&e)) return testing::AssertionSuccess();
    if (dynamic_cast<const EInvalidGraphic*>(&e) &&
        std::string(e.what()) == "Cannot load image \"" + path + "\": the PNG file holds no image data.")
      return testing::AssertionSuccess();
    return testing::AssertionFailure() << ClassOf(e) << ": " << e.what();
  };
}

// The DIB library's readers: its own errors, or a short read of the stream.
testing::AssertionResult DibRefusal(const std::exception& e) {
  if (dynamic_cast<const EDibError*>(&e) || dynamic_cast<const EReadError*>(&e))
    return testing::AssertionSuccess();
  return testing::AssertionFailure() << ClassOf(e) << ": " << e.what();
}

// What a DIB graphic holds, as it holds it (compressed pixels are not decoded): the size, and the header,
// colour table and pixel memory one after the other in place of the pixels.
BitmapSnapshot DibState(const TDibGraphic& dib) {
  const TDibRecord& record = dib.InternalDIB()->DIB;
  BitmapSnapshot s;
  s.Width = dib.Width();
  s.Height = dib.Height();
  const auto* header = reinterpret_cast<const uint8_t*>(&record.Header);
  const auto* colors = reinterpret_cast<const uint8_t*>(record.Colors.data());
  s.Bits.assign(header, header + sizeof record.Header);
  s.Bits.insert(s.Bits.end(), colors, colors + 4 * std::min<size_t>(record.Header.biClrUsed, 256));
  s.Bits.insert(s.Bits.end(), record.Bits(), record.Bits() + record.ImageSize);
  return s;
}

// A reader under test: loads Data into its target, and tells what the target holds.
struct TReaderUnderTest {
  std::function<void(const Bytes& Data)> Load;
  std::function<BitmapSnapshot()> State;
  TRefusalRule Refusal;
};

// Runs one damaged input through the reader; fails on a foreign exception, a wrong refusal, or a refusal that
// changed the target.
testing::AssertionResult LoadOrRefuse(const TReaderUnderTest& reader, const Bytes& data) {
  const BitmapSnapshot before = reader.State();
  try {
    reader.Load(data);
    return testing::AssertionSuccess();
  } catch (const Exception& e) {
    if (testing::AssertionResult rule = reader.Refusal(e); !rule) return rule;
    if (!(reader.State() == before)) return testing::AssertionFailure() << "refused, but the target changed";
    return testing::AssertionSuccess();
  } catch (const std::exception& e) {
    return testing::AssertionFailure() << "foreign exception " << ClassOf(e) << ": " << e.what();
  }
}

// Every cut of the file, and every byte of its first HeaderBytes changed by each of a few masks; then the
// undamaged file, which loads when the reader knows its kind.
void Sweep(const TReaderUnderTest& reader, const Bytes& file, size_t headerBytes, bool known = true) {
  for (size_t length = 0; length < file.size(); ++length) {
    const Bytes cut(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(length));
    ASSERT_TRUE(LoadOrRefuse(reader, cut)) << "cut at " << length << " of " << file.size();
  }
  for (size_t at = 0; at < headerBytes; ++at)
    for (uint8_t mask : {0x01, 0x80, 0xFF}) {
      Bytes flipped = file;
      flipped[at] ^= mask;
      ASSERT_TRUE(LoadOrRefuse(reader, flipped)) << "byte " << at << " xor " << int{mask};
    }
  if (known) {
    EXPECT_NO_THROW(reader.Load(file));
  }
}

// The document's edit-image load through a file of the given name; the edit image starts as a small picture.
TReaderUnderTest DocumentLoad(TOrvDatas& doc, const std::string& path, TRefusalRule refusal) {
  FillWithColors(*doc.EditImage, 5, 3, 4, DistinctColor);
  return {[&doc, path](const Bytes& data) {
            WriteFileBytes(path, data);
            doc.LoadEditImage(path);
          },
          [&doc] { return Snapshot(*doc.EditImage); }, std::move(refusal)};
}

class PngDamage : public testing::TestWithParam<PngKind> {};

TEST_P(PngDamage, EveryCutAndHeaderByteLoadsOrRaisesTheDecodersErrorAndKeepsTheEditImage) {
  TempFolder folder;
  const std::string path = folder.Path("damaged.png");
  TOrvDatas doc;
  const Bytes file = PngFile(GetParam());
  Sweep(DocumentLoad(doc, path, PngLoadRefusal(path)), file, PngHeaderBytes(file));
}

INSTANTIATE_TEST_SUITE_P(Kinds, PngDamage, testing::ValuesIn(kPngKinds),
                         [](const auto& info) { return std::string(info.param.Name); });

class BmpDamage : public testing::TestWithParam<seeds::TNamed> {};

TEST_P(BmpDamage, EveryCutAndHeaderByteLoadsOrRaisesInvalidBitmapAndKeepsTheEditImage) {
  TempFolder folder;
  TOrvDatas doc;
  const Bytes& file = GetParam().Data;
  Sweep(DocumentLoad(doc, folder.Path("damaged.bmp"), InvalidBitmap), file, BmpHeaderBytes(file));
}

TEST_P(BmpDamage, TheDibLibrarysStreamReaderLoadsOrRaisesItsErrorAndKeepsItsPicture) {
  const HeapDibs heap;
  TDibGraphic dib;
  dib.Assign(seeds::Picture(pf8bit).get());
  const TReaderUnderTest reader{[&dib](const Bytes& data) {
                                  TMemoryStream stream;
                                  stream.Data() = data;
                                  dib.LoadFromStream(stream);
                                },
                                [&dib] { return DibState(dib); }, DibRefusal};
  const Bytes& file = GetParam().Data;
  const bool known = GetParam().Name != "v5";  // the DIB library reads no 124-byte headers
  Sweep(reader, file, BmpHeaderBytes(file), known);

  // What the DIB library reads of the undamaged file shows the colours the bitmap's own reader shows (within
  // the rounding of bit-field channels).
  TMemoryStream stream;
  stream.Data() = file;
  TBitmap viaBitmap, viaDib;
  viaBitmap.LoadFromStream(stream);
  if (known) {
    dib.AssignTo(&viaDib);
    const std::vector<TColor> a = PixelColors(viaBitmap), b = PixelColors(viaDib);
    ASSERT_EQ(a.size(), b.size());
    for (size_t i = 0; i < a.size(); ++i)
      for (int shift : {0, 8, 16})
        ASSERT_NEAR((a[i] >> shift) & 0xFF, (b[i] >> shift) & 0xFF, 4) << "pixel " << i;
  }
}

INSTANTIATE_TEST_SUITE_P(Kinds, BmpDamage, testing::ValuesIn(seeds::BmpFiles()),
                         [](const auto& info) { return info.param.Name; });

class PackedDibDamage : public testing::TestWithParam<seeds::TNamed> {};

TEST_P(PackedDibDamage, BothClipboardReadersLoadOrRaiseTheirErrorAndKeepTheirPicture) {
  const Bytes& block = GetParam().Data;
  const size_t header = std::min<size_t>(block.size(), 40 + 12 + 4 * 256);
  const auto asBlock = [](const Bytes& data) {
    auto memory = std::make_shared<TGlobalMemory>();
    memory->Bytes = data;
    return memory;
  };

  TBitmap bitmap;
  bitmap.SetImage(NewBitmapImage(3, 2, pf8bit, nullptr, true));
  Sweep({[&](const Bytes& data) { bitmap.LoadFromClipboardFormat(CF_DIB, asBlock(data), nullptr); },
         [&] { return Snapshot(bitmap); }, InvalidBitmap},
        block, header);

  const HeapDibs heap;
  TDibGraphic dib;
  dib.Assign(seeds::Picture(pf4bit).get());
  Sweep({[&](const Bytes& data) { dib.LoadFromClipboardFormat(CF_DIB, asBlock(data), nullptr); },
         [&] { return DibState(dib); }, DibRefusal},
        block, header);
}

INSTANTIATE_TEST_SUITE_P(Kinds, PackedDibDamage, testing::ValuesIn(seeds::PackedDibs()),
                         [](const auto& info) { return info.param.Name; });

// A PNG of the header and one IDAT chunk holding Data.
Bytes PngWithData(uint32_t width, uint32_t height, uint8_t depth, uint8_t colorType, const Bytes& data) {
  return pngdec::PngBuilder().Ihdr(width, height, depth, colorType).Chunk("IDAT", data).End().bytes();
}

// A zlib stream that asks for a preset dictionary (FDICT in its header) ends the load with the read error
// instead of asking forever.
TEST(PngDamageZlib, AStreamAskingForAPresetDictionaryRaisesTheReadError) {
  Bytes data = pngdec::Compress(Bytes(4 * 3, 7));
  uint8_t flags = static_cast<uint8_t>((data[1] & 0xC0) | 0x20);                   // FDICT
  flags = static_cast<uint8_t>(flags + (31 - (data[0] * 256 + flags) % 31) % 31);  // header check
  data[1] = flags;
  data.insert(data.begin() + 2, {0, 0, 0, 1});  // the dictionary's Adler-32
  TMemoryStream stream;
  stream.Data() = PngWithData(3, 3, 8, 0, data);
  TPngGraphic png;
  ExpectRaises<EPngError>([&] { png.LoadFromStream(stream); }, SPngReadError);
}

// A chunk length above 2^31 - 1 runs past the end of any file: what follows lies inside that chunk, so the
// decoder ends there without an image (and its count of the chunk's bytes never wraps).
TEST(PngDamageChunkLength, ALengthAbove2To31EndsTheFileInsideThatChunk) {
  const Bytes image = pngdec::Compress({0, 1, 2, 0, 3, 4});
  for (uint32_t length : {0x80000000u, 0x80000002u, 0xFFFFFFFFu}) {
    SCOPED_TRACE(length);
    Bytes file = PngWithData(2, 2, 8, 0, image);
    Bytes chunk;
    AppendBE32(chunk, length);
    chunk.insert(chunk.end(), {'b', 'K', 'G', 'D', 0, 9, 0, 0, 0, 0});  // the CRC is not checked
    file.insert(file.begin() + 8 + 25, chunk.begin(), chunk.end());     // after the signature and IHDR
    TMemoryStream stream;
    stream.Data() = file;
    TPngGraphic png;
    png.LoadFromStream(stream);
    EXPECT_TRUE(png.Empty());
  }
}

// ---------------------------------------------------------------------------------------------------------------
// Allocation limits

// Peak resident memory of this process, in bytes.
int64_t PeakResidentBytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return int64_t{usage.ru_maxrss} * 1024;
}

Bytes InfoHeaderBmp(int32_t width, int32_t height, uint16_t bits, uint32_t compression, uint32_t fileSize,
                    size_t pixelBytes) {
  const uint32_t colors = bits <= 8 ? 4u << bits : 0;
  Bytes d;
  AppendHeader(d, seeds::FileHeader(fileSize, 14 + 40 + colors));
  BITMAPINFOHEADER info;
  info.biWidth = width;
  info.biHeight = height;
  info.biBitCount = bits;
  info.biCompression = compression;
  AppendHeader(d, info);
  d.resize(d.size() + colors + pixelBytes, 0);
  return d;
}

Bytes PackedDib(int32_t width, int32_t height, uint16_t bits) {
  Bytes d = InfoHeaderBmp(width, height, bits, BI_RGB, 0, 64);
  return Bytes(d.begin() + 14, d.end());
}

Bytes HugePng(uint32_t width, uint32_t height, uint8_t depth, uint8_t colorType) {
  return PngWithData(width, height, depth, colorType, pngdec::Compress(Bytes(64, 0)));
}

struct HugeCase {
  const char* Name;
  std::function<void()> Load;
  std::function<testing::AssertionResult(const std::exception&)> Expected;
};

testing::AssertionResult Message(const std::exception& e, const std::string& text) {
  if (text == e.what()) return testing::AssertionSuccess();
  return testing::AssertionFailure() << ClassOf(e) << ": " << e.what();
}

void LoadBitmapStream(const Bytes& data) {
  TMemoryStream stream;
  stream.Data() = data;
  TBitmap bitmap;
  bitmap.LoadFromStream(stream);
}

void LoadDibStream(const Bytes& data) {
  TMemoryStream stream;
  stream.Data() = data;
  TDibGraphic dib;
  dib.LoadFromStream(stream);
}

void LoadPng(const Bytes& data) {
  TMemoryStream stream;
  stream.Data() = data;
  TPngGraphic png;
  png.LoadFromStream(stream);
}

std::shared_ptr<TGlobalMemory> Block(Bytes data) {
  auto block = std::make_shared<TGlobalMemory>();
  block->Bytes = std::move(data);
  return block;
}

TEST(AllocationLimits, HeadersAnnouncingPicturesTooLargeToHoldAreRefusedBeforeMemoryIsTouched) {
  const uint32_t gib = 1u << 30;
  const auto bmpInvalid = [](const std::exception& e) { return InvalidBitmap(e); };
  const std::vector<HugeCase> cases = {
      {"bitmap reader, 100000 x 100000 at 24 bits",
       [] { LoadBitmapStream(InfoHeaderBmp(100000, 100000, 24, BI_RGB, 0, 64)); }, bmpInvalid},
      {"bitmap reader, 40000 x 40000 at 8 bits without its pixels",
       [&] { LoadBitmapStream(InfoHeaderBmp(40000, 40000, 8, BI_RGB, gib + gib / 2, 64)); }, bmpInvalid},
      {"bitmap reader, RLE8 65536 x 65536",
       [] { LoadBitmapStream(InfoHeaderBmp(65536, 65536, 8, BI_RLE8, 0, 2)); }, bmpInvalid},
      {"bitmap reader, core header 65535 x 65535 at 24 bits",
       [] {
         Bytes d = seeds::CoreHeaderBmp();
         d[18] = d[19] = d[20] = d[21] = 0xFF;
         d[24] = 24;
         LoadBitmapStream(d);
       },
       bmpInvalid},
      {"bitmap clipboard, 100000 x 100000 at 24 bits",
       [] { TBitmap().LoadFromClipboardFormat(CF_DIB, Block(PackedDib(100000, 100000, 24)), nullptr); },
       bmpInvalid},
      {"DIB stream, 100000 x 100000 at 24 bits",
       [] { LoadDibStream(InfoHeaderBmp(100000, 100000, 24, BI_RGB, 0, 64)); },
       [](const std::exception& e) { return Message(e, "TDibStorage.LoadFromStream: Image Too Large"); }},
      {"DIB stream, 40000 x 40000 at 8 bits without its pixels",
       [&] { LoadDibStream(InfoHeaderBmp(40000, 40000, 8, BI_RGB, gib + gib / 2, 64)); },
       [](const std::exception& e) { return DibRefusal(e); }},
      {"DIB clipboard, 100000 x 100000 at 24 bits",
       [] { TDibGraphic().LoadFromClipboardFormat(CF_DIB, Block(PackedDib(100000, 100000, 24)), nullptr); },
       [](const std::exception& e) {
         return Message(e, "TDibStorage.LoadFromClipboardFormat: Image Too Large");
       }},
      {"PNG, 2^31 - 1 square at 16-bit RGBA", [] { LoadPng(HugePng(0x7FFFFFFF, 0x7FFFFFFF, 16, 6)); },
       [](const std::exception& e) { return Message(e, SPngTooLarge); }},
      {"PNG, 2^31 - 1 x 1 grey", [] { LoadPng(HugePng(0x7FFFFFFF, 1, 8, 0)); },
       [](const std::exception& e) { return Message(e, SPngTooLarge); }},
      {"PNG, 100000 x 100000 grey", [] { LoadPng(HugePng(100000, 100000, 8, 0)); },
       [](const std::exception& e) { return Message(e, SPngTooLarge); }},
      {"PNG, width above 2^31", [] { LoadPng(HugePng(0x80000001u, 1, 1, 0)); },
       [](const std::exception& e) { return Message(e, SPngTooLarge); }},
  };
  const HeapDibs heap;
  for (const HugeCase& c : cases) {
    SCOPED_TRACE(c.Name);
    const int64_t before = PeakResidentBytes();
    try {
      c.Load();
      ADD_FAILURE() << "loaded";
    } catch (const std::exception& e) {
      EXPECT_TRUE(c.Expected(e));
    }
    EXPECT_LT(PeakResidentBytes() - before, int64_t{64} << 20);
  }
}

// A memory stream that counts the calls to Write.
class TWriteCounter : public TMemoryStream {
 public:
  int64_t Write(const void* Buffer, int64_t Count) override {
    ++Calls;
    return TMemoryStream::Write(Buffer, Count);
  }
  int64_t Calls = 0;
};

// A BMP may count a billion rows of no pixels (width 0); the bitmap reads it as an empty picture, and its
// writers do not step through the rows.
TEST(AllocationLimits, APictureOfWidthZeroAndABillionRowsIsWrittenWithoutVisitingItsRows) {
  TMemoryStream file;
  file.Data() = InfoHeaderBmp(0, 1 << 30, 8, BI_RGB, 0, 0);
  TBitmap bitmap;
  bitmap.LoadFromStream(file);
  ASSERT_TRUE(bitmap.Empty());
  ASSERT_EQ(bitmap.Height(), 1 << 30);
  TWriteCounter written;
  bitmap.SaveToStream(written);
  EXPECT_LE(written.Calls, 2);
  uint16_t format = 0;
  HGLOBAL block;
  HPALETTE palette;
  bitmap.SaveToClipboardFormat(format, block, palette);
  EXPECT_EQ(block->Bytes.size(), written.Data().size() - 14);
}

// A stream over memory that counts the bytes read from it; not a memory stream, so readers go through Read.
class TCountingStream : public TStream {
 public:
  explicit TCountingStream(Bytes data) : FData(std::move(data)) {}
  int64_t Read(void* Buffer, int64_t Count) override {
    const int64_t n = std::clamp<int64_t>(static_cast<int64_t>(FData.size()) - FPosition, 0, Count);
    std::memcpy(Buffer, FData.data() + FPosition, static_cast<size_t>(n));
    FPosition += n;
    BytesRead += n;
    return n;
  }
  int64_t Write(const void*, int64_t) override { return 0; }
  int64_t Seek(int64_t Offset, TSeekOrigin Origin) override {
    const int64_t base = Origin == soBeginning ? 0 : Origin == soCurrent ? FPosition : Size();
    FPosition = base + Offset;
    return FPosition;
  }
  int64_t Size() override { return static_cast<int64_t>(FData.size()); }
  int64_t BytesRead = 0;

 private:
  Bytes FData;
  int64_t FPosition = 0;
};

TEST(AllocationLimits, CompressedDataInflatingFarPastTheImageStopAtTheImagesEnd) {
  // A 4 x 3 grey image whose zlib stream goes on with 256 MiB of zeros after its rows.
  const Bytes rows = {0, 10, 20, 30, 40, 0, 50, 60, 70, 80, 0, 90, 100, 110, 120};
  z_stream z{};
  ASSERT_EQ(deflateInit(&z, 9), Z_OK);
  Bytes compressed;
  const Bytes zeros(1 << 20, 0);
  const auto feed = [&](const Bytes& in, int flush) {
    z.next_in = const_cast<Bytef*>(in.data());
    z.avail_in = static_cast<uInt>(in.size());
    uint8_t out[65536];
    do {
      z.next_out = out;
      z.avail_out = sizeof out;
      deflate(&z, flush);
      compressed.insert(compressed.end(), out, out + (sizeof out - z.avail_out));
    } while (z.avail_out == 0);
  };
  feed(rows, Z_NO_FLUSH);
  for (int i = 0; i < 256; ++i) feed(zeros, i == 255 ? Z_FINISH : Z_NO_FLUSH);
  deflateEnd(&z);
  const Bytes file = pngdec::PngBuilder().Ihdr(4, 3, 8, 0).Chunk("IDAT", compressed).End().bytes();
  ASSERT_GT(file.size(), 200000u);

  TCountingStream stream(file);
  TPngGraphic png;
  png.LoadFromStream(stream);
  ASSERT_EQ(png.Width(), 4);
  ASSERT_EQ(png.Height(), 3);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 4; ++x) {
      const uint8_t v = rows[static_cast<size_t>(y * 5 + 1 + x)];
      EXPECT_EQ(png.Bitmap().GetPixel(x, y) & 0xFFFFFF, RGB(v, v, v)) << x << "," << y;
    }
  // The rest of the compressed data was stepped over, not read and inflated.
  EXPECT_LT(stream.BytesRead, static_cast<int64_t>(file.size()) / 2);
  EXPECT_EQ(stream.Position(), static_cast<int64_t>(file.size()));
}

// ---------------------------------------------------------------------------------------------------------------
// Failing writes

// A memory stream that takes Capacity bytes and then no more: a write transfers what still fits.
class TFailingStream : public TMemoryStream {
 public:
  explicit TFailingStream(int64_t capacity) : FCapacity(capacity) {}
  int64_t Write(const void* Buffer, int64_t Count) override {
    return TMemoryStream::Write(Buffer, std::clamp<int64_t>(FCapacity - Position(), 0, Count));
  }

 private:
  int64_t FCapacity;
};

struct WriterCase {
  const char* Name;
  std::function<void(TStream&)> Write;
};

std::vector<WriterCase> Writers() {
  static TStringList list;
  list.SetText("/home/user/chips/a.png\r\n/home/user/chips/b.bmp\r\n\r\nlast");
  static std::unique_ptr<TBitmap> picture = seeds::Picture(pf8bit, 19, 11);
  static TPngGraphic png;
  png.Assign(picture.get());
  png.UseCurrentTime = false;
  static TPngGraphic adam7;
  adam7.Assign(seeds::Picture(pf24bit, 13, 9).get());
  adam7.Interlace = 1;
  adam7.UseCurrentTime = false;
  static TDibGraphic dib;
  dib.Assign(picture.get());
  return {
      {"png", [](TStream& s) { png.SaveToStream(s); }},
      {"png_adam7", [](TStream& s) { adam7.SaveToStream(s); }},
      {"bmp", [](TStream& s) { picture->SaveToStream(s); }},
      {"dib", [](TStream& s) { dib.SaveToStream(s); }},
      {"dib_rle8", [](TStream& s) { seeds::RleDib(8)->SaveToStream(s); }},
      {"settings", [](TStream& s) { list.SaveToStream(s); }},
  };
}

class FailingStream : public testing::TestWithParam<WriterCase> {};

TEST_P(FailingStream, AStreamFailingAfterAnyNumberOfBytesGivesTheWriteError) {
  TMemoryStream whole;
  GetParam().Write(whole);
  const int64_t length = whole.Size();
  ASSERT_GT(length, 0);
  for (int64_t n = 0; n < length; ++n) {
    TFailingStream stream(n);
    ExpectRaises<EWriteError>([&] { GetParam().Write(stream); }, SWriteError);
    if (HasFailure()) return;  // the first length that fails tells it all
  }
  TFailingStream stream(length);
  GetParam().Write(stream);
  EXPECT_EQ(stream.Data(), whole.Data());
}

INSTANTIATE_TEST_SUITE_P(Writers, FailingStream, testing::ValuesIn(Writers()),
                         [](const auto& info) { return std::string(info.param.Name); });

// The PNG encoder's buffer is 64 KiB: a larger file fails at every flush and in between.
TEST(FailingStreamLarge, ThePngWriterFailsAtEveryBufferBoundaryWithTheWriteError) {
  TPngGraphic png;
  png.Bitmap().SetImage(NewBitmapImage(300, 200, pf24bit, nullptr, false));
  uint32_t noise = 5;
  for (int y = 0; y < png.Height(); ++y)
    for (int i = 0; i < png.Bitmap().RowBytes(); ++i) {
      noise = noise * 1103515245u + 12345u;
      png.Bitmap().ScanLine(y)[i] = static_cast<uint8_t>(noise >> 16);
    }
  png.UseCurrentTime = false;
  png.CompressionLevel = 0;
  TMemoryStream whole;
  png.SaveToStream(whole);
  ASSERT_GT(whole.Size(), 2 * CodecBufferSize);
  for (int64_t k = 1; k * CodecBufferSize < whole.Size(); ++k)
    for (int64_t n : {k * CodecBufferSize - 1, k * CodecBufferSize, k * CodecBufferSize + 1}) {
      TFailingStream stream(n);
      EXPECT_THROW(png.SaveToStream(stream), EWriteError) << n;
    }
}

class FailingSave : public testing::TestWithParam<const char*> {};

TEST_P(FailingSave, SaveEditImageFailingAfterAnyNumberOfBytesLeavesTheOldFileAndNoTemporary) {
  TOrvDatas doc;
  FillWithColors(*doc.EditImage, 12, 9, 20, DistinctColor);
  const BitmapSnapshot before = Snapshot(*doc.EditImage);
  ExpectAtomicUnderEveryLimit(std::string("sheet") + GetParam(),
                              [&](const std::string& path) { doc.SaveEditImage(path); });
  EXPECT_EQ(Snapshot(*doc.EditImage), before);
}

INSTANTIATE_TEST_SUITE_P(Formats, FailingSave, testing::Values(".png", ".bmp"),
                         [](const auto& info) { return std::string(info.param + 1); });

}  // namespace
