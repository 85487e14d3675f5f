// The sheet editor: every edit through one history, undone and redone exactly (random sequences on sheets
// with and without alpha), the memory bound, drags as one step, the clean position, the recipe, and the
// colour budget kept by the edits against a full count.
#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "AlphaPlane.h"
#include "Bitmaps.h"
#include "ExpectRaises.h"
#include "NoiseImages.h"
#include "OrvCui.h"
#include "OrvEdit.h"
#include "OrvSave.h"
#include "TestFiles.h"

using namespace filestest;

namespace {

// Everything of the document that the history restores.
struct TSheet {
  BitmapSnapshot Image, Alpha;
  TColor TransparentColor = 0;
  TTransparentMode TransparentMode = tmAuto;
  int32_t ChipWidth = 0, ChipHeight = 0;
  TPixelFormat LoadedFormat = pfDevice;
  bool LoadedPalette = false;
  std::vector<TPaletteEntry> LoadedEntries;
  bool operator==(const TSheet&) const = default;
};

TSheet SheetOf(const TOrvDatas& Doc) {
  TSheet s;
  s.Image = Snapshot(*Doc.EditImage);
  s.Alpha = Snapshot(Doc.EditAlpha);
  s.TransparentColor = Doc.EditImage->TransparentColor();
  s.TransparentMode = Doc.EditImage->TransparentMode;
  s.ChipWidth = Doc.ChipWidth;
  s.ChipHeight = Doc.ChipHeight;
  const TOrvDatas::TLoadedFile file = Doc.LoadedFile();
  s.LoadedFormat = file.Format;
  s.LoadedPalette = file.Palette != nullptr;
  if (file.Palette) s.LoadedEntries = file.Palette->Entries;
  return s;
}

void PrintTo(const TSheet& S, std::ostream* Out) {
  size_t hash = 0;
  for (uint8_t b : S.Image.Bits) hash = hash * 31 + b;
  for (uint8_t b : S.Alpha.Bits) hash = hash * 31 + b;
  *Out << S.Image.Width << "x" << S.Image.Height << " format " << S.Image.Format << ", plane "
       << S.Alpha.Width << "x" << S.Alpha.Height << ", chip " << S.ChipWidth << "x" << S.ChipHeight
       << ", loaded palette " << S.LoadedEntries.size() << ", hash " << hash;
}

TStampOrigin FromMaterial(const TRect& Area, TChipTransform Transform = TChipTransform::Identity) {
  return {TStampOrigin::TFrom::Material, "material.png", false, Area, Transform};
}

// Reds 0, 3, ..., 33: twelve colours in few bins of the designed quantiser.
TColor FlatColor(int K) {
  return RGB(static_cast<uint8_t>(3 * (K % 12)), 0, 0);
}

// Materials of 64 x 64 pixels: chips of flat colours (four a chip), a ramp of 200 reds that the designed
// reduction merges, and noise of thousands of colours; and an alpha plane with opaque, transparent and
// translucent pixels.
struct TMaterials {
  std::unique_ptr<TBitmap> Pictures[3];
  TBitmap Alpha;
  TMaterials() {
    Pictures[0] = pngtest::MakeBitmap(64, 64, pf24bit);
    Pictures[1] = pngtest::MakeBitmap(64, 64, pf24bit);
    for (int y = 0; y < 64; ++y)
      for (int x = 0; x < 64; ++x) {
        Pictures[0]->Canvas().SetPixel(x, y, FlatColor(x / 8 + y / 8 * 3));
        Pictures[1]->Canvas().SetPixel(x, y, RGB(static_cast<uint8_t>((x + 64 * (y % 4)) % 200), 0, 0));
      }
    Pictures[2] = pngtest::MakeBitmap(64, 64, pf24bit);
    pngtest::FillNoise(*Pictures[2], 99);
    Alpha.SetImage(NewAlphaPlaneImage(64, 64));
    for (int y = 0; y < 64; ++y)
      for (int x = 0; x < 64; ++x) Alpha.ScanLine(y)[x] = static_cast<uint8_t>((x / 4 + y / 4) % 3 * 127);
  }
  void Use(TOrvDatas& Doc, int Which, bool WithAlpha) {
    Doc.Material->Assign(Pictures[Which].get());
    Doc.MaterialAlpha.Assign(WithAlpha ? &Alpha : nullptr);
  }
};

// A sheet of 32 x 32 pixels in an 8-bit file whose palette holds 40 reds that the designed true-colour
// reduction would merge, and one in a PNG file with transparent and translucent pixels.
void WriteSheets(const TempFolder& Folder) {
  std::vector<TPaletteEntry> reds;
  for (int i = 0; i < 40; ++i) reds.push_back({static_cast<uint8_t>(i), 0, 0, 0});
  auto indexed = pngtest::MakeBitmap(32, 32, pf8bit, reds);
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x) indexed->ScanLine(y)[x] = static_cast<uint8_t>((x + y) % 40);
  indexed->SaveToFile(Folder.Path("palette.bmp"));

  TOrvDatas doc;
  doc.EditImage->Assign(pngtest::MakeBitmap(32, 32, pf24bit).get());
  pngtest::FillNoise(*doc.EditImage, 5);
  doc.EditAlpha.SetImage(NewAlphaPlaneImage(32, 32));
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x)
      doc.EditAlpha.ScanLine(y)[x] = static_cast<uint8_t>(x < 8 ? 255 : y < 4 ? 90 : 0);
  doc.SaveEditImage(Folder.Path("alpha.png"));
}

// ---------------------------------------------------------------------------------------------------------------
// Random edits

enum class TStart { White, Transparent, Palette, AlphaFile };

// A random sequence of edits, undos and redos on one document, with the sheet expected at every step.
class TRandomEdits {
 public:
  TRandomEdits(uint32_t Seed, TStart Start, const TempFolder& Folder) : FRandom(Seed), FFolder(Folder) {
    FStates.push_back(SheetOf(Doc));
    switch (Start) {
      case TStart::White:
      case TStart::Transparent:
        Record(Editor.NewImage(3, 3, 16, 16, Start == TStart::Transparent));
        break;
      case TStart::Palette:
        Record(Editor.LoadImage(Folder.Path("palette.bmp"), 16, 16));
        break;
      case TStart::AlphaFile:
        Record(Editor.LoadImage(Folder.Path("alpha.png"), 8, 8));
        break;
    }
  }

  // One random edit, or now and then an undo or a redo; the sheet is checked against what it must be.
  void Step() {
    const int choice = Int(0, 19);
    if (choice == 0 && Editor.CanUndo()) {
      Editor.Undo();
      ExpectCurrentState();
      return;
    }
    if (choice == 1 && Editor.CanRedo()) {
      Editor.Redo();
      ExpectCurrentState();
      return;
    }
    const TBitmap& sheet = *Doc.EditImage;
    const bool join = Int(0, 1);  // the editor joins only a drag's stamps or erases
    if (choice <= 8) {
      FMaterials.Use(Doc, Int(0, 2), Int(0, 2) == 0);
      const TRect area = RandomArea(*Doc.Material);
      const TChipTransform transform = static_cast<TChipTransform>(Int(0, 7));
      const TChipBlock block = TransformBlock(CutBlock(*Doc.Material, Doc.MaterialAlpha, area), transform);
      Record(Editor.Stamp(block, FromMaterial(area, transform), RandomCell(), join));
    } else if (choice == 9) {
      const TRect area = RandomArea(sheet);
      Record(Editor.Stamp(CutBlock(sheet, Doc.EditAlpha, area),
                          {TStampOrigin::TFrom::Sheet, "", false, area, TChipTransform::Identity},
                          RandomCell(), join));
    } else if (choice <= 11) {
      Record(Editor.Erase(RandomArea(sheet), join));
    } else if (choice <= 13) {
      Record(Editor.Move(RandomArea(sheet), RandomCell(), choice == 13));
    } else if (choice == 14) {
      FMaterials.Use(Doc, Int(0, 2), Int(0, 1));
      Record(
          Editor.Paste(CutBlock(*Doc.Material, Doc.MaterialAlpha, RandomArea(*Doc.Material)), RandomCell()));
    } else if (choice <= 16) {
      Record(Editor.NewImage(Int(1, 4), Int(1, 4), 8 * Int(1, 2), 8 * Int(1, 2), Int(0, 2) == 0));
    } else if (choice == 17) {
      Record(Editor.SetChipSize(8 * Int(1, 2), 8 * Int(1, 2)));
    } else {
      Record(Editor.LoadImage(FFolder.Path(Int(0, 1) ? "palette.bmp" : "alpha.png"), 16, 8));
    }
  }

  // Undoes every step down to the first sheet, then redoes them all, checking the sheet at each.
  void UndoAndRedoAll() {
    while (Editor.CanUndo()) {
      Editor.Undo();
      ExpectCurrentState();
    }
    ASSERT_EQ(Editor.CurrentStep(), 0u);
    ASSERT_EQ(SheetOf(Doc), FStates.front());
    while (Editor.CanRedo()) {
      Editor.Redo();
      ExpectCurrentState();
    }
    ASSERT_EQ(Editor.CurrentStep(), FStates.size() - 1);
  }

  TOrvDatas Doc;
  TSheetEditor Editor{Doc};

 private:
  int Int(int Low, int High) { return std::uniform_int_distribution<int>(Low, High)(FRandom); }

  // A rectangle of one to three chips each way, often reaching outside the picture.
  TRect RandomArea(const TBitmap& Picture) {
    const int w = Doc.ChipWidth, h = Doc.ChipHeight;
    const int left = w * Int(-1, Picture.Width() / w), top = h * Int(-1, Picture.Height() / h);
    return Rect(left, top, left + w * Int(1, 3), top + h * Int(1, 3));
  }
  TPoint RandomCell() {
    return {Doc.ChipWidth * Int(-1, Doc.EditImage->Width() / Doc.ChipWidth),
            Doc.ChipHeight * Int(-1, Doc.EditImage->Height() / Doc.ChipHeight)};
  }

  // Takes the sheet after an edit as the state of the step the editor is at: a new step, the step a drag
  // joined, or (the edit changed nothing) the step it was at, unchanged.
  void Record(const TEditChange& Change) {
    const size_t step = Editor.CurrentStep();
    if (step == FAt + 1) {
      FStates.resize(step);
      FStates.push_back(SheetOf(Doc));
    } else if (step == FAt && (Change.Whole || Change.Area.Width() > 0)) {
      FStates[step] = SheetOf(Doc);  // a joined stamp or erase
    } else {
      ASSERT_EQ(step, FAt);
      ASSERT_EQ(SheetOf(Doc), FStates[step]) << "an edit that records nothing changes nothing";
    }
    FAt = step;
  }
  void ExpectCurrentState() {
    FAt = Editor.CurrentStep();
    ASSERT_LT(FAt, FStates.size());
    ASSERT_EQ(SheetOf(Doc), FStates[FAt]) << "at step " << FAt;
  }

  std::mt19937 FRandom;
  const TempFolder& FFolder;
  TMaterials FMaterials;
  std::vector<TSheet> FStates;  // the sheet at each step
  size_t FAt = 0;               // the step the editor was at after the last call
};

class RandomEdits : public testing::TestWithParam<std::tuple<TStart, uint32_t>> {
 protected:
  void SetUp() override { WriteSheets(folder); }
  TempFolder folder;
};

TEST_P(RandomEdits, AllUndoneGiveTheFirstSheetAllRedoneTheLast) {
  TRandomEdits edits(std::get<1>(GetParam()), std::get<0>(GetParam()), folder);
  for (int i = 0; i < 120 && !HasFatalFailure(); ++i) edits.Step();
  edits.UndoAndRedoAll();
}

TEST_P(RandomEdits, ColourBudgetFollowsEveryChangeAsAFullCount) {
  TRandomEdits edits(std::get<1>(GetParam()), std::get<0>(GetParam()), folder);
  TSaveOptions exact, rpg2000;
  exact.ExactColors = true;
  rpg2000.Profile = TSaveProfile::Rpg2000;
  for (int i = 0; i < 80 && !HasFatalFailure(); ++i) {
    edits.Step();
    for (const TSaveOptions& options : {TSaveOptions{}, exact, rpg2000})
      ASSERT_EQ(edits.Editor.ColorBudget(options), ColorBudgetText(edits.Doc, options)) << "after edit " << i;
  }
}

// The duplicate chips the editor keeps are those a full search finds after every edit, undo and redo, and the
// changes it reports cover every chip whose mark changed.
TEST_P(RandomEdits, DuplicateChipsFollowEveryChangeAsAFullSearch) {
  TRandomEdits edits(std::get<1>(GetParam()), std::get<0>(GetParam()), folder);
  const TDuplicateOptions options{std::get<1>(GetParam()) % 2 == 1, std::nullopt};
  std::vector<bool> marks;
  for (int i = 0; i < 80 && !HasFatalFailure(); ++i) {
    edits.Step();
    TOrvDatas& doc = edits.Doc;
    TDuplicateTally& tally = edits.Editor.Duplicates(options);
    const TDuplicateReport report = FindDuplicateChips(
        *doc.EditImage, IsAlphaPlaneOf(doc.EditAlpha, *doc.EditImage) ? &doc.EditAlpha : nullptr,
        doc.ChipWidth, doc.ChipHeight, options);
    ASSERT_EQ(tally.DuplicateCount(), report.DuplicateCount()) << "after edit " << i;
    ASSERT_EQ(tally.Columns(), report.Columns);
    ASSERT_EQ(tally.Rows(), report.Rows);
    const std::vector<bool> cells = report.DuplicateCells();
    const TDuplicateTally::TChanges changes = tally.TakeChanges();
    for (size_t chip = 0; chip < cells.size(); ++chip) {
      const TChipCell cell{static_cast<int32_t>(chip) % report.Columns,
                           static_cast<int32_t>(chip) / report.Columns};
      ASSERT_EQ(tally.IsDuplicate(cell), cells[chip]) << "chip " << chip << " after edit " << i;
      if (!changes.Whole && marks.size() == cells.size() && marks[chip] != cells[chip]) {
        ASSERT_NE(std::find(changes.Cells.begin(), changes.Cells.end(), cell), changes.Cells.end())
            << "chip " << chip << " changed unreported after edit " << i;
      }
    }
    marks = cells;
  }
}

std::string RandomEditsName(const testing::TestParamInfo<std::tuple<TStart, uint32_t>>& Info) {
  const char* starts[] = {"White", "Transparent", "Palette", "AlphaFile"};
  return starts[static_cast<int>(std::get<0>(Info.param))] + std::to_string(std::get<1>(Info.param));
}

INSTANTIATE_TEST_SUITE_P(Seeds, RandomEdits,
                         testing::Combine(testing::Values(TStart::White, TStart::Transparent, TStart::Palette,
                                                          TStart::AlphaFile),
                                          testing::Range(1u, 7u)),
                         RandomEditsName);

// ---------------------------------------------------------------------------------------------------------------
// Stamping, moving, erasing

// The editor's stamp of a block cut from the material's selection is the designed stamp, pixels and alpha,
// where the selection or the target reaches outside.
TEST(SheetEditor, StampsAsTheDesignedStampDoes) {
  TMaterials materials;
  const TRect selections[] = {Rect(16, 0, 48, 16), Rect(-16, -16, 16, 16), Rect(48, 32, 80, 80),
                              Rect(80, 0, 96, 16), Rect(0, 0, 64, 64)};
  const TPoint targets[] = {{16, 16}, {48, 48}, {-16, 0}, {64, 0}};
  for (const bool materialAlpha : {false, true})
    for (const bool sheetAlpha : {false, true})
      for (const TRect& selection : selections)
        for (const TPoint target : targets) {
          SCOPED_TRACE(testing::Message()
                       << materialAlpha << sheetAlpha << " selection " << selection.Left << ","
                       << selection.Top << " target " << target.X << "," << target.Y);
          TOrvDatas designed, edited;
          TSheetEditor editor(edited);
          for (TOrvDatas* doc : {&designed, &edited}) {
            materials.Use(*doc, 2, materialAlpha);
            doc->SetChipSize(16, 16);
            doc->NewEditImage(4, 4, sheetAlpha);
          }
          const TSheet before = SheetOf(edited);
          designed.StampSelection(selection, target.X, target.Y);
          editor.Stamp(CutBlock(*edited.Material, edited.MaterialAlpha, selection), FromMaterial(selection),
                       target);
          ASSERT_EQ(SheetOf(edited), SheetOf(designed));
          editor.Undo();
          ASSERT_EQ(SheetOf(edited), before);
        }
}

// Colour of sheet pixel (X, Y) with its alpha as 0xAABBGGRR (alpha 255 without a plane).
uint32_t Seen(const TOrvDatas& Doc, int X, int Y) {
  const uint32_t alpha = Doc.EditAlpha.Empty() ? 255 : 255 - Doc.EditAlpha.ScanLine(Y)[X];
  return static_cast<uint32_t>(Doc.EditImage->GetPixel(X, Y)) | alpha << 24;
}

TEST(SheetEditor, MoveClearsTheCellsTheAreaLeavesAndCopyKeepsThem) {
  TMaterials materials;
  for (const bool transparent : {false, true}) {
    SCOPED_TRACE(transparent);
    TOrvDatas doc;
    TSheetEditor editor(doc);
    editor.NewImage(4, 1, 8, 8, transparent);
    materials.Use(doc, 0, false);
    // Chips A, B, C (the material's first row) at cells 0, 1, 2; cell 3 as new.
    editor.Stamp(CutBlock(*doc.Material, doc.MaterialAlpha, Rect(0, 0, 24, 8)),
                 FromMaterial(Rect(0, 0, 24, 8)), {0, 0});
    const uint32_t empty = transparent ? 0x00FFFFFFu : 0xFFFFFFFFu;
    const uint32_t a = Seen(doc, 0, 0), b = Seen(doc, 8, 0), c = Seen(doc, 16, 0);
    auto cells = [&] {
      return std::vector<uint32_t>{Seen(doc, 0, 0), Seen(doc, 8, 0), Seen(doc, 16, 0), Seen(doc, 24, 0)};
    };
    ASSERT_EQ(cells(), (std::vector<uint32_t>{a, b, c, empty}));

    // A, B moved one cell right: they overlap their old place.
    EXPECT_EQ(editor.Move(Rect(0, 0, 16, 8), {8, 0}, false).Area, Rect(0, 0, 24, 8));
    EXPECT_EQ(cells(), (std::vector<uint32_t>{empty, a, b, empty}));
    EXPECT_EQ(editor.UndoKind(), TEditKind::Move);
    editor.Undo();
    EXPECT_EQ(editor.Move(Rect(0, 0, 16, 8), {8, 0}, true).Area, Rect(8, 0, 24, 8));
    EXPECT_EQ(cells(), (std::vector<uint32_t>{a, a, b, empty}));
    EXPECT_EQ(editor.UndoKind(), TEditKind::Copy);
    // Left past the edge: the part that leaves the sheet is gone.
    editor.Move(Rect(8, 0, 24, 8), {-8, 0}, false);
    EXPECT_EQ(cells(), (std::vector<uint32_t>{b, empty, empty, empty}));
    editor.Erase(Rect(0, 0, 8, 8), false, TEditKind::Cut);
    EXPECT_EQ(cells(), (std::vector<uint32_t>{empty, empty, empty, empty}));
    EXPECT_EQ(editor.UndoKind(), TEditKind::Cut);
  }
}

TEST(SheetEditor, APlaneAppearsWithATransparentStampAndGoesWithItsUndo) {
  TMaterials materials;
  TOrvDatas doc;
  TSheetEditor editor(doc);
  editor.NewImage(2, 2, 16, 16);
  materials.Use(doc, 0, true);
  const TChipBlock block = CutBlock(*doc.Material, doc.MaterialAlpha, Rect(0, 0, 16, 16));
  editor.Stamp(block, FromMaterial(Rect(0, 0, 16, 16)), {16, 0});
  ASSERT_TRUE(IsAlphaPlaneOf(doc.EditAlpha, *doc.EditImage));
  const TSheet stamped = SheetOf(doc);
  EXPECT_EQ(Seen(doc, 16, 0) >> 24, 255u - doc.MaterialAlpha.ScanLine(0)[0]);
  EXPECT_EQ(Seen(doc, 0, 0), 0xFFFFFFFFu);
  editor.Undo();
  EXPECT_TRUE(doc.EditAlpha.Empty());
  editor.Redo();
  EXPECT_EQ(SheetOf(doc), stamped);
  // Erasing on a sheet with a plane makes the area transparent.
  editor.Erase(Rect(0, 0, 32, 16));
  EXPECT_EQ(Seen(doc, 20, 3), 0x00FFFFFFu);
}

// ---------------------------------------------------------------------------------------------------------------
// Steps, clean position, memory, recipe

TEST(SheetEditor, ADragIsOneStepAndTheCleanPositionFollowsTheHistory) {
  TMaterials materials;
  TOrvDatas doc;
  TSheetEditor editor(doc);
  materials.Use(doc, 2, false);
  const TChipBlock chip = CutBlock(*doc.Material, doc.MaterialAlpha, Rect(0, 0, 16, 16));
  const TChipBlock other = CutBlock(*doc.Material, doc.MaterialAlpha, Rect(16, 0, 32, 16));
  auto stamp = [&](const TChipBlock& block, int cell, bool join) {
    return editor.Stamp(block, FromMaterial(Rect(0, 0, 16, 16)), {16 * cell, 0}, join);
  };
  editor.NewImage(4, 1, 16, 16);
  editor.SetClean();
  EXPECT_TRUE(editor.IsClean());
  const TSheet fresh = SheetOf(doc);

  stamp(chip, 0, true);  // nothing to join yet
  stamp(chip, 1, true);
  EXPECT_EQ(stamp(chip, 2, true).Area, Rect(32, 0, 48, 16));
  EXPECT_EQ(editor.StepCount(), 2u);
  EXPECT_FALSE(editor.IsClean());
  const TSheet dragged = SheetOf(doc);
  EXPECT_EQ(editor.Undo().Area, Rect(0, 0, 48, 16));
  EXPECT_EQ(SheetOf(doc), fresh);
  EXPECT_TRUE(editor.IsClean());
  editor.Redo();
  EXPECT_EQ(SheetOf(doc), dragged);

  // What comes between ends a drag: a redo, another kind of edit, marking the clean position.
  stamp(other, 3, true);
  EXPECT_EQ(editor.StepCount(), 3u);
  editor.Erase(Rect(0, 0, 16, 16), true);
  editor.Erase(Rect(16, 0, 32, 16), true);
  EXPECT_EQ(editor.StepCount(), 4u);
  EXPECT_EQ(editor.UndoKind(), TEditKind::Erase);
  editor.SetClean();
  editor.Erase(Rect(32, 0, 48, 16), true);
  EXPECT_EQ(editor.StepCount(), 5u);
  editor.Undo();
  EXPECT_TRUE(editor.IsClean());

  // An edit that changes no pixel records nothing and keeps what can be redone.
  EXPECT_EQ(stamp(other, 3, false).Area, TRect{});
  EXPECT_EQ(editor.Erase(Rect(0, 0, 16, 16)).Area, TRect{});
  EXPECT_EQ(editor.Move(Rect(64, 0, 80, 16), {0, 0}, false).Area, TRect{});
  EXPECT_TRUE(editor.CanRedo());
  EXPECT_EQ(editor.RedoKind(), TEditKind::Erase);

  // A new edit after an undo drops the steps that could be redone, and with them a clean position there.
  editor.Redo();
  editor.SetClean();
  editor.Undo();
  stamp(chip, 3, false);
  EXPECT_FALSE(editor.CanRedo());
  EXPECT_FALSE(editor.IsClean());
  editor.Undo();
  EXPECT_FALSE(editor.IsClean());
}

TEST(SheetEditor, MemoryStaysWithinTheLimitDroppingTheOldestSteps) {
  TMaterials materials;
  TOrvDatas doc;
  TSheetEditor editor(doc, 40000);
  materials.Use(doc, 2, false);
  editor.NewImage(8, 8, 32, 32);
  editor.SetClean();
  std::vector<TSheet> states = {SheetOf(doc)};
  for (int i = 0; i < 60; ++i) {
    const TRect area = Rect(i % 2 * 32, 0, i % 2 * 32 + 32, 32);
    editor.Stamp(CutBlock(*doc.Material, doc.MaterialAlpha, area), FromMaterial(area),
                 {32 * (i % 8), 32 * (i / 8)});
    states.push_back(SheetOf(doc));
    ASSERT_LE(editor.MemoryUsed(), editor.MemoryLimit()) << i;
  }
  const size_t kept = editor.StepCount();
  EXPECT_GT(kept, 4u);
  EXPECT_LT(kept, 20u);
  EXPECT_EQ(editor.DroppedSteps() + kept, 61u);  // the New and every stamp
  EXPECT_FALSE(editor.IsClean());
  // The recipe keeps every operation, the New first.
  const std::vector<TEditOperation> recipe = editor.Recipe();
  ASSERT_EQ(recipe.size(), 61u);
  EXPECT_TRUE(std::holds_alternative<TNewImageOperation>(recipe.front()));
  // Undo reaches back as far as the kept steps go; the dropped clean position is never reached.
  for (size_t k = 1; k <= kept; ++k) {
    editor.Undo();
    ASSERT_EQ(SheetOf(doc), states[states.size() - 1 - k]) << k;
    EXPECT_FALSE(editor.IsClean());
  }
  EXPECT_FALSE(editor.CanUndo());
  while (editor.CanRedo()) editor.Redo();
  EXPECT_EQ(SheetOf(doc), states.back());

  // The step just made is kept whatever its size.
  TSheetEditor tight(doc, 1);
  for (int cell = 0; cell < 2; ++cell)
    tight.Stamp(CutBlock(*doc.Material, doc.MaterialAlpha, Rect(0, 32, 32, 64)),
                FromMaterial(Rect(0, 32, 32, 64)), {32 * cell, 0});
  EXPECT_EQ(tight.StepCount(), 1u);
  EXPECT_EQ(tight.DroppedSteps(), 1u);
  EXPECT_GT(tight.MemoryUsed(), 1u);
  tight.Undo();
  EXPECT_NE(SheetOf(doc), states.back());
  EXPECT_FALSE(tight.CanUndo());
}

TEST(SheetEditor, RecipeRebuildsFromTheLastNewOrLoad) {
  TMaterials materials;
  TOrvDatas doc;
  TSheetEditor editor(doc);
  materials.Use(doc, 0, false);
  editor.NewImage(4, 4, 16, 16);
  const TRect selection = Rect(0, 0, 32, 16);
  editor.Stamp(
      TransformBlock(CutBlock(*doc.Material, doc.MaterialAlpha, selection), TChipTransform::FlipVertical),
      FromMaterial(selection, TChipTransform::FlipVertical), {16, 16});
  const TChipBlock fromSheet = CutBlock(*doc.EditImage, doc.EditAlpha, Rect(16, 16, 48, 32));
  editor.Stamp(fromSheet,
               {TStampOrigin::TFrom::Sheet, "", false, Rect(16, 16, 48, 32), TChipTransform::Identity},
               {0, 48});
  editor.SetChipSize(8, 8);
  editor.Erase(Rect(0, 48, 8, 56));
  editor.Move(Rect(0, 48, 32, 64), {32, 0}, true);

  std::vector<TEditOperation> recipe = editor.Recipe();
  ASSERT_EQ(recipe.size(), 6u);
  const auto& made = std::get<TNewImageOperation>(recipe[0]);
  EXPECT_EQ(std::make_tuple(made.Columns, made.Rows, made.ChipWidth, made.ChipHeight),
            std::make_tuple(4, 4, 16, 16));
  const auto& stamp = std::get<TStampOperation>(recipe[1]);
  EXPECT_EQ(stamp.Origin.MaterialPath, "material.png");
  EXPECT_EQ(stamp.Origin.Area, selection);
  EXPECT_EQ(stamp.Origin.Transform, TChipTransform::FlipVertical);
  EXPECT_EQ(stamp.Target.X, 16);
  EXPECT_FALSE(stamp.Pixels) << "a material explains its pixels";
  const auto& copied = std::get<TStampOperation>(recipe[2]);
  ASSERT_TRUE(copied.Pixels) << "the sheet's pixels as they were are kept";
  EXPECT_EQ(copied.Pixels->Image, fromSheet.Image);
  EXPECT_EQ(std::get<TChipSizeOperation>(recipe[3]).ChipWidth, 8);
  EXPECT_EQ(std::get<TEraseOperation>(recipe[4]).Area, Rect(0, 48, 8, 56));
  EXPECT_TRUE(std::get<TMoveOperation>(recipe[5]).Copy);

  editor.Undo();
  EXPECT_EQ(editor.Recipe().size(), 5u);
  editor.NewImage(2, 2, 16, 16);
  recipe = editor.Recipe();
  ASSERT_EQ(recipe.size(), 1u);
  EXPECT_EQ(std::get<TNewImageOperation>(recipe[0]).Columns, 2);
}

TEST(SheetEditor, AFailedLoadOrNewLeavesItsChipSizeAsAStep) {
  TempFolder folder;
  TOrvDatas doc;
  TSheetEditor editor(doc);
  editor.NewImage(2, 2, 16, 16);
  const TSheet made = SheetOf(doc);
  EXPECT_ANY_THROW(editor.LoadImage(folder.Path("missing.png"), 24, 32));
  EXPECT_EQ(editor.StepCount(), 2u);
  EXPECT_EQ(editor.UndoKind(), TEditKind::ChipSize);
  EXPECT_EQ(std::get<TChipSizeOperation>(editor.Recipe().back()).ChipHeight, 32);
  EXPECT_TRUE(editor.Undo().Whole);
  EXPECT_EQ(SheetOf(doc), made);

  // Without a chip-size change a failure records nothing, and what can be redone stays.
  EXPECT_ANY_THROW(editor.LoadImage(folder.Path("missing.png"), 16, 16));
  EXPECT_TRUE(editor.CanRedo());
  ExpectRaises<EInvalidGraphic>([&] { editor.NewImage(0, 2, 16, 16); }, "Invalid image size");
  EXPECT_TRUE(editor.CanRedo());
  ExpectRaises<EInvalidGraphic>([&] { editor.NewImage(2, 2, 0, 16); }, "Invalid chip size");
  ExpectRaises<EInvalidGraphic>([&] { editor.NewImage(0, 2, 8, 8); }, "Invalid image size");
  EXPECT_EQ(editor.UndoKind(), TEditKind::ChipSize);
  EXPECT_EQ(doc.ChipWidth, 8);
  EXPECT_EQ(SheetOf(doc).Image, made.Image);

  // New with the numbers of the sheet as it is changes nothing.
  EXPECT_FALSE(editor.NewImage(4, 4, 8, 8).Whole);
  EXPECT_EQ(editor.StepCount(), 2u);
}

}  // namespace

namespace {

// Past four million colours the tally keeps one count for every colour; a picture replaced around the editor
// is counted afresh.
TEST(SheetEditor, ColourBudgetOfMillionsOfColoursAndOfPicturesReplacedAroundTheEditor) {
  TOrvDatas doc;
  TSheetEditor editor(doc);
  auto many = pngtest::MakeBitmap(2048, 2060, pf24bit);
  for (int y = 0; y < many->Height(); ++y) {
    uint8_t* p = many->ScanLine(y);
    for (int x = 0; x < many->Width(); ++x, p += 3) {
      const uint32_t color = static_cast<uint32_t>(y * 2048 + x) * 0x9E3779u & 0xFFFFFF;  // all distinct
      p[0] = static_cast<uint8_t>(color), p[1] = static_cast<uint8_t>(color >> 8);
      p[2] = static_cast<uint8_t>(color >> 16);
    }
  }
  doc.EditImage->Assign(many.get());
  EXPECT_EQ(editor.ColorBudget({}), "4218880色 → 24ビット");
  editor.Erase(Rect(0, 0, 2048, 40));
  EXPECT_EQ(editor.ColorBudget({}), ColorBudgetText(doc, {}));
  editor.Undo();
  EXPECT_EQ(editor.ColorBudget({}), "4218880色 → 24ビット");

  doc.SetChipSize(8, 8);
  doc.NewEditImage(2, 2);
  EXPECT_EQ(editor.ColorBudget({}), ColorBudgetText(doc, {}));
  doc.EditImage->Assign(nullptr);
  EXPECT_EQ(editor.ColorBudget({}), "");
}

}  // namespace
