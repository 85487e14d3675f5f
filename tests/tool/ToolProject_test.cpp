// tilora-tool build run as a program: the sheet and export of a project against the core's own replay and
// save, the same bytes on every run, --out, and a missing material that writes nothing.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "Bitmaps.h"
#include "OrvCui.h"
#include "OrvProject.h"
#include "TestFiles.h"
#include "ToolRun.h"

using namespace filestest;
using namespace toolrun;
namespace fs = std::filesystem;

namespace {

// A material of 4 x 4 chips, chip (c, r) filled with its own colour.
void WriteMaterial(const std::string& Path, int Shade) {
  TOrvDatas doc;
  doc.SetChipSize(4, 4);
  doc.NewEditImage(4, 4);
  for (int chip = 0; chip < 16; ++chip) {
    TCanvas& canvas = doc.EditImage->Canvas();
    canvas.Brush.Color = DistinctColor(chip * 5 + Shade);
    canvas.FillRect(Rect(chip % 4 * 4, chip / 4 * 4, chip % 4 * 4 + 4, chip / 4 * 4 + 4));
  }
  doc.SaveEditImage(Path);
}

TStampOperation Stamp(const std::string& Material, TRect Area, TPoint Target,
                      TChipTransform Transform = TChipTransform::Identity) {
  TStampOperation stamp;
  stamp.Origin.MaterialPath = Material;
  stamp.Origin.Area = Area;
  stamp.Origin.Transform = Transform;
  stamp.Target = Target;
  return stamp;
}

// A project in Folder over two materials, saving the sheet as town.png and exporting it with a tileset.
std::string WriteTownProject(const TempFolder& Folder) {
  fs::create_directories(Folder.Path("materials"));
  WriteMaterial(Folder.Path("materials/grass.png"), 0);
  WriteMaterial(Folder.Path("materials/rock.bmp"), 100);
  TProject p;
  p.ChipWidth = p.ChipHeight = 4;
  p.SheetWidth = 16;
  p.SheetHeight = 8;
  const std::string grass = Folder.Path("materials/grass.png"), rock = Folder.Path("materials/rock.bmp");
  p.Operations = {Stamp(grass, Rect(0, 0, 8, 4), {4, 0}),
                  Stamp(rock, Rect(4, 4, 8, 12), {0, 0}, TChipTransform::Rotate90),
                  TEraseOperation{Rect(8, 0, 12, 4)}, TMoveOperation{Rect(4, 0, 8, 4), {12, 4}, false}};
  p.Materials = DescribeMaterials(p.Operations);
  p.SheetFile = Folder.Path("town.png");
  TProjectExport exported;
  exported.Options.Extrusion = 1;
  exported.Files = {Folder.Path("export/tiles.png"), Folder.Path("export/tiles.tsx"), "", ""};
  p.Export = exported;
  const std::string file = Folder.Path("town.tilora");
  WriteProject(p, file);
  return file;
}

TEST(ToolBuild, WritesTheSheetAndExportTheSameOnEveryRun) {
  const TempFolder folder;
  fs::create_directories(folder.Path("export"));
  const std::string project = WriteTownProject(folder);
  ToolRun run = RunTool(folder, {"build", project});
  ASSERT_EQ(run.Status, 0) << run.Err;
  EXPECT_EQ(run.Out + run.Err, "");
  const std::vector<uint8_t> sheet = ReadFileBytes(folder.Path("town.png"));
  const std::vector<uint8_t> exported = ReadFileBytes(folder.Path("export/tiles.png"));
  const std::string tileset = ReadText(folder.Path("export/tiles.tsx"));
  EXPECT_NE(tileset.find("<image source=\"tiles.png\" width=\"24\" height=\"12\"/>"), std::string::npos)
      << tileset;

  // The sheet is the core's replay saved as the editor saves it, without a time stamp.
  TOrvDatas replayed;
  EXPECT_TRUE(ReplayProject(ReadProject(project), replayed).empty());
  replayed.SaveEditImage(folder.Path("core.png"), {.TimeStamp = false});
  EXPECT_EQ(sheet, ReadFileBytes(folder.Path("core.png")));

  // Another run, a second later, and a run into another folder give the same bytes.
  sleep(1);
  run = RunTool(folder, {"build", project});
  ASSERT_EQ(run.Status, 0) << run.Err;
  EXPECT_EQ(ReadFileBytes(folder.Path("town.png")), sheet);
  EXPECT_EQ(ReadFileBytes(folder.Path("export/tiles.png")), exported);
  run = RunTool(folder, {"build", project, "--out", folder.Path("out/here")});
  ASSERT_EQ(run.Status, 0) << run.Err;
  EXPECT_EQ(ReadFileBytes(folder.Path("out/here/town.png")), sheet);
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder.Path("out/here")))
    names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"tiles.png", "tiles.tsx", "town.png"}));
}

TEST(ToolBuild, AMissingMaterialIsNamedWithItsCellsAndNothingIsWritten) {
  const TempFolder folder;
  const std::string project = WriteTownProject(folder);
  fs::remove(folder.Path("materials/rock.bmp"));
  const ToolRun run = RunTool(folder, {"build", project});
  EXPECT_EQ(run.Status, 1);
  EXPECT_EQ(run.Err,
            "Material \"materials/rock.bmp\" is missing: cells (0, 0), (1, 0) keep their last pixels.\n"
            "Nothing was written: the sheet cannot be built without its materials.\n");
  EXPECT_FALSE(fs::exists(folder.Path("town.png")));
  EXPECT_FALSE(fs::exists(folder.Path("export")));
}

TEST(ToolBuild, UsageAndProjectErrors) {
  const TempFolder folder;
  WriteFileBytes(folder.Path("bad.tilora"), {'{', '}'});
  for (const std::vector<std::string>& args : {std::vector<std::string>{"build"},
                                               {"build", "a.tilora", "b.tilora"},
                                               {"build", "a.tilora", "--out"},
                                               {"build", "a.tilora", "--fast"}}) {
    const ToolRun run = RunTool(folder, args);
    EXPECT_EQ(run.Status, 2) << testing::PrintToString(args);
    EXPECT_EQ(run.Err.rfind("tilora-tool: ", 0), 0u) << run.Err;
  }
  const ToolRun run = RunTool(folder, {"build", folder.Path("bad.tilora")});
  EXPECT_EQ(run.Status, 1);
  EXPECT_EQ(run.Err, "Cannot read project \"" + folder.Path("bad.tilora") +
                         "\": format is missing; a Tilora project has \"tilora-project\".\n");
}

}  // namespace
