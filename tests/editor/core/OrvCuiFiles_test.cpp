// Image files of the chip document: the bit depth chosen by the colour count, checked in files read back by
// libpng and stb_image; the PNG chunk sequence; the extension rules; loads that fail and leave their target
// as it was; saves that fail and leave an existing file as it was.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <ctime>
#include <functional>
#include <tuple>

#include "Bitmaps.h"
#include "ByteBuilders.h"
#include "DibImage.h"
#include "ExpectRaises.h"
#include "FileSizeLimit.h"
#include "LibpngOracle.h"
#include "NoiseImages.h"
#include "OrvCui.h"
#include "OrvCuiFiles.h"
#include "PixelRows.h"
#include "PngGraphic.h"
#include "PngReadStream.h"
#include "StbOracle.h"
#include "TestFiles.h"

using namespace filestest;

namespace {

// What an independent reader saw in a written file.
struct ReadBack {
  int BitCount = 0;  // bits per pixel as the file stores them
  std::vector<TColor> Pixels;
  std::vector<TPaletteEntry> Palette;  // PNG: PLTE entries
};

ReadBack ReadPngWithLibpng(const std::string& path) {
  const pngtest::Decoded d = pngtest::LibpngRead(ReadFileBytes(path), true);
  ReadBack r;
  EXPECT_TRUE(d.ColorType == PNG_COLOR_TYPE_PALETTE || d.ColorType == PNG_COLOR_TYPE_RGB) << d.ColorType;
  r.BitCount = d.ColorType == PNG_COLOR_TYPE_RGB ? 3 * d.BitDepth : d.BitDepth;
  for (const auto& row : d.Rows)
    for (size_t x = 0; x < d.Width; ++x) r.Pixels.push_back(RGB(row[4 * x], row[4 * x + 1], row[4 * x + 2]));
  for (const png_color& c : d.Palette) r.Palette.push_back(TPaletteEntry{c.red, c.green, c.blue, 0});
  return r;
}

ReadBack ReadBmpWithStb(const std::string& path) {
  const std::vector<uint8_t> file = ReadFileBytes(path);
  ReadBack r;
  if (file.size() < 30) {
    ADD_FAILURE() << "BMP file too short: " << file.size();
    return r;
  }
  r.BitCount = ReadLE16(file, 28);  // biBitCount
  const stbtest::StbImage image = stbtest::StbReadRgb(file);
  if (!image.Ok()) {
    ADD_FAILURE() << "stb_image: " << image.Error;
    return r;
  }
  const uint8_t* pixels = image.Rgb.data();
  for (int i = 0; i < image.Width * image.Height; ++i)
    r.Pixels.push_back(RGB(pixels[3 * i], pixels[3 * i + 1], pixels[3 * i + 2]));
  return r;
}

// The image the file must hold: the edit image taken through the DIB library's reduction to Bits (8, then 4,
// then 1, as far as Bits goes) and back to a platform bitmap.
std::unique_ptr<TBitmap> Reduced(TBitmap& edit, int bits) {
  TDibGraphic dib;
  dib.Assign(&edit);
  if (bits <= 8) dib.SetPixelFormat(dpf8Bit);
  if (bits <= 4) dib.SetPixelFormat(dpf4Bit);
  if (bits <= 1) dib.SetPixelFormat(dpf1Bit);
  auto result = std::make_unique<TBitmap>();
  dib.AssignTo(result.get());
  return result;
}

TPixelFormat FormatOfBits(int bits) {
  return bits == 1 ? pf1bit : bits == 4 ? pf4bit : bits == 8 ? pf8bit : pf24bit;
}

// ---------------------------------------------------------------------------------------------------------------
// Bit depth by colour count

struct DepthCase {
  const char* Name;
  int Count;
  TColor Single;  // the colour of a one-colour image; -1 for Count distinct colours
  int Bits;       // bits per pixel of the written file
};

void PrintTo(const DepthCase& c, std::ostream* os) {
  *os << c.Name;
}

class SaveDepth : public testing::TestWithParam<std::tuple<DepthCase, const char*>> {};

TEST_P(SaveDepth, FileHasTheDepthOfTheColourCountAndTheReducedPixels) {
  const auto& [c, ext] = GetParam();
  TempFolder folder;
  const std::string path = folder.Path(std::string("sheet") + ext);
  TOrvDatas doc;
  doc.SetChipSize(24, 16);
  FillWithColors(*doc.EditImage, 35, 23, c.Count,
                 [&c = c](int k) { return c.Single != -1 ? c.Single : DistinctColor(k); });
  ASSERT_EQ(TOrvDatas::CountColors(*doc.EditImage), c.Count);
  const BitmapSnapshot before = Snapshot(*doc.EditImage);
  const std::vector<TColor> original = PixelColors(*doc.EditImage);

  doc.SaveEditImage(path);

  // The edit image and the chip size are untouched; the folder holds the file and nothing else.
  EXPECT_EQ(Snapshot(*doc.EditImage), before);
  EXPECT_EQ(doc.ChipWidth, 24);
  EXPECT_EQ(doc.ChipHeight, 16);
  EXPECT_EQ(folder.Names(), std::vector<std::string>{std::string("sheet") + ext});

  const std::unique_ptr<TBitmap> expected = Reduced(*doc.EditImage, c.Bits);
  const auto read = [&ext = ext](const std::string& name) {
    return std::string(ext) == ".png" ? ReadPngWithLibpng(name) : ReadBmpWithStb(name);
  };
  const ReadBack file = read(path);
  EXPECT_EQ(file.BitCount, c.Bits);
  EXPECT_EQ(file.Pixels, PixelColors(*expected));
  if (std::string(ext) == ".png" && c.Bits <= 8) {
    ASSERT_TRUE(expected->Palette());
    EXPECT_EQ(file.Palette, expected->Palette()->Entries);
  }
  // A single colour and a true-colour file keep every colour exactly.
  if (c.Single != -1 || c.Bits == 24) {
    EXPECT_EQ(file.Pixels, original);
  }

  // The editor reads its own file back at the file's depth.
  doc.LoadMaterial(path);
  EXPECT_EQ(doc.Material->PixelFormat(), FormatOfBits(c.Bits));
  EXPECT_EQ(PixelColors(*doc.Material), PixelColors(*expected));

  // As the edit image it is held at 24 bits; saved again unchanged it keeps its depth and colours.
  doc.LoadEditImage(path);
  EXPECT_EQ(doc.EditImage->PixelFormat(), pf24bit);
  const std::string again = folder.Path(std::string("again") + ext);
  doc.SaveEditImage(again);
  const ReadBack second = read(again);
  EXPECT_EQ(second.BitCount, c.Bits);
  EXPECT_EQ(second.Pixels, file.Pixels);
}

// Chips stamped onto an edit image read from an indexed file keep their colours, in the image and in the file
// saved from it.
TEST(StampOnIndexedSheet, StampedColoursSurviveInTheImageAndTheSavedFile) {
  TempFolder folder;
  for (const char* name : {"sheet.bmp", "sheet.png"}) {
    TOrvDatas sheet;
    FillWithColors(*sheet.EditImage, 8, 4, 3, [](int k) { return RGB(255 * (k == 0), 255 * (k == 1), 255); });
    sheet.SaveEditImage(folder.Path(name));  // three colours: 4 bits

    TOrvDatas doc;
    doc.SetChipSize(4, 4);
    doc.LoadEditImage(folder.Path(name));
    FillWithColors(*doc.Material, 4, 4, 16, DistinctColor);  // none of the sheet's colours
    doc.StampSelection(Rect(0, 0, 4, 4), 4, 0);
    std::vector<TColor> expected = PixelColors(*sheet.EditImage);
    const std::vector<TColor> chip = PixelColors(*doc.Material);
    for (int y = 0; y < 4; ++y) std::copy_n(chip.begin() + 4 * y, 4, expected.begin() + 8 * y + 4);
    EXPECT_EQ(PixelColors(*doc.EditImage), expected) << name;

    const std::string saved = folder.Path(std::string("stamped") + ExtractFileExt(name));
    doc.SaveEditImage(saved);
    const ReadBack file = ExtractFileExt(name) == ".png" ? ReadPngWithLibpng(saved) : ReadBmpWithStb(saved);
    EXPECT_EQ(file.BitCount, 8) << name;  // 3 + 16 colours
    EXPECT_EQ(file.Pixels, expected) << name;
  }
}

// Sheets written straight from an indexed bitmap, with palettes that the reduction of a true-colour image
// would merge.

// A Width x Height bitmap in Format with Palette; pixel i (row by row) shows entry Entry(i).
template <class TEntryOf>
void FillIndexed(TBitmap& bitmap, int width, int height, TPixelFormat format,
                 const std::vector<TPaletteEntry>& palette, TEntryOf entry) {
  bitmap.SetImage(NewBitmapImage(width, height, format, CreatePalette(palette), false));
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      WritePixel(bitmap.ScanLine(y), x, bitmap.BitCount(), static_cast<uint32_t>(entry(y * width + x)));
}

// BMP files by the platform bitmap, PNG files by way of the DIB graphic, both at the bitmap's depth.
void WriteIndexedFile(TBitmap& bitmap, const std::string& path) {
  if (ExtractFileExt(path) == ".bmp") {
    bitmap.SaveToFile(path);
    return;
  }
  TDibGraphic dib;
  dib.Assign(&bitmap);
  TPngGraphic png;
  png.Assign(&dib);
  png.SaveToFile(path);
}

ReadBack ReadFile(const std::string& path) {
  return ExtractFileExt(path) == ".png" ? ReadPngWithLibpng(path) : ReadBmpWithStb(path);
}

// 200 reds (v, 0, 0), v = 0..199: eight of them share each bin of the true-colour reduction.
std::vector<TPaletteEntry> CloseReds() {
  std::vector<TPaletteEntry> reds;
  for (int v = 0; v < 200; ++v) reds.push_back(TPaletteEntry{static_cast<uint8_t>(v), 0, 0, 0});
  return reds;
}

// An 8-bit sheet loaded as the edit image and saved unchanged keeps its depth, its palette and every colour
// (a BMP file byte for byte); once a stamp brings a colour that is not in the palette, the reduction of a
// true-colour image takes over.
TEST(IndexedSheetColours, AnUnchangedEightBitSheetSavesExactlyAndAForeignColourIsReduced) {
  TempFolder folder;
  for (const char* ext : {".bmp", ".png"}) {
    TBitmap sheet;
    FillIndexed(sheet, 20, 10, pf8bit, CloseReds(), [](int i) { return i; });
    const std::string path = folder.Path(std::string("reds") + ext);
    WriteIndexedFile(sheet, path);

    TOrvDatas doc;
    doc.SetChipSize(5, 5);
    doc.LoadEditImage(path);
    const std::string again = folder.Path(std::string("again") + ext);
    doc.SaveEditImage(again);
    const ReadBack file = ReadFile(again);
    EXPECT_EQ(file.BitCount, 8) << ext;
    EXPECT_EQ(file.Pixels, PixelColors(sheet)) << ext;
    if (std::string(ext) == ".png") {
      EXPECT_EQ(file.Palette, CloseReds());
    } else {
      EXPECT_EQ(ReadFileBytes(again), ReadFileBytes(path));
    }

    FillWithColors(*doc.Material, 5, 5, 1, [](int) { return RGB(0, 255, 0); });
    doc.StampSelection(Rect(0, 0, 5, 5), 0, 0);
    const std::string stamped = folder.Path(std::string("stamped") + ext);
    doc.SaveEditImage(stamped);
    const ReadBack reduced = ReadFile(stamped);
    EXPECT_EQ(reduced.BitCount, 8) << ext;
    EXPECT_EQ(reduced.Pixels, PixelColors(*Reduced(*doc.EditImage, 8))) << ext;
    EXPECT_NE(reduced.Pixels, PixelColors(*doc.EditImage)) << ext;  // the close reds merged
  }
}

// Chips whose colours are all in the palette of a 4-bit sheet keep them exactly in the saved 4-bit file,
// although each pair of them shares a bin of the true-colour reduction.
TEST(IndexedSheetColours, StampsOfPaletteColoursOnAFourBitSheetStayExact) {
  TempFolder folder;
  const std::vector<TPaletteEntry> palette = {{200, 0, 0, 0}, {203, 0, 0, 0}, {0, 0, 200, 0}, {0, 0, 205, 0}};
  for (const char* ext : {".bmp", ".png"}) {
    TBitmap sheet;
    FillIndexed(sheet, 8, 4, pf4bit, palette, [](int i) { return i % 2; });
    const std::string path = folder.Path(std::string("sheet") + ext);
    WriteIndexedFile(sheet, path);

    TOrvDatas doc;
    doc.SetChipSize(4, 4);
    doc.LoadEditImage(path);
    FillWithColors(*doc.Material, 4, 4, 3, [](int k) { return RGB(0, 0, 200 + 5 * (k % 2)); });
    doc.StampSelection(Rect(0, 0, 4, 4), 4, 0);
    const std::vector<TColor> expected = PixelColors(*doc.EditImage);
    ASSERT_EQ(TOrvDatas::CountColors(*doc.EditImage), 4);

    const std::string saved = folder.Path(std::string("stamped") + ext);
    doc.SaveEditImage(saved);
    const ReadBack file = ReadFile(saved);
    EXPECT_EQ(file.BitCount, 4) << ext;
    EXPECT_EQ(file.Pixels, expected) << ext;
  }
}

// The palette is the loaded file's only while that picture is the edit image: a new edit image and a
// true-colour picture loaded after it are reduced like any true-colour image.
TEST(IndexedSheetColours, ANewImageOrATrueColourLoadForgetsThePalette) {
  TempFolder folder;
  TBitmap sheet;
  FillIndexed(sheet, 20, 10, pf8bit, CloseReds(), [](int i) { return i; });
  const std::string indexed = folder.Path("reds.bmp");
  WriteIndexedFile(sheet, indexed);
  sheet.SetPixelFormat(pf24bit);
  const std::string trueColour = folder.Path("reds24.bmp");
  sheet.SaveToFile(trueColour);

  const std::pair<const char*, std::function<void(TOrvDatas&)>> cases[] = {
      {"new image", [](TOrvDatas& doc) { doc.NewEditImage(4, 2); }},
      {"true-colour load", [&](TOrvDatas& doc) { doc.LoadEditImage(trueColour); }},
  };
  for (const auto& [name, after] : cases) {
    TOrvDatas doc;
    doc.SetChipSize(5, 5);
    doc.LoadEditImage(indexed);
    after(doc);
    ASSERT_EQ(PixelColors(*doc.EditImage), PixelColors(sheet)) << name;
    const std::string saved = folder.Path("saved.bmp");
    doc.SaveEditImage(saved);
    EXPECT_EQ(ReadBmpWithStb(saved).Pixels, PixelColors(*Reduced(*doc.EditImage, 8))) << name;
  }
}

const DepthCase DepthCases[] = {
    {"OneWhite", 1, clWhite, 1},
    {"OneBlack", 1, clBlack, 1},
    {"OneRed", 1, RGB(255, 0, 0), 4},
    {"OneGrey", 1, RGB(128, 128, 128), 4},
    {"Two", 2, -1, 4},
    {"Sixteen", 16, -1, 4},
    {"Seventeen", 17, -1, 8},
    {"TwoHundred", 200, -1, 8},
    {"TwoFiftySix", 256, -1, 8},
    {"TwoFiftySeven", 257, -1, 24},
    {"ThreeHundred", 300, -1, 24},
};

INSTANTIATE_TEST_SUITE_P(Counts, SaveDepth,
                         testing::Combine(testing::ValuesIn(DepthCases), testing::Values(".png", ".bmp")),
                         [](const auto& info) {
                           return std::string(std::get<0>(info.param).Name) +
                                  (std::string(std::get<1>(info.param)) == ".png" ? "Png" : "Bmp");
                         });

// An edit image read from an indexed file keeps its format through a save, and a black-and-white 1-bit image
// with its two colours goes to 4 bits like any two-colour image.
TEST(SaveIndexedEditImage, KeepsItsFormatAndGoesByItsColourCount) {
  TempFolder folder;
  TOrvDatas doc;
  FillWithColors(*doc.EditImage, 9, 5, 2, [](int k) { return k ? clWhite : clBlack; });
  doc.EditImage->SetPixelFormat(pf1bit);
  const BitmapSnapshot before = Snapshot(*doc.EditImage);
  doc.SaveEditImage(folder.Path("bw.png"));
  EXPECT_EQ(Snapshot(*doc.EditImage), before);
  const ReadBack file = ReadPngWithLibpng(folder.Path("bw.png"));
  EXPECT_EQ(file.BitCount, 4);
  EXPECT_EQ(file.Pixels, PixelColors(*doc.EditImage));
}

// ---------------------------------------------------------------------------------------------------------------
// The PNG chunk sequence of the encoder's defaults

std::vector<pngtest::Chunk> SavedChunks(TOrvDatas& doc, const std::string& path) {
  doc.SaveEditImage(path);
  return pngtest::ListChunks(ReadFileBytes(path));
}

void ExpectDefaultChunks(const std::vector<pngtest::Chunk>& chunks, bool palette) {
  std::vector<std::string> expected = {"IHDR", "tIME", "tEXt", "tiLE", "gAMA"};
  if (palette) expected.push_back("PLTE");
  const size_t idatCount = pngtest::ChunksOf(chunks, "IDAT").size();
  ASSERT_GE(idatCount, 1u);
  expected.insert(expected.end(), idatCount, "IDAT");
  expected.push_back("IEND");
  ASSERT_EQ(pngtest::ChunkTypes(chunks), expected);
  for (const auto& c : chunks) EXPECT_TRUE(c.CrcOk) << c.Type;

  const std::vector<uint8_t>& time = chunks[1].Data;
  ASSERT_EQ(time.size(), 7u);
  std::time_t now = std::time(nullptr);
  std::tm utc{};
  gmtime_r(&now, &utc);
  EXPECT_EQ((time[0] << 8) | time[1], utc.tm_year + 1900);
  const std::string software(chunks[2].Data.begin(), chunks[2].Data.end());
  EXPECT_EQ(software, std::string("Software\0Tilora ver 1.0", 23));
  EXPECT_EQ(chunks[3].Data, (std::vector<uint8_t>{'T', 'L', 'R', '3', 0, 0, 0, 0}));
  EXPECT_EQ(ReadBE32(chunks[4].Data, 0), 45455u);
  const auto idat = pngtest::ChunksOf(chunks, "IDAT");
  for (size_t i = 0; i + 1 < idat.size(); ++i) EXPECT_EQ(idat[i].Data.size(), 32768u) << i;
  EXPECT_LE(idat.back().Data.size(), 32768u);
  EXPECT_GT(idat.back().Data.size(), 0u);
}

TEST(SavePngChunks, TrueColourImageHasTheEncodersDefaultSequence) {
  TempFolder folder;
  TOrvDatas doc;
  doc.EditImage->SetImage(NewBitmapImage(160, 120, pfDevice, nullptr, false));
  pngtest::FillNoise(*doc.EditImage, 7);  // far more than 256 colours and more than one IDAT chunk
  const auto chunks = SavedChunks(doc, folder.Path("noise.png"));
  ExpectDefaultChunks(chunks, false);
  EXPECT_GT(pngtest::ChunksOf(chunks, "IDAT").size(), 1u);
  // IHDR: 160 x 120, depth 8, colour type 2, compression, filter and interlace 0.
  EXPECT_EQ(chunks[0].Data, (std::vector<uint8_t>{0, 0, 0, 160, 0, 0, 0, 120, 8, 2, 0, 0, 0}));
}

TEST(SavePngChunks, PaletteImageAddsPlteBeforeTheImageData) {
  TempFolder folder;
  TOrvDatas doc;
  FillWithColors(*doc.EditImage, 40, 30, 200, DistinctColor);
  const auto chunks = SavedChunks(doc, folder.Path("palette.png"));
  ExpectDefaultChunks(chunks, true);
  EXPECT_EQ(chunks[0].Data[8], 8);  // bit depth
  EXPECT_EQ(chunks[0].Data[9], 3);  // colour type: palette
}

// ---------------------------------------------------------------------------------------------------------------
// Extensions

TEST(ImageFileExtension, PngAndBmpInAnyLetterCaseFromTheLastComponent) {
  const std::pair<const char*, TImageFileKind> cases[] = {
      {"tiles.png", TImageFileKind::Png},          {"TILES.PNG", TImageFileKind::Png},
      {"tiles.Png", TImageFileKind::Png},          {"archive.tar.png", TImageFileKind::Png},
      {"maps.bmp/tiles.png", TImageFileKind::Png}, {"tiles.bmp", TImageFileKind::Bmp},
      {"tiles.BMP", TImageFileKind::Bmp},          {"C:\\maps\\a.b.Bmp", TImageFileKind::Bmp},
  };
  for (const auto& [name, kind] : cases) EXPECT_EQ(ImageFileKindOf(name, "load"), kind) << name;
}

TEST(ImageFileExtension, AnyOtherNameIsRefusedWithAClearMessage) {
  for (const char* name : {"out.gif", "tiles", "maps.png/tiles", "tiles.png.bak", "tiles.", "tiles.pngx"}) {
    ExpectRaises<EInvalidGraphic>(
        [&] { ImageFileKindOf(name, "save"); },
        std::string("Cannot save image \"") + name + "\": only .png and .bmp files are supported.");
  }
}

TEST(ImageFileExtension, SavesTheFormatTheNameSaysInAnyCaseAndNothingForOtherNames) {
  TempFolder folder;
  TOrvDatas doc;
  FillWithColors(*doc.EditImage, 8, 8, 3, DistinctColor);
  doc.SaveEditImage(folder.Path("UPPER.PNG"));
  doc.SaveEditImage(folder.Path("mixed.Bmp"));
  EXPECT_EQ(ReadFileBytes(folder.Path("UPPER.PNG"))[1], 'P');
  EXPECT_EQ(ReadFileBytes(folder.Path("mixed.Bmp"))[0], 'B');
  const std::string gif = folder.Path("out.gif");
  ExpectRaises<EInvalidGraphic>([&] { doc.SaveEditImage(gif); },
                                "Cannot save image \"" + gif + "\": only .png and .bmp files are supported.");
  EXPECT_EQ(folder.Names(), (std::vector<std::string>{"UPPER.PNG", "mixed.Bmp"}));
}

TEST(ImageFileExtension, SavingAnEmptyEditImageIsRefused) {
  TempFolder folder;
  TOrvDatas doc;
  const std::string path = folder.Path("empty.png");
  ExpectRaises<EInvalidGraphic>([&] { doc.SaveEditImage(path); },
                                "Cannot save image \"" + path + "\": the edit image is empty.");
  EXPECT_TRUE(folder.Names().empty());
}

// ---------------------------------------------------------------------------------------------------------------
// Loading

// A PNG with a header and an end but no image data.
std::vector<uint8_t> PngWithoutImageData() {
  return pngdec::PngBuilder().Ihdr(4, 4, 8, 2).End().bytes();
}

TEST(LoadImageFiles, ReadsPngAndBmpIntoMaterialAndEditImage) {
  TempFolder folder;
  TOrvDatas source;
  FillWithColors(*source.EditImage, 11, 7, 5, DistinctColor);
  source.SaveEditImage(folder.Path("five.png"));
  source.SaveEditImage(folder.Path("five.BMP"));
  const std::vector<TColor> colors = PixelColors(*source.EditImage);

  for (const char* name : {"five.png", "five.BMP"}) {
    TOrvDatas doc;
    doc.SetChipSize(16, 8);
    doc.LoadMaterial(folder.Path(name));
    doc.LoadEditImage(folder.Path(name));
    EXPECT_EQ(doc.Material->PixelFormat(), pf4bit) << name;
    EXPECT_EQ(doc.EditImage->PixelFormat(), pf24bit) << name;
    for (const TBitmap* image : {doc.Material.get(), doc.EditImage.get()})
      EXPECT_EQ(PixelColors(*image), colors) << name;
    EXPECT_EQ(doc.ChipWidth, 16);
    EXPECT_EQ(doc.ChipHeight, 8);
  }
}

enum class ErrorClass { InvalidGraphic, PngError, FOpenError };

struct LoadFailure {
  const char* Name;
  const char* File;                 // the file name in the folder
  std::vector<uint8_t> (*Bytes)();  // the file's contents; nullptr: no file at all
  ErrorClass Class;
  const char* Message;  // "{}" stands for the file's path
};

void PrintTo(const LoadFailure& c, std::ostream* os) {
  *os << c.Name;
}

bool IsOfClass(const std::exception& e, ErrorClass c) {
  switch (c) {
    case ErrorClass::InvalidGraphic:
      return dynamic_cast<const EInvalidGraphic*>(&e) != nullptr;
    case ErrorClass::PngError:
      return dynamic_cast<const EPngError*>(&e) != nullptr;
    case ErrorClass::FOpenError:
      return dynamic_cast<const EFOpenError*>(&e) != nullptr;
  }
  return false;
}

// The message of the exception the load raises, after checking its class.
std::string FailingLoad(const std::function<void()>& load, ErrorClass expected) {
  try {
    load();
  } catch (const std::exception& e) {
    EXPECT_TRUE(IsOfClass(e, expected)) << "unexpected exception class: " << e.what();
    return e.what();
  }
  ADD_FAILURE() << "the load succeeded";
  return {};
}

class LoadFails : public testing::TestWithParam<LoadFailure> {};

TEST_P(LoadFails, RaisesAndLeavesTheTargetAsItWas) {
  const LoadFailure& c = GetParam();
  TempFolder folder;
  const std::string path = folder.Path(c.File);
  if (c.Bytes) WriteFileBytes(path, c.Bytes());
  std::string expected = c.Message;
  if (const size_t at = expected.find("{}"); at != std::string::npos) expected.replace(at, 2, path);

  TOrvDatas doc;
  FillWithColors(*doc.Material, 5, 4, 3, DistinctColor);
  FillWithColors(*doc.EditImage, 6, 2, 4, DistinctColor);
  TBitmap material, edit;
  material.Assign(doc.Material.get());
  edit.Assign(doc.EditImage.get());

  EXPECT_EQ(FailingLoad([&] { doc.LoadMaterial(path); }, c.Class), expected);
  EXPECT_EQ(FailingLoad([&] { doc.LoadEditImage(path); }, c.Class), expected);
  // The targets still hold the very images they held.
  EXPECT_TRUE(doc.Material->SharesImageWith(material));
  EXPECT_TRUE(doc.EditImage->SharesImageWith(edit));
}

std::vector<uint8_t> SmallBmp() {
  TBitmap bitmap;
  FillWithColors(bitmap, 3, 3, 2, DistinctColor);
  TMemoryStream stream;
  bitmap.SaveToStream(stream);
  return stream.Data();
}

std::vector<uint8_t> SmallPng() {
  TPngGraphic png;
  png.Bitmap().SetImage(NewBitmapImage(3, 3, pf24bit, nullptr, true));
  TMemoryStream stream;
  png.SaveToStream(stream);
  return stream.Data();
}

const char* const NoImageData = "Cannot load image \"{}\": the PNG file holds no image data.";

std::vector<uint8_t> NoBytes() {
  return {};
}
std::vector<uint8_t> NotBm() {
  return {'X', 'Y', 1, 2, 3, 4, 5, 6, 7, 8};
}
std::vector<uint8_t> SignatureOnly() {
  return std::vector<uint8_t>(PngSignature.begin(), PngSignature.end());
}

INSTANTIATE_TEST_SUITE_P(
    Files, LoadFails,
    testing::Values(
        LoadFailure{"ZeroByteBmp", "empty.bmp", NoBytes, ErrorClass::InvalidGraphic, SInvalidBitmap},
        LoadFailure{"NotBmBmp", "text.bmp", NotBm, ErrorClass::InvalidGraphic, SInvalidBitmap},
        LoadFailure{"PngNamedBmp", "image.bmp", SmallPng, ErrorClass::InvalidGraphic, SInvalidBitmap},
        LoadFailure{"BmpNamedPng", "image.png", SmallBmp, ErrorClass::PngError, SPngNotPng},
        LoadFailure{"NoImageData", "header.png", PngWithoutImageData, ErrorClass::InvalidGraphic,
                    NoImageData},
        LoadFailure{"SignatureOnly", "signature.png", SignatureOnly, ErrorClass::InvalidGraphic, NoImageData},
        LoadFailure{"OtherExtension", "image.gif", SmallPng, ErrorClass::InvalidGraphic,
                    "Cannot load image \"{}\": only .png and .bmp files are supported."},
        LoadFailure{"Missing", "missing.png", nullptr, ErrorClass::FOpenError,
                    "Cannot open file \"{}\". No such file or directory"}),
    [](const auto& info) { return std::string(info.param.Name); });

// ---------------------------------------------------------------------------------------------------------------
// The atomic save

TEST(AtomicSaveFolder, AMissingFolderRaisesTheCreateErrorAndWritesNothing) {
  TempFolder folder;
  TOrvDatas doc;
  FillWithColors(*doc.EditImage, 4, 4, 2, DistinctColor);
  const std::string path = folder.Path("missing/sheet.png");
  ExpectRaises<EFCreateError>([&] { doc.SaveEditImage(path); },
                              "Cannot create file \"" + path + "\". No such file or directory");
  EXPECT_TRUE(folder.Names().empty());
}

}  // namespace
