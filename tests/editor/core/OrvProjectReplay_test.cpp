// Projects replayed: a sheet made in the editor, saved as a project and opened again, is the same sheet; a
// changed material changes exactly the cells stamped from it; missing materials and chips that no longer fit
// are named with their cells, which keep their last pixels; a rebuild is one step of the editor's history.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "AlphaPlane.h"
#include "Bitmaps.h"
#include "NoiseImages.h"
#include "OrvAlpha.h"
#include "OrvCui.h"
#include "OrvEdit.h"
#include "OrvProject.h"
#include "TestFiles.h"

using namespace filestest;
namespace fs = std::filesystem;

namespace {

constexpr int Chip = 8;

// A material of Columns x Rows chips of noise (Seed), with a translucent corner pixel in every chip when
// WithAlpha, saved as PNG.
void WriteMaterial(const std::string& Path, int Columns, int Rows, uint32_t Seed, bool WithAlpha = false) {
  TOrvDatas doc;
  doc.SetChipSize(Chip, Chip);
  doc.NewEditImage(Columns, Rows, WithAlpha);
  pngtest::FillNoise(*doc.EditImage, Seed);
  if (WithAlpha)
    for (int y = 0; y < Rows * Chip; ++y)
      for (int x = 0; x < Columns * Chip; ++x)
        doc.EditAlpha.ScanLine(y)[x] = x % Chip == 0 && y % Chip == 0 ? 128 : 0;
  doc.SaveEditImage(Path);
}

// What a pane shows of a sheet: every pixel's colour and alpha.
std::vector<uint32_t> Shown(const TOrvDatas& Doc) {
  const TBitmap& image = *Doc.EditImage;
  const bool plane = IsAlphaPlaneOf(Doc.EditAlpha, image);
  std::vector<uint32_t> pixels;
  for (int y = 0; y < image.Height(); ++y)
    for (int x = 0; x < image.Width(); ++x)
      pixels.push_back(static_cast<uint32_t>(image.GetPixel(x, y) & 0xFFFFFF) |
                       uint32_t{plane ? Doc.EditAlpha.ScanLine(y)[x] : uint8_t{0}} << 24);
  return pixels;
}

// The cells (column, row) in which two sheets of one size differ.
std::set<std::pair<int, int>> DifferentCells(const TOrvDatas& A, const TOrvDatas& B) {
  const std::vector<uint32_t> a = Shown(A), b = Shown(B);
  const int width = A.EditImage->Width();
  std::set<std::pair<int, int>> cells;
  for (size_t i = 0; i < a.size(); ++i)
    if (a[i] != b[i]) cells.insert({static_cast<int>(i % width) / Chip, static_cast<int>(i / width) / Chip});
  return cells;
}

// The window's stamp: the selection of the material read from Path, turned, put at the cell (Column, Row).
void StampFrom(TSheetEditor& Editor, TOrvDatas& Doc, const std::string& Path, TRect Area, int Column, int Row,
               TChipTransform Transform = TChipTransform::Identity, bool Join = false) {
  Doc.LoadMaterial(Path);
  const TChipBlock block = TransformBlock(CutBlock(*Doc.Material, Doc.MaterialAlpha, Area), Transform);
  Editor.Stamp(block, {TStampOrigin::TFrom::Material, Path, false, Area, Transform},
               {Column * Chip, Row * Chip}, Join);
}

TRect Cells(int Column, int Row, int Columns = 1, int Rows = 1) {
  return Rect(Column * Chip, Row * Chip, (Column + Columns) * Chip, (Row + Rows) * Chip);
}

struct TScene {
  TempFolder Folder;
  std::string Grass = Folder.Path("materials/grass.png"), Rock = Folder.Path("rock.bmp");
  std::string Project = Folder.Path("town.tilora");
  TOrvDatas Doc;
  TSheetEditor Editor{Doc};

  TScene() {
    fs::create_directories(Folder.Path("materials"));
    WriteMaterial(Grass, 4, 4, 11, true);
    WriteMaterial(Rock, 4, 2, 12);
  }
  TProject Save() {
    WriteProject(MakeProject(Editor.SheetRecipe()), Project);
    return ReadProject(Project);
  }
};

// Every kind of edit, after a New (transparent) or a Load of an edit image.
class ProjectRoundTrip : public testing::TestWithParam<bool> {};

TEST_P(ProjectRoundTrip, OpensAsTheSheetItWasSavedFrom) {
  const bool loaded = GetParam();
  TScene scene;
  TOrvDatas& doc = scene.Doc;
  TSheetEditor& editor = scene.Editor;
  const std::string sheetFile = scene.Folder.Path("sheet.png");
  if (loaded) {
    WriteMaterial(sheetFile, 8, 4, 13);
    editor.LoadImage(sheetFile, Chip, Chip);
  } else {
    editor.NewImage(8, 4, Chip, Chip, true);
  }
  StampFrom(editor, doc, scene.Grass, Cells(0, 0, 2, 1), 0, 0);
  StampFrom(editor, doc, scene.Rock, Cells(1, 0, 1, 2), 2, 0, TChipTransform::Rotate90);
  for (const TChipTransform t :
       {TChipTransform::FlipHorizontal, TChipTransform::FlipVertical, TChipTransform::Rotate180,
        TChipTransform::Rotate270, TChipTransform::Transpose, TChipTransform::AntiTranspose})
    StampFrom(editor, doc, scene.Grass, Cells(static_cast<int>(t) % 4, 1, 1, 1), static_cast<int>(t), 3, t,
              true);
  // A selection that reaches past the material's right edge stamps what it holds.
  StampFrom(editor, doc, scene.Rock, Cells(3, 0, 2, 1), 6, 0);
  editor.Erase(Cells(1, 0));
  editor.Move(Cells(0, 0, 2, 2), {5 * Chip, 1 * Chip}, false);
  editor.Move(Cells(2, 0), {7 * Chip, 2 * Chip}, true);
  // The sheet as its own material, and a paste with alpha.
  const TChipBlock fromSheet = TransformBlock(CutBlock(*doc.EditImage, doc.EditAlpha, Cells(5, 1, 2, 1)),
                                              TChipTransform::FlipVertical);
  editor.Stamp(fromSheet,
               {TStampOrigin::TFrom::Sheet, "", false, Cells(5, 1, 2, 1), TChipTransform::FlipVertical},
               {0, 2 * Chip});
  TChipBlock pasted{16, 8, {}, nullptr, nullptr};
  auto image = pngtest::MakeBitmap(16, 8, pf24bit);
  pngtest::FillNoise(*image, 14);
  pasted.Image = std::make_shared<TBitmapImage>(image->Image());
  pasted.Alpha = NewAlphaPlaneImage(16, 8);
  std::const_pointer_cast<TBitmapImage>(pasted.Alpha)->Bits[3] = 255;
  editor.Paste(pasted, {2 * Chip + 3, 3 * Chip});
  editor.SetChipSize(16, 8);

  const TProject project = scene.Save();
  // The loaded file may change or be the sheet saved over itself: the project holds the picture it gave.
  if (loaded) fs::remove(sheetFile);
  EXPECT_EQ(project.Base.has_value(), loaded);
  EXPECT_EQ(project.TransparentBackground, !loaded);
  EXPECT_EQ(project.Materials.size(), 2u);
  // The recipe's operations are the project's: all of the history's but the New or Load it starts with.
  EXPECT_EQ(project.Operations.size(), editor.Recipe().size() - 1);

  TOrvDatas opened;
  EXPECT_TRUE(ReplayProject(project, opened).empty());
  EXPECT_EQ(Shown(opened), Shown(doc));
  EXPECT_EQ(opened.ChipWidth, 16);
  EXPECT_EQ(opened.EditAlpha.Empty(), doc.EditAlpha.Empty());
}

INSTANTIATE_TEST_SUITE_P(Starts, ProjectRoundTrip, testing::Values(false, true),
                         [](const auto& Info) { return Info.param ? "Load" : "New"; });

TEST(ProjectReplay, AChangedMaterialChangesExactlyTheCellsStampedFromIt) {
  TScene scene;
  scene.Editor.NewImage(8, 4, Chip, Chip);
  StampFrom(scene.Editor, scene.Doc, scene.Grass, Cells(1, 1, 2, 1), 0, 0);
  StampFrom(scene.Editor, scene.Doc, scene.Rock, Cells(0, 0, 2, 1), 4, 0);
  StampFrom(scene.Editor, scene.Doc, scene.Grass, Cells(3, 3), 3, 2, TChipTransform::Rotate90);
  StampFrom(scene.Editor, scene.Doc, scene.Rock, Cells(2, 1), 2, 2);
  scene.Editor.Move(Cells(0, 0), {7 * Chip, 3 * Chip}, false);
  const TProject project = scene.Save();

  WriteMaterial(scene.Grass, 4, 4, 99, true);
  EXPECT_EQ(ChangedMaterials(project).size(), 1u);
  TOrvDatas rebuilt;
  EXPECT_TRUE(ReplayProject(project, rebuilt).empty());
  EXPECT_EQ(DifferentCells(rebuilt, scene.Doc), (std::set<std::pair<int, int>>{{1, 0}, {3, 2}, {7, 3}}));
  // Those cells show the new material's chips.
  TOrvDatas grass;
  grass.LoadMaterial(scene.Grass);
  const TChipBlock chip = CutBlock(*grass.Material, grass.MaterialAlpha, Cells(2, 1));
  TOrvDatas expected;
  expected.EditImage->Assign(rebuilt.EditImage.get());
  expected.EditAlpha.Assign(&rebuilt.EditAlpha);
  PutBlock(*expected.EditImage, expected.EditAlpha, chip, Chip, 0);
  EXPECT_EQ(Shown(expected), Shown(rebuilt));
}

TEST(ProjectReplay, MissingMaterialsAreNamedWithTheirCellsWhichKeepTheirLastPixels) {
  TScene scene;
  scene.Editor.NewImage(8, 4, Chip, Chip);
  StampFrom(scene.Editor, scene.Doc, scene.Rock, Cells(0, 0, 2, 1), 0, 0);
  StampFrom(scene.Editor, scene.Doc, scene.Grass, Cells(0, 0, 2, 2), 1, 0);
  StampFrom(scene.Editor, scene.Doc, scene.Rock, Cells(1, 1), 6, 3);
  const TProject project = scene.Save();

  fs::remove(scene.Rock);
  WriteFileBytes(scene.Grass, {1, 2, 3});
  TOrvDatas rebuilt;
  const std::vector<TReplayProblem> problems = ReplayProject(project, rebuilt);
  ASSERT_EQ(problems.size(), 2u);
  EXPECT_EQ(problems[0].Kind, TReplayProblem::TKind::Missing);
  EXPECT_EQ(problems[0].Material, project.Materials[0].Path);
  EXPECT_EQ(ReplayProblemText(problems[0], scene.Project),
            "Material \"rock.bmp\" is missing: cells (0, 0), (1, 0), (6, 3) keep their last pixels.");
  EXPECT_EQ(problems[1].Cells, (std::vector<TChipCell>{{1, 0}, {2, 0}, {1, 1}, {2, 1}}));
  EXPECT_NE(ReplayProblemText(problems[1], scene.Project)
                .find("Material \"materials/grass.png\" cannot be read (PNG LoadStream: Not PNG Format)"),
            std::string::npos)
      << ReplayProblemText(problems[1], scene.Project);
  // Nothing was stamped: the sheet is as New made it.
  TOrvDatas fresh;
  fresh.SetChipSize(Chip, Chip);
  fresh.NewEditImage(8, 4);
  EXPECT_EQ(Shown(rebuilt), Shown(fresh));
}

TEST(ProjectReplay, ChipsThatNoLongerFitAreNamedAndKeepTheirLastPixels) {
  TScene scene;
  scene.Editor.NewImage(8, 4, Chip, Chip);
  StampFrom(scene.Editor, scene.Doc, scene.Grass, Cells(1, 0, 2, 1), 0, 0);
  StampFrom(scene.Editor, scene.Doc, scene.Grass, Cells(2, 1, 2, 1), 3, 1, TChipTransform::Rotate90);
  // Half of this selection lay outside the material already: that half is not missed now.
  StampFrom(scene.Editor, scene.Doc, scene.Grass, Cells(3, 2, 2, 1), 4, 3);
  StampFrom(scene.Editor, scene.Doc, scene.Grass, Cells(0, 3), 7, 0, TChipTransform::FlipVertical);
  const TProject project = scene.Save();

  // The material loses its two right columns of chips.
  TOrvDatas cropped;
  cropped.LoadEditImage(scene.Grass);
  cropped.SetChipSize(Chip, Chip);
  cropped.NewEditImage(2, 4);
  cropped.SaveEditImage(scene.Grass);
  TOrvDatas rebuilt;
  const std::vector<TReplayProblem> problems = ReplayProject(project, rebuilt);
  ASSERT_EQ(problems.size(), 1u);
  EXPECT_EQ(problems[0].Kind, TReplayProblem::TKind::Unfit);
  EXPECT_EQ(ReplayProblemText(problems[0], scene.Project),
            "Material \"materials/grass.png\" no longer holds the chips of cells (1, 0), (3, 1), (3, 2), (4, "
            "3): they keep their last pixels.");
  // Those cells are as before the stamps (white), the others as the saved sheet shows them.
  EXPECT_EQ(DifferentCells(rebuilt, scene.Doc),
            (std::set<std::pair<int, int>>{{1, 0}, {3, 1}, {3, 2}, {4, 3}}));
  for (const auto& [column, row] : DifferentCells(rebuilt, scene.Doc))
    for (int y = 0; y < Chip; ++y)
      for (int x = 0; x < Chip; ++x)
        ASSERT_EQ(rebuilt.EditImage->GetPixel(column * Chip + x, row * Chip + y) & 0xFFFFFF, clWhite);
}

TEST(ProjectRebuild, IsOneStepOfTheHistoryAndStartsTheRecipe) {
  TScene scene;
  TSheetEditor& editor = scene.Editor;
  editor.NewImage(8, 4, Chip, Chip);
  StampFrom(editor, scene.Doc, scene.Grass, Cells(0, 0, 2, 2), 0, 0);
  StampFrom(editor, scene.Doc, scene.Rock, Cells(1, 0), 5, 3);
  const TProject project = scene.Save();
  const std::vector<uint32_t> before = Shown(scene.Doc);

  WriteMaterial(scene.Rock, 4, 2, 77);
  const TSheetRecipe recipe = ProjectRecipe(project);
  TOrvDatas rebuilt;
  ASSERT_TRUE(ReplayRecipe(recipe, project.Materials, rebuilt).empty());
  const size_t steps = editor.StepCount();
  const TEditChange change = editor.Rebuild(rebuilt, recipe);
  EXPECT_TRUE(change.Whole);
  EXPECT_EQ(editor.StepCount(), steps + 1);
  EXPECT_EQ(editor.UndoKind(), TEditKind::Rebuild);
  EXPECT_EQ(Shown(scene.Doc), Shown(rebuilt));
  EXPECT_EQ(editor.Recipe().size(), project.Operations.size());

  editor.Undo();
  EXPECT_EQ(Shown(scene.Doc), before);
  editor.Redo();
  EXPECT_EQ(Shown(scene.Doc), Shown(rebuilt));

  // Edits after the rebuild continue its recipe; saved again, the project opens as the sheet.
  StampFrom(editor, scene.Doc, scene.Grass, Cells(3, 3), 7, 0, TChipTransform::Rotate270);
  const TSheetRecipe after = editor.SheetRecipe();
  EXPECT_EQ(after.Operations.size(), project.Operations.size() + 1);
  EXPECT_EQ(after.Start.Image, recipe.Start.Image);
  TOrvDatas opened;
  EXPECT_TRUE(ReplayProject(scene.Save(), opened).empty());
  EXPECT_EQ(Shown(opened), Shown(scene.Doc));
}

TEST(ProjectRebuild, StepsDroppedForMemoryGoIntoTheStartPicture) {
  TScene scene;
  TOrvDatas& doc = scene.Doc;
  TSheetEditor editor(doc, 4 << 10);
  editor.NewImage(16, 16, Chip, Chip);
  for (int i = 0; i < 40; ++i)
    StampFrom(editor, doc, i % 2 ? scene.Grass : scene.Rock, Cells(i % 4, i % 2), (i * 5) % 16, (i * 3) % 16);
  ASSERT_LT(editor.StepCount(), 40u);
  const TSheetRecipe recipe = editor.SheetRecipe();
  EXPECT_EQ(recipe.Operations.size(), editor.StepCount());
  TOrvDatas opened;
  EXPECT_TRUE(ReplayProject(MakeProject(recipe), opened).empty());
  EXPECT_EQ(Shown(opened), Shown(doc));
}

}  // namespace
