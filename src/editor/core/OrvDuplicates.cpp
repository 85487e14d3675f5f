// Duplicate and empty chips: one hash per chip (the smallest over the allowed transforms when transformed
// copies count), chips bucketed by hash, and exact pixel comparison within a bucket.
#include "OrvDuplicates.h"

#include <algorithm>
#include <array>
#include <unordered_map>

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

struct TChipSheet {
  const TPixelGrid& Pixels;
  int32_t ChipWidth, ChipHeight, Columns;

  uint32_t Pixel(int32_t Chip, TPoint P) const {
    return Pixels.At((Chip % Columns) * ChipWidth + P.X, (Chip / Columns) * ChipHeight + P.Y);
  }
  // Hash of the chip as the transform shows it (FNV-1a over the pixel values, in reading order).
  uint64_t Hash(int32_t Chip, TChipTransform Transform) const {
    uint64_t hash = 0xCBF29CE484222325ull;
    for (int32_t y = 0; y < ChipHeight; ++y)
      for (int32_t x = 0; x < ChipWidth; ++x) {
        hash ^= Pixel(Chip, ChipTransformSource(Transform, x, y, ChipWidth, ChipHeight));
        hash *= 0x100000001B3ull;
      }
    return hash;
  }
  // Whether chip B equals chip A under the transform.
  bool Equal(int32_t A, TChipTransform Transform, int32_t B) const {
    for (int32_t y = 0; y < ChipHeight; ++y)
      for (int32_t x = 0; x < ChipWidth; ++x)
        if (Pixel(A, ChipTransformSource(Transform, x, y, ChipWidth, ChipHeight)) != Pixel(B, {x, y}))
          return false;
    return true;
  }
  bool AllEqual(int32_t Chip, uint32_t Value) const {
    for (int32_t y = 0; y < ChipHeight; ++y)
      for (int32_t x = 0; x < ChipWidth; ++x)
        if (Pixel(Chip, {x, y}) != Value) return false;
    return true;
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
  const TColor emptyColor = Options.EmptyColor.value_or(Image.TransparentColor()) & 0xFFFFFF;
  const uint32_t emptyValue = Alpha ? 0u : (emptyColor | 0xFF000000u);
  const size_t transforms = !Options.MatchTransforms ? 1 : ChipWidth == ChipHeight ? 8 : 4;

  // Chips of one hash, and the groups started among them (indices into groups).
  struct TBucket {
    std::vector<size_t> Groups;
  };
  std::unordered_map<uint64_t, TBucket> buckets;
  std::vector<std::vector<TDuplicateMember>> groups;
  for (int32_t chip = 0; chip < chips; ++chip) {
    const TChipCell cell{chip % report.Columns, chip / report.Columns};
    if (sheet.AllEqual(chip, emptyValue)) {
      report.Empty.push_back(cell);
      continue;
    }
    uint64_t hash = sheet.Hash(chip, TChipTransform::Identity);
    for (size_t t = 1; t < transforms; ++t) hash = std::min(hash, sheet.Hash(chip, AllTransforms[t]));
    TBucket& bucket = buckets[hash];
    bool placed = false;
    for (const size_t g : bucket.Groups) {
      const int32_t first = groups[g][0].Cell.Row * report.Columns + groups[g][0].Cell.Column;
      for (size_t t = 0; t < transforms && !placed; ++t)
        if (sheet.Equal(first, AllTransforms[t], chip)) {
          groups[g].push_back({cell, AllTransforms[t]});
          placed = true;
        }
      if (placed) break;
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
