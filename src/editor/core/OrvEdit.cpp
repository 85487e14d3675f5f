// The edit history of the sheet. Each record holds its operations and, for each edit in it, the side of the
// change that is not on the sheet: the previous pixels of the rectangles an area edit wrote, the previous
// whole state of a New or Load, or the two chip sizes. Undo and redo swap that side with the sheet, so a
// record holds one copy of what it changed whichever way it was last taken.
#include "OrvEdit.h"

#include <algorithm>
#include <utility>

#include "AlphaPlane.h"
#include "OrvColorTally.h"
#include "OrvCui.h"

// The sheet's whole state as a whole-image record keeps it: the chip size, the loaded file's palette memory,
// and the image and its plane where the edit replaced them (null where it left them as they were).
struct TSheetState {
  int32_t ChipWidth = 0, ChipHeight = 0;
  TOrvDatas::TLoadedFile LoadedFile;
  std::unique_ptr<TBitmap> Image;
  std::unique_ptr<TBitmap> Alpha;
};

namespace {

// One rectangle of the sheet, with its alpha; no alpha when the sheet then had no plane.
struct TPatch {
  TPoint At;
  TChipBlock Pixels;
  TRect Area() const { return Rect(At.X, At.Y, At.X + Pixels.Width, At.Y + Pixels.Height); }
};
// The rectangles of one area edit, put back together.
struct TAreaStep {
  std::vector<TPatch> Patches;
};
struct TChipSizeStep {
  int32_t OldWidth = 0, OldHeight = 0, NewWidth = 0, NewHeight = 0;
};
using TStep = std::variant<TAreaStep, TSheetState, TChipSizeStep>;

template <class... T>
struct TOverloaded : T... {
  using T::operator()...;
};
template <class... T>
TOverloaded(T...) -> TOverloaded<T...>;

bool Empty(const TRect& R) {
  return R.Left >= R.Right || R.Top >= R.Bottom;
}

TRect Bounds(const TRect& A, const TRect& B) {
  if (Empty(A)) return B;
  if (Empty(B)) return A;
  return Rect(std::min(A.Left, B.Left), std::min(A.Top, B.Top), std::max(A.Right, B.Right),
              std::max(A.Bottom, B.Bottom));
}

TRect Whole(const TBitmap& Image) {
  return Rect(0, 0, Image.Width(), Image.Height());
}

TRect ClipTo(const TBitmap& Image, const TRect& Area) {
  const TRect r = Rect(std::max(Area.Left, 0), std::max(Area.Top, 0), std::min(Area.Right, Image.Width()),
                       std::min(Area.Bottom, Image.Height()));
  return Empty(r) ? TRect{} : r;
}

bool WholeImage(const TEditOperation& Operation) {
  return std::holds_alternative<TNewImageOperation>(Operation) ||
         std::holds_alternative<TLoadImageOperation>(Operation);
}

// ---------------------------------------------------------------------------------------------------------------
// Swapping a record's side with the sheet

std::vector<TPatch> CutPatches(const TOrvDatas& Document, const std::vector<TRect>& Areas) {
  std::vector<TPatch> patches;
  for (const TRect& area : Areas)
    patches.push_back({{area.Left, area.Top}, CutBlock(*Document.EditImage, Document.EditAlpha, area)});
  return patches;
}

// Puts patches cut from one state of the sheet back; a state without a plane takes the plane away (what the
// edit added of it lies within the patches).
void PutPatches(TOrvDatas& Document, const std::vector<TPatch>& Patches) {
  for (const TPatch& p : Patches) PutBlock(*Document.EditImage, Document.EditAlpha, p.Pixels, p.At.X, p.At.Y);
  if (!Patches.empty() && !Patches.front().Pixels.Alpha && !Document.EditAlpha.Empty())
    Document.EditAlpha.Assign(nullptr);
}

std::vector<TRect> AreasOf(const std::vector<TPatch>& Patches) {
  std::vector<TRect> areas;
  for (const TPatch& p : Patches) areas.push_back(p.Area());
  return areas;
}

bool SameImage(const std::shared_ptr<const TBitmapImage>& A, const std::shared_ptr<const TBitmapImage>& B) {
  return A && B ? A->Bits == B->Bits : A == B;
}

// Whether the sheet still holds what the patches hold, alpha and plane included.
bool StillHolds(const TOrvDatas& Document, const std::vector<TPatch>& Patches) {
  return std::all_of(Patches.begin(), Patches.end(), [&](const TPatch& Patch) {
    const TChipBlock now = CutBlock(*Document.EditImage, Document.EditAlpha, Patch.Area());
    return SameImage(now.Image, Patch.Pixels.Image) && SameImage(now.Alpha, Patch.Pixels.Alpha);
  });
}

TSheetState CaptureState(TOrvDatas& Document, bool Image, bool Alpha) {
  TSheetState state;
  state.ChipWidth = Document.ChipWidth;
  state.ChipHeight = Document.ChipHeight;
  state.LoadedFile = Document.LoadedFile();
  if (Image) {
    state.Image = std::make_unique<TBitmap>();
    state.Image->Assign(Document.EditImage.get());
  }
  if (Alpha) {
    state.Alpha = std::make_unique<TBitmap>();
    state.Alpha->Assign(&Document.EditAlpha);
  }
  return state;
}

void SwapState(TOrvDatas& Document, TSheetState& State) {
  TSheetState live = CaptureState(Document, State.Image != nullptr, State.Alpha != nullptr);
  Document.SetChipSize(State.ChipWidth, State.ChipHeight);
  Document.RestoreLoadedFile(State.LoadedFile);
  if (State.Image) Document.EditImage->Assign(State.Image.get());
  if (State.Alpha) Document.EditAlpha.Assign(State.Alpha.get());
  State = std::move(live);
}

// ---------------------------------------------------------------------------------------------------------------
// Memory

size_t ImageBytes(const TBitmapImage* Image) {
  return Image ? sizeof(TBitmapImage) + Image->Bits.size() : 0;
}
size_t ImageBytes(const TBitmap* Bitmap) {
  return Bitmap ? sizeof(TBitmap) + ImageBytes(&Bitmap->Image()) : 0;
}
size_t BlockBytes(const TChipBlock& Block) {
  return ImageBytes(Block.Image.get()) + ImageBytes(Block.Alpha.get());
}

size_t StepBytes(const TStep& Step) {
  return std::visit(TOverloaded{[](const TAreaStep& Area) {
                                  size_t bytes = sizeof(TStep);
                                  for (const TPatch& patch : Area.Patches)
                                    bytes += sizeof(TPatch) + BlockBytes(patch.Pixels);
                                  return bytes;
                                },
                                [](const TSheetState& State) {
                                  return sizeof(TStep) + ImageBytes(State.Image.get()) +
                                         ImageBytes(State.Alpha.get());
                                },
                                [](const TChipSizeStep&) { return sizeof(TStep); }},
                    Step);
}

}  // namespace

struct TSheetEditor::TRecord {
  TEditKind Kind = TEditKind::Stamp;
  std::vector<TEditOperation> Operations;
  std::vector<TStep> Steps;
  size_t StepsBytes = 0, OperationsBytes = 0;

  // A Rebuild's recipe starts from this sheet; other records' recipes start from their New or Load.
  std::optional<TChipBlock> Start;
  int32_t StartChipWidth = 0, StartChipHeight = 0;

  size_t Bytes() const { return sizeof(TRecord) + StepsBytes + OperationsBytes; }
  void Add(TEditOperation Operation, TStep Step) {
    StepsBytes += StepBytes(Step);
    CountOperation(Operation);
    Operations.push_back(std::move(Operation));
    Steps.push_back(std::move(Step));
  }
  // A Rebuild: the sheet it replaced, and the recipe it replayed.
  void AddRebuild(TSheetRecipe Recipe, TSheetState Before) {
    Steps.push_back(std::move(Before));
    StepsBytes += StepBytes(Steps.back());
    for (TEditOperation& op : Recipe.Operations) {
      CountOperation(op);
      Operations.push_back(std::move(op));
    }
    OperationsBytes += BlockBytes(Recipe.Start);
    Start = std::move(Recipe.Start);
    StartChipWidth = Recipe.ChipWidth;
    StartChipHeight = Recipe.ChipHeight;
  }
  // After a swap: a whole-image step may now hold a picture of another size.
  void CountSteps() {
    StepsBytes = 0;
    for (const TStep& step : Steps) StepsBytes += StepBytes(step);
  }
  // Whether the recipe of the sheet begins with this record: a New, a Load or a Rebuild.
  bool BeginsRecipe() const {
    return Kind == TEditKind::Rebuild || std::any_of(Operations.begin(), Operations.end(), WholeImage);
  }

 private:
  void CountOperation(const TEditOperation& Operation) {
    OperationsBytes += sizeof(TEditOperation);
    if (const auto* load = std::get_if<TLoadImageOperation>(&Operation))
      OperationsBytes += load->FileName.size();
    if (const auto* stamp = std::get_if<TStampOperation>(&Operation)) {
      OperationsBytes += stamp->Origin.MaterialPath.size();
      // The pixels a stamp keeps; a drag that stamps one block at every cell holds it once.
      if (stamp->Pixels && stamp->Pixels->Image.get() != FLastPixels) {
        OperationsBytes += BlockBytes(*stamp->Pixels);
        FLastPixels = stamp->Pixels->Image.get();
      }
    }
  }

  const TBitmapImage* FLastPixels = nullptr;
};

TSheetEditor::TSheetEditor(TOrvDatas& Document, size_t MemoryLimit)
    : FDocument(Document),
      FLimit(MemoryLimit),
      FTally(std::make_unique<TColorTally>()),
      FDuplicates(std::make_unique<TDuplicateTally>()) {
  if (!FDocument.EditImage) {
    FDocument.EditImage = std::make_unique<TBitmap>();
    FDocument.EditImage->SetTransparentColor(clWhite);
  }
}

TSheetEditor::~TSheetEditor() = default;

// ---------------------------------------------------------------------------------------------------------------
// Edits

template <class TApply>
TEditChange TSheetEditor::AreaEdit(TEditKind Kind, TEditOperation Operation, bool Join,
                                   std::vector<TRect> Areas, TApply Apply) {
  std::erase_if(Areas, Empty);
  if (Areas.empty()) return {};
  TBitmap& image = *FDocument.EditImage;
  TBitmap& alpha = FDocument.EditAlpha;
  TAreaStep step{CutPatches(FDocument, Areas)};
  FTally->Remove(image, alpha, Areas);
  FDuplicates->Expect(image, alpha);
  try {
    Apply(image, alpha);
  } catch (...) {
    FTally->Invalidate();
    FDuplicates->Invalidate();
    PutPatches(FDocument, step.Patches);
    throw;
  }
  FTally->Add(image, alpha, Areas);
  FDuplicates->Update(image, alpha, Areas);
  if (StillHolds(FDocument, step.Patches)) return {};

  TEditChange change;
  for (const TRect& area : Areas) change.Area = Bounds(change.Area, area);
  if (Join && FJoinOpen && FCurrent == FRecords.size() && FCurrent > 0 && FRecords.back()->Kind == Kind) {
    TRecord& record = *FRecords.back();
    FBytes -= record.Bytes();
    record.Add(std::move(Operation), std::move(step));
    FBytes += record.Bytes();
  } else {
    auto record = std::make_unique<TRecord>();
    record->Kind = Kind;
    record->Add(std::move(Operation), std::move(step));
    Push(std::move(record));
  }
  FJoinOpen = true;
  KeepWithinLimit(FRecords.size() - 1);
  return change;
}

template <class TApply>
TEditChange TSheetEditor::WholeEdit(TEditKind Kind, TEditOperation Operation, int32_t ChipWidth,
                                    int32_t ChipHeight, TApply Apply) {
  TSheetState before = CaptureState(FDocument, true, true);
  FDocument.SetChipSize(ChipWidth, ChipHeight);
  const bool chipChanged = before.ChipWidth != ChipWidth || before.ChipHeight != ChipHeight;
  auto record = std::make_unique<TRecord>();
  try {
    Apply();
  } catch (...) {
    if (chipChanged) {
      record->Kind = TEditKind::ChipSize;
      record->Add(TChipSizeOperation{ChipWidth, ChipHeight},
                  TChipSizeStep{before.ChipWidth, before.ChipHeight, ChipWidth, ChipHeight});
      Push(std::move(record));
      FJoinOpen = false;
      KeepWithinLimit(FRecords.size() - 1);
    }
    throw;
  }
  // Only what the edit replaced is kept; what it left is shared with the sheet and would be copied on the
  // next change.
  if (before.Image->SharesImageWith(*FDocument.EditImage)) before.Image.reset();
  if (before.Alpha->SharesImageWith(FDocument.EditAlpha) ||
      (before.Alpha->Empty() && FDocument.EditAlpha.Empty()))
    before.Alpha.reset();
  const TOrvDatas::TLoadedFile file = FDocument.LoadedFile();
  if (!before.Image && !before.Alpha && !chipChanged && file.Format == before.LoadedFile.Format &&
      file.Palette == before.LoadedFile.Palette)
    return {};
  record->Kind = Kind;
  record->Add(std::move(Operation), std::move(before));
  return PushWhole(std::move(record));
}

TEditChange TSheetEditor::PushWhole(std::unique_ptr<TRecord> Record) {
  Push(std::move(Record));
  FJoinOpen = false;
  FTally->Invalidate();
  FDuplicates->Invalidate();
  KeepWithinLimit(FRecords.size() - 1);
  return {true, Whole(*FDocument.EditImage)};
}

TEditChange TSheetEditor::Stamp(const TChipBlock& Block, const TStampOrigin& Origin, TPoint Target,
                                bool Join) {
  TStampOperation op{Origin, Target, std::nullopt};
  if (Origin.From != TStampOrigin::TFrom::Material) op.Pixels = Block;
  return AreaEdit(TEditKind::Stamp, std::move(op), Join,
                  {BlockPlace(*FDocument.EditImage, Block, Target.X, Target.Y)},
                  [&](TBitmap& Image, TBitmap& Alpha) { PutBlock(Image, Alpha, Block, Target.X, Target.Y); });
}

TEditChange TSheetEditor::Erase(const TRect& Area, bool Join, TEditKind Kind) {
  return AreaEdit(Kind, TEraseOperation{Area}, Join, {ClipTo(*FDocument.EditImage, Area)},
                  [&](TBitmap& Image, TBitmap& Alpha) { ClearArea(Image, Alpha, Area); });
}

TEditChange TSheetEditor::Move(const TRect& Area, TPoint Target, bool Copy) {
  TBitmap& image = *FDocument.EditImage;
  const TChipBlock block = CutBlock(image, FDocument.EditAlpha, Area);
  const TRect source = ClipTo(image, Area);
  const TRect dest = BlockPlace(image, block, Target.X, Target.Y);
  return AreaEdit(
      Copy ? TEditKind::Copy : TEditKind::Move, TMoveOperation{Area, Target, Copy}, false,
      Copy ? std::vector<TRect>{dest} : std::vector<TRect>{source, dest},
      [&](TBitmap& Image, TBitmap& Alpha) { MoveBlock(Image, Alpha, block, Area, Target, Copy); });
}

TEditChange TSheetEditor::Paste(const TChipBlock& Block, TPoint Target) {
  TStampOperation op{
      {TStampOrigin::TFrom::Clipboard, {}, false, Rect(0, 0, Block.Width, Block.Height)}, Target, Block};
  return AreaEdit(TEditKind::Paste, std::move(op), false,
                  {BlockPlace(*FDocument.EditImage, Block, Target.X, Target.Y)},
                  [&](TBitmap& Image, TBitmap& Alpha) { PutBlock(Image, Alpha, Block, Target.X, Target.Y); });
}

TEditChange TSheetEditor::NewImage(int32_t Columns, int32_t Rows, int32_t ChipWidth, int32_t ChipHeight,
                                   bool Transparent) {
  return WholeEdit(TEditKind::NewImage, TNewImageOperation{Columns, Rows, ChipWidth, ChipHeight, Transparent},
                   ChipWidth, ChipHeight, [&] { FDocument.NewEditImage(Columns, Rows, Transparent); });
}

TEditChange TSheetEditor::LoadImage(const std::string& FileName, int32_t ChipWidth, int32_t ChipHeight) {
  return WholeEdit(TEditKind::LoadImage, TLoadImageOperation{FileName, ChipWidth, ChipHeight}, ChipWidth,
                   ChipHeight, [&] { FDocument.LoadEditImage(FileName); });
}

TEditChange TSheetEditor::SetChipSize(int32_t ChipWidth, int32_t ChipHeight) {
  const int32_t oldWidth = FDocument.ChipWidth, oldHeight = FDocument.ChipHeight;
  FDocument.SetChipSize(ChipWidth, ChipHeight);
  if (oldWidth == ChipWidth && oldHeight == ChipHeight) return {};
  auto record = std::make_unique<TRecord>();
  record->Kind = TEditKind::ChipSize;
  record->Add(TChipSizeOperation{ChipWidth, ChipHeight},
              TChipSizeStep{oldWidth, oldHeight, ChipWidth, ChipHeight});
  Push(std::move(record));
  FJoinOpen = false;
  KeepWithinLimit(FRecords.size() - 1);
  return {true, Whole(*FDocument.EditImage)};
}

// ---------------------------------------------------------------------------------------------------------------
// The records

void TSheetEditor::Push(std::unique_ptr<TRecord> Record) {
  DropRedo();
  FBytes += Record->Bytes();
  FRecords.push_back(std::move(Record));
  FCurrent = FRecords.size();
}

void TSheetEditor::DropRedo() {
  while (FRecords.size() > FCurrent) {
    FBytes -= FRecords.back()->Bytes();
    FRecords.pop_back();
  }
  if (FClean && *FClean > FCurrent) FClean.reset();
}

void TSheetEditor::KeepWithinLimit(size_t Keep) {
  size_t dropped = 0;
  while (FBytes > FLimit && dropped < Keep && dropped < FRecords.size()) {
    TRecord& record = *FRecords[dropped];
    // Its operations stay in the recipe.
    if (record.Kind == TEditKind::Rebuild) FDroppedRecipe.clear();
    for (TEditOperation& op : record.Operations) {
      if (WholeImage(op)) FDroppedRecipe.clear();
      FDroppedRecipe.push_back(std::move(op));
    }
    FBytes -= record.Bytes();
    ++dropped;
  }
  if (dropped == 0) return;
  FRecords.erase(FRecords.begin(), FRecords.begin() + static_cast<std::ptrdiff_t>(dropped));
  FCurrent -= dropped;
  FDroppedSteps += dropped;
  if (FClean) {
    if (*FClean < dropped)
      FClean.reset();
    else
      *FClean -= dropped;
  }
}

TEditChange TSheetEditor::Swap(TRecord& Record, bool Back) {
  TEditChange change;
  FJoinOpen = false;
  FBytes -= Record.Bytes();
  auto swap = [&](TStep& Step) {
    std::visit(TOverloaded{[&](TAreaStep& Area) {
                             TBitmap& image = *FDocument.EditImage;
                             const std::vector<TRect> areas = AreasOf(Area.Patches);
                             std::vector<TPatch> live = CutPatches(FDocument, areas);
                             FTally->Remove(image, FDocument.EditAlpha, areas);
                             FDuplicates->Expect(image, FDocument.EditAlpha);
                             PutPatches(FDocument, Area.Patches);
                             FTally->Add(image, FDocument.EditAlpha, areas);
                             FDuplicates->Update(image, FDocument.EditAlpha, areas);
                             Area.Patches = std::move(live);
                             for (const TRect& area : areas) change.Area = Bounds(change.Area, area);
                           },
                           [&](TSheetState& State) {
                             SwapState(FDocument, State);
                             FTally->Invalidate();
                             FDuplicates->Invalidate();
                             change.Whole = true;
                           },
                           [&](TChipSizeStep& Sizes) {
                             FDocument.SetChipSize(Back ? Sizes.OldWidth : Sizes.NewWidth,
                                                   Back ? Sizes.OldHeight : Sizes.NewHeight);
                             change.Whole = true;
                           }},
               Step);
  };
  if (Back)
    std::for_each(Record.Steps.rbegin(), Record.Steps.rend(), swap);
  else
    std::for_each(Record.Steps.begin(), Record.Steps.end(), swap);
  Record.CountSteps();
  FBytes += Record.Bytes();
  if (change.Whole) change.Area = Whole(*FDocument.EditImage);
  return change;
}

bool TSheetEditor::CanUndo() const {
  return FCurrent > 0;
}

bool TSheetEditor::CanRedo() const {
  return FCurrent < FRecords.size();
}

TEditKind TSheetEditor::UndoKind() const {
  return CanUndo() ? FRecords[FCurrent - 1]->Kind : TEditKind::Stamp;
}

TEditKind TSheetEditor::RedoKind() const {
  return CanRedo() ? FRecords[FCurrent]->Kind : TEditKind::Stamp;
}

TEditChange TSheetEditor::Undo() {
  if (!CanUndo()) return {};
  const TEditChange change = Swap(*FRecords[FCurrent - 1], true);
  --FCurrent;
  KeepWithinLimit(FCurrent);
  return change;
}

TEditChange TSheetEditor::Redo() {
  if (!CanRedo()) return {};
  const TEditChange change = Swap(*FRecords[FCurrent], false);
  ++FCurrent;
  KeepWithinLimit(FCurrent - 1);
  return change;
}

size_t TSheetEditor::StepCount() const {
  return FRecords.size();
}

size_t TSheetEditor::CurrentStep() const {
  return FCurrent;
}

void TSheetEditor::SetClean() {
  FClean = FCurrent;
  // A later stamp starts its own step, so that undoing it comes back to exactly this state.
  FJoinOpen = false;
}

bool TSheetEditor::IsClean() const {
  return FClean == FCurrent;
}

size_t TSheetEditor::MemoryUsed() const {
  return FBytes;
}

size_t TSheetEditor::MemoryLimit() const {
  return FLimit;
}

size_t TSheetEditor::DroppedSteps() const {
  return FDroppedSteps;
}

std::vector<TEditOperation> TSheetEditor::Recipe() const {
  size_t start = FCurrent;
  while (start > 0 && !FRecords[start - 1]->BeginsRecipe()) --start;
  // Without a New, Load or Rebuild among the records, the recipe begins with the operations dropped for
  // memory.
  std::vector<TEditOperation> recipe;
  if (start == 0)
    recipe = FDroppedRecipe;
  else
    --start;
  for (size_t i = start; i < FCurrent; ++i)
    recipe.insert(recipe.end(), FRecords[i]->Operations.begin(), FRecords[i]->Operations.end());
  return recipe;
}

TSheetRecipe TSheetEditor::SheetRecipe() const {
  size_t first = FCurrent;
  while (first > 0 && !FRecords[first - 1]->BeginsRecipe()) --first;
  const TRecord* begins = first > 0 ? FRecords[first - 1].get() : nullptr;
  TSheetRecipe recipe;
  if (begins && begins->Kind == TEditKind::Rebuild) {
    recipe.Start = *begins->Start;
    recipe.ChipWidth = begins->StartChipWidth;
    recipe.ChipHeight = begins->StartChipHeight;
    recipe.Operations = begins->Operations;
  } else {
    // The sheet as the New or Load left it (or as the oldest step kept found it): the sheet now, with the
    // steps after it undone on a copy. Those steps keep the pixels their areas had before them.
    TOrvDatas sheet;
    sheet.EditImage->Assign(FDocument.EditImage.get());
    sheet.EditAlpha.Assign(&FDocument.EditAlpha);
    sheet.ChipWidth = FDocument.ChipWidth;
    sheet.ChipHeight = FDocument.ChipHeight;
    for (size_t i = FCurrent; i > first; --i) {
      const TRecord& record = *FRecords[i - 1];
      for (auto step = record.Steps.rbegin(); step != record.Steps.rend(); ++step) {
        if (const auto* area = std::get_if<TAreaStep>(&*step)) PutPatches(sheet, area->Patches);
        if (const auto* sizes = std::get_if<TChipSizeStep>(&*step))
          sheet.SetChipSize(sizes->OldWidth, sizes->OldHeight);
      }
    }
    const TBitmap& image = *sheet.EditImage;
    recipe.ChipWidth = sheet.ChipWidth;
    recipe.ChipHeight = sheet.ChipHeight;
    recipe.Start.Width = image.Width();
    recipe.Start.Height = image.Height();
    if (!image.Empty()) {
      recipe.Start.Image = std::make_shared<TBitmapImage>(image.Image());
      if (IsAlphaPlaneOf(sheet.EditAlpha, image))
        recipe.Start.Alpha = std::make_shared<TBitmapImage>(sheet.EditAlpha.Image());
    }
  }
  // The New or Load that begins the recipe is its start; what follows are its operations.
  for (size_t i = first; i < FCurrent; ++i)
    recipe.Operations.insert(recipe.Operations.end(), FRecords[i]->Operations.begin(),
                             FRecords[i]->Operations.end());
  return recipe;
}

TEditChange TSheetEditor::Rebuild(const TOrvDatas& Rebuilt, TSheetRecipe Recipe) {
  TSheetState before = CaptureState(FDocument, true, true);
  FDocument.SetChipSize(Rebuilt.ChipWidth, Rebuilt.ChipHeight);
  FDocument.EditImage->Assign(Rebuilt.EditImage.get());
  FDocument.EditAlpha.Assign(const_cast<TBitmap*>(&Rebuilt.EditAlpha));
  // A rebuilt sheet stands for no loaded file.
  FDocument.RestoreLoadedFile({});
  auto record = std::make_unique<TRecord>();
  record->Kind = TEditKind::Rebuild;
  record->AddRebuild(std::move(Recipe), std::move(before));
  return PushWhole(std::move(record));
}

std::optional<TColorBudget> TSheetEditor::ColorBudgetFigures(const TSaveOptions& Options) {
  const TBitmap& image = *FDocument.EditImage;
  if (image.Empty()) return std::nullopt;
  if (!FTally->Follows(image, FDocument.EditAlpha)) FTally->Recount(image, FDocument.EditAlpha);
  if (std::optional<TColorBudget> budget = FTally->Budget(FDocument, Options)) return budget;
  return ColorBudgetOf(FDocument, Options);
}

TDuplicateTally& TSheetEditor::Duplicates(const TDuplicateOptions& Options) {
  const TBitmap& image = *FDocument.EditImage;
  if (!FDuplicates->Follows(image, FDocument.EditAlpha, FDocument.ChipWidth, FDocument.ChipHeight, Options))
    FDuplicates->Recount(image, FDocument.EditAlpha, FDocument.ChipWidth, FDocument.ChipHeight, Options);
  return *FDuplicates;
}
