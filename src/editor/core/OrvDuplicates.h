// Duplicate and empty chips of a sheet: which chips are exact copies of an earlier one (optionally also as a
// flipped or rotated copy), and which chips hold nothing. Linear in the sheet's pixels: every chip is hashed,
// and only chips of equal hash are compared pixel by pixel.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <unordered_map>
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
  bool operator==(const TDuplicateOptions&) const = default;
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

// The duplicate chips of a sheet kept up to date as it is edited, for a view that counts and marks them after
// every change: the chips FindDuplicateChips counts, found again only for the chips a change touched (their
// hash, then a pixel comparison with one chip of each group of that hash), so that an update costs in
// proportion to the changed chips, not the sheet.
class TDuplicateTally {
 public:
  TDuplicateTally();
  ~TDuplicateTally();
  TDuplicateTally(const TDuplicateTally&) = delete;
  TDuplicateTally& operator=(const TDuplicateTally&) = delete;

  // Finds the duplicates of every whole chip of Image afresh. Alpha is the image's alpha plane, used when it
  // is one (IsAlphaPlaneOf). A chip size below 1 raises EInvalidGraphic "Invalid chip size".
  void Recount(const TBitmap& Image, const TBitmap& Alpha, int32_t ChipWidth, int32_t ChipHeight,
               const TDuplicateOptions& Options);
  // Forgets the tally: Follows is false until the next Recount.
  void Invalidate() { FValid = false; }
  // Whether the tally stands for these pictures (the ones last counted or updated, not replaced since), chip
  // size and options.
  bool Follows(const TBitmap& Image, const TBitmap& Alpha, int32_t ChipWidth, int32_t ChipHeight,
               const TDuplicateOptions& Options) const;
  // Before the pictures change: forgets the tally when they were replaced since it last looked at them.
  void Expect(const TBitmap& Image, const TBitmap& Alpha);
  // After the pixels of Areas changed: finds the chips they touch again (every chip when the picture gained
  // or lost its alpha plane or its size). Does nothing while the tally is forgotten.
  void Update(const TBitmap& Image, const TBitmap& Alpha, std::span<const TRect> Areas);

  int32_t Columns() const { return FColumns; }
  int32_t Rows() const { return FRows; }
  // The chips that are copies of an earlier one, as TDuplicateReport::DuplicateCount counts them.
  int64_t DuplicateCount() const { return FCount; }
  // Whether the chip is a copy of an earlier one (TDuplicateReport::DuplicateCells).
  bool IsDuplicate(TChipCell Cell) const;

  // The chips whose IsDuplicate changed since the last call, each once; Whole when any chip may have changed
  // (after a recount).
  struct TChanges {
    bool Whole = false;
    std::vector<TChipCell> Cells;
  };
  TChanges TakeChanges();

 private:
  struct TIdentity {
    const void* Image = nullptr;
    const uint8_t* Bits = nullptr;
    bool operator==(const TIdentity&) const = default;
  };
  static TIdentity IdentityOf(const TBitmap& Bitmap);
  // Chips of one content: their numbers in reading order, the first being the original.
  struct TGroup {
    uint64_t Hash = 0;
    std::vector<int32_t> Chips;
  };
  class TReader;
  void Place(const TReader& Reader, int32_t Chip);
  void Take(int32_t Chip);
  void SetDuplicate(int32_t Chip, bool Duplicate);
  void Remember(const TBitmap& Image, const TBitmap& Alpha);

  bool FValid = false;
  TIdentity FImage, FAlpha;
  bool FPlane = false;
  int32_t FWidth = 0, FHeight = 0;
  int32_t FChipWidth = 1, FChipHeight = 1;
  TDuplicateOptions FOptions;
  int32_t FColumns = 0, FRows = 0;
  int64_t FCount = 0;
  std::vector<int32_t> FGroupOf;  // per chip: its group, or -1 for an empty chip
  std::vector<TGroup> FGroups;
  std::vector<int32_t> FFreeGroups;
  std::unordered_map<uint64_t, std::vector<int32_t>> FBuckets;  // hash to the groups of that hash
  std::vector<bool> FDuplicate;
  std::vector<int32_t> FChanged;
  bool FWholeChanged = false;
  std::vector<uint32_t> FPixels, FOtherPixels;  // the chip being placed and a chip it is compared with
};
