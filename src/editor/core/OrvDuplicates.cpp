// Duplicate and empty chips: one hash per chip (the smallest over the allowed transforms when transformed
// copies count), chips bucketed by hash, and exact pixel comparison within a bucket.
#include "OrvDuplicates.h"

#include <algorithm>
#include <array>
#include <unordered_map>
#include <utility>

#include "AlphaPlane.h"
#include "PixelRows.h"
#include "SysUtils.h"

namespace {

// The sheet's pixels as 32-bit values: colour in the low 24 bits (0x00BBGGRR), alpha in the high byte; a
// fully transparent pixel is 0 whatever its colour.
class TPixelGrid {
 public:
  TPixelGrid(const TBitmap& Image, const TBitmap* Alpha) : FWidth(Image.Width()) {
    TBitmap rgb;
    rgb.Assign(const_cast<TBitmap*>(&Image));
    rgb.SetPixelFormat(pf24bit);
    const TBitmap& source = rgb;
    FPixels.resize(static_cast<size_t>(FWidth) * static_cast<size_t>(Image.Height()));
    for (int y = 0; y < Image.Height(); ++y) {
      const uint8_t* p = source.ScanLine(y);
      const uint8_t* a = Alpha ? Alpha->ScanLine(y) : nullptr;
      uint32_t* out = &FPixels[static_cast<size_t>(y) * FWidth];
      for (int x = 0; x < FWidth; ++x, p += 3) {
        const uint32_t alpha = a ? 255u - a[x] : 255u;
        out[x] = alpha == 0 ? 0 : (p[2] | (p[1] << 8) | (p[0] << 16) | (alpha << 24));
      }
    }
  }
  uint32_t At(int32_t X, int32_t Y) const { return FPixels[static_cast<size_t>(Y) * FWidth + X]; }

 private:
  int32_t FWidth;
  std::vector<uint32_t> FPixels;
};

constexpr std::array<TChipTransform, 8> AllTransforms = {
    TChipTransform::Identity,  TChipTransform::FlipHorizontal, TChipTransform::FlipVertical,
    TChipTransform::Rotate180, TChipTransform::Rotate90,       TChipTransform::Rotate270,
    TChipTransform::Transpose, TChipTransform::AntiTranspose};

// The transforms that make copies: none but the identity, the four that keep a chip's shape, or all eight
// for square chips.
size_t TransformCount(const TDuplicateOptions& Options, int32_t ChipWidth, int32_t ChipHeight) {
  return !Options.MatchTransforms ? 1 : ChipWidth == ChipHeight ? 8 : 4;
}

// The chip rules over any reader of a chip's pixel values, At(TPoint) within the chip.

// Hash of the chip as the transform shows it (FNV-1a over the pixel values, in reading order).
template <class TAt>
uint64_t ChipHash(const TAt& At, int32_t W, int32_t H, TChipTransform Transform) {
  uint64_t hash = 0xCBF29CE484222325ull;
  const auto add = [&hash](uint32_t Value) {
    hash ^= Value;
    hash *= 0x100000001B3ull;
  };
  // The identity, which every search takes, reads straight through.
  for (int32_t y = 0; y < H; ++y)
    for (int32_t x = 0; x < W; ++x)
      add(At(Transform == TChipTransform::Identity ? TPoint{x, y}
                                                   : ChipTransformSource(Transform, x, y, W, H)));
  return hash;
}
// The hash that copies share: the smallest over the transforms that count.
template <class TAt>
uint64_t CopyHash(const TAt& At, int32_t W, int32_t H, size_t Transforms) {
  uint64_t hash = ChipHash(At, W, H, TChipTransform::Identity);
  for (size_t t = 1; t < Transforms; ++t) hash = std::min(hash, ChipHash(At, W, H, AllTransforms[t]));
  return hash;
}
// Whether chip B equals chip A under the transform.
template <class TAtA, class TAtB>
bool ChipsEqual(const TAtA& A, TChipTransform Transform, const TAtB& B, int32_t W, int32_t H) {
  const bool identity = Transform == TChipTransform::Identity;
  for (int32_t y = 0; y < H; ++y)
    for (int32_t x = 0; x < W; ++x)
      if (A(identity ? TPoint{x, y} : ChipTransformSource(Transform, x, y, W, H)) != B(TPoint{x, y}))
        return false;
  return true;
}
// The transform under which chip B is a copy of chip A, if any counts.
template <class TAtA, class TAtB>
std::optional<TChipTransform> CopyTransform(const TAtA& A, const TAtB& B, int32_t W, int32_t H,
                                            size_t Transforms) {
  for (size_t t = 0; t < Transforms; ++t)
    if (ChipsEqual(A, AllTransforms[t], B, W, H)) return AllTransforms[t];
  return std::nullopt;
}
template <class TAt>
bool ChipAll(const TAt& At, int32_t W, int32_t H, uint32_t Value) {
  for (int32_t y = 0; y < H; ++y)
    for (int32_t x = 0; x < W; ++x)
      if (At(TPoint{x, y}) != Value) return false;
  return true;
}

// The pixel value of an empty chip: fully transparent with a plane, else the empty colour, opaque.
uint32_t EmptyValue(const TBitmap& Image, bool Plane, const TDuplicateOptions& Options) {
  const TColor emptyColor = Options.EmptyColor.value_or(Image.TransparentColor()) & 0xFFFFFF;
  return Plane ? 0u : (static_cast<uint32_t>(emptyColor) | 0xFF000000u);
}

struct TChipSheet {
  const TPixelGrid& Pixels;
  int32_t ChipWidth, ChipHeight, Columns;

  auto Reader(int32_t Chip) const {
    const int32_t left = (Chip % Columns) * ChipWidth, top = (Chip / Columns) * ChipHeight;
    return [this, left, top](TPoint P) { return Pixels.At(left + P.X, top + P.Y); };
  }
};

}  // namespace

TPoint ChipTransformSource(TChipTransform Transform, int32_t X, int32_t Y, int32_t W, int32_t H) {
  switch (Transform) {
    case TChipTransform::Identity:
      return {X, Y};
    case TChipTransform::FlipHorizontal:
      return {W - 1 - X, Y};
    case TChipTransform::FlipVertical:
      return {X, H - 1 - Y};
    case TChipTransform::Rotate180:
      return {W - 1 - X, H - 1 - Y};
    case TChipTransform::Rotate90:
      return {Y, H - 1 - X};
    case TChipTransform::Rotate270:
      return {W - 1 - Y, X};
    case TChipTransform::Transpose:
      return {Y, X};
    case TChipTransform::AntiTranspose:
      return {W - 1 - Y, H - 1 - X};
  }
  return {X, Y};
}

const char* ChipTransformName(TChipTransform Transform) {
  switch (Transform) {
    case TChipTransform::Identity:
      return "identity";
    case TChipTransform::FlipHorizontal:
      return "flipHorizontal";
    case TChipTransform::FlipVertical:
      return "flipVertical";
    case TChipTransform::Rotate180:
      return "rotate180";
    case TChipTransform::Rotate90:
      return "rotate90";
    case TChipTransform::Rotate270:
      return "rotate270";
    case TChipTransform::Transpose:
      return "transpose";
    case TChipTransform::AntiTranspose:
      return "antiTranspose";
  }
  return "identity";
}

int64_t TDuplicateReport::DuplicateCount() const {
  int64_t count = 0;
  for (const auto& group : Groups) count += static_cast<int64_t>(group.size()) - 1;
  return count;
}

std::vector<bool> TDuplicateReport::DuplicateCells() const {
  std::vector<bool> cells(static_cast<size_t>(Columns) * static_cast<size_t>(Rows));
  for (const auto& group : Groups)
    for (size_t i = 1; i < group.size(); ++i)
      cells[static_cast<size_t>(group[i].Cell.Row) * Columns + group[i].Cell.Column] = true;
  return cells;
}

std::vector<bool> TDuplicateReport::EmptyCells() const {
  std::vector<bool> cells(static_cast<size_t>(Columns) * static_cast<size_t>(Rows));
  for (const TChipCell& cell : Empty) cells[static_cast<size_t>(cell.Row) * Columns + cell.Column] = true;
  return cells;
}

TDuplicateReport FindDuplicateChips(const TBitmap& Image, const TBitmap* Alpha, int32_t ChipWidth,
                                    int32_t ChipHeight, const TDuplicateOptions& Options) {
  if (ChipWidth < 1 || ChipHeight < 1) throw EInvalidGraphic("Invalid chip size");
  if (Alpha && (Alpha->PixelFormat() != pf8bit || Alpha->Width() != Image.Width() ||
                Alpha->Height() != Image.Height()))
    throw EInvalidGraphic("Invalid alpha plane");
  TDuplicateReport report;
  report.Columns = Image.Width() / ChipWidth;
  report.Rows = Image.Height() / ChipHeight;
  if (report.Columns == 0 || report.Rows == 0) return report;

  const TPixelGrid pixels(Image, Alpha);
  const TChipSheet sheet{pixels, ChipWidth, ChipHeight, report.Columns};
  const int32_t chips = report.Columns * report.Rows;
  const uint32_t emptyValue = EmptyValue(Image, Alpha != nullptr, Options);
  const size_t transforms = TransformCount(Options, ChipWidth, ChipHeight);

  // Chips of one hash, and the groups started among them (indices into groups).
  struct TBucket {
    std::vector<size_t> Groups;
  };
  std::unordered_map<uint64_t, TBucket> buckets;
  std::vector<std::vector<TDuplicateMember>> groups;
  for (int32_t chip = 0; chip < chips; ++chip) {
    const TChipCell cell{chip % report.Columns, chip / report.Columns};
    const auto at = sheet.Reader(chip);
    if (ChipAll(at, ChipWidth, ChipHeight, emptyValue)) {
      report.Empty.push_back(cell);
      continue;
    }
    TBucket& bucket = buckets[CopyHash(at, ChipWidth, ChipHeight, transforms)];
    bool placed = false;
    for (const size_t g : bucket.Groups) {
      const int32_t first = groups[g][0].Cell.Row * report.Columns + groups[g][0].Cell.Column;
      if (const auto transform = CopyTransform(sheet.Reader(first), at, ChipWidth, ChipHeight, transforms)) {
        groups[g].push_back({cell, *transform});
        placed = true;
        break;
      }
    }
    if (!placed) {
      bucket.Groups.push_back(groups.size());
      groups.push_back({{cell, TChipTransform::Identity}});
    }
  }
  for (auto& group : groups)
    if (group.size() > 1) report.Groups.push_back(std::move(group));
  return report;
}

// ---------------------------------------------------------------------------------------------------------------
// The tally kept up to date

// Reads chips straight from the sheet's pictures as the values TPixelGrid holds.
class TDuplicateTally::TReader {
 public:
  TReader(const TBitmap& Image, const TBitmap* Alpha, int32_t ChipWidth, int32_t ChipHeight, int32_t Columns,
          const TDuplicateOptions& Options)
      : Width(ChipWidth),
        Height(ChipHeight),
        Empty(EmptyValue(Image, Alpha != nullptr, Options)),
        Transforms(TransformCount(Options, ChipWidth, ChipHeight)),
        FImage(Image),
        FAlpha(Alpha),
        FBits(Image.BitCount()),
        FColumns(Columns) {
    FPalette = Image.Palette();
    if (IsIndexedBitCount(FBits) && PaletteSize(FPalette) == 0) FPalette = DefaultPalette(FBits);
    if (FPalette) FEntries = FPalette->Entries;
  }

  const int32_t Width, Height;  // of a chip
  const uint32_t Empty;
  const size_t Transforms;

  // The chip's pixel values in reading order, into Out.
  void Read(int32_t Number, std::vector<uint32_t>& Out) const {
    Out.resize(static_cast<size_t>(Width) * static_cast<size_t>(Height));
    const int64_t left = int64_t{Number % FColumns} * Width, top = int64_t{Number / FColumns} * Height;
    uint32_t* out = Out.data();
    for (int32_t y = 0; y < Height; ++y) {
      const uint8_t* row = FImage.ScanLine(static_cast<int>(top + y));
      const uint8_t* cover = FAlpha ? FAlpha->ScanLine(static_cast<int>(top + y)) : nullptr;
      const auto put = [&out](TRgb C, uint32_t Alpha) {
        *out++ = Alpha == 0 ? 0 : (C.R | (uint32_t{C.G} << 8) | (uint32_t{C.B} << 16) | (Alpha << 24));
      };
      if (FBits == 24 || FBits == 32) {
        const int step = FBits / 8;
        const uint8_t* p = row + left * step;
        for (int64_t x = left; x < left + Width; ++x, p += step)
          put({p[2], p[1], p[0]}, cover ? 255u - cover[x] : 255u);
      } else {
        for (int64_t x = left; x < left + Width; ++x)
          put(PixelToRgb(ReadPixel(row, x, FBits), FBits, FEntries), cover ? 255u - cover[x] : 255u);
      }
    }
  }
  // A reader of a chip read into Pixels.
  auto At(const std::vector<uint32_t>& Pixels) const {
    return [&Pixels, w = Width](TPoint P) { return Pixels[static_cast<size_t>(P.Y) * w + P.X]; };
  }

 private:
  const TBitmap& FImage;
  const TBitmap* FAlpha;
  int FBits;
  int32_t FColumns;
  HPALETTE FPalette;
  std::span<const TPaletteEntry> FEntries;
};

TDuplicateTally::TDuplicateTally() = default;
TDuplicateTally::~TDuplicateTally() = default;

TDuplicateTally::TIdentity TDuplicateTally::IdentityOf(const TBitmap& Bitmap) {
  return {&Bitmap.Image(), Bitmap.Image().Bits.data()};
}

void TDuplicateTally::Remember(const TBitmap& Image, const TBitmap& Alpha) {
  FImage = IdentityOf(Image);
  FAlpha = IdentityOf(Alpha);
}

void TDuplicateTally::Recount(const TBitmap& Image, const TBitmap& Alpha, int32_t ChipWidth,
                              int32_t ChipHeight, const TDuplicateOptions& Options) {
  if (ChipWidth < 1 || ChipHeight < 1) throw EInvalidGraphic("Invalid chip size");
  FValid = false;
  FPlane = IsAlphaPlaneOf(Alpha, Image);
  FWidth = Image.Width();
  FHeight = Image.Height();
  FChipWidth = ChipWidth;
  FChipHeight = ChipHeight;
  FOptions = Options;
  FColumns = Image.Width() / ChipWidth;
  FRows = Image.Height() / ChipHeight;
  const size_t chips = static_cast<size_t>(FColumns) * static_cast<size_t>(FRows);
  FCount = 0;
  FGroupOf.assign(chips, -1);
  FGroups.clear();
  FFreeGroups.clear();
  FBuckets.clear();
  FDuplicate.assign(chips, false);
  FChanged.clear();
  FWholeChanged = true;
  const TReader reader(Image, FPlane ? &Alpha : nullptr, ChipWidth, ChipHeight, FColumns, Options);
  for (size_t chip = 0; chip < chips; ++chip) Place(reader, static_cast<int32_t>(chip));
  Remember(Image, Alpha);
  FValid = true;
}

bool TDuplicateTally::Follows(const TBitmap& Image, const TBitmap& Alpha, int32_t ChipWidth,
                              int32_t ChipHeight, const TDuplicateOptions& Options) const {
  return FValid && FImage == IdentityOf(Image) && FAlpha == IdentityOf(Alpha) && FChipWidth == ChipWidth &&
         FChipHeight == ChipHeight && FOptions == Options && FWidth == Image.Width() &&
         FHeight == Image.Height();
}

void TDuplicateTally::Expect(const TBitmap& Image, const TBitmap& Alpha) {
  if (FValid && (FImage != IdentityOf(Image) || FAlpha != IdentityOf(Alpha))) FValid = false;
}

void TDuplicateTally::Update(const TBitmap& Image, const TBitmap& Alpha, std::span<const TRect> Areas) {
  if (!FValid) return;
  if (IsAlphaPlaneOf(Alpha, Image) != FPlane || Image.Width() != FWidth || Image.Height() != FHeight)
    return Recount(Image, Alpha, FChipWidth, FChipHeight, FOptions);
  // The whole chips the areas touch, each once.
  std::vector<int32_t> touched;
  for (const TRect& area : Areas) {
    const int64_t left = std::max<int64_t>(area.Left, 0) / FChipWidth;
    const int64_t top = std::max<int64_t>(area.Top, 0) / FChipHeight;
    const int64_t right = std::min<int64_t>((int64_t{area.Right} + FChipWidth - 1) / FChipWidth, FColumns);
    const int64_t bottom = std::min<int64_t>((int64_t{area.Bottom} + FChipHeight - 1) / FChipHeight, FRows);
    for (int64_t row = top; row < bottom; ++row)
      for (int64_t column = left; column < right; ++column)
        touched.push_back(static_cast<int32_t>(row * FColumns + column));
  }
  std::sort(touched.begin(), touched.end());
  touched.erase(std::unique(touched.begin(), touched.end()), touched.end());
  // Out of their groups first, so that every group is compared through a chip that did not change.
  for (const int32_t chip : touched) Take(chip);
  const TReader reader(Image, FPlane ? &Alpha : nullptr, FChipWidth, FChipHeight, FColumns, FOptions);
  for (const int32_t chip : touched) Place(reader, chip);
  Remember(Image, Alpha);
}

void TDuplicateTally::Place(const TReader& Reader, int32_t Chip) {
  const int32_t w = Reader.Width, h = Reader.Height;
  Reader.Read(Chip, FPixels);
  const auto at = Reader.At(FPixels);
  if (ChipAll(at, w, h, Reader.Empty)) return;
  const uint64_t hash = CopyHash(at, w, h, Reader.Transforms);
  std::vector<int32_t>& bucket = FBuckets[hash];
  int32_t found = -1;
  for (const int32_t g : bucket) {
    Reader.Read(FGroups[g].Chips.front(), FOtherPixels);
    if (CopyTransform(Reader.At(FOtherPixels), at, w, h, Reader.Transforms)) {
      found = g;
      break;
    }
  }
  if (found < 0) {
    if (FFreeGroups.empty()) {
      found = static_cast<int32_t>(FGroups.size());
      FGroups.emplace_back();
    } else {
      found = FFreeGroups.back();
      FFreeGroups.pop_back();
    }
    FGroups[found].Hash = hash;
    bucket.push_back(found);
  }
  std::vector<int32_t>& chips = FGroups[found].Chips;
  const auto place = std::lower_bound(chips.begin(), chips.end(), Chip);
  const bool first = place == chips.begin();
  if (!chips.empty()) ++FCount;
  chips.insert(place, Chip);
  FGroupOf[static_cast<size_t>(Chip)] = found;
  SetDuplicate(Chip, !first);
  if (first && chips.size() > 1) SetDuplicate(chips[1], true);
}

void TDuplicateTally::Take(int32_t Chip) {
  const int32_t g = FGroupOf[static_cast<size_t>(Chip)];
  if (g < 0) return;
  FGroupOf[static_cast<size_t>(Chip)] = -1;
  std::vector<int32_t>& chips = FGroups[g].Chips;
  chips.erase(std::lower_bound(chips.begin(), chips.end(), Chip));
  SetDuplicate(Chip, false);
  if (!chips.empty()) {
    --FCount;
    SetDuplicate(chips.front(), false);
    return;
  }
  std::vector<int32_t>& bucket = FBuckets[FGroups[g].Hash];
  std::erase(bucket, g);
  if (bucket.empty()) FBuckets.erase(FGroups[g].Hash);
  FFreeGroups.push_back(g);
}

void TDuplicateTally::SetDuplicate(int32_t Chip, bool Duplicate) {
  if (FDuplicate[static_cast<size_t>(Chip)] == Duplicate) return;
  FDuplicate[static_cast<size_t>(Chip)] = Duplicate;
  if (!FWholeChanged) FChanged.push_back(Chip);
}

bool TDuplicateTally::IsDuplicate(TChipCell Cell) const {
  if (Cell.Column < 0 || Cell.Row < 0 || Cell.Column >= FColumns || Cell.Row >= FRows) return false;
  return FDuplicate[static_cast<size_t>(Cell.Row) * FColumns + Cell.Column];
}

TDuplicateTally::TChanges TDuplicateTally::TakeChanges() {
  TChanges changes;
  changes.Whole = std::exchange(FWholeChanged, false);
  std::sort(FChanged.begin(), FChanged.end());
  FChanged.erase(std::unique(FChanged.begin(), FChanged.end()), FChanged.end());
  if (!changes.Whole)
    for (const int32_t chip : FChanged) changes.Cells.push_back({chip % FColumns, chip / FColumns});
  FChanged.clear();
  return changes;
}
