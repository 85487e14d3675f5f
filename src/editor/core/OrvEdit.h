// Editing the edit image beyond the single designed stamp: blocks of chips cut from a picture with their
// alpha, the edits the window makes of them (stamp, erase, move, copy, paste, New, Load, chip size), and the
// history that undoes and redoes every one of them. The window's Undo and Redo are this history's; it owns
// the records and applying them, the window only mirrors them in its undo stack.
//
// Every record is also the description of what it did (TEditOperation): a stamp names the material file,
// the source rectangle, the target and the flip or rotation, so that a project can replay a sheet from its
// materials. The operations of the records from the last whole-image change to the current one are the
// sheet's recipe (TSheetEditor::Recipe).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "Graphics.h"
#include "OrvDuplicates.h"
#include "OrvSave.h"

class TOrvDatas;
class TColorTally;

// ---------------------------------------------------------------------------------------------------------------
// Blocks of pixels

// A rectangle of Width x Height pixels taken from a picture, with its alpha. The pixels that came from inside
// the picture are Image (and Alpha), placed at Offset within the rectangle; the rest of the rectangle (the
// part of a selection that lay outside its picture) carries nothing and is left alone where the block is put.
struct TChipBlock {
  int32_t Width = 0;
  int32_t Height = 0;
  TPoint Offset;
  std::shared_ptr<const TBitmapImage> Image;  // in the format of the picture it came from; null when empty
  std::shared_ptr<const TBitmapImage> Alpha;  // the alpha plane's pixels (255 - alpha); null: all opaque
  bool Empty() const { return !Image || Image->Width == 0 || Image->Height == 0; }
};

// Cuts Area of Image and of its alpha plane Alpha (an empty bitmap: opaque) into a block of Area's size.
TChipBlock CutBlock(const TBitmap& Image, const TBitmap& Alpha, const TRect& Area);
// The block turned by Transform (TChipTransform of OrvDuplicates.h): flips keep its size, quarter turns and
// transposes swap width and height. Offset follows the pixels.
TChipBlock TransformBlock(const TChipBlock& Block, TChipTransform Transform);
// Where the part Part of a Width x Height block lies once the block is turned by Transform (as
// TransformBlock moves its pixels).
TRect TransformedArea(const TRect& Part, int32_t Width, int32_t Height, TChipTransform Transform);
// The transform that applying First and then Then gives.
TChipTransform ComposeTransforms(TChipTransform First, TChipTransform Then);
// Puts Block with its rectangle's top-left at (X, Y) into Image and its plane Alpha, clipped to the picture:
// a plain copy, colours mapped to the nearest palette entry when Image is indexed (as TCanvas::CopyRect);
// alpha copied with the colours (a plane is made for Image when the block carries transparency; opaque
// where the block has none). Returns the rectangle of Image that was written (empty when none).
TRect PutBlock(TBitmap& Image, TBitmap& Alpha, const TChipBlock& Block, int32_t X, int32_t Y);
// Puts Area of Source (and of its plane SourceAlpha; an empty bitmap: opaque) with Area's top-left at (X, Y)
// as PutBlock puts the block CutBlock cuts of it, without cutting one: the part of Area outside Source is
// left alone, the part outside Image dropped. Returns the rectangle of Image that was written.
TRect PutArea(TBitmap& Image, TBitmap& Alpha, const TBitmap& Source, const TBitmap& SourceAlpha,
              const TRect& Area, int32_t X, int32_t Y);
// The rectangle of Image that PutBlock writes for Block at (X, Y) (empty when none).
TRect BlockPlace(const TBitmap& Image, const TChipBlock& Block, int32_t X, int32_t Y);
// Clears Area of Image to white, and to fully transparent where the picture has an alpha plane. Returns the
// rectangle cleared (clipped; empty when none).
TRect ClearArea(TBitmap& Image, TBitmap& Alpha, const TRect& Area);
// Moves Block, cut from Area of Image, to Target: Area is cleared first, so the target keeps what overlaps.
// With Copy, Area stays as it is.
void MoveBlock(TBitmap& Image, TBitmap& Alpha, const TChipBlock& Block, const TRect& Area, TPoint Target,
               bool Copy);

// ---------------------------------------------------------------------------------------------------------------
// Operations: what each edit did, in the form a project stores and replays

enum class TEditKind : uint8_t {
  Stamp,
  Erase,
  Move,
  Copy,
  Cut,
  Paste,
  NewImage,
  LoadImage,
  ChipSize,
  Rebuild
};

// Where a stamp's pixels came from.
struct TStampOrigin {
  enum class TFrom : uint8_t { Material, Sheet, Clipboard };
  TFrom From = TFrom::Material;
  std::string MaterialPath;           // Material: the file, as the material list names it
  bool IndexZeroTransparent = false;  // Material: read with palette index 0 transparent
  TRect Area;                         // Material, Sheet: the selection, in that picture's pixels
  TChipTransform Transform = TChipTransform::Identity;
};

struct TStampOperation {
  TStampOrigin Origin;
  TPoint Target;  // the top-left pixel of the (transformed) selection's place on the sheet
  // The pixels stamped, kept for origins that no file explains (the sheet as it was, the clipboard).
  std::optional<TChipBlock> Pixels;
};
struct TEraseOperation {
  TRect Area;
};
// Move clears the cells the area leaves (those the target does not cover); Copy leaves them.
struct TMoveOperation {
  TRect Area;
  TPoint Target;
  bool Copy = false;
};
struct TNewImageOperation {
  int32_t Columns = 0, Rows = 0, ChipWidth = 0, ChipHeight = 0;
  bool Transparent = false;
};
struct TLoadImageOperation {
  std::string FileName;
  int32_t ChipWidth = 0, ChipHeight = 0;
};
struct TChipSizeOperation {
  int32_t ChipWidth = 0, ChipHeight = 0;
};
using TEditOperation = std::variant<TStampOperation, TEraseOperation, TMoveOperation, TNewImageOperation,
                                    TLoadImageOperation, TChipSizeOperation>;

// ---------------------------------------------------------------------------------------------------------------
// The history

// A sheet's recipe with the sheet it starts from, as a project keeps it and a rebuild replays it.
struct TSheetRecipe {
  // The whole sheet at the start, as a block at (0, 0): its picture, and its alpha plane (none: no plane).
  TChipBlock Start;
  int32_t ChipWidth = 0, ChipHeight = 0;
  // The operations after the start, in order.
  std::vector<TEditOperation> Operations;
};

// What an edit, an undo or a redo changed, for repainting: an area of the edit image, or the whole of it
// (size, chip size or every pixel).
struct TEditChange {
  bool Whole = false;
  TRect Area;
};

// The document's edit image, its alpha plane, chip size and the indexed file it was loaded from, as a
// whole-image record keeps it.
struct TSheetState;

inline constexpr size_t DefaultHistoryBytes = size_t{512} << 20;

// Makes every edit of the document's edit image through one history. The document stays usable directly
// (the designed paths); changes made around the editor are not recorded.
class TSheetEditor {
 public:
  explicit TSheetEditor(TOrvDatas& Document, size_t MemoryLimit = DefaultHistoryBytes);
  ~TSheetEditor();
  TSheetEditor(const TSheetEditor&) = delete;
  TSheetEditor& operator=(const TSheetEditor&) = delete;

  // Edits. Each applies the change to the document and records it as one step; with Join, a stamp or an
  // erase joins the step made last by the same kind of edit (one step per drag), unless an undo, a redo or
  // another edit came between. An edit that changes no pixel records nothing and returns an empty change.

  // Stamps Block with its rectangle's top-left at Target (a chip origin the caller snapped).
  TEditChange Stamp(const TChipBlock& Block, const TStampOrigin& Origin, TPoint Target, bool Join = false);
  // Clears Area (white, or transparent on a sheet with alpha), recorded as Kind (Erase or Cut).
  TEditChange Erase(const TRect& Area, bool Join = false, TEditKind Kind = TEditKind::Erase);
  // Moves or copies Area of the sheet to Target; a move clears the cells the area leaves.
  TEditChange Move(const TRect& Area, TPoint Target, bool Copy);
  // Pastes Block at Target.
  TEditChange Paste(const TChipBlock& Block, TPoint Target);
  // New (the chip size, then the designed NewEditImage), Load edit image (the chip size, then the file) and
  // the chip size of Resize. As in the designed commands, the chip size stays changed when the image step
  // after it fails: it is then recorded as a chip-size step, and the error is raised. Transparent makes the
  // new area transparent (OrvCui.h).
  TEditChange NewImage(int32_t Columns, int32_t Rows, int32_t ChipWidth, int32_t ChipHeight,
                       bool Transparent = false);
  TEditChange LoadImage(const std::string& FileName, int32_t ChipWidth, int32_t ChipHeight);
  TEditChange SetChipSize(int32_t ChipWidth, int32_t ChipHeight);

  bool CanUndo() const;
  bool CanRedo() const;
  // The kind of the step that Undo and Redo would take (for "元に戻す: スタンプ"); Stamp when there is none.
  TEditKind UndoKind() const;
  TEditKind RedoKind() const;
  TEditChange Undo();
  TEditChange Redo();

  // Steps that can be undone, counted from the oldest kept; the current position among them.
  size_t StepCount() const;
  size_t CurrentStep() const;
  // The position that matches the file last loaded or saved (SetClean marks the current one); the sheet
  // is modified while the current position differs. A step dropped for memory that held the clean position
  // leaves no clean position.
  void SetClean();
  bool IsClean() const;
  // Bytes held by the records (pixels and whole-image states); the oldest records are dropped first when
  // they exceed the limit. The step just made is always kept.
  size_t MemoryUsed() const;
  size_t MemoryLimit() const;
  // How many of the oldest steps have been dropped for memory since the editor was made, so that a mirror of
  // the history (the window's undo stack) drops as many of its own.
  size_t DroppedSteps() const;

  // The operations that rebuild the current sheet from its last whole-image change (the New or Load that
  // starts it), in order. They are kept whole when records are dropped for memory: an operation is small,
  // only the undo pixels are large.
  std::vector<TEditOperation> Recipe() const;
  // The recipe with the sheet it starts from: the sheet just after the New, Load or Rebuild that begins it
  // (that New or Load is the start, not one of the operations). When that step was dropped for memory, the
  // recipe starts at the oldest step kept, with what the dropped steps did in its start picture. In time
  // that follows the areas the recipe's steps changed, besides one copy of the sheet.
  TSheetRecipe SheetRecipe() const;
  // Replaces the sheet by Rebuilt's picture, alpha plane and chip size (Recipe replayed from its materials)
  // as one step of kind Rebuild; undo gives the sheet back as it was. The recipe then is Recipe's.
  TEditChange Rebuild(const TOrvDatas& Rebuilt, TSheetRecipe Recipe);

  // The colour budget of the sheet as ColorBudgetOf (OrvSave.h) gives it, kept up to date by every edit,
  // undo and redo in time that follows the area they changed, not the image. A picture replaced around the
  // editor is counted afresh; pixels changed in place around it are not seen.
  std::optional<TColorBudget> ColorBudgetFigures(const TSaveOptions& Options);
  // The same in the program's words (ColorBudgetText).
  std::string ColorBudget(const TSaveOptions& Options) {
    return ColorBudgetText(ColorBudgetFigures(Options));
  }

  // The duplicate chips of the sheet (those FindDuplicateChips finds among its whole chips, with its alpha
  // plane), kept up to date by every edit, undo and redo for the chips they touched; examined afresh for
  // other options, another chip size or a picture replaced around the editor.
  TDuplicateTally& Duplicates(const TDuplicateOptions& Options);

 private:
  struct TRecord;
  TOrvDatas& FDocument;
  size_t FLimit;
  std::vector<std::unique_ptr<TRecord>> FRecords;
  size_t FCurrent = 0;
  std::optional<size_t> FClean = 0;
  size_t FBytes = 0;
  size_t FDroppedSteps = 0;
  // The last record may take the next stamp or erase of its kind (Join).
  bool FJoinOpen = false;
  // The operations of records dropped for memory, from the last New or Load among them.
  std::vector<TEditOperation> FDroppedRecipe;
  std::unique_ptr<TColorTally> FTally;
  std::unique_ptr<TDuplicateTally> FDuplicates;

  // An edit of the pixels of Areas (clipped to the sheet) that Apply makes; recorded unless it changed
  // nothing.
  template <class TApply>
  TEditChange AreaEdit(TEditKind Kind, TEditOperation Operation, bool Join, std::vector<TRect> Areas,
                       TApply Apply);
  // New or Load: the chip size, then Apply; a failing Apply leaves a chip-size step.
  template <class TApply>
  TEditChange WholeEdit(TEditKind Kind, TEditOperation Operation, int32_t ChipWidth, int32_t ChipHeight,
                        TApply Apply);
  void Push(std::unique_ptr<TRecord> Record);
  // Pushes a record that replaced the whole sheet (New, Load, Rebuild).
  TEditChange PushWhole(std::unique_ptr<TRecord> Record);
  void DropRedo();
  // Drops the oldest records while memory exceeds the limit, never record Keep or a later one.
  void KeepWithinLimit(size_t Keep);
  // Undoes (Back) or redoes a record's steps.
  TEditChange Swap(TRecord& Record, bool Back);
};
