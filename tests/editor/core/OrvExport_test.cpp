// Sheet export: the tileset files against golden files, the exported pixels against a direct model of
// spacing, margin and extrusion, the Godot resource read back field by field, Tiled reading what we write,
// and the failures (bad layouts, unwritable folders) that must leave nothing behind.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <random>
#include <set>
#include <sstream>

#include "AlphaPlane.h"
#include "Bitmaps.h"
#include "ExpectRaises.h"
#include "LibpngOracle.h"
#include "NoiseImages.h"
#include "OrvAlpha.h"
#include "OrvCui.h"
#include "OrvEdit.h"
#include "OrvExport.h"
#include "TestFiles.h"
#include "Unprivileged.h"

using namespace filestest;
namespace fs = std::filesystem;

namespace {

std::string ReadText(const std::string& path) {
  const std::vector<uint8_t> bytes = ReadFileBytes(path);
  return std::string(bytes.begin(), bytes.end());
}

// A 24-bit sheet of Columns x Rows chips, each chip filled with its own colour and a darker top-left pixel;
// the chips listed in White are all white (empty).
std::unique_ptr<TBitmap> ChipSheet(int cw, int ch, int columns, int rows,
                                   const std::vector<int>& white = {}) {
  auto sheet = pngtest::MakeBitmap(cw * columns, ch * rows, pf24bit);
  for (int chip = 0; chip < columns * rows; ++chip) {
    const bool blank = std::find(white.begin(), white.end(), chip) != white.end();
    const TColor color = blank ? clWhite : DistinctColor(chip * 7);
    for (int y = 0; y < ch; ++y)
      for (int x = 0; x < cw; ++x)
        sheet->Canvas().SetPixel(chip % columns * cw + x, chip / columns * ch + y,
                                 !blank && x == 0 && y == 0 ? DistinctColor(chip * 7 + 1) : color);
  }
  return sheet;
}

struct GoldenCase {
  const char* Name;
  int Cw, Ch, Columns, Rows, Spacing, Margin, Extrusion;
  std::optional<TColor> Key;
  std::vector<int> White;
  bool SkipDuplicates;
};

class GoldenExport : public testing::TestWithParam<GoldenCase> {};

TEST_P(GoldenExport, WritesTheTilesetsOfTheGoldenFiles) {
  const GoldenCase c = GetParam();
  const TempFolder folder;
  auto sheet = ChipSheet(c.Cw, c.Ch, c.Columns, c.Rows, c.White);
  if (c.SkipDuplicates)  // the last chip a copy of the first
    sheet->Canvas().CopyRect(
        Rect((c.Columns - 1) * c.Cw, (c.Rows - 1) * c.Ch, c.Columns * c.Cw, c.Rows * c.Ch), sheet->Canvas(),
        Rect(0, 0, c.Cw, c.Ch));
  TExportOptions options;
  options.ChipWidth = c.Cw, options.ChipHeight = c.Ch;
  options.Spacing = c.Spacing, options.Margin = c.Margin, options.Extrusion = c.Extrusion;
  options.KeyColor = c.Key;
  options.SkipDuplicates = c.SkipDuplicates;
  const std::string base = folder.Path(c.Name);
  const TExportFiles files{base + ".png", base + ".tsx", base + ".tsj", base + ".tres"};
  ExportSheet(*sheet, nullptr, options, files);
  for (const char* ext : {".tsx", ".tsj", ".tres"}) {
    SCOPED_TRACE(ext);
    EXPECT_EQ(ReadText(base + ext), ReadText(std::string(TILORA_TEST_DATA) + "/export/" + c.Name + ext));
  }
  // The image is the exported image saved as the editor saves an edit image.
  TOrvDatas document;
  document.EditImage =
      MakeExportImage(*sheet, nullptr, LayoutSheet(sheet->Width(), sheet->Height(), options, files.Image))
          .Image;
  document.SaveEditImage(folder.Path("direct.png"));
  EXPECT_EQ(ReadFileBytes(files.Image), ReadFileBytes(folder.Path("direct.png")));
  fs::remove(folder.Path("direct.png"));
  EXPECT_EQ(folder.Names().size(), 4u);  // no temporaries left
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, GoldenExport,
    testing::Values(GoldenCase{"plain", 16, 16, 3, 2, 0, 0, 0, std::nullopt, {1}, false},
                    GoldenCase{"spaced", 8, 8, 2, 2, 2, 1, 0, TColor{0xFF00FF}, {}, false},
                    GoldenCase{"extruded", 8, 4, 3, 1, 0, 0, 2, std::nullopt, {2}, false},
                    GoldenCase{"combined", 4, 4, 2, 3, 1, 3, 1, TColor{0x336699}, {}, true}),
    [](const auto& info) { return std::string(info.param.Name); });

// Pixel (x, y) of the exported image straight from the rule: inside a chip's cell widened by the extrusion,
// the chip's pixel nearest to it; elsewhere the gap colour (transparent in the alpha plane).
struct ExportModel {
  std::vector<TColor> Colors;
  std::vector<uint8_t> Alpha;
};
ExportModel Model(const TBitmap& in, const TBitmap* alpha, int cw, int ch, int s, int m, int e, TColor gap) {
  const int columns = in.Width() / cw, rows = in.Height() / ch;
  const int width = 2 * m + columns * (cw + 2 * e) + (columns - 1) * s;
  const int height = 2 * m + rows * (ch + 2 * e) + (rows - 1) * s;
  ExportModel model{std::vector<TColor>(static_cast<size_t>(width) * height, gap),
                    std::vector<uint8_t>(static_cast<size_t>(width) * height, 255)};
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < columns; ++c) {
      const int left = m + c * (cw + 2 * e + s), top = m + r * (ch + 2 * e + s);  // the widened cell
      for (int y = 0; y < ch + 2 * e; ++y)
        for (int x = 0; x < cw + 2 * e; ++x) {
          const int sx = c * cw + std::clamp(x - e, 0, cw - 1), sy = r * ch + std::clamp(y - e, 0, ch - 1);
          const size_t at = static_cast<size_t>(top + y) * width + left + x;
          model.Colors[at] = in.GetPixel(sx, sy);
          if (alpha) model.Alpha[at] = alpha->ScanLine(sy)[sx];
        }
    }
  return model;
}

TEST(ExportImage, ExtrudedPixelsFollowTheDirectModel) {
  struct Case {
    int Cw, Ch, Columns, Rows, S, M, E;
  };
  std::mt19937 random(5);
  for (const Case c : {Case{4, 4, 3, 2, 0, 0, 1}, Case{3, 5, 2, 3, 2, 1, 2}, Case{1, 1, 4, 4, 1, 0, 3},
                       Case{6, 2, 2, 2, 0, 4, 0}, Case{5, 5, 1, 1, 3, 2, 5}}) {
    SCOPED_TRACE(testing::Message() << c.Cw << "x" << c.Ch << " s" << c.S << " m" << c.M << " e" << c.E);
    auto in = pngtest::MakeBitmap(c.Cw * c.Columns, c.Ch * c.Rows, pf24bit);
    auto alpha = pngtest::MakeBitmap(in->Width(), in->Height(), pf8bit);
    for (int y = 0; y < in->Height(); ++y)
      for (int x = 0; x < in->Width(); ++x) {
        in->Canvas().SetPixel(x, y, static_cast<TColor>(random() & 0xFFFFFF));
        alpha->ScanLine(y)[x] = static_cast<uint8_t>(random());
      }
    TExportOptions options;
    options.ChipWidth = c.Cw, options.ChipHeight = c.Ch;
    options.Spacing = c.S, options.Margin = c.M, options.Extrusion = c.E;
    options.KeyColor = 0x123456;
    const TSheetLayout layout = LayoutSheet(in->Width(), in->Height(), options, "x.png");
    const TExportImage out = MakeExportImage(*in, alpha.get(), layout);
    const ExportModel model = Model(*in, alpha.get(), c.Cw, c.Ch, c.S, c.M, c.E, 0x123456);
    ASSERT_EQ(out.Image->PixelFormat(), pf24bit);
    ASSERT_EQ(out.Image->Width(), layout.ImageWidth);
    EXPECT_EQ(PixelColors(*out.Image), model.Colors);
    EXPECT_EQ(PixelBytes(*out.Alpha), model.Alpha);
    // Every chip lies where the layout says.
    for (int r = 0; r < c.Rows; ++r)
      for (int col = 0; col < c.Columns; ++col) {
        const TPoint o = layout.ChipOrigin({col, r});
        EXPECT_EQ(out.Image->GetPixel(o.X, o.Y), in->GetPixel(col * c.Cw, r * c.Ch));
      }
  }
}

TEST(ExportImage, WithoutPaddingTheImageIsTheEditImageEvenWithARemainder) {
  auto in = pngtest::MakeBitmap(37, 21, pf24bit);
  pngtest::ByteNoise noise(3);
  for (int y = 0; y < in->Height(); ++y)
    for (int x = 0; x < 3 * in->Width(); ++x) in->ScanLine(y)[x] = noise.Next();
  TExportOptions options;
  options.ChipWidth = 8, options.ChipHeight = 8;
  const TSheetLayout layout = LayoutSheet(37, 21, options, "x.png");
  EXPECT_EQ(layout.Columns, 4);
  EXPECT_EQ(layout.Rows, 2);
  EXPECT_EQ(layout.ImageWidth, 37);
  EXPECT_EQ(PixelBytes(*MakeExportImage(*in, nullptr, layout).Image), PixelBytes(*in));
}

TEST(ExportLayout, RefusesLayoutsItCannotDescribe) {
  TExportOptions options;
  options.ChipWidth = 8, options.ChipHeight = 8;
  options.Spacing = 1;
  ExpectRaises<EInvalidGraphic>(
      [&] { LayoutSheet(20, 16, options, "a.png"); },
      "Cannot export \"a.png\": the image of 20 x 16 pixels is not a whole number of "
      "chips of 8 x 8 pixels, so it cannot be laid out with spacing, margin or extrusion.");
  ExpectRaises<EInvalidGraphic>(
      [&] { LayoutSheet(7, 16, options, "a.png"); },
      "Cannot export \"a.png\": the image of 7 x 16 pixels holds no whole chip of 8 x 8 "
      "pixels.");
  options.Extrusion = -1;
  ExpectRaises<EInvalidGraphic>([&] { LayoutSheet(16, 16, options, "a.png"); }, "Invalid export layout");
  options.Extrusion = 0;
  options.Spacing = INT32_MAX;
  ExpectRaises<EOutOfResources>([&] { LayoutSheet(16, 16, options, "a.png"); }, "Out of system resources");
}

// A Godot text resource read back: its sections in order, each with its header's attributes and its
// properties.
struct TresSection {
  std::string Tag;
  std::map<std::string, std::string> Attributes;
  std::vector<std::pair<std::string, std::string>> Properties;
};
std::vector<TresSection> ReadTres(const std::string& text) {
  std::vector<TresSection> sections;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    if (line.empty()) continue;
    if (line.front() == '[') {
      EXPECT_EQ(line.back(), ']') << line;
      std::istringstream words(line.substr(1, line.size() - 2));
      TresSection section;
      words >> section.Tag;
      for (std::string word; words >> word;) {
        const size_t eq = word.find('=');
        std::string value = word.substr(eq + 1);
        if (value.front() == '"') value = value.substr(1, value.size() - 2);
        section.Attributes[word.substr(0, eq)] = value;
      }
      sections.push_back(section);
    } else {
      const size_t eq = line.find(" = ");
      EXPECT_NE(eq, std::string::npos) << line;
      EXPECT_FALSE(sections.empty()) << line;
      if (eq != std::string::npos && !sections.empty())
        sections.back().Properties.emplace_back(line.substr(0, eq), line.substr(eq + 3));
    }
  }
  return sections;
}

TEST(GodotTileSet, ReadsBackAsOneAtlasOfTheNonEmptyChips) {
  const TempFolder folder;
  fs::create_directories(folder.Path("art"));
  fs::create_directories(folder.Path("godot"));
  auto sheet = ChipSheet(6, 4, 3, 2, {1, 4});
  TExportOptions options;
  options.ChipWidth = 6, options.ChipHeight = 4;
  options.Spacing = 3, options.Margin = 2, options.Extrusion = 1;
  const TExportFiles files{folder.Path("art/tiles.png"), "", "", folder.Path("godot/tiles.tres")};
  const TSheetLayout layout = ExportSheet(*sheet, nullptr, options, files);

  const std::vector<TresSection> tres = ReadTres(ReadText(files.Tres));
  ASSERT_EQ(tres.size(), 4u);
  EXPECT_EQ(tres[0].Tag, "gd_resource");
  EXPECT_EQ(tres[0].Attributes,
            (std::map<std::string, std::string>{{"type", "TileSet"}, {"load_steps", "3"}, {"format", "3"}}));
  EXPECT_EQ(tres[1].Tag, "ext_resource");
  EXPECT_EQ(tres[1].Attributes.at("type"), "Texture2D");
  EXPECT_EQ(tres[1].Attributes.at("path"), "../art/tiles.png");
  EXPECT_EQ(tres[2].Tag, "sub_resource");
  EXPECT_EQ(tres[2].Attributes.at("type"), "TileSetAtlasSource");
  using TProps = std::vector<std::pair<std::string, std::string>>;
  EXPECT_EQ(tres[2].Properties, (TProps{{"texture", "ExtResource(\"" + tres[1].Attributes.at("id") + "\")"},
                                        {"margins", "Vector2i(3, 3)"},
                                        {"separation", "Vector2i(5, 5)"},
                                        {"texture_region_size", "Vector2i(6, 4)"},
                                        {"0:0/0", "0"},
                                        {"2:0/0", "0"},
                                        {"0:1/0", "0"},
                                        {"2:1/0", "0"}}));
  EXPECT_EQ(tres[3].Tag, "resource");
  EXPECT_EQ(tres[3].Properties,
            (TProps{{"tile_size", "Vector2i(6, 4)"},
                    {"sources/0", "SubResource(\"" + tres[2].Attributes.at("id") + "\")"}}));
  // The atlas rule (margins + coordinates x (region + separation)) finds each chip in the exported image.
  TOrvDatas image;
  image.LoadEditImage(files.Image);
  for (const TChipCell cell : layout.Tiles)
    EXPECT_EQ(image.EditImage->GetPixel(3 + cell.Column * 11, 3 + cell.Row * 9),
              sheet->GetPixel(cell.Column * 6, cell.Row * 4));
}

TEST(TiledTileset, TiledReadsTheTilesetAsWeDescribeIt) {
  if (std::system("command -v tiled >/dev/null 2>&1") != 0)
    GTEST_SKIP()
        << "Tiled is not installed (scripts/install-deps installs it); the round trip is not checked";
  const TempFolder folder;
  fs::create_directories(folder.Path("maps"));
  struct Case {
    int Cw, Ch, S, M, E;
    std::optional<TColor> Key;
  };
  int n = 0;
  for (const Case c : {Case{16, 16, 0, 0, 0, std::nullopt}, Case{8, 12, 2, 1, 0, TColor{0xFF00FF}},
                       Case{5, 5, 0, 3, 2, std::nullopt}, Case{4, 6, 1, 0, 1, TColor{0x0080FF}}}) {
    SCOPED_TRACE(n);
    const std::string base = folder.Path("sheet" + std::to_string(++n));
    auto sheet = ChipSheet(c.Cw, c.Ch, 3, 2);
    TExportOptions options;
    options.ChipWidth = c.Cw, options.ChipHeight = c.Ch;
    options.Spacing = c.S, options.Margin = c.M, options.Extrusion = c.E;
    options.KeyColor = c.Key;
    const std::string tsx = folder.Path("maps/sheet" + std::to_string(n) + ".tsx");
    ExportSheet(*sheet, nullptr, options, {base + ".png", tsx, base + ".tsj", ""});
    const std::string out = base + ".tiled.tsj";
    const std::string command = "QT_QPA_PLATFORM=offscreen tiled --export-tileset json '" + tsx + "' '" +
                                out + "' >/dev/null 2>&1 </dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    // Tiled computes columns and tile count from the image it loads (found from the .tsx in its own folder)
    // and names the image relative to its output.
    nlohmann::json tiled = nlohmann::json::parse(ReadText(out));
    nlohmann::json ours = nlohmann::json::parse(ReadText(base + ".tsj"));
    tiled.erase("tiledversion");
    EXPECT_EQ(ours.at("image"), "sheet" + std::to_string(n) + ".png");
    EXPECT_EQ(tiled, ours);
  }
}

TEST(ExportFiles, AnUnwritableFolderFailsNamingTheFileAndWritesNothing) {
  const TempFolder folder;
  fs::permissions(folder.Path(""), fs::perms::all);
  fs::create_directories(folder.Path("locked"));
  fs::permissions(folder.Path("locked"), fs::perms::owner_read | fs::perms::owner_exec |
                                             fs::perms::group_read | fs::perms::group_exec |
                                             fs::perms::others_read | fs::perms::others_exec);
  auto sheet = ChipSheet(4, 4, 2, 2);
  TExportOptions options;
  options.ChipWidth = options.ChipHeight = 4;
  const TExportFiles files{folder.Path("sheet.png"), folder.Path("sheet.tsx"), "",
                           folder.Path("locked/sheet.tres")};
  const auto result = unprivileged::Run([&] {
    ExportSheet(*sheet, nullptr, options, files);
    return std::string("written");
  });
  ASSERT_TRUE(result) << "the test could not run as an ordinary user";
  EXPECT_EQ(*result, "exception: Cannot create file \"" + files.Tres + "\". Permission denied");
  EXPECT_EQ(folder.Names(), std::vector<std::string>{"locked"});
  EXPECT_TRUE(fs::is_empty(folder.Path("locked")));
}

TEST(ExportFiles, RefusesBeforeWritingAnything) {
  const TempFolder folder;
  auto sheet = ChipSheet(4, 4, 2, 2);
  TExportOptions options;
  options.ChipWidth = options.ChipHeight = 4;
  const std::string png = folder.Path("s.png");
  ExpectRaises<EInvalidGraphic>(
      [&] {
        ExportSheet(*sheet, nullptr, options, {png, png, "", ""});
      },
      "Cannot export: \"" + png + "\" is named for two files.");
  ExpectRaises<EInvalidGraphic>(
      [&] {
        ExportSheet(*sheet, nullptr, options, {folder.Path("s.gif"), "", "", ""});
      },
      "Cannot save image \"" + folder.Path("s.gif") + "\": only .png and .bmp files are supported.");
  fs::create_directories(folder.Path("s.tsx"));
  ExpectRaises<EFCreateError>(
      [&] {
        ExportSheet(*sheet, nullptr, options, {png, folder.Path("s.tsx"), "", ""});
      },
      "Cannot create file \"" + folder.Path("s.tsx") + "\". Is a directory");
  EXPECT_EQ(folder.Names(), std::vector<std::string>{"s.tsx"});
  ExpectRaises<EInvalidGraphic>([] { ExportProfileNamed("rpg"); },
                                "Unknown save profile \"rpg\": the profiles are standard and rpg2000.");
}

// A sheet with transparency exports with it: the extruded and spaced image reads back with the plane the
// direct model gives, PNG and BMP alike.
TEST(ExportFiles, ATransparentSheetExportsWithItsAlpha) {
  const TempFolder folder;
  auto sheet = ChipSheet(4, 4, 2, 2);
  TBitmap alpha;
  alpha.SetImage(NewAlphaPlaneImage(8, 8));
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) alpha.ScanLine(y)[x] = static_cast<uint8_t>(x < 4 ? 255 : (x * 40 + y) % 256);
  TExportOptions options;
  options.ChipWidth = options.ChipHeight = 4;
  options.Spacing = 1;
  options.Extrusion = 1;
  const TSheetLayout layout = LayoutSheet(8, 8, options, "s.png");
  const TExportImage expected = MakeExportImage(*sheet, &alpha, layout);
  ASSERT_TRUE(expected.Alpha);
  for (const char* name : {"s.png", "s.bmp"}) {
    SCOPED_TRACE(name);
    ExportSheet(*sheet, &alpha, options, {folder.Path(name), "", "", ""});
    TBitmap image, plane;
    ReadImageFileWithAlpha(folder.Path(name), image, plane);
    ASSERT_TRUE(IsAlphaPlaneOf(plane, image));
    for (int y = 0; y < image.Height(); ++y)
      for (int x = 0; x < image.Width(); ++x) {
        const uint8_t cover = expected.Alpha->ScanLine(y)[x];
        ASSERT_EQ(plane.ScanLine(y)[x], cover) << x << "," << y;
        if (cover != 255) {
          ASSERT_EQ(image.GetPixel(x, y), expected.Image->GetPixel(x, y)) << x << "," << y;
        }
      }
  }
}

// ---------------------------------------------------------------------------------------------------------------
// The save with an export that the window makes

// A PNG file's chunks but its time stamp, which two saves of one picture need not share.
std::vector<std::pair<std::string, std::vector<uint8_t>>> Untimed(const std::string& Path) {
  std::vector<std::pair<std::string, std::vector<uint8_t>>> chunks;
  for (const pngtest::Chunk& chunk : pngtest::ListChunks(ReadFileBytes(Path)))
    if (chunk.Type != "tIME") chunks.emplace_back(chunk.Type, chunk.Data);
  return chunks;
}

// Without padding the sheet is saved as the editor saves it, and the tilesets are those ExportSheet writes
// for it; the RPG Maker profile's key colour (here the top-left pixel's) becomes Tiled's trans.
TEST(SaveWithExport, SavesTheSheetAsTheEditorDoesAndDescribesIt) {
  for (const TSaveProfile profile : {TSaveProfile::Standard, TSaveProfile::Rpg2000}) {
    SCOPED_TRACE(SaveProfileInfo(profile).Name);
    const TempFolder folder;
    fs::create_directories(folder.Path("plain"));
    TOrvDatas document;
    document.EditImage = ChipSheet(8, 8, 3, 2, {1});
    TSaveOptions save;
    save.Profile = profile;
    TExportOptions options;
    options.ChipWidth = options.ChipHeight = 8;
    const TExportFiles files{folder.Path("sheet.png"), folder.Path("sheet.tsx"), folder.Path("sheet.tsj"),
                             folder.Path("sheet.tres")};
    const TSaveResult result = SaveSheetWithExport(document, save, options, files);
    document.SaveEditImage(folder.Path("direct.png"), save);
    EXPECT_EQ(Untimed(files.Image), Untimed(folder.Path("direct.png")));

    const std::optional<TColor> key =
        profile == TSaveProfile::Rpg2000 ? std::optional(document.EditImage->GetPixel(0, 0)) : std::nullopt;
    EXPECT_EQ(result.KeyColor, key);
    options.KeyColor = key;
    const std::string base = folder.Path("plain/sheet");
    ExportSheet(*document.EditImage, nullptr, options,
                {base + ".png", base + ".tsx", base + ".tsj", base + ".tres"});
    for (const char* ext : {".tsx", ".tsj", ".tres"})
      EXPECT_EQ(ReadText(base + ext), ReadText(folder.Path("sheet") + ext)) << ext;
    EXPECT_EQ(ReadText(files.Tsx).find("trans=") != std::string::npos, key.has_value());
    EXPECT_EQ(folder.Names(), (std::vector<std::string>{"direct.png", "plain", "sheet.png", "sheet.tres",
                                                        "sheet.tsj", "sheet.tsx"}));
  }
}

// Padding writes the laid-out image beside the sheet, alpha and all, and the tilesets describe it; the
// sheet itself stays as it is. Fully transparent chips are the empty ones, copies are left out on request.
TEST(SaveWithExport, PaddedExportOfATransparentSheetGoesBesideIt) {
  const TempFolder folder;
  TOrvDatas document;
  document.SetChipSize(4, 4);
  document.NewEditImage(2, 2, true);  // transparent white
  const TChipBlock chip = CutBlock(*ChipSheet(4, 4, 1, 1), TBitmap(), Rect(0, 0, 4, 4));
  PutBlock(*document.EditImage, document.EditAlpha, chip, 0, 0);
  PutBlock(*document.EditImage, document.EditAlpha, chip, 4, 4);  // a copy
  TSaveOptions save;
  save.Profile = TSaveProfile::Rpg2000;
  TExportOptions options;
  options.ChipWidth = options.ChipHeight = 4;
  options.Spacing = 2, options.Margin = 1, options.Extrusion = 1;
  options.SkipDuplicates = true;
  const TExportFiles files{folder.Path("sheet.png"), folder.Path("sheet.tsx"), "", folder.Path("sheet.tres")};
  const TSaveResult result = SaveSheetWithExport(document, save, options, files);
  EXPECT_EQ(result.KeyColor, std::optional(clWhite));  // the transparent pixels' colour
  ASSERT_FALSE(result.Warnings.empty());
  EXPECT_EQ(std::set<std::string>(result.Warnings.begin(), result.Warnings.end()).size(),
            result.Warnings.size());
  EXPECT_EQ(folder.Names(),
            (std::vector<std::string>{"sheet.export.png", "sheet.png", "sheet.tres", "sheet.tsx"}));

  const pngtest::Decoded sheet = pngtest::LibpngRead(ReadFileBytes(files.Image), true);
  EXPECT_EQ(sheet.Width, 8u);
  const pngtest::Decoded padded = pngtest::LibpngRead(ReadFileBytes(folder.Path("sheet.export.png")), true);
  const TSheetLayout layout = LayoutSheet(8, 8, options, "x.png");
  ASSERT_EQ(padded.Width, static_cast<uint32_t>(layout.ImageWidth));
  ASSERT_EQ(padded.Height, static_cast<uint32_t>(layout.ImageHeight));
  const auto rgba = [](const pngtest::Decoded& D, int X, int Y) {
    const uint8_t* p = &D.Rows[static_cast<size_t>(Y)][static_cast<size_t>(4 * X)];
    return std::array<uint8_t, 4>{p[0], p[1], p[2], p[3]};
  };
  EXPECT_EQ(rgba(padded, 0, 0)[3], 0);               // the margin is transparent
  EXPECT_EQ(rgba(padded, 2, 2), rgba(sheet, 0, 0));  // the first chip's first pixel at its origin
  EXPECT_EQ(rgba(padded, 1, 1), rgba(sheet, 0, 0));  // extruded outward
  EXPECT_EQ(rgba(padded, 2 + 4 + 4, 2)[3], 0);       // the second chip is transparent
  const std::string tsx = ReadText(files.Tsx);
  EXPECT_NE(tsx.find("name=\"sheet\""), std::string::npos);
  EXPECT_NE(tsx.find("source=\"sheet.export.png\" trans=\"ffffff\""), std::string::npos) << tsx;
  const std::string tres = ReadText(files.Tres);
  EXPECT_NE(tres.find("0:0/0 = 0"), std::string::npos);
  for (const char* left : {"1:0/0", "0:1/0", "1:1/0"}) EXPECT_EQ(tres.find(left), std::string::npos) << left;
}

TEST(SaveWithExport, RefusesBeforeWritingAnything) {
  const TempFolder folder;
  TOrvDatas document;
  document.EditImage = ChipSheet(4, 4, 2, 2);
  TExportOptions options;
  options.ChipWidth = options.ChipHeight = 4;
  const std::string png = folder.Path("s.png");
  fs::create_directories(folder.Path("s.tsx"));
  ExpectRaises<EFCreateError>(
      [&] {
        SaveSheetWithExport(document, {}, options, {png, folder.Path("s.tsx"), "", ""});
      },
      "Cannot create file \"" + folder.Path("s.tsx") + "\". Is a directory");
  ExpectRaises<EInvalidGraphic>(
      [&] {
        SaveSheetWithExport(document, {}, options, {png, "", folder.Path("s.png"), ""});
      },
      "Cannot export: \"" + png + "\" is named for two files.");
  options.Margin = 1;
  ExpectRaises<EInvalidGraphic>(
      [&] {
        SaveSheetWithExport(document, {}, options, {png, "", "", folder.Path("s.export.png")});
      },
      "Cannot export: \"" + folder.Path("s.export.png") + "\" is named for two files.");
  options.ChipWidth = 3;
  ExpectRaises<EInvalidGraphic>(
      [&] {
        SaveSheetWithExport(document, {}, options, {png, "", "", ""});
      },
      "Cannot export \"" + folder.Path("s.export.png") +
          "\": the image of 8 x 8 pixels is not a whole number "
          "of chips of 3 x 4 pixels, so it cannot be laid out with spacing, margin or extrusion.");
  document.EditImage = std::make_unique<TBitmap>();
  ExpectRaises<EInvalidGraphic>(
      [&] {
        SaveSheetWithExport(document, {}, options, {png, "", "", ""});
      },
      "Cannot save image \"" + png + "\": the edit image is empty.");
  EXPECT_EQ(folder.Names(), std::vector<std::string>{"s.tsx"});
  EXPECT_EQ(ExportImageName("/a/b.c/tiles.v2.png"), "/a/b.c/tiles.v2.export.png");
}

TEST(ExportFiles, TilesetsNameTheImageRelativeToThemselves) {
  EXPECT_EQ(RelativeFileName("/a/b/sheet.png", "/a/b/sheet.tsx"), "sheet.png");
  EXPECT_EQ(RelativeFileName("/a/img/sheet.png", "/a/maps/x/t.tsx"), "../../img/sheet.png");
  EXPECT_EQ(RelativeFileName("/a/b/./c/../s.png", "/a/t.tres"), "b/s.png");
}

}  // namespace
