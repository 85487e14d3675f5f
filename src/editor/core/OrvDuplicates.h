// Duplicate and empty chips of a sheet: which chips are exact copies of an earlier one (optionally also as a
// flipped or rotated copy), and which chips hold nothing. Linear in the sheet's pixels: every chip is hashed,
// and only chips of equal hash are compared pixel by pixel.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "Graphics.h"

// The ways a chip can be a copy of another. The last four turn a chip on its side and apply to square chips
// only.
enum class TChipTransform : uint8_t {
  Identity,
  FlipHorizontal,  // mirrored left to right
  FlipVertical,    // mirrored top to bottom
  Rotate180,
  Rotate90,  // turned a quarter clockwise
  Rotate270,
  Transpose,      // mirrored across the top-left to bottom-right diagonal
  AntiTranspose,  // mirrored across the other diagonal
};

// The name scripts see ("identity", "flipHorizontal", ...).
const char* ChipTransformName(TChipTransform Transform);
// The pixel of a W x H picture that pixel (X, Y) of its turned copy shows (the turning transforms make an
// H x W copy).
TPoint ChipTransformSource(TChipTransform Transform, int32_t X, int32_t Y, int32_t W, int32_t H);

struct TChipCell {
  int32_t Column = 0;
  int32_t Row = 0;
  bool operator==(const TChipCell&) const = default;
};

// One chip of a group: where it is and how it is made from the group's first chip.
struct TDuplicateMember {
  TChipCell Cell;
  TChipTransform Transform = TChipTransform::Identity;
  bool operator==(const TDuplicateMember&) const = default;
};

struct TDuplicateOptions {
  // Also count a chip as a copy when it equals another flipped or rotated.
  bool MatchTransforms = false;
  // Without an alpha plane, a chip is empty when all its pixels have this colour (0x00BBGGRR); no colour:
  // the image's transparent colour (white for an edit image).
  std::optional<TColor> EmptyColor;
};

struct TDuplicateReport {
  int32_t Columns = 0;
  int32_t Rows = 0;
  // Empty chips in reading order (rows from the top, each from the left). Empty chips are in no group.
  std::vector<TChipCell> Empty;
  // Groups of two or more chips that are copies of each other, ordered by their first member; within a group
  // the chips in reading order, the first with the identity transform.
  std::vector<std::vector<TDuplicateMember>> Groups;

  // The chips that are copies of an earlier chip: every member of a group but the first.
  int64_t DuplicateCount() const;
  // One flag per chip in reading order (Row * Columns + Column): true for a copy of an earlier chip, the
  // chips that DuplicateCount counts and a view marks.
  std::vector<bool> DuplicateCells() const;
  // One flag per chip in reading order: true for an empty chip.
  std::vector<bool> EmptyCells() const;
};

// The duplicate and empty chips of the whole chips of Image (a remainder at the right or bottom edge that is
// narrower than a chip is not a chip). Alpha, when given, is the image's alpha plane (8 bits, 255 - alpha per
// pixel, the image's size): then a chip is empty when every pixel is fully transparent, and fully
// transparent pixels are equal whatever colour they carry. A chip size below 1 raises EInvalidGraphic
// "Invalid chip size"; an alpha plane of another size or format raises EInvalidGraphic "Invalid alpha plane".
TDuplicateReport FindDuplicateChips(const TBitmap& Image, const TBitmap* Alpha, int32_t ChipWidth,
                                    int32_t ChipHeight, const TDuplicateOptions& Options = {});
