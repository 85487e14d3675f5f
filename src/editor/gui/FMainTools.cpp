// The main window's tools on the edit pane: stamp, erase and select, the selection on the sheet and its
// moves, the clipboard, the flips and turns of the stamp source, and undo and redo.
#include <QApplication>
#include <QClipboard>
#include <QMimeData>
#include <utility>

#include "FMain.h"
#include "OrvTools.h"
#include "QtBitmap.h"
#include "QtHistory.h"

namespace {

bool QuarterTurn(TChipTransform Transform) {
  return Transform == TChipTransform::Rotate90 || Transform == TChipTransform::Rotate270 ||
         Transform == TChipTransform::Transpose || Transform == TChipTransform::AntiTranspose;
}

bool Changed(const TEditChange& Change) {
  return Change.Whole || (Change.Area.Right > Change.Area.Left && Change.Area.Bottom > Change.Area.Top);
}

TRect Moved(const TRect& Area, TPoint Target) {
  return Rect(Target.X, Target.Y, ClampToInt32(int64_t{Target.X} + Area.Width()),
              ClampToInt32(int64_t{Target.Y} + Area.Height()));
}

}  // namespace

// ---------------------------------------------------------------------------------------------------------------
// Edits and their display

TEditChange TOrvMain::RecordEdit(const std::function<TEditChange()>& Edit) {
  return History->Edit(Edit);
}

void TOrvMain::ShowEditChange(const TEditChange& Change) {
  if (Change.Whole) {
    // The image's size or chip size may have changed: both panes as after New, and a selection that still
    // fits.
    EditSelection = ClipToPicture(EditSelection, Document->EditImage->Width(), Document->EditImage->Height());
    RedrawMaterial();
    RedrawEdit();
    UpdateSelectionStatus();
    UpdateActions();
  } else {
    // Also without a change: a view that is no longer current (a chip size changed by a command that failed
    // after it) is redrawn whole, as after the designed stamp.
    RedrawEditArea(Change.Area);
  }
}

void TOrvMain::UndoClick() {
  EndDrag();
  ShowEditChange(History->Undo());
}

void TOrvMain::RedoClick() {
  EndDrag();
  ShowEditChange(History->Redo());
}

// ---------------------------------------------------------------------------------------------------------------
// The tools

void TOrvMain::SetTool(TEditTool Tool) {
  EndDrag();
  FTool = Tool;
  UpdateActions();
}

TChipBlock TOrvMain::StampBlock(TStampOrigin& Origin) const {
  TChipBlock block;
  if (FSheetSource) {
    block = FSheetSource->Block;
    Origin = {TStampOrigin::TFrom::Sheet, {}, false, FSheetSource->Area, FTransform};
  } else {
    block = CutBlock(*Document->Material, Document->MaterialAlpha, Selection);
    Origin = {TStampOrigin::TFrom::Material, FMaterialPath, FMaterialIndexZero, Selection, FTransform};
  }
  return FTransform == TChipTransform::Identity ? block : TransformBlock(block, FTransform);
}

TEditChange TOrvMain::StampAt(int X, int Y, bool Join) {
  FDrag.Cell = Document->SnapToChip(X, Y);
  const TEditChange change =
      RecordEdit([&] { return Editor->Stamp(FDrag.Block, FDrag.Origin, FDrag.Cell, Join); });
  ShowEditChange(change);
  return change;
}

TEditChange TOrvMain::EraseAt(int X, int Y, bool Join) {
  FDrag.Cell = Document->SnapToChip(X, Y);
  const TRect cell =
      Rect(FDrag.Cell.X, FDrag.Cell.Y, ClampToInt32(int64_t{FDrag.Cell.X} + Document->ChipWidth),
           ClampToInt32(int64_t{FDrag.Cell.Y} + Document->ChipHeight));
  const TEditChange change = RecordEdit([&] { return Editor->Erase(cell, Join); });
  ShowEditChange(change);
  return change;
}

// A press with any button stamps or erases (the designed stamp); the left button goes on doing so as it is
// dragged. The select tool takes the left button: a press in the selection starts its move.
void TOrvMain::Image2MouseDown(QObject*, TMouseButton Button, TShiftState, int X, int Y) {
  EndDrag();
  TDrag drag;
  drag.Anchor = {X, Y};
  switch (FTool) {
    case TEditTool::Stamp:
      drag.Kind = TDrag::Stamp;
      drag.Block = StampBlock(drag.Origin);
      FDrag = std::move(drag);
      FDrag.HasStep = Changed(StampAt(X, Y, false));
      break;
    case TEditTool::Erase:
      drag.Kind = TDrag::Erase;
      FDrag = std::move(drag);
      FDrag.HasStep = Changed(EraseAt(X, Y, false));
      break;
    case TEditTool::Select:
      if (Button != mbLeft) return;
      if (Contains(EditSelection, X, Y)) {
        drag.Kind = TDrag::Move;
        drag.Area = EditSelection;
        drag.Shown = EditSelection;
        FDrag = std::move(drag);
      } else {
        drag.Kind = TDrag::Select;
        FDrag = std::move(drag);
        SetEditSelection(SheetSelection(*Document, FDrag.Anchor, FDrag.Anchor));
      }
      break;
  }
  // Only the left button drags on.
  if (Button != mbLeft) FDrag = {};
}

void TOrvMain::Image2MouseMove(QObject*, TMouseButton, TShiftState Shift, int X, int Y) {
  ShowPosition(*Document->EditImage, X, Y);
  if (FDrag.Kind == TDrag::None) return;
  // A drag whose release went elsewhere ends at the first move without its button.
  if (!(Shift & ssLeft)) return EndDrag();
  switch (FDrag.Kind) {
    case TDrag::Stamp:
    case TDrag::Erase: {
      const TPoint cell = Document->SnapToChip(X, Y);
      if (cell.X == FDrag.Cell.X && cell.Y == FDrag.Cell.Y) return;
      const TEditChange change =
          FDrag.Kind == TDrag::Stamp ? StampAt(X, Y, FDrag.HasStep) : EraseAt(X, Y, FDrag.HasStep);
      FDrag.HasStep = FDrag.HasStep || Changed(change);
      break;
    }
    case TDrag::Select:
      SetEditSelection(SheetSelection(*Document, FDrag.Anchor, {X, Y}));
      break;
    case TDrag::Move:
      FDrag.Shown = Moved(FDrag.Area, DragTarget(*Document, FDrag.Area, FDrag.Anchor, {X, Y}));
      ShowEditSelection(FDrag.Shown);
      break;
    case TDrag::None:
      break;
  }
}

void TOrvMain::Image2MouseUp(QObject*, TMouseButton Button, TShiftState Shift, int X, int Y) {
  if (FDrag.Kind == TDrag::None || Button != mbLeft) return;
  const TDrag drag = std::exchange(FDrag, TDrag{});
  if (drag.Kind == TDrag::Select) return SetEditSelection(SheetSelection(*Document, drag.Anchor, {X, Y}));
  if (drag.Kind != TDrag::Move) return;
  const TPoint target = DragTarget(*Document, drag.Area, drag.Anchor, {X, Y});
  if (target.X == drag.Area.Left && target.Y == drag.Area.Top) {
    // A click in the selection selects that one chip, as a click anywhere else does.
    ShowEditSelection(EditSelection);
    return SetEditSelection(SheetSelection(*Document, {X, Y}, {X, Y}));
  }
  const bool copy = Shift & ssCtrl;
  ShowEditChange(RecordEdit([&] { return Editor->Move(drag.Area, target, copy); }));
  SetEditSelection(
      ClipToPicture(Moved(drag.Area, target), Document->EditImage->Width(), Document->EditImage->Height()));
}

void TOrvMain::EndDrag() {
  const bool moving = FDrag.Kind == TDrag::Move;
  FDrag = {};
  if (moving) ShowEditSelection(EditSelection);
}

// ---------------------------------------------------------------------------------------------------------------
// The selection on the edit pane

TRect TOrvMain::ShownEditSelection() const {
  return FDrag.Kind == TDrag::Move ? FDrag.Shown : EditSelection;
}

void TOrvMain::ShowEditSelection(const TRect& Shown) {
  if (Image2->Pane().Image) Image2->SetSelection(Shown == TRect{} ? std::nullopt : std::optional(Shown));
}

void TOrvMain::SetEditSelection(const TRect& Selection) {
  EditSelection = Selection;
  if (FDrag.Kind != TDrag::Move) ShowEditSelection(Selection);
  UpdateSelectionStatus();
  UpdateActions();
}

void TOrvMain::SelectAllClick() {
  EndDrag();
  SetEditSelection(ClipToPicture(Rect(0, 0, INT32_MAX, INT32_MAX), Document->EditImage->Width(),
                                 Document->EditImage->Height()));
}

void TOrvMain::DeselectClick() {
  EndDrag();
  SetEditSelection(TRect{});
}

void TOrvMain::DeleteClick() {
  EndDrag();
  if (EditSelection == TRect{}) return;
  ShowEditChange(RecordEdit([this] { return Editor->Erase(EditSelection); }));
}

// ---------------------------------------------------------------------------------------------------------------
// The clipboard: the selected pixels as an image, which other programs read too

bool TOrvMain::ClipboardHasImage() const {
  const QMimeData* data = QApplication::clipboard()->mimeData();
  return data && data->hasImage();
}

void TOrvMain::CopyClick() {
  if (EditSelection == TRect{}) return;
  const TChipBlock block = CutBlock(*Document->EditImage, Document->EditAlpha, EditSelection);
  QApplication::clipboard()->setImage(BlockToQImage(block));
}

void TOrvMain::CutClick() {
  EndDrag();
  if (EditSelection == TRect{}) return;
  CopyClick();
  ShowEditChange(RecordEdit([this] { return Editor->Erase(EditSelection, false, TEditKind::Cut); }));
}

// The clipboard's image goes to the top-left of the selection (of the image when there is none), and the
// chips it covers become the selection, ready to be dragged into place.
void TOrvMain::PasteClick() {
  EndDrag();
  if (Document->EditImage->Empty() || !ClipboardHasImage()) return;
  const TChipBlock block = QImageToBlock(QApplication::clipboard()->image());
  if (block.Empty()) return;
  const TPoint target = EditSelection == TRect{} ? TPoint{} : TPoint{EditSelection.Left, EditSelection.Top};
  ShowEditChange(RecordEdit([&] { return Editor->Paste(block, target); }));
  SetEditSelection(ChipsCovering(*Document, target, block.Width, block.Height));
}

// ---------------------------------------------------------------------------------------------------------------
// The stamp source

void TOrvMain::UseSelectionAsStamp() {
  EndDrag();
  if (EditSelection == TRect{}) return;
  FSheetSource =
      TSheetSource{CutBlock(*Document->EditImage, Document->EditAlpha, EditSelection), EditSelection};
  StampSourceChanged();
  SetTool(TEditTool::Stamp);
}

void TOrvMain::StampSourceChanged() {
  FTransform = TChipTransform::Identity;
  UpdateActions();
  UpdateSelectionStatus();
}

void TOrvMain::TransformStampSource(TChipTransform Step) {
  EndDrag();
  if (QuarterTurn(Step) && !StampSourceTurns()) return;
  FTransform = ComposeTransforms(FTransform, Step);
  UpdateActions();
}

bool TOrvMain::StampSourceTurns() const {
  int64_t width = FSheetSource ? FSheetSource->Block.Width : int64_t{Selection.Right} - Selection.Left;
  int64_t height = FSheetSource ? FSheetSource->Block.Height : int64_t{Selection.Bottom} - Selection.Top;
  if (QuarterTurn(FTransform)) std::swap(width, height);
  return QuarterTurnKeepsChips(width, height, Document->ChipWidth, Document->ChipHeight);
}
