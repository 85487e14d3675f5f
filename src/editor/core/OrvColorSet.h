// Sets of 24-bit colours for the document's colour work: a bit for every colour, and a small index of at most
// a few hundred colour keys in order of first appearance.
#pragma once

#include <bit>
#include <cstdint>
#include <vector>

// One bit for every 24-bit colour (2 MiB). Keys are B | G << 8 | R << 16, as ReadPixel gives 24-bit pixels.
class TColorSet {
 public:
  TColorSet() : FWords(size_t{1} << 18) {}
  uint64_t* Words() { return FWords.data(); }
  void Add(uint32_t Key) { FWords[(Key & 0xFFFFFF) >> 6] |= uint64_t{1} << (Key & 63); }
  bool Contains(uint32_t Key) const { return (FWords[(Key & 0xFFFFFF) >> 6] >> (Key & 63)) & 1; }
  int64_t Count() const {
    int64_t result = 0;
    for (uint64_t word : FWords) result += std::popcount(word);
    return result;
  }

 private:
  std::vector<uint64_t> FWords;
};

// Up to Capacity distinct 32-bit keys, numbered in the order they were added; open addressing in a table of
// at least four times as many slots.
class TKeyIndex {
 public:
  explicit TKeyIndex(size_t Capacity)
      : FCapacity(Capacity),
        FSlots(std::bit_ceil(Capacity * 4 + 4)),
        FShift(32 - std::countr_zero(FSlots.size())) {}
  // The number of Key, added when new; -1 when it is new and Capacity keys are there already.
  int32_t Find(uint32_t Key) {
    size_t slot = (Key * 0x9E3779B1u) >> FShift;
    for (;; slot = (slot + 1) & (FSlots.size() - 1)) {
      TSlot& s = FSlots[slot];
      if (s.Number < 0) {
        if (FKeys.size() >= FCapacity) return -1;
        s = {Key, static_cast<int32_t>(FKeys.size())};
        FKeys.push_back(Key);
        return s.Number;
      }
      if (s.Key == Key) return s.Number;
    }
  }
  const std::vector<uint32_t>& Keys() const { return FKeys; }

 private:
  struct TSlot {
    uint32_t Key = 0;
    int32_t Number = -1;
  };
  size_t FCapacity;
  std::vector<TSlot> FSlots;
  int FShift;
  std::vector<uint32_t> FKeys;
};
