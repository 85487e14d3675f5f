#include "CodecZlib.h"

#include <algorithm>
#include <cstring>
#include <new>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// zlib's allocation hooks: the program's heap.
static voidpf ZAlloc(voidpf, uInt Items, uInt Size) {
  if (Size != 0 && Items > SIZE_MAX / Size) return Z_NULL;
  return std::malloc(static_cast<size_t>(Items) * Size);
}
static void ZFree(voidpf, voidpf Address) {
  std::free(Address);
}

void SetZlibAllocator(ZRowContext& Context) {
  Context.Stream.zalloc = ZAlloc;
  Context.Stream.zfree = ZFree;
  Context.Stream.opaque = Z_NULL;
}

ZRowContext::ZRowContext() = default;

ZRowContext::~ZRowContext() {
  EndZStream(*this);
}

void EndZStream(ZRowContext& Context) {
  if (Context.Active) {
    if (Context.IsDeflate)
      deflateEnd(&Context.Stream);
    else
      inflateEnd(&Context.Stream);
    Context.Active = false;
  }
  Context.ZBuffer.reset();
  Context.ZBufferSize = 0;
}

TZImageScope::~TZImageScope() {
  EndZStream(FContext);
  FContext.CurrentRow = FContext.PreviousRow = FContext.FilteredRow = FContext.TrialRow = nullptr;
  FContext.ByteCounts = nullptr;
}

uint8_t* TZImageScope::AllocateRows(int64_t Bytes) {
  FRows = AllocateOrRaise(
      [Bytes] { return std::make_unique_for_overwrite<uint8_t[]>(static_cast<size_t>(Bytes)); });
  return FRows.get();
}

// ---------------------------------------------------------------------------------------------------------------
// Inflate

int32_t StartInflate(ZRowContext& Context) {
  if (Context.ZBuffer) EndInflate(Context);
  Context.ZBuffer.reset(new (std::nothrow) uint8_t[InflateBufferSize]);
  if (!Context.ZBuffer) return -1;
  Context.Stream = z_stream{};
  Context.Stream.next_in = Context.ZBuffer.get();
  Context.Stream.avail_in = 0;
  SetZlibAllocator(Context);
  Context.ZBufferSize = InflateBufferSize;
  if (inflateInit(&Context.Stream) != Z_OK) return -1;
  Context.Active = true;
  Context.IsDeflate = false;
  return 0;
}

void ResetInflate(ZRowContext& Context) {
  if (Context.Active && !Context.IsDeflate) inflateReset(&Context.Stream);
  Context.Stream.next_in = Context.ZBuffer.get();
  Context.Stream.avail_in = 0;
}

int32_t InflateInto(ZRowContext& Context, uint8_t* Dest, int32_t Count) {
  z_stream& z = Context.Stream;
  z.next_out = Dest;
  z.avail_out = static_cast<uInt>(Count);
  int result = Z_OK;
  while (z.avail_out > 0) {
    if (z.avail_in == 0) {
      const int32_t refill = Context.BufferCallback(Context);
      if (refill != 0) return refill;
    }
    result = inflate(&z, Z_NO_FLUSH);
    // A stream that asks for a preset dictionary cannot go on (PNG has none): inflate would ask again at
    // every call without consuming anything.
    if (result == Z_NEED_DICT) return Z_DATA_ERROR;
    if (result < 0) return result;
    if (result == Z_STREAM_END && z.avail_out > 0) return -1;
  }
  return result;
}

// Filters of one row. Each takes the row data (after the filter-type byte), the prior row's data, the data
// length and the distance to the left neighbour.
namespace {

// Bytewise sum and floor average of four bytes held in one word, without carries between the bytes.
inline uint32_t AddBytes(uint32_t x, uint32_t y) {
  return ((x & 0x7F7F7F7Fu) + (y & 0x7F7F7F7Fu)) ^ ((x ^ y) & 0x80808080u);
}
inline uint32_t AverageBytes(uint32_t x, uint32_t y) {
  return (x & y) + (((x ^ y) & 0xFEFEFEFEu) >> 1);
}

// A pixel of Bpp bytes (1 to 8) as a little-endian number, read and written byte by byte where it has no
// machine width, so that it stays in registers.
template <int Bpp>
inline uint64_t LoadPixel(const uint8_t* p) {
  if constexpr (Bpp == 4) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
  } else if constexpr (Bpp == 8) {
    uint64_t v;
    std::memcpy(&v, p, 8);
    return v;
  } else {
    uint64_t v = 0;
    for (int k = 0; k < Bpp; ++k) v |= uint64_t{p[k]} << (8 * k);
    return v;
  }
}
template <int Bpp>
inline void StorePixel(uint8_t* p, uint64_t v) {
  if constexpr (Bpp == 4) {
    const auto w = static_cast<uint32_t>(v);
    std::memcpy(p, &w, 4);
  } else if constexpr (Bpp == 8) {
    std::memcpy(p, &v, 8);
  } else {
    for (int k = 0; k < Bpp; ++k) p[k] = static_cast<uint8_t>(v >> (8 * k));
  }
}

// Sub and Average for pixels of 3 or 4 bytes: one pixel a step, its bytes side by side in a word. They stop
// at the last whole pixel and return where they stopped; the bytes after it are left to the bytewise loops.
template <int Bpp>
int32_t UnfilterSubWords(uint8_t* row, int32_t length) {
  uint32_t left = 0;
  int32_t i = 0;
  for (; i + Bpp <= length; i += Bpp) {
    left = AddBytes(static_cast<uint32_t>(LoadPixel<Bpp>(row + i)), left);
    StorePixel<Bpp>(row + i, left);
  }
  return i;
}

template <int Bpp>
int32_t UnfilterAverageWords(uint8_t* row, const uint8_t* prior, int32_t length) {
  uint32_t left = 0;
  int32_t i = 0;
  for (; i + Bpp <= length; i += Bpp) {
    left = AddBytes(static_cast<uint32_t>(LoadPixel<Bpp>(row + i)),
                    AverageBytes(static_cast<uint32_t>(LoadPixel<Bpp>(prior + i)), left));
    StorePixel<Bpp>(row + i, left);
  }
  return i;
}

void UnfilterSub(uint8_t* row, int32_t length, int32_t bpp) {
  int32_t done = 0;
  if (bpp == 3) done = UnfilterSubWords<3>(row, length);
  if (bpp == 4) done = UnfilterSubWords<4>(row, length);
  for (int32_t i = std::max(done, bpp); i < length; ++i) row[i] = static_cast<uint8_t>(row[i] + row[i - bpp]);
}

void UnfilterUp(uint8_t* row, const uint8_t* prior, int32_t length) {
  int32_t i = 0;
#if defined(__SSE2__)
  for (; i + 16 <= length; i += 16) {
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + i));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(prior + i));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(row + i), _mm_add_epi8(x, b));
  }
#endif
  for (; i < length; ++i) row[i] = static_cast<uint8_t>(row[i] + prior[i]);
}

void UnfilterAverage(uint8_t* row, const uint8_t* prior, int32_t length, int32_t bpp) {
  int32_t done = 0;
  if (bpp == 3) done = UnfilterAverageWords<3>(row, prior, length);
  if (bpp == 4) done = UnfilterAverageWords<4>(row, prior, length);
  const int32_t head = std::min(bpp, length);
  for (int32_t i = done; i < head; ++i) row[i] = static_cast<uint8_t>(row[i] + (prior[i] >> 1));
  for (int32_t i = std::max(done, bpp); i < length; ++i)
    row[i] = static_cast<uint8_t>(row[i] + ((prior[i] + row[i - bpp]) >> 1));
}

#if defined(__SSE2__)
// Paeth on one pixel of Bpp bytes (up to 8) a step, its bytes widened to 16-bit lanes: |p - a| = |b - c|,
// |p - b| = |a - c|, |p - c| = |a + b - 2c|, ties going to a, then b, then c. Stops at the last whole pixel
// and returns where it stopped.
template <int Bpp>
int32_t UnfilterPaethSse2(uint8_t* row, const uint8_t* prior, int32_t length) {
  const __m128i zero = _mm_setzero_si128();
  const auto load = [](const uint8_t* p) {
    return _mm_cvtsi64_si128(static_cast<long long>(LoadPixel<Bpp>(p)));
  };
  const auto abs16 = [&](__m128i v) { return _mm_max_epi16(v, _mm_sub_epi16(zero, v)); };
  const auto select = [](__m128i mask, __m128i yes, __m128i no) {
    return _mm_or_si128(_mm_and_si128(mask, yes), _mm_andnot_si128(mask, no));
  };
  __m128i a = zero, c = zero;
  int32_t i = 0;
  for (; i + Bpp <= length; i += Bpp) {
    const __m128i b = _mm_unpacklo_epi8(load(prior + i), zero);
    const __m128i bc = _mm_sub_epi16(b, c);
    const __m128i ac = _mm_sub_epi16(a, c);
    const __m128i pa = abs16(bc), pb = abs16(ac), pc = abs16(_mm_add_epi16(bc, ac));
    const __m128i smallest = _mm_min_epi16(pc, _mm_min_epi16(pa, pb));
    const __m128i nearest =
        select(_mm_cmpeq_epi16(smallest, pa), a, select(_mm_cmpeq_epi16(smallest, pb), b, c));
    const __m128i x = _mm_add_epi8(load(row + i), _mm_packus_epi16(nearest, nearest));
    StorePixel<Bpp>(row + i, static_cast<uint64_t>(_mm_cvtsi128_si64(x)));
    a = _mm_unpacklo_epi8(x, zero);
    c = b;
  }
  return i;
}
#endif

void UnfilterPaeth(uint8_t* row, const uint8_t* prior, int32_t length, int32_t bpp) {
  int32_t done = 0;
#if defined(__SSE2__)
  switch (bpp) {
    case 3:
      done = UnfilterPaethSse2<3>(row, prior, length);
      break;
    case 4:
      done = UnfilterPaethSse2<4>(row, prior, length);
      break;
    case 6:
      done = UnfilterPaethSse2<6>(row, prior, length);
      break;
    case 8:
      done = UnfilterPaethSse2<8>(row, prior, length);
      break;
    default:
      break;
  }
#endif
  const int32_t head = std::min(bpp, length);
  for (int32_t i = done; i < head; ++i) row[i] = static_cast<uint8_t>(row[i] + prior[i]);
  for (int32_t i = std::max(done, bpp); i < length; ++i)
    row[i] = static_cast<uint8_t>(row[i] + PaethPredictor(row[i - bpp], prior[i], prior[i - bpp]));
}

}  // namespace

int32_t UnfilterRow(ZRowContext& Context) {
  uint8_t* row = Context.CurrentRow + 1;
  const uint8_t* prior = Context.PreviousRow + 1;
  const int32_t length = Context.RowLength - 1;
  const int32_t bpp = (Context.BitsPerPixel + 7) / 8;
  switch (Context.CurrentRow[0]) {
    case 0:
      return 0;
    case 1:
      UnfilterSub(row, length, bpp);
      return 0;
    case 2:
      UnfilterUp(row, prior, length);
      return 0;
    case 3:
      UnfilterAverage(row, prior, length, bpp);
      return 0;
    case 4:
      UnfilterPaeth(row, prior, length, bpp);
      return 0;
    default:
      return -1;
  }
}

int32_t ReadFilteredRow(ZRowContext& Context) {
  const int32_t result = InflateInto(Context, Context.CurrentRow, Context.RowLength);
  if (result < 0) return result;
  return UnfilterRow(Context);
}
