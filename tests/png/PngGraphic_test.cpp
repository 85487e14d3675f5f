#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "ExpectRaises.h"
#include "PngDecoderSupport.h"
#include "PngEncoderSupport.h"
#include "PngGraphic.h"
#include "TestFiles.h"

using pngenc::Bytes;
using pngtest::ChunksOf;
using pngtest::ChunkTypes;
using pngtest::ListChunks;

namespace {

Bytes Save(TPngGraphic& graphic) {
  TMemoryStream stream;
  graphic.SaveToStream(stream);
  return stream.Data();
}

void Load(TPngGraphic& graphic, const Bytes& file) {
  TMemoryStream stream;
  stream.Data() = file;
  graphic.LoadFromStream(stream);
}

Bytes Chunk(const Bytes& file, const std::string& type) {
  const auto chunks = ChunksOf(ListChunks(file), type);
  return chunks.empty() ? Bytes{} : chunks.front().Data;
}

// A graphic holding a copy of Bitmap's image.
std::unique_ptr<TPngGraphic> GraphicOf(TBitmap& bitmap) {
  auto graphic = std::make_unique<TPngGraphic>();
  graphic->Assign(&bitmap);
  return graphic;
}

// An RGBA file written by libpng.
Bytes LibpngRgba(uint32_t width, uint32_t height, uint32_t seed) {
  pngdec::LibpngDesc desc;
  desc.Width = width;
  desc.Height = height;
  desc.ColorType = PNG_COLOR_TYPE_RGB_ALPHA;
  return pngdec::LibpngWrite(desc, pngdec::NoiseRows(desc, seed));
}

// ---------------------------------------------------------------------------------------------------------------

TEST(PngGraphic, DefaultsAfterCreate) {
  TPngGraphic graphic;
  EXPECT_TRUE(graphic.Empty());
  EXPECT_EQ(graphic.Width(), 0);
  EXPECT_EQ(graphic.IDATSize, 32768);
  EXPECT_EQ(graphic.CompressionLevel, -1);
  EXPECT_EQ(graphic.FilterType, 1);
  EXPECT_EQ(graphic.Gamma, 0.45455);
  EXPECT_EQ(graphic.BackgroundColor, -1);
  EXPECT_EQ(graphic.TransparentColor, -1);
  EXPECT_TRUE(graphic.CheckMacBinary);
  EXPECT_TRUE(graphic.UseCurrentTime);
  EXPECT_FALSE(graphic.HasAlpha);
  EXPECT_EQ(graphic.ImageTime.Year, GetSystemTime().wYear);
  EXPECT_EQ(graphic.Chromaticity, TPngChromaticity{});
  EXPECT_TRUE(graphic.AlphaBitmap().Empty());
}

// What the tool writes: the fixed sequence of the graphic's defaults, for palette and 24-bit images.
TEST(PngGraphic, SaveWritesTheFixedSequence) {
  for (const TPixelFormat format : {pf1bit, pf4bit, pf8bit, pf24bit}) {
    auto bitmap = pngenc::NoiseBitmap(40, 30, format, 5);
    auto graphic = GraphicOf(*bitmap);
    const Bytes file = Save(*graphic);
    std::vector<std::string> want = {"IHDR", "tIME", "tEXt", "tiLE", "gAMA"};
    if (format != pf24bit) want.push_back("PLTE");
    want.insert(want.end(), {"IDAT", "IEND"});
    EXPECT_EQ(ChunkTypes(ListChunks(file)), want);
    EXPECT_EQ(Chunk(file, "gAMA"), (Bytes{0, 0, 0xB1, 0x8F}));  // 45455
    EXPECT_EQ(pngenc::ComparePixels(pngtest::LibpngRead(file, true), *bitmap, nullptr, false), "");
  }
}

TEST(PngGraphic, LoadSaveKeepsCommentPhysicalSizeAndSignificantBits) {
  auto bitmap = pngenc::NoiseBitmap(9, 7, pf24bit, 2);
  auto first = GraphicOf(*bitmap);
  first->Comment = "chips";
  first->PhysUnit = 1;
  first->PhysX = 3780;
  first->PhysY = 3781;
  first->SignificantBits = 0x060708;
  first->UseCurrentTime = false;
  first->ImageTime = TPngTime{2001, 2, 3, 4, 5, 6};
  const Bytes file = Save(*first);

  TPngGraphic loaded;
  Load(loaded, file);
  EXPECT_EQ(loaded.Comment, "chips\r\n");
  EXPECT_EQ(loaded.PhysUnit, 1);
  EXPECT_EQ(loaded.PhysX, 3780);
  EXPECT_EQ(loaded.PhysY, 3781);
  EXPECT_EQ(loaded.SignificantBits, 0x060708);
  EXPECT_EQ(loaded.ImageTime.Year, 2001);
  EXPECT_EQ(loaded.ImageTime.Second, 6);
  EXPECT_EQ(loaded.Interlace, 0);
  EXPECT_FALSE(loaded.GrayScale);
  EXPECT_EQ(loaded.BitDepth, 24);
  EXPECT_EQ(loaded.Width(), 9);

  // Saved again: the same chunks; the loaded tIME while UseCurrentTime is off, the clock's while it is on.
  loaded.UseCurrentTime = false;
  const Bytes again = Save(loaded);
  EXPECT_EQ(Chunk(again, "pHYs"), Chunk(file, "pHYs"));
  EXPECT_EQ(Chunk(again, "sBIT"), (Bytes{8, 7, 6}));
  EXPECT_EQ(Chunk(again, "tIME"), (Bytes{0x07, 0xD1, 2, 3, 4, 5, 6}));
  const auto comments = ChunksOf(ListChunks(again), "tEXt");
  ASSERT_EQ(comments.size(), 2u);
  const std::string text(comments[0].Data.begin(), comments[0].Data.end());
  EXPECT_EQ(text, std::string("Comment\0chips\r\n", 15));
  loaded.UseCurrentTime = true;
  const Bytes now = Save(loaded);
  EXPECT_EQ(Chunk(now, "tIME")[0] << 8 | Chunk(now, "tIME")[1], GetSystemTime().wYear);
  EXPECT_EQ(pngenc::ComparePixels(pngtest::LibpngRead(now, true), *bitmap, nullptr, false), "");
}

TEST(PngGraphic, RgbaFileSavesAsRgbaAgainButACopyDoesNot) {
  const Bytes file = LibpngRgba(5, 4, 3);
  const auto reference = pngtest::LibpngRead(file, true);
  TPngGraphic graphic;
  Load(graphic, file);
  ASSERT_TRUE(graphic.HasAlpha);
  EXPECT_EQ(graphic.AlphaBitmap().PixelFormat(), pf8bit);

  const Bytes saved = Save(graphic);
  EXPECT_EQ(Chunk(saved, "IHDR")[9], 6);
  EXPECT_EQ(pngtest::LibpngRead(saved, true).Rows, reference.Rows);

  TPngGraphic copy;
  copy.Assign(&graphic);
  EXPECT_FALSE(copy.HasAlpha);
  EXPECT_EQ(Chunk(Save(copy), "IHDR")[9], 2);
  copy.HasAlpha = true;
  EXPECT_EQ(pngtest::LibpngRead(Save(copy), true).Rows, reference.Rows);
}

TEST(PngGraphic, FailedLoadKeepsTheMetadata) {
  auto bitmap = pngenc::NoiseBitmap(3, 3, pf24bit, 1);
  auto graphic = GraphicOf(*bitmap);
  graphic->Comment = "kept";
  graphic->ImageTime = TPngTime{1999, 1, 1, 0, 0, 0};
  ExpectRaises<EPngError>(
      [&] {
        Load(*graphic, Bytes{1, 2, 3, 4, 5, 6, 7, 8, 9});
      },
      "PNG LoadStream: Not PNG Format");
  EXPECT_EQ(graphic->Comment, "kept");
  EXPECT_EQ(graphic->ImageTime.Year, 1999);
}

TEST(PngGraphic, SaveRefusals) {
  // A new graphic holds no image: the encoder refuses it before writing.
  TPngGraphic empty;
  TMemoryStream stream;
  ExpectRaises<EPngError>([&] { empty.SaveToStream(stream); }, "Write Image (PNG): Invalid Width or Height");
  EXPECT_EQ(stream.Size(), 0);
  empty.WriteData(stream);
  EXPECT_EQ(stream.Size(), 0);

  auto bitmap = pngenc::NoiseBitmap(3, 3, pf8bit, 1);
  auto graphic = GraphicOf(*bitmap);
  graphic->IDATSize = 200;
  ExpectRaises<EPngError>([&] { graphic->SaveToStream(stream); },
                          "Write PNG Param: Err IDAT Size(min:256  max:100000)");
  EXPECT_EQ(stream.Size(), 0);
  graphic->IDATSize = 256;
  EXPECT_NO_THROW(graphic->SaveToStream(stream));
  EXPECT_GT(stream.Size(), 0);
}

// The form-data pair writes with the encoder's defaults and reads back keeping Interlace.
TEST(PngGraphic, FormData) {
  auto bitmap = pngenc::NoiseBitmap(6, 5, pf24bit, 8);
  auto graphic = GraphicOf(*bitmap);
  graphic->Interlace = 1;
  graphic->FilterType = 3;
  graphic->Comment = "form";
  TMemoryStream stream;
  graphic->WriteData(stream);
  const Bytes file = stream.Data();
  EXPECT_EQ(Chunk(file, "IHDR")[12], 0);  // no interlace
  EXPECT_EQ(pngenc::RowFilters(file, 18), Bytes(5, 0));
  EXPECT_FALSE(Chunk(file, "gAMA").empty());

  TPngGraphic read;
  read.Interlace = 1;
  int changes = 0;
  read.OnChange = [&](TObject*) { ++changes; };
  stream.SetPosition(0);
  read.ReadData(stream);
  EXPECT_EQ(read.Interlace, 1);
  EXPECT_EQ(read.Comment, "form\r\n");
  EXPECT_GE(changes, 1);
  EXPECT_EQ(pngenc::ComparePixels(pngtest::LibpngRead(Save(read), true), *bitmap, nullptr, false), "");
}

// ---------------------------------------------------------------------------------------------------------------
// Assignment.

TEST(PngGraphic, AssignFromAndToPlatformBitmaps) {
  auto bitmap = pngenc::NoiseBitmap(4, 4, pf8bit, 3);
  TPngGraphic graphic;
  graphic.Assign(bitmap.get());
  EXPECT_TRUE(graphic.Bitmap().SharesImageWith(*bitmap));
  EXPECT_EQ(graphic.Width(), 4);
  EXPECT_EQ(graphic.Palette(), bitmap->Palette());
  EXPECT_TRUE(graphic.PaletteModified);

  TBitmap target;
  target.Assign(&graphic);
  EXPECT_TRUE(target.SharesImageWith(graphic.Bitmap()));
}

TEST(PngGraphic, AssignFromAnotherPngGraphicCopiesOptionsAndMetadata) {
  auto bitmap = pngenc::NoiseBitmap(4, 4, pf24bit, 3);
  auto source = GraphicOf(*bitmap);
  source->AlphaBitmap().Assign(pngenc::NoiseBitmap(4, 4, pf8bit, 4).get());
  source->CompressionLevel = 3;
  source->FilterType = 4;
  source->IDATSize = 1000;
  source->Interlace = 1;
  source->GrayScale = true;
  source->Comment = "c";
  source->BackgroundColor = 5;
  source->TransparentColor = 6;
  source->Gamma = 1.5;
  source->SignificantBits = 0x080808;
  source->PhysUnit = 1;
  source->PhysX = 7;
  source->PhysY = 8;
  source->UseCurrentTime = false;
  source->ImageTime = TPngTime{2010, 1, 2, 3, 4, 5};
  source->Chromaticity = {1, 2, 3, 4, 5, 6, 7, 8};
  source->HasAlpha = true;
  source->BitDepth = 24;
  source->Key = "k";
  source->CheckMacBinary = false;
  source->Allow16Bit = true;
  source->GifControl = {1, 2, 3, 4};

  TPngGraphic copy;
  copy.Assign(source.get());
  EXPECT_TRUE(copy.Bitmap().SharesImageWith(source->Bitmap()));
  EXPECT_TRUE(copy.AlphaBitmap().SharesImageWith(source->AlphaBitmap()));
  EXPECT_EQ(copy.CompressionLevel, 3);
  EXPECT_EQ(copy.FilterType, 4);
  EXPECT_EQ(copy.IDATSize, 1000);
  EXPECT_EQ(copy.Interlace, 1);
  EXPECT_TRUE(copy.GrayScale);
  EXPECT_EQ(copy.Comment, "c");
  EXPECT_EQ(copy.BackgroundColor, 5);
  EXPECT_EQ(copy.TransparentColor, 6);
  EXPECT_EQ(copy.Gamma, 1.5);
  EXPECT_EQ(copy.SignificantBits, 0x080808);
  EXPECT_EQ(copy.PhysUnit, 1);
  EXPECT_EQ(copy.PhysX, 7);
  EXPECT_EQ(copy.PhysY, 8);
  EXPECT_FALSE(copy.UseCurrentTime);
  EXPECT_EQ(copy.ImageTime.Year, 2010);
  EXPECT_EQ(copy.Chromaticity, source->Chromaticity);
  // Left as they were.
  EXPECT_FALSE(copy.HasAlpha);
  EXPECT_EQ(copy.BitDepth, 0);
  EXPECT_EQ(copy.Key, "");
  EXPECT_TRUE(copy.CheckMacBinary);
  EXPECT_FALSE(copy.Allow16Bit);
  EXPECT_EQ(copy.GifControl, TPngGifControl{});
}

TEST(PngGraphic, AssignmentErrors) {
  TPngGraphic graphic;
  int changes = 0;
  graphic.OnChange = [&](TObject*) { ++changes; };
  ExpectRaises<EConvertError>([&] { graphic.Assign(nullptr); }, "Cannot assign a nil to a TPngGraphic");
  TStringList list;
  ExpectRaises<EConvertError>([&] { graphic.Assign(&list); }, "Cannot assign a TStringList to a TPngGraphic");
  ExpectRaises<EConvertError>([&] { list.Assign(&graphic); }, "Cannot assign a TPngGraphic to a TStringList");
  EXPECT_EQ(changes, 0);
}

// ---------------------------------------------------------------------------------------------------------------
// Size, palette, transparency, drawing, clipboard, progress, files and the registry.

TEST(PngGraphic, SizeChangesOnlyTouchNonEmptyBitmaps) {
  TPngGraphic graphic;
  int changes = 0;
  graphic.OnChange = [&](TObject*) { ++changes; };
  graphic.SetWidth(10);
  EXPECT_EQ(changes, 1);
  EXPECT_TRUE(graphic.Empty());
  EXPECT_EQ(graphic.Width(), 0);

  TPngGraphic loaded;
  Load(loaded, LibpngRgba(5, 4, 1));
  loaded.SetWidth(8);
  loaded.SetHeight(2);
  EXPECT_EQ(loaded.Width(), 8);
  EXPECT_EQ(loaded.AlphaBitmap().Width(), 8);
  EXPECT_EQ(loaded.AlphaBitmap().Height(), 2);
}

TEST(PngGraphic, TransparencyFollowsTheLoadedBitmap) {
  pngdec::LibpngDesc desc;
  desc.Width = 3;
  desc.Height = 2;
  desc.ColorType = PNG_COLOR_TYPE_RGB;
  desc.TransColor = png_color_16{0, 10, 20, 30, 0};
  TPngGraphic graphic;
  Load(graphic, pngdec::LibpngWrite(desc, pngdec::NoiseRows(desc, 4)));
  EXPECT_TRUE(graphic.Transparent());
  EXPECT_TRUE(graphic.Bitmap().Transparent());
  EXPECT_EQ(graphic.TransparentColor, RGB(10, 20, 30));
  // Setting the flag on the graphic passes it to the bitmap.
  graphic.SetTransparent(false);
  EXPECT_FALSE(graphic.Bitmap().Transparent());
}

TEST(PngGraphic, DrawStretchesIntoTheRectangle) {
  auto bitmap = pngtest::MakeBitmap(2, 1, pf24bit);
  bitmap->ScanLine(0)[2] = 255;  // pixel 0 red
  bitmap->ScanLine(0)[3] = 255;  // pixel 1 blue
  auto graphic = GraphicOf(*bitmap);
  auto canvasBitmap = pngtest::MakeBitmap(4, 2, pf24bit);
  canvasBitmap->Canvas().StretchDraw(Rect(0, 0, 4, 2), *graphic);
  EXPECT_EQ(canvasBitmap->GetPixel(0, 0), RGB(255, 0, 0));
  EXPECT_EQ(canvasBitmap->GetPixel(1, 1), RGB(255, 0, 0));
  EXPECT_EQ(canvasBitmap->GetPixel(2, 0), RGB(0, 0, 255));
  EXPECT_EQ(canvasBitmap->GetPixel(3, 1), RGB(0, 0, 255));
}

TEST(PngGraphic, ClipboardRoundTrip) {
  auto bitmap = pngenc::NoiseBitmap(5, 3, pf24bit, 9);
  auto graphic = GraphicOf(*bitmap);
  uint16_t format = 0;
  HGLOBAL data;
  HPALETTE palette;
  graphic->SaveToClipboardFormat(format, data, palette);
  EXPECT_EQ(format, CF_DIB);
  TPngGraphic pasted;
  pasted.LoadFromClipboardFormat(format, data, palette);
  EXPECT_EQ(pngenc::ComparePixels(pngtest::LibpngRead(Save(pasted), true), *bitmap, nullptr, false), "");
}

TEST(PngGraphic, ProgressReachesTheGraphicsHandler) {
  auto bitmap = pngenc::NoiseBitmap(8, 8, pf24bit, 9);
  auto graphic = GraphicOf(*bitmap);
  int own = 0;
  graphic->Bitmap().OnProgress = [&](TObject*, TProgressStage, uint8_t, bool, const TRect&,
                                     const std::string&) { ++own; };
  std::vector<int> percents;
  graphic->OnProgress = [&](TObject*, TProgressStage, uint8_t percent, bool, const TRect&,
                            const std::string&) { percents.push_back(percent); };
  const Bytes file = Save(*graphic);
  ASSERT_FALSE(percents.empty());
  EXPECT_EQ(percents.back(), 100);
  percents.clear();
  Load(*graphic, file);
  ASSERT_FALSE(percents.empty());
  EXPECT_EQ(percents.back(), 100);
  EXPECT_EQ(own, 0);
  EXPECT_TRUE(static_cast<bool>(graphic->Bitmap().OnProgress));
}

TEST(PngGraphic, FilesAndTheRegistry) {
  const filestest::TempFolder folder;
  const std::string path = folder.Path("pngw_graphic.png");
  auto bitmap = pngenc::NoiseBitmap(7, 3, pf4bit, 2);
  GraphicOf(*bitmap)->SaveToFile(path);

  PngGraphicInitialize();
  auto opened = TPicture::CreateForExtension("png");
  ASSERT_NE(opened, nullptr);
  EXPECT_STREQ(opened->ClassName(), "TPngGraphic");
  opened->LoadFromFile(path);
  EXPECT_EQ(opened->Width(), 7);
  bool listed = false;
  for (const auto& f : TPicture::FileFormats())
    listed |= (f.Extension == "PNG" || f.Extension == "png") && f.Description == "PNG Format" &&
              f.ClassName == "TPngGraphic";  // the registry may keep the extension in either case
  EXPECT_TRUE(listed);
  PngGraphicFinalize();
  EXPECT_EQ(TPicture::CreateForExtension("png"), nullptr);

  TBitmap loaded;
  loaded.Assign(opened.get());
  EXPECT_EQ(loaded.PixelFormat(), pf4bit);
  for (int x = 0; x < 7; ++x) EXPECT_EQ(loaded.GetPixel(x, 2), bitmap->GetPixel(x, 2));
}

}  // namespace
