// The colour tally of the edit image: how many pixels have each colour, and each colour + alpha value where
// the image has an alpha plane, kept up to date area by area, so that the colour budget follows every edit in
// time that follows the changed area rather than the image.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "Graphics.h"

class TOrvDatas;
struct TColorBudget;
struct TSaveOptions;

// Distinct 32-bit keys with their pixel counts: open addressing with linear probing, a slot of count 0 being
// free; removal shifts the slots after it back, so no key is ever left behind.
class TCountTable {
 public:
  size_t Size() const { return FSize; }
  void Clear();
  // Count is above 0; the counts of one key stay below 2^32.
  void Add(uint32_t Key, uint32_t Count);
  // False, changing nothing, when Key does not hold Count pixels.
  bool Remove(uint32_t Key, uint32_t Count);
  template <class TVisit>
  void ForEach(TVisit Visit) const {
    for (const TSlot& slot : FSlots)
      if (slot.Count != 0) Visit(slot.Key, slot.Count);
  }

 private:
  struct TSlot {
    uint32_t Key = 0;
    uint32_t Count = 0;
  };
  size_t Home(uint32_t Key) const { return static_cast<size_t>((Key * 0x9E3779B97F4A7C15ull) >> FShift); }
  size_t Find(uint32_t Key) const;
  void Grow();
  std::vector<TSlot> FSlots;
  size_t FSize = 0;
  int FShift = 64;
};

class TColorTally {
 public:
  // Counts every pixel of Image with its plane Alpha (none unless IsAlphaPlaneOf).
  void Recount(const TBitmap& Image, const TBitmap& Alpha);
  // Forgets the counts: the next budget counts afresh.
  void Invalidate() { FValid = false; }
  // Whether the counts stand for these pictures: the ones last counted or updated, not replaced since.
  bool Follows(const TBitmap& Image, const TBitmap& Alpha) const;
  // Takes the pixels of Areas (rectangles inside Image; where they overlap, a pixel counts once) out of the
  // counts before they change, and puts them back in after. Remove forgets the counts when the pictures were
  // replaced around the tally; both do nothing while the counts are forgotten.
  void Remove(const TBitmap& Image, const TBitmap& Alpha, std::span<const TRect> Areas);
  void Add(const TBitmap& Image, const TBitmap& Alpha, std::span<const TRect> Areas);
  // ColorBudgetOf the document from the counts, which must follow its edit image; nothing when they are
  // forgotten, or when the picture is beyond what the tally keeps (more than 2^32 - 1 pixels, or more colour
  // + alpha values than MaxValues).
  std::optional<TColorBudget> Budget(const TOrvDatas& Document, const TSaveOptions& Options) const;

  static constexpr size_t MaxValues = size_t{1} << 22;

 private:
  // Where the pictures' pixels live, to tell when they were replaced.
  struct TIdentity {
    const TBitmapImage* Image = nullptr;
    const uint8_t* Bits = nullptr;
    bool operator==(const TIdentity&) const = default;
  };
  static TIdentity IdentityOf(const TBitmap& Bitmap) { return {&Bitmap.Image(), Bitmap.Image().Bits.data()}; }
  void Count(const TBitmap& Image, const TBitmap& Alpha, const TRect& Area, bool Adding);
  void Change(uint32_t Color, uint8_t Cover, uint32_t Pixels, bool Adding);
  void FollowPlane(bool Plane);
  int64_t ColorCount() const { return FDense.empty() ? static_cast<int64_t>(FColors.Size()) : FDenseSize; }

  bool FValid = false;
  bool FUsable = true;
  TIdentity FImage, FAlpha;
  // Pixels per 24-bit colour: a table, or past DenseFrom colours one count for every colour.
  TCountTable FColors;
  std::vector<uint32_t> FDense;
  int64_t FDenseSize = 0;
  // With a plane: pixels per colour | (255 - alpha) << 24, and the pixels that are not fully opaque.
  bool FPlane = false;
  TCountTable FValues;
  int64_t FTransparent = 0;
};
