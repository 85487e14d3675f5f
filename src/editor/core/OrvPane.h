// The pane pictures of the main window, drawn without Qt: a copy of one of the document's images with the
// chip grid over it and, on the material, the selection. The window only shows the result. A full redraw is
// DrawPane; the partial forms below give exactly the same pixels in the area they touch.
#pragma once

#include <cstdint>

#include "Graphics.h"

// Black one-pixel grid lines within Area: on the last column of every whole chip (x = i * ChipWidth - 1) over
// the full height, then on the last row of every whole chip over the full width; a partial chip at the right
// or bottom gets no closing line.
void DrawChipGrid(TBitmap& View, int32_t ChipWidth, int32_t ChipHeight, const TRect& Area);
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
