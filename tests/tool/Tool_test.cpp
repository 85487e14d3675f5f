// tilora-tool run as a program: usage and exit codes, convert against the editor's own save, decode to PAM,
// info as JSON and the colour count. Input PNGs are written with libpng.
#include <gtest/gtest.h>
#include <png.h>
#include <sys/wait.h>

#include <cstdlib>
#include <stdexcept>

#include "Bitmaps.h"
#include "ByteBuilders.h"
#include "LibpngOracle.h"
#include "OrvCui.h"
#include "TestFiles.h"
#include "ToolRun.h"

using namespace filestest;
using namespace toolrun;

namespace {

// A PNG written by libpng: its image and its rows, packed as the colour type and depth lay them out.
struct PngInput {
  pngdec::LibpngDesc Image;
  std::vector<pngdec::Bytes> Rows;
  void Write(const std::string& path) const { WriteFileBytes(path, pngdec::LibpngWrite(Image, Rows)); }
};

// An 8-bit RGB (or RGBA) PNG whose pixel i shows colour DistinctColor(i % count); alpha, when asked for, is
// (i * 37) & 255.
PngInput RgbInput(uint32_t width, uint32_t height, int count, bool alpha) {
  PngInput s;
  s.Image.Width = width, s.Image.Height = height;
  s.Image.ColorType = alpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB;
  for (uint32_t y = 0; y < height; ++y) {
    pngdec::Bytes row;
    for (uint32_t x = 0; x < width; ++x) {
      const int i = static_cast<int>(y * width + x);
      const TColor c = DistinctColor(i % count);
      row.insert(row.end(), {GetRValue(c), GetGValue(c), GetBValue(c)});
      if (alpha) row.push_back(static_cast<uint8_t>(i * 37));
    }
    s.Rows.push_back(row);
  }
  return s;
}

// A 7 x 5, 4-bit palette PNG of three colours, pixel i showing entry i % 3.
const std::vector<png_color> ThreeColors = {{200, 10, 20}, {0, 128, 255}, {90, 90, 90}};

std::vector<pngdec::Bytes> PaletteRows() {
  std::vector<pngdec::Bytes> rows;
  for (uint32_t y = 0; y < 5; ++y) {
    pngdec::Bytes row(4);
    for (uint32_t x = 0; x < 7; ++x) row[x / 2] |= static_cast<uint8_t>(((y * 7 + x) % 3) << (x % 2 ? 0 : 4));
    rows.push_back(row);
  }
  return rows;
}

PngInput PaletteInput() {
  PngInput s;
  s.Image.Width = 7, s.Image.Height = 5;
  s.Image.ColorType = PNG_COLOR_TYPE_PALETTE;
  s.Image.BitDepth = 4;
  s.Image.Palette = ThreeColors;
  s.Rows = PaletteRows();
  return s;
}

std::string PamHeader(int width, int height, bool alpha) {
  return "P7\nWIDTH " + std::to_string(width) + "\nHEIGHT " + std::to_string(height) + "\nDEPTH " +
         (alpha ? "4" : "3") + "\nMAXVAL 255\nTUPLTYPE " + (alpha ? "RGB_ALPHA" : "RGB") + "\nENDHDR\n";
}

// ---------------------------------------------------------------------------------------------------------------

TEST(ToolUsage, HelpExplainsEveryCommand) {
  TempFolder folder;
  const ToolRun run = RunTool(folder, {"--help"});
  EXPECT_EQ(run.Status, 0);
  for (const char* text : {"convert IN OUT", "decode IN OUT.pam", "info IN", "colors IN", "Exit status"})
    EXPECT_NE(run.Out.find(text), std::string::npos) << text;
  EXPECT_EQ(run.Err, "");
}

TEST(ToolUsage, VersionNamesTheProgram) {
  TempFolder folder;
  const ToolRun run = RunTool(folder, {"--version"});
  EXPECT_EQ(run.Status, 0);
  EXPECT_EQ(run.Out, std::string("tilora-tool ") + TILORA_VERSION + "\n");
  EXPECT_EQ(run.Err, "");
}

TEST(ToolUsage, UsageErrorsExitWithStatus2) {
  TempFolder folder;
  const std::vector<std::vector<std::string>> cases = {{},
                                                       {"paint", "a.png"},
                                                       {"convert", "a.png"},
                                                       {"convert", "a.png", "b.png", "c.png"},
                                                       {"decode", "a.png"},
                                                       {"info"},
                                                       {"colors", "a.png", "b.png"},
                                                       {"convert", "--profile", "gif", "a.png", "b.png"},
                                                       {"convert", "a.png", "b.png", "--profile"},
                                                       {"convert", "--key-color", "red", "a.png", "b.png"},
                                                       {"convert", "--exact", "a.png", "b.png"}};
  for (const auto& args : cases) {
    const ToolRun run = RunTool(folder, args);
    EXPECT_EQ(run.Status, 2) << testing::PrintToString(args);
    EXPECT_EQ(run.Out, "");
    EXPECT_EQ(run.Err.rfind("tilora-tool: ", 0), 0u) << run.Err;
  }
  EXPECT_TRUE(folder.Names().empty());
}

TEST(ToolConvert, WritesWhatTheEditorsSaveWrites) {
  TempFolder folder;
  const std::string in = folder.Path("in.png");
  RgbInput(13, 9, 6, false).Write(in);
  TOrvDatas doc;
  doc.LoadEditImage(in);
  doc.SaveEditImage(folder.Path("editor.bmp"));
  doc.SaveEditImage(folder.Path("editor.png"));

  ASSERT_EQ(RunTool(folder, {"convert", in, folder.Path("tool.BMP")}).Status, 0);
  ASSERT_EQ(RunTool(folder, {"convert", in, folder.Path("tool.png")}).Status, 0);
  const std::vector<uint8_t> bmp = ReadFileBytes(folder.Path("tool.BMP"));
  EXPECT_EQ(bmp, ReadFileBytes(folder.Path("editor.bmp")));
  EXPECT_EQ(bmp[28], 4);  // six colours: 4 bits per pixel
  // The PNGs differ only in the time of writing.
  auto chunks = pngtest::ListChunks(ReadFileBytes(folder.Path("tool.png")));
  auto expected = pngtest::ListChunks(ReadFileBytes(folder.Path("editor.png")));
  ASSERT_EQ(pngtest::ChunkTypes(chunks), pngtest::ChunkTypes(expected));
  for (size_t i = 0; i < chunks.size(); ++i) {
    if (chunks[i].Type == "tIME") continue;
    EXPECT_EQ(chunks[i].Data, expected[i].Data) << chunks[i].Type;
  }
}

// A one-row RGB PNG of the reds 0 .. Count - 1 (green 0, blue 0).
PngInput RedRamp(int count) {
  PngInput s;
  s.Image.Width = static_cast<uint32_t>(count);
  s.Image.ColorType = PNG_COLOR_TYPE_RGB;
  pngdec::Bytes row;
  for (int i = 0; i < count; ++i) row.insert(row.end(), {static_cast<uint8_t>(i), 0, 0});
  s.Rows.push_back(row);
  return s;
}

TEST(ToolConvert, ExactColoursKeepARampTheDesignedReductionMerges) {
  TempFolder folder;
  RedRamp(200).Write(folder.Path("ramp.png"));
  ASSERT_EQ(RunTool(folder, {"convert", folder.Path("ramp.png"), folder.Path("merged.png")}).Status, 0);
  ASSERT_EQ(RunTool(folder, {"convert", "--exact-colors", folder.Path("ramp.png"), folder.Path("exact.png")})
                .Status,
            0);
  const pngtest::Decoded merged = pngtest::LibpngRead(ReadFileBytes(folder.Path("merged.png")), false);
  const pngtest::Decoded exact = pngtest::LibpngRead(ReadFileBytes(folder.Path("exact.png")), false);
  EXPECT_EQ(merged.Palette.size(), 25u);  // red 0 .. 199 share 25 histogram bins
  ASSERT_EQ(exact.ColorType, PNG_COLOR_TYPE_PALETTE);
  ASSERT_EQ(exact.Palette.size(), 200u);
  for (int i = 0; i < 200; ++i) {
    const png_color c = exact.Palette[exact.Rows[0][static_cast<size_t>(i)]];
    EXPECT_EQ(std::vector<int>({c.red, c.green, c.blue}), std::vector<int>({i, 0, 0}));
  }
}

TEST(ToolConvert, Rpg2000ProfileWarnsOfTheSizeAndRefusesTooManyColours) {
  TempFolder folder;
  RgbInput(16, 8, 6, false).Write(folder.Path("six.png"));
  const ToolRun run = RunTool(folder, {"convert", "--profile", "rpg2000", "--key-color", "#000000",
                                       folder.Path("six.png"), folder.Path("sheet.bmp")});
  EXPECT_EQ(run.Status, 0);
  EXPECT_EQ(
      run.Err,
      "Warning: The sheet is 16 x 8 pixels: RPG Maker 2000/2003 reads a ChipSet only at 480 x 256 pixels "
      "(CharSets and other sheets have other sizes).\n");
  const std::vector<uint8_t> bmp = ReadFileBytes(folder.Path("sheet.bmp"));
  EXPECT_EQ(ReadLE16(bmp, 28), 8);  // 8 bits, uncompressed
  EXPECT_EQ(ReadLE32(bmp, 30), 0u);
  EXPECT_EQ(ReadLE32(bmp, 46), 7u);  // black (the key, unused) and the six colours
  EXPECT_EQ(ReadLE32(bmp, 54), 0u);

  RgbInput(20, 15, 300, false).Write(folder.Path("many.png"));
  const ToolRun many =
      RunTool(folder, {"convert", "--profile", "rpg2000", folder.Path("many.png"), folder.Path("many.bmp")});
  EXPECT_EQ(many.Status, 1);
  EXPECT_EQ(many.Err,
            "Cannot save image \"" + folder.Path("many.bmp") +
                "\" for RPG Maker 2000/2003: the sheet has 299 colours besides the key colour, and an "
                "8-bit palette holds 255 besides it.\n");
  EXPECT_FALSE(std::filesystem::exists(folder.Path("many.bmp")));
}

TEST(ToolConvert, FailuresPrintTheEditorsMessageAndExit1) {
  TempFolder folder;
  const std::string png = folder.Path("in.png"), empty = folder.Path("empty.bmp");
  const std::string header = folder.Path("header.png"), missing = folder.Path("missing.png");
  RgbInput(4, 4, 2, false).Write(png);
  WriteFileBytes(empty, {});
  WriteFileBytes(header, {137, 80, 78, 71, 13, 10, 26, 10});  // a signature and nothing else
  const std::string gif = folder.Path("out.gif"), out = folder.Path("out.png");
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"convert", png, gif}, "Cannot save image \"" + gif + "\": only .png and .bmp files are supported.\n"},
      // The error box appends a full stop to a message that does not end in one.
      {{"convert", missing, out}, "Cannot open file \"" + missing + "\". No such file or directory.\n"},
      {{"convert", empty, out}, "Bitmap image is not valid.\n"},
      {{"decode", header, folder.Path("out.pam")},
       "Cannot load image \"" + header + "\": the PNG file holds no image data.\n"},
      {{"info", folder.Path("in.tga")},
       "Cannot load image \"" + folder.Path("in.tga") + "\": only .png and .bmp files are supported.\n"},
      {{"colors", empty}, "Bitmap image is not valid.\n"},
  };
  for (const auto& [args, message] : cases) {
    const ToolRun run = RunTool(folder, args);
    EXPECT_EQ(run.Status, 1) << args[1];
    EXPECT_EQ(run.Err, message);
    EXPECT_EQ(run.Out, "");
  }
  EXPECT_EQ(folder.Names(), (std::vector<std::string>{"empty.bmp", "header.png", "in.png"}));
}

TEST(ToolDecode, RgbaPngBecomesAnRgbAlphaPam) {
  TempFolder folder;
  const PngInput input = RgbInput(5, 4, 7, true);
  input.Write(folder.Path("alpha.png"));
  ASSERT_EQ(RunTool(folder, {"decode", folder.Path("alpha.png"), folder.Path("alpha.pam")}).Status, 0);
  std::string expected = PamHeader(5, 4, true);
  for (const auto& row : input.Rows) expected.append(row.begin(), row.end());
  EXPECT_EQ(ReadText(folder.Path("alpha.pam")), expected);
}

TEST(ToolDecode, TransparentPaletteEntryGivesRgbAlpha) {
  TempFolder folder;
  PngInput input = PaletteInput();
  input.Image.Trans = {255, 255, 0};
  input.Write(folder.Path("key.png"));
  ASSERT_EQ(RunTool(folder, {"decode", folder.Path("key.png"), folder.Path("key.pam")}).Status, 0);
  std::string expected = PamHeader(7, 5, true);
  for (uint32_t i = 0; i < 35; ++i) {
    const png_color c = ThreeColors[i % 3];
    expected += {static_cast<char>(c.red), static_cast<char>(c.green), static_cast<char>(c.blue),
                 static_cast<char>(i % 3 == 2 ? 0 : 255)};
  }
  EXPECT_EQ(ReadText(folder.Path("key.pam")), expected);
}

TEST(ToolDecode, PalettePngAndBmpExpandToRgb) {
  TempFolder folder;
  PaletteInput().Write(folder.Path("palette.png"));
  std::string expected = PamHeader(7, 5, false);
  for (uint32_t i = 0; i < 35; ++i) {
    const png_color c = ThreeColors[i % 3];
    expected += {static_cast<char>(c.red), static_cast<char>(c.green), static_cast<char>(c.blue)};
  }
  ASSERT_EQ(RunTool(folder, {"decode", folder.Path("palette.png"), folder.Path("png.pam")}).Status, 0);
  EXPECT_EQ(ReadText(folder.Path("png.pam")), expected);
  // The same picture through the editor's BMP writer (4 bits, the same three colours).
  ASSERT_EQ(RunTool(folder, {"convert", folder.Path("palette.png"), folder.Path("palette.bmp")}).Status, 0);
  ASSERT_EQ(RunTool(folder, {"decode", folder.Path("palette.bmp"), folder.Path("bmp.pam")}).Status, 0);
  EXPECT_EQ(ReadText(folder.Path("bmp.pam")), expected);
}

TEST(ToolInfo, PngReportsTheDecodersResults) {
  TempFolder folder;
  pngdec::Bytes raw, palette, phys;
  for (const auto& row : PaletteRows()) {
    raw.push_back(0);  // filter type None
    raw.insert(raw.end(), row.begin(), row.end());
  }
  for (const png_color& c : ThreeColors) palette.insert(palette.end(), {c.red, c.green, c.blue});
  AppendBE32(phys, 2835);
  AppendBE32(phys, 2835);
  phys.push_back(1);
  pngdec::PngBuilder file;
  file.Ihdr(7, 5, 4, 3)
      .Chunk("gAMA", {0, 0, 0xC3, 0x50})  // 50000
      .Chunk("PLTE", palette)
      .Chunk("tRNS", {255, 255, 0})
      .Chunk("bKGD", {1})
      .Chunk("pHYs", phys)
      .Text("Comment", "caf\xe9 \"tiles\"")
      .Chunk("IDAT", pngdec::Compress(raw))
      .End();
  WriteFileBytes(folder.Path("meta.png"), file.bytes());
  const ToolRun run = RunTool(folder, {"info", folder.Path("meta.png")});
  EXPECT_EQ(run.Status, 0);
  EXPECT_EQ(
      run.Out,
      "{\"format\":\"png\",\"width\":7,\"height\":5,\"bitsPerPixel\":4,\"paletteSize\":3,\"alpha\":true,"
      "\"transparentEntries\":[{\"index\":2,\"alpha\":0}],\"png\":{"
      "\"colorType\":3,\"bitDepth\":4,\"interlace\":0,\"alpha\":false,\"transparentColor\":{\"paletteIndex\":"
      "2},"
      "\"backgroundColor\":{\"paletteIndex\":1},\"comment\":\"caf\\u00e9 \\\"tiles\\\"\\u000d\\u000a\","
      "\"gamma\":0.50000,\"physicalSize\":{\"unit\":1,\"x\":2835,\"y\":2835},\"significantBits\":null}}\n");
  EXPECT_EQ(run.Err, "");
}

TEST(ToolInfo, RgbPngColoursAndSignificantBits) {
  TempFolder folder;
  pngdec::PngBuilder file;
  file.Ihdr(2, 1, 8, 2)
      .Chunk("sBIT", {5, 6, 5})
      .Chunk("tRNS", {0, 0x12, 0, 0x34, 0, 0x56})
      .Chunk("bKGD", {0, 0xAB, 0, 0xCD, 0, 0xEF})
      .Chunk("IDAT", pngdec::Compress({0, 1, 2, 3, 4, 5, 6}))
      .End();
  WriteFileBytes(folder.Path("rgb.png"), file.bytes());
  EXPECT_EQ(
      RunTool(folder, {"info", folder.Path("rgb.png")}).Out,
      "{\"format\":\"png\",\"width\":2,\"height\":1,\"bitsPerPixel\":24,\"paletteSize\":0,\"alpha\":false,"
      "\"transparentEntries\":[],\"png\":{"
      "\"colorType\":2,\"bitDepth\":8,\"interlace\":0,\"alpha\":false,\"transparentColor\":\"#123456\","
      "\"backgroundColor\":\"#abcdef\",\"comment\":\"\",\"gamma\":null,\"physicalSize\":null,"
      "\"significantBits\":[5,6,5,0]}}\n");
}

TEST(ToolInfo, RgbaPngAndBmp) {
  TempFolder folder;
  PngInput alpha = RgbInput(6, 3, 5, true);
  alpha.Image.Interlace = PNG_INTERLACE_ADAM7;
  alpha.Write(folder.Path("alpha.png"));
  EXPECT_EQ(
      RunTool(folder, {"info", folder.Path("alpha.png")}).Out,
      "{\"format\":\"png\",\"width\":6,\"height\":3,\"bitsPerPixel\":24,\"paletteSize\":0,\"alpha\":true,"
      "\"transparentEntries\":[],\"png\":{"
      "\"colorType\":6,\"bitDepth\":8,\"interlace\":1,\"alpha\":true,\"transparentColor\":null,"
      "\"backgroundColor\":null,\"comment\":\"\",\"gamma\":null,\"physicalSize\":null,"
      "\"significantBits\":null}}\n");
  // Its translucent pixels keep their alpha: a 32-bit BMP with an alpha mask.
  ASSERT_EQ(RunTool(folder, {"convert", folder.Path("alpha.png"), folder.Path("alpha.bmp")}).Status, 0);
  EXPECT_EQ(RunTool(folder, {"info", folder.Path("alpha.bmp")}).Out,
            "{\"format\":\"bmp\",\"width\":6,\"height\":3,\"bitsPerPixel\":32,\"paletteSize\":0,"
            "\"alpha\":true,\"transparentEntries\":[]}\n");
}

TEST(ToolColors, PrintsTheCountTheSaveUses) {
  TempFolder folder;
  RgbInput(10, 4, 17, false).Write(folder.Path("seventeen.png"));
  PaletteInput().Write(folder.Path("palette.png"));
  const ToolRun seventeen = RunTool(folder, {"colors", folder.Path("seventeen.png")});
  EXPECT_EQ(seventeen.Status, 0);
  EXPECT_EQ(seventeen.Out, "17\n");
  EXPECT_EQ(RunTool(folder, {"colors", folder.Path("palette.png")}).Out, "3\n");
}

}  // namespace
