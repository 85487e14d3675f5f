// The chip document: construction, chip size, edit-image sizing and the chip-grid rules.
#include "OrvCui.h"

#include <algorithm>

namespace {

// One axis of a copy of Length pixels from Source to Dest, cut to [0, SourceSize) and [0, DestSize) on their
// sides alike. Length ends up 0 or below when nothing is left.
void ClipAxis(int64_t& Source, int64_t& Dest, int64_t& Length, int64_t SourceSize, int64_t DestSize) {
  const int64_t Skip = std::max<int64_t>({0, -Source, -Dest});
  Source += Skip;
  Dest += Skip;
  Length = std::min({Length - Skip, SourceSize - Source, DestSize - Dest});
}

}  // namespace

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

void TOrvDatas::NewEditImage(int32_t Columns, int32_t Rows) {
  CheckChipSize();
  if (Columns < 1 || Rows < 1) throw EInvalidGraphic(SInvalidImageSize);
  const int64_t Width = int64_t{Columns} * ChipWidth;
  const int64_t Height = int64_t{Rows} * ChipHeight;
  if (!EditImage) {
    EditImage = std::make_unique<TBitmap>();
    EditImage->SetTransparentColor(clWhite);
  }
  TBitmap& Image = *EditImage;
  const bool Fresh = Image.Empty();
  const TPixelFormat Format = Fresh ? pfDevice : Image.PixelFormat();
  if (Width > INT32_MAX || Height > INT32_MAX ||
      DibImageBytes(Width, Height, PixelFormatBitCount(Format)) < 0)
    throw EOutOfResources(SOutOfResources);
  if (Width != Image.Width() || Height != Image.Height()) {
    if (Fresh) {
      // Built completely before it replaces the empty image, so a failure leaves the image as it was.
      Image.SetImage(
          NewBitmapImage(static_cast<int>(Width), static_cast<int>(Height), pfDevice, nullptr, true));
    } else {
      Image.SetSize(static_cast<int>(Width), static_cast<int>(Height));
    }
  }
  // A new image no longer stands for the file it was loaded from.
  LoadedPalette = nullptr;
}

TPoint TOrvDatas::SnapToChip(int32_t X, int32_t Y) const {
  CheckChipSize();
  return TPoint{ChipWidth * (X / ChipWidth), ChipHeight * (Y / ChipHeight)};
}

void TOrvDatas::PressSelection(TRect& Selection, int32_t X, int32_t Y) const {
  const TPoint P = SnapToChip(X, Y);
  Selection = TRect{P.X, P.Y, P.X, P.Y};
}

void TOrvDatas::ReleaseSelection(TRect& Selection, int32_t X, int32_t Y) const {
  const TPoint R = SnapToChip(X, Y);
  if (R.X > Selection.Left)
    Selection.Right = R.X;
  else
    Selection.Left = R.X;
  if (R.Y > Selection.Top)
    Selection.Bottom = R.Y;
  else
    Selection.Top = R.Y;
  Selection.Right = ClampToInt32(int64_t{Selection.Right} + ChipWidth);
  Selection.Bottom = ClampToInt32(int64_t{Selection.Bottom} + ChipHeight);
}

TRect TOrvDatas::StampSelection(const TRect& Selection, int32_t X, int32_t Y) {
  const TPoint S = SnapToChip(X, Y);
  if (!EditImage || !Material) return TRect{};
  int64_t SourceX = Selection.Left, SourceY = Selection.Top, DestX = S.X, DestY = S.Y;
  int64_t Width = int64_t{Selection.Right} - Selection.Left;
  int64_t Height = int64_t{Selection.Bottom} - Selection.Top;
  ClipAxis(SourceX, DestX, Width, Material->Width(), EditImage->Width());
  ClipAxis(SourceY, DestY, Height, Material->Height(), EditImage->Height());
  if (Width <= 0 || Height <= 0) return TRect{};
  // Both rectangles now lie inside their images, so they fit 32 bits and have the same size: a plain copy.
  const TRect Dest = Rect(static_cast<int32_t>(DestX), static_cast<int32_t>(DestY),
                          static_cast<int32_t>(DestX + Width), static_cast<int32_t>(DestY + Height));
  const TRect Source = Rect(static_cast<int32_t>(SourceX), static_cast<int32_t>(SourceY),
                            static_cast<int32_t>(SourceX + Width), static_cast<int32_t>(SourceY + Height));
  EditImage->Canvas().CopyRect(Dest, Material->Canvas(), Source);
  return Dest;
}
