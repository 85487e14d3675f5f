// The chip document: construction, chip size, edit-image sizing and the chip-grid rules.
#include "OrvCui.h"

#include <algorithm>

#include "OrvEdit.h"

TOrvDatas::TOrvDatas() : EditImage(std::make_unique<TBitmap>()), Material(std::make_unique<TBitmap>()) {
  EditImage->SetTransparentColor(clWhite);
  SetChipSize(32, 32);
}

TOrvDatas::~TOrvDatas() = default;

void TOrvDatas::SetChipSize(int32_t Width, int32_t Height) {
  if (Width < 1 || Height < 1) throw EInvalidGraphic("Invalid chip size");
  ChipWidth = Width;
  ChipHeight = Height;
}

void TOrvDatas::CheckChipSize() const {
  if (ChipWidth < 1 || ChipHeight < 1) throw EInvalidGraphic("Invalid chip size");
}

void TOrvDatas::NewEditImage(int32_t Columns, int32_t Rows, bool Transparent) {
  CheckChipSize();
  if (Columns < 1 || Rows < 1) throw EInvalidGraphic(SInvalidImageSize);
  const int64_t width = int64_t{Columns} * ChipWidth;
  const int64_t height = int64_t{Rows} * ChipHeight;
  if (!EditImage) {
    EditImage = std::make_unique<TBitmap>();
    EditImage->SetTransparentColor(clWhite);
  }
  TBitmap& image = *EditImage;
  const bool fresh = image.Empty();
  const int32_t oldWidth = fresh ? 0 : image.Width(), oldHeight = fresh ? 0 : image.Height();
  const TPixelFormat format = fresh ? pfDevice : image.PixelFormat();
  if (width > INT32_MAX || height > INT32_MAX ||
      DibImageBytes(width, height, PixelFormatBitCount(format)) < 0)
    throw EOutOfResources(SOutOfResources);
  if (width != image.Width() || height != image.Height()) {
    if (fresh) {
      // Built completely before it replaces the empty image, so a failure leaves the image as it was.
      image.SetImage(
          NewBitmapImage(static_cast<int>(width), static_cast<int>(height), pfDevice, nullptr, true));
    } else {
      image.SetSize(static_cast<int>(width), static_cast<int>(height));
    }
  }
  FitEditAlpha(oldWidth, oldHeight, Transparent);
  // A new image no longer stands for the file it was loaded from.
  LoadedPalette = nullptr;
}

TPoint TOrvDatas::SnapToChip(int32_t X, int32_t Y) const {
  CheckChipSize();
  return TPoint{ChipWidth * (X / ChipWidth), ChipHeight * (Y / ChipHeight)};
}

void TOrvDatas::PressSelection(TRect& Selection, int32_t X, int32_t Y) const {
  const TPoint p = SnapToChip(X, Y);
  Selection = TRect{p.X, p.Y, p.X, p.Y};
}

void TOrvDatas::ReleaseSelection(TRect& Selection, int32_t X, int32_t Y) const {
  const TPoint r = SnapToChip(X, Y);
  if (r.X > Selection.Left)
    Selection.Right = r.X;
  else
    Selection.Left = r.X;
  if (r.Y > Selection.Top)
    Selection.Bottom = r.Y;
  else
    Selection.Top = r.Y;
  Selection.Right = ClampToInt32(int64_t{Selection.Right} + ChipWidth);
  Selection.Bottom = ClampToInt32(int64_t{Selection.Bottom} + ChipHeight);
}

TRect TOrvDatas::StampSelection(const TRect& Selection, int32_t X, int32_t Y) {
  const TPoint s = SnapToChip(X, Y);
  if (!EditImage || !Material) return TRect{};
  // The part of the selection inside the material, and where it lands (in 64 bits: a selection may span more
  // than the 32-bit range). Pixels whose source lies outside the material are left alone.
  const int64_t left = std::max(Selection.Left, 0), top = std::max(Selection.Top, 0);
  const int32_t right = std::min(Selection.Right, Material->Width());
  const int32_t bottom = std::min(Selection.Bottom, Material->Height());
  const int64_t destX = s.X + (left - Selection.Left), destY = s.Y + (top - Selection.Top);
  if (left >= right || top >= bottom || destX >= EditImage->Width() || destY >= EditImage->Height())
    return TRect{};
  // A plain copy of those pixels with their alpha, clipped to the edit image.
  const TChipBlock block = CutBlock(
      *Material, MaterialAlpha, Rect(static_cast<int32_t>(left), static_cast<int32_t>(top), right, bottom));
  return PutBlock(*EditImage, EditAlpha, block, static_cast<int32_t>(destX), static_cast<int32_t>(destY));
}
