// tilora-tool export, duplicates and the batch forms of convert and export, run as a program: the files
// against the editor core's own export, the usage errors, and batches that go on past a failing input.
#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>

#include "Bitmaps.h"
#include "NoiseImages.h"
#include "OrvCui.h"
#include "OrvExport.h"
#include "TestFiles.h"
#include "ToolRun.h"

using namespace filestest;
using namespace toolrun;
namespace fs = std::filesystem;

namespace {

// Saves a sheet of 4 x 4 chips, Columns x 2 of them, as the editor saves: chip i has colour DistinctColor(i %
// Kinds), so chips Kinds apart are copies; the chip at Blank is white.
void WriteSheet(const std::string& path, int columns, int kinds, int blank = -1) {
  TOrvDatas doc;
  doc.SetChipSize(4, 4);
  doc.NewEditImage(columns, 2);
  for (int chip = 0; chip < columns * 2; ++chip) {
    TCanvas& canvas = doc.EditImage->Canvas();
    canvas.Brush.Color = chip == blank ? clWhite : DistinctColor(chip % kinds);
    const int x = chip % columns * 4, y = chip / columns * 4;
    canvas.FillRect(Rect(x, y, x + 4, y + 4));
    if (chip != blank) canvas.SetPixel(x, y, DistinctColor(100 + chip % kinds));
  }
  doc.SaveEditImage(path);
}

TEST(ToolExport, WritesWhatTheEditorsExportWrites) {
  const TempFolder folder;
  fs::create_directories(folder.Path("tool"));
  fs::create_directories(folder.Path("core"));
  const std::string in = folder.Path("in.png");
  WriteSheet(in, 3, 4, 5);
  const ToolRun run = RunTool(folder, {"export",
                                       in,
                                       "--chip",
                                       "4x4",
                                       "--image",
                                       folder.Path("tool/s.png"),
                                       "--tiled",
                                       folder.Path("tool/s.tsx"),
                                       "--tsj",
                                       folder.Path("tool/s.tsj"),
                                       "--godot",
                                       folder.Path("tool/s.tres"),
                                       "--spacing",
                                       "1",
                                       "--margin",
                                       "2",
                                       "--extrude",
                                       "1",
                                       "--key-color",
                                       "#FF00ff",
                                       "--profile",
                                       "standard",
                                       "--skip-duplicates"});
  ASSERT_EQ(run.Status, 0) << run.Err;
  EXPECT_EQ(run.Out + run.Err, "");

  TOrvDatas doc;
  doc.LoadEditImage(in);
  TExportOptions options;
  options.ChipWidth = options.ChipHeight = 4;
  options.Spacing = 1, options.Margin = 2, options.Extrusion = 1;
  options.KeyColor = 0xFF00FF;
  options.SkipDuplicates = true;
  const std::string core = folder.Path("core/s");
  const TSheetLayout layout = ExportSheet(*doc.EditImage, nullptr, options,
                                          {core + ".png", core + ".tsx", core + ".tsj", core + ".tres"});
  for (const char* ext : {".png", ".tsx", ".tsj", ".tres"})
    EXPECT_EQ(ReadFileBytes(folder.Path(std::string("tool/s") + ext)), ReadFileBytes(core + ext)) << ext;
  // Chip 4 copies chip 0 and is left out of the Godot list; with magenta as the key colour the white chip 5
  // is a chip like any other.
  EXPECT_EQ(layout.Tiles, (std::vector<TChipCell>{{0, 0}, {1, 0}, {2, 0}, {0, 1}, {2, 1}}));
}

TEST(ToolExport, UsageErrorsExitWithStatus2AndWriteNothing) {
  const TempFolder folder;
  const std::string in = folder.Path("in.png"), out = folder.Path("out.png");
  WriteSheet(in, 2, 4);
  const std::vector<std::vector<std::string>> cases = {
      {"export", in, "--image", out},
      {"export", in, "--chip", "4", "--image", out},
      {"export", in, "--chip", "0x4", "--image", out},
      {"export", in, "--chip", "4x4"},
      {"export", in, "--chip", "4x4", "--image", out, "--spacing", "-1"},
      {"export", in, "--chip", "4x4", "--image", out, "--extrude"},
      {"export", in, "--chip", "4x4", "--image", out, "--key-color", "red"},
      {"export", in, "--chip", "4x4", "--image", out, "--profile", "fancy"},
      {"export", in, "--chip", "4x4", "--image", out, "--bleed", "2"},
      {"export", in, in, "--chip", "4x4", "--image", out},
      {"export", in, "--chip", "4x4", "--out-dir", folder.Path("missing")},
      {"export", in, "--chip", "4x4", "--out-dir", folder.Path(""), "--tiled", "x.tsx"},
      {"export", in, "--chip", "4x4", "--out-dir", folder.Path(""), "--tilesets", "tsx,xml"},
      {"duplicates", in},
      {"duplicates", in, in, "--chip", "4x4"},
      {"convert", in, in, "--out-dir", folder.Path("")},
      {"convert", in, "--out-dir", folder.Path(""), "--format", "gif"}};
  for (const auto& args : cases) {
    const ToolRun run = RunTool(folder, args);
    EXPECT_EQ(run.Status, 2) << testing::PrintToString(args) << run.Err;
    EXPECT_EQ(run.Err.rfind("tilora-tool: ", 0), 0u) << run.Err;
  }
  EXPECT_EQ(folder.Names(), std::vector<std::string>{"in.png"});
  // The profile error names the profile.
  EXPECT_NE(RunTool(folder, cases[7]).Err.find("Unknown save profile \"fancy\""), std::string::npos);
}

TEST(ToolBatch, ConvertAndExportEveryInputIntoTheFolderAndGoOnPastAFailure) {
  const TempFolder folder;
  fs::create_directories(folder.Path("out"));
  WriteSheet(folder.Path("a.png"), 2, 4);
  WriteSheet(folder.Path("b.bmp"), 3, 2);
  WriteFileBytes(folder.Path("broken.png"), {1, 2, 3});
  const std::string outDir = folder.Path("out");

  ToolRun run = RunTool(folder, {"convert", folder.Path("a.png"), folder.Path("broken.png"),
                                 folder.Path("b.bmp"), "--out-dir", outDir});
  EXPECT_EQ(run.Status, 1);
  EXPECT_NE(run.Err.find("PNG"), std::string::npos) << run.Err;
  EXPECT_EQ(std::count(run.Err.begin(), run.Err.end(), '\n'), 1) << run.Err;
  EXPECT_EQ(ReadFileBytes(outDir + "/a.png"), ReadFileBytes(folder.Path("a.png")));
  EXPECT_TRUE(fs::exists(outDir + "/b.bmp"));
  EXPECT_FALSE(fs::exists(outDir + "/broken.png"));

  fs::remove_all(outDir);
  fs::create_directories(outDir);
  run = RunTool(folder, {"export", folder.Path("a.png"), folder.Path("b.bmp"), "--chip", "4x4", "--out-dir",
                         outDir, "--format", "bmp", "--tilesets", "tsx,tres", "--margin", "1"});
  ASSERT_EQ(run.Status, 0) << run.Err;
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(outDir)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"a.bmp", "a.tres", "a.tsx", "b.bmp", "b.tres", "b.tsx"}));
  EXPECT_NE(ReadText(outDir + "/b.tsx").find("<image source=\"b.bmp\" width=\"14\" height=\"10\"/>"),
            std::string::npos);

  // Two inputs of one name would overwrite each other: refused before anything is written.
  fs::create_directories(folder.Path("other"));
  WriteSheet(folder.Path("other/a.png"), 2, 4);
  fs::remove_all(outDir);
  fs::create_directories(outDir);
  run = RunTool(folder, {"convert", folder.Path("a.png"), folder.Path("other/a.png"), "--out-dir", outDir});
  EXPECT_EQ(run.Status, 2);
  EXPECT_TRUE(fs::is_empty(outDir));
}

TEST(ToolDuplicates, PrintsTheGroupsAsJson) {
  const TempFolder folder;
  const std::string in = folder.Path("in.png");
  WriteSheet(in, 3, 2, 5);  // chips 0, 2, 4 alike; 1 and 3 alike; 5 white
  const ToolRun run = RunTool(folder, {"duplicates", in, "--chip", "4x4"});
  ASSERT_EQ(run.Status, 0) << run.Err;
  const nlohmann::json expected = nlohmann::json::parse(R"({"chipWidth":4,"chipHeight":4,"columns":3,"rows":2,
      "duplicates":3,
      "groups":[[{"column":0,"row":0,"transform":"identity"},{"column":2,"row":0,"transform":"identity"},
                 {"column":1,"row":1,"transform":"identity"}],
                [{"column":1,"row":0,"transform":"identity"},{"column":0,"row":1,"transform":"identity"}]],
      "empty":[{"column":2,"row":1}]})");
  EXPECT_EQ(nlohmann::json::parse(run.Out), expected);
  EXPECT_EQ(std::count(run.Out.begin(), run.Out.end(), '\n'), 1);
}

}  // namespace

// A sheet with transparency keeps it through the tool: the exported image reads back with the plane the
// editor's own export makes, and a fully transparent chip is an empty one for the duplicate search.
TEST(ToolExport, ATransparentSheetKeepsItsAlpha) {
  const TempFolder folder;
  TOrvDatas doc;
  doc.SetChipSize(4, 4);
  doc.NewEditImage(3, 1, true);
  TCanvas& canvas = doc.EditImage->Canvas();
  canvas.Brush.Color = DistinctColor(1);
  canvas.FillRect(Rect(0, 0, 8, 4));
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 8; ++x) doc.EditAlpha.ScanLine(y)[x] = x < 4 ? 0 : 128;
  const std::string in = folder.Path("in.png");
  doc.SaveEditImage(in);

  const ToolRun run =
      RunTool(folder, {"export", in, "--chip", "4x4", "--extrude", "1", "--image", folder.Path("out.png")});
  ASSERT_EQ(run.Status, 0) << run.Err;
  TOrvDatas loaded;
  loaded.LoadEditImage(in);
  TExportOptions options;
  options.ChipWidth = options.ChipHeight = 4;
  options.Extrusion = 1;
  const TExportImage expected = MakeExportImage(*loaded.EditImage, loaded.TransparentEditAlpha(),
                                                LayoutSheet(12, 4, options, "out.png"));
  TOrvDatas out;
  out.LoadEditImage(folder.Path("out.png"));
  ASSERT_TRUE(expected.Alpha && out.TransparentEditAlpha());
  EXPECT_EQ(PixelBytes(*out.TransparentEditAlpha()), PixelBytes(*expected.Alpha));

  const ToolRun duplicates = RunTool(folder, {"duplicates", in, "--chip", "4x4"});
  ASSERT_EQ(duplicates.Status, 0) << duplicates.Err;
  EXPECT_EQ(nlohmann::json::parse(duplicates.Out)["empty"],
            nlohmann::json::parse(R"([{"column": 2, "row": 0}])"));
}
