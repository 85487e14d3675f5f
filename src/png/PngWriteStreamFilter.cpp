// Row filters of the encoder and the adaptive choice between them.
#include <algorithm>
#include <cstring>
#include <utility>

#include "PngWriteStream.h"

void FilterRow(TPngFilter Filter, const uint8_t* Raw, const uint8_t* Prior, uint8_t* Out, int32_t Count,
               int32_t Bpp) {
  Out[0] = Filter;
  uint8_t* out = Out + 1;
  const int32_t lead = std::min(Bpp, Count);  // bytes without a left neighbour
  switch (Filter) {
    case ftNone:
      std::memcpy(out, Raw, static_cast<size_t>(Count));
      break;
    case ftSub:
      std::memcpy(out, Raw, static_cast<size_t>(lead));
      for (int32_t i = lead; i < Count; ++i) out[i] = static_cast<uint8_t>(Raw[i] - Raw[i - Bpp]);
      break;
    case ftUp:
      for (int32_t i = 0; i < Count; ++i) out[i] = static_cast<uint8_t>(Raw[i] - Prior[i]);
      break;
    case ftAverage:
      for (int32_t i = 0; i < lead; ++i) out[i] = static_cast<uint8_t>(Raw[i] - (Prior[i] >> 1));
      for (int32_t i = lead; i < Count; ++i)
        out[i] = static_cast<uint8_t>(Raw[i] - ((Raw[i - Bpp] + Prior[i]) >> 1));
      break;
    case ftPaeth:
      for (int32_t i = 0; i < lead; ++i)
        out[i] = static_cast<uint8_t>(Raw[i] - PaethPredictor(0, Prior[i], 0));
      for (int32_t i = lead; i < Count; ++i)
        out[i] = static_cast<uint8_t>(Raw[i] - PaethPredictor(Raw[i - Bpp], Prior[i], Prior[i - Bpp]));
      break;
  }
}

int64_t RowScore(const uint8_t* Row, int32_t Count, int32_t BitsPerPixel, int32_t* Counts) {
  std::fill_n(Counts, 256, 0);
  for (int32_t i = 0; i < Count; ++i) ++Counts[Row[i]];
  int32_t distinct = 0;
  int64_t c1 = 0, c2 = 0, c3 = 0;  // the three largest counts, c1 >= c2 >= c3
  for (int v = 0; v < 256; ++v) {
    const int64_t c = Counts[v];
    if (c == 0) continue;
    ++distinct;
    if (c > c1) {
      c3 = c2;
      c2 = c1;
      c1 = c;
    } else if (c > c2) {
      c3 = c2;
      c2 = c;
    } else if (c > c3) {
      c3 = c;
    }
  }
  if (distinct <= 8 || 100 * c1 >= 90 * int64_t{Count}) return -1;
  const double n = Count;
  const double score = BitsPerPixel < 8 ? (n / 1.5) / distinct * 1500.0 + double(c1 + c2) / n * 1000.0
                                        : (n / 1.5) / distinct * 1000.0 + double(c1 + c2 + c3) / n * 1000.0;
  return static_cast<int64_t>(score);
}

uint8_t* ChooseFilter(ZRowContext& Context) {
  const int32_t count = Context.RowLength - 1;
  const int32_t bpp = (Context.BitsPerPixel + 7) / 8;
  const uint8_t* raw = Context.CurrentRow;
  const uint8_t* prior = Context.PreviousRow;
  const int option = Context.FilterOption & 0xFF;
  if (option != 0) {
    const TPngFilter filter = option >= 2 && option <= 5 ? static_cast<TPngFilter>(option - 1) : ftNone;
    FilterRow(filter, raw, prior, Context.FilteredRow, count, bpp);
    return Context.FilteredRow;
  }

  // Adaptive: None first; a candidate scoring -1 ends the search, an equal score keeps the earlier filter.
  FilterRow(ftNone, raw, prior, Context.FilteredRow, count, bpp);
  int64_t best = RowScore(Context.FilteredRow, Context.RowLength, Context.BitsPerPixel, Context.ByteCounts);
  if (best == -1 || Context.FilterDepth == 4) return Context.FilteredRow;
  if (Context.FilterDepth == 1 || Context.FilterDepth == 8) best *= 2;
  for (const TPngFilter filter : {ftSub, ftUp, ftAverage, ftPaeth}) {
    FilterRow(filter, raw, prior, Context.TrialRow, count, bpp);
    const int64_t score =
        RowScore(Context.TrialRow, Context.RowLength, Context.BitsPerPixel, Context.ByteCounts);
    if (score == -1 || score > best) {
      std::swap(Context.FilteredRow, Context.TrialRow);
      if (score == -1) break;
      best = score;
    }
  }
  return Context.FilteredRow;
}
