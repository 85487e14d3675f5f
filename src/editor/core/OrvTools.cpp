// The geometry of the edit pane's tools.
#include "OrvTools.h"

#include <algorithm>

#include "OrvCui.h"
#include "SysUtils.h"

namespace {

// Division rounding toward minus infinity, so that cells left of and above the origin count on.
int64_t FloorDiv(int64_t Value, int64_t Divisor) {
  const int64_t quotient = Value / Divisor;
  return quotient * Divisor > Value ? quotient - 1 : quotient;
}

int64_t CeilDiv(int64_t Value, int64_t Divisor) {
  return -FloorDiv(-Value, Divisor);
}

}  // namespace

std::optional<TChipPosition> ChipAtPixel(int32_t X, int32_t Y, int32_t Width, int32_t Height,
                                         int32_t ChipWidth, int32_t ChipHeight) {
  if (ChipWidth < 1 || ChipHeight < 1 || X < 0 || Y < 0 || X >= Width || Y >= Height) return std::nullopt;
  TChipPosition chip{X / ChipWidth, Y / ChipHeight, std::nullopt};
  const int64_t columns = Width / ChipWidth, rows = Height / ChipHeight;
  if (chip.Column < columns && chip.Row < rows) chip.Index = int64_t{chip.Row} * columns + chip.Column;
  return chip;
}

TChipCount ChipsIn(const TRect& Area, int32_t ChipWidth, int32_t ChipHeight) {
  const int64_t width = int64_t{Area.Right} - Area.Left, height = int64_t{Area.Bottom} - Area.Top;
  if (ChipWidth < 1 || ChipHeight < 1 || width <= 0 || height <= 0) return {};
  return {CeilDiv(width, ChipWidth), CeilDiv(height, ChipHeight)};
}

bool Contains(const TRect& Area, int32_t X, int32_t Y) {
  return X >= Area.Left && X < Area.Right && Y >= Area.Top && Y < Area.Bottom;
}

TRect ClipToPicture(const TRect& Area, int32_t Width, int32_t Height) {
  const TRect clipped{std::max(Area.Left, 0), std::max(Area.Top, 0), std::min(Area.Right, Width),
                      std::min(Area.Bottom, Height)};
  if (clipped.Left >= clipped.Right || clipped.Top >= clipped.Bottom) return TRect{};
  return clipped;
}

TRect SheetSelection(const TOrvDatas& Document, TPoint Anchor, TPoint At) {
  TRect selection;
  Document.PressSelection(selection, Anchor.X, Anchor.Y);
  Document.ReleaseSelection(selection, At.X, At.Y);
  return ClipToPicture(selection, Document.EditImage->Width(), Document.EditImage->Height());
}

TPoint DragTarget(const TOrvDatas& Document, const TRect& Area, TPoint From, TPoint At) {
  const int64_t width = Document.ChipWidth, height = Document.ChipHeight;
  if (width < 1 || height < 1) return {Area.Left, Area.Top};
  const int64_t columns = FloorDiv(At.X, width) - FloorDiv(From.X, width);
  const int64_t rows = FloorDiv(At.Y, height) - FloorDiv(From.Y, height);
  return {ClampToInt32(Area.Left + columns * width), ClampToInt32(Area.Top + rows * height)};
}

bool QuarterTurnKeepsChips(int64_t Width, int64_t Height, int32_t ChipWidth, int32_t ChipHeight) {
  if (Width <= 0 || Height <= 0 || ChipWidth < 1 || ChipHeight < 1) return false;
  // Turned, the block is Height pixels wide and Width pixels high.
  return Width == Height || (Height % ChipWidth == 0 && Width % ChipHeight == 0);
}

TRect ChipsCovering(const TOrvDatas& Document, TPoint Target, int64_t Width, int64_t Height) {
  const int64_t chipWidth = Document.ChipWidth, chipHeight = Document.ChipHeight;
  if (chipWidth < 1 || chipHeight < 1 || Width <= 0 || Height <= 0) return TRect{};
  const TRect covered{ClampToInt32(FloorDiv(Target.X, chipWidth) * chipWidth),
                      ClampToInt32(FloorDiv(Target.Y, chipHeight) * chipHeight),
                      ClampToInt32(CeilDiv(Target.X + Width, chipWidth) * chipWidth),
                      ClampToInt32(CeilDiv(Target.Y + Height, chipHeight) * chipHeight)};
  return ClipToPicture(covered, Document.EditImage->Width(), Document.EditImage->Height());
}
