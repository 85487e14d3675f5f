// The geometry of the edit pane's tools: the chip under the cursor, the chip rectangle a drag selects on the
// sheet, where a drag moves it, and which blocks a quarter turn keeps on the chip grid. The window shows and
// applies what these compute.
#pragma once

#include <cstdint>
#include <optional>

#include "Graphics.h"

class TOrvDatas;

// The chip under a pixel: its column and row, and its number in reading order among the picture's whole chips
// (left to right, then top to bottom, counted from 0, as map editors number tiles). A partial chip at the
// right or bottom edge has a column and a row but no number.
struct TChipPosition {
  int32_t Column = 0;
  int32_t Row = 0;
  std::optional<int64_t> Index;
  bool operator==(const TChipPosition&) const = default;
};
// The chip under (X, Y) of a Width x Height picture; nothing outside the picture or for a chip size below 1.
std::optional<TChipPosition> ChipAtPixel(int32_t X, int32_t Y, int32_t Width, int32_t Height,
                                         int32_t ChipWidth, int32_t ChipHeight);

// The chips Area spans across and down, a partial chip counting as one; 0 x 0 for an empty area or a chip
// size below 1.
struct TChipCount {
  int64_t Columns = 0;
  int64_t Rows = 0;
  bool operator==(const TChipCount&) const = default;
};
TChipCount ChipsIn(const TRect& Area, int32_t ChipWidth, int32_t ChipHeight);

// Whether (X, Y) lies in Area (right and bottom exclusive).
bool Contains(const TRect& Area, int32_t X, int32_t Y);
// The part of Area inside a Width x Height picture; empty (all 0) when none.
TRect ClipToPicture(const TRect& Area, int32_t Width, int32_t Height);

// The selection a drag on the edit image from Anchor to At makes: the chip rules of the material selection
// (the press at Anchor, the release at At), clipped to the edit image. Empty when none of it lies on the
// image.
TRect SheetSelection(const TOrvDatas& Document, TPoint Anchor, TPoint At);

// Where a drag from From to At puts the top-left of Area: moved by the chip cells between the cell under From
// and the cell under At. The cells are counted from the image's origin in whole chips on both sides of it
// (position -1 is in the cell left of position 0), so the area follows the cursor cell by cell wherever the
// mouse goes.
TPoint DragTarget(const TOrvDatas& Document, const TRect& Area, TPoint From, TPoint At);

// Whether a block of Width x Height pixels still covers whole chips when it is turned a quarter: every square
// block, and every block of whole chips when the chips are square.
bool QuarterTurnKeepsChips(int64_t Width, int64_t Height, int32_t ChipWidth, int32_t ChipHeight);

// The whole chips that a Width x Height block put with its top-left at Target touches, clipped to the edit
// image: the selection a paste leaves.
TRect ChipsCovering(const TOrvDatas& Document, TPoint Target, int64_t Width, int64_t Height);
