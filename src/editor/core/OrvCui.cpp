// The chip document: construction, chip size, edit-image sizing and the chip-grid rules.
#include "OrvCui.h"

#include <algorithm>

namespace {

// One axis of a copy of Length pixels from Source to Dest, cut to [0, SourceSize) and [0, DestSize) on their
// sides alike. Length ends up 0 or below when nothing is left.
void ClipAxis(int64_t& Source, int64_t& Dest, int64_t& Length, int64_t SourceSize, int64_t DestSize) {
  const int64_t skip = std::max<int64_t>({0, -Source, -Dest});
  Source += skip;
  Dest += skip;
  Length = std::min({Length - skip, SourceSize - Source, DestSize - Dest});
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
  int64_t sourceX = Selection.Left, sourceY = Selection.Top, destX = s.X, destY = s.Y;
  int64_t width = int64_t{Selection.Right} - Selection.Left;
  int64_t height = int64_t{Selection.Bottom} - Selection.Top;
  ClipAxis(sourceX, destX, width, Material->Width(), EditImage->Width());
  ClipAxis(sourceY, destY, height, Material->Height(), EditImage->Height());
  if (width <= 0 || height <= 0) return TRect{};
  // Both rectangles now lie inside their images, so they fit 32 bits and have the same size: a plain copy.
  const TRect dest = Rect(static_cast<int32_t>(destX), static_cast<int32_t>(destY),
                          static_cast<int32_t>(destX + width), static_cast<int32_t>(destY + height));
  const TRect source = Rect(static_cast<int32_t>(sourceX), static_cast<int32_t>(sourceY),
                            static_cast<int32_t>(sourceX + width), static_cast<int32_t>(sourceY + height));
  EditImage->Canvas().CopyRect(dest, Material->Canvas(), source);
  StampAlpha(source, dest);
  return dest;
}
