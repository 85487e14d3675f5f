// The pane pictures of the main window, drawn without Qt: a copy of one of the document's images with the
// chip grid over it and, on the material, the selection. The window only shows the result. A full redraw is
// DrawPane; the partial forms below give exactly the same pixels in the area they touch.
#pragma once

#include <cstdint>

#include "Graphics.h"
#include "PixelRows.h"

// Black one-pixel grid lines within Area: on the last column of every whole chip (x = i * ChipWidth - 1) over
// the full height, then on the last row of every whole chip over the full width; a partial chip at the right
// or bottom gets no closing line.
void DrawChipGrid(TBitmap& View, int32_t ChipWidth, int32_t ChipHeight, const TRect& Area);
// Whether pixel column (or row) P of a picture Size pixels wide (or high) carries a grid line for chips of
// Chip pixels: the last pixel of every whole chip.
inline bool IsChipGridLine(int64_t P, int32_t Chip, int32_t Size) {
  return Chip >= 1 && P >= 0 && P < int64_t{Size} / Chip * Chip && (P + 1) % Chip == 0;
}
// The selection: a black outline over columns Left..Right-1 and rows Top..Bottom-1, its inside cross-hatched
// diagonally in white with the picture showing between the hatch lines.
void DrawSelection(TBitmap& View, const TRect& Selection);
// The full redraw: View becomes a copy of Source with the grid over the whole copy, then, when Selection is
// given, the selection.
void DrawPane(TBitmap& View, TBitmap& Source, int32_t ChipWidth, int32_t ChipHeight,
              const TRect* Selection = nullptr);
// Brings Area of View (a copy of Source of the same size and format, with the grid) back to Source's pixels
// with the grid: the area is clipped to the picture and widened to whole bytes for pixels smaller than a
// byte. Returns the area restored (empty when none).
TRect RestoreViewArea(TBitmap& View, const TBitmap& Source, int32_t ChipWidth, int32_t ChipHeight,
                      const TRect& Area);
// The pixels of View that a rectangle given by any two opposite corners covers (empty when none).
TRect PaneArea(const TRect& R, const TBitmap& View);

// Panes of pictures with transparency. The checkerboard shows through transparent pixels: squares of
// CheckerSize pixels, anchored at the picture's top-left, CheckerLight where x div size + y div size is even,
// else CheckerDark; each pixel is its colour over the square's by its alpha (rounded), at 24 bits.
inline constexpr int32_t CheckerSize = 8;
inline constexpr TColor CheckerLight = 0xFFFFFF;
inline constexpr TColor CheckerDark = 0xCCCCCC;
// What a pixel of Color with Cover (255 - alpha) shows at (X, Y) of the picture over the checkerboard.
inline TRgb OverCheckerboard(TRgb Color, uint8_t Cover, int64_t X, int64_t Y) {
  if (Cover == 0) return Color;
  const TColor under = (X / CheckerSize + Y / CheckerSize) % 2 == 0 ? CheckerLight : CheckerDark;
  const uint32_t alpha = 255u - Cover;
  const auto over = [alpha](uint8_t Top, uint8_t Bottom) {
    return static_cast<uint8_t>((Top * alpha + Bottom * (255 - alpha) + 127) / 255);
  };
  return {over(Color.R, GetRValue(under)), over(Color.G, GetGValue(under)), over(Color.B, GetBValue(under))};
}
// Writes Area of View (24 bits, the size of Source) from Source over the checkerboard by the plane Alpha.
void DrawOverCheckerboard(TBitmap& View, const TBitmap& Source, const TBitmap& Alpha, const TRect& Area);
// DrawPane for a picture with the alpha plane Alpha: View becomes a 24-bit picture of Source over the
// checkerboard, with grid and selection on top. Without a plane (Alpha empty or not the picture's), exactly
// DrawPane.
void DrawPaneWithAlpha(TBitmap& View, TBitmap& Source, const TBitmap& Alpha, int32_t ChipWidth,
                       int32_t ChipHeight, const TRect* Selection = nullptr);
// RestoreViewArea for a view that DrawPaneWithAlpha drew.
TRect RestoreViewAreaWithAlpha(TBitmap& View, const TBitmap& Source, const TBitmap& Alpha, int32_t ChipWidth,
                               int32_t ChipHeight, const TRect& Area);
