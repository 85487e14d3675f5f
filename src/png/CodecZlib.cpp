#include "CodecZlib.h"

#include <algorithm>
#include <cstring>
#include <new>

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
  // A context abandoned while its stream is open ends it here.
  if (Active) {
    if (IsDeflate)
      deflateEnd(&Stream);
    else
      inflateEnd(&Stream);
  }
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

void EndInflate(ZRowContext& Context) {
  Context.ZBuffer.reset();
  Context.ZBufferSize = 0;
  if (Context.Active && !Context.IsDeflate) inflateEnd(&Context.Stream);
  Context.Active = false;
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
    if (result < 0) return result;
    if (result == Z_STREAM_END && z.avail_out > 0) return -1;
  }
  return result;
}

// Filters of one row. Each takes the row data (after the filter-type byte), the prior row's data, the data
// length and the distance to the left neighbour.
namespace {

void UnfilterSub(uint8_t* row, int32_t length, int32_t bpp) {
  for (int32_t i = bpp; i < length; ++i) row[i] = static_cast<uint8_t>(row[i] + row[i - bpp]);
}

void UnfilterUp(uint8_t* row, const uint8_t* prior, int32_t length) {
  for (int32_t i = 0; i < length; ++i) row[i] = static_cast<uint8_t>(row[i] + prior[i]);
}

void UnfilterAverage(uint8_t* row, const uint8_t* prior, int32_t length, int32_t bpp) {
  const int32_t head = std::min(bpp, length);
  for (int32_t i = 0; i < head; ++i) row[i] = static_cast<uint8_t>(row[i] + (prior[i] >> 1));
  for (int32_t i = bpp; i < length; ++i)
    row[i] = static_cast<uint8_t>(row[i] + ((prior[i] + row[i - bpp]) >> 1));
}

// Paeth with the pixel's channels handled side by side; Bpp known at compile time lets the compiler keep the
// left and upper-left pixels in registers.
template <int Bpp>
void UnfilterPaethFixed(uint8_t* row, const uint8_t* prior, int32_t length) {
  int a[Bpp] = {}, c[Bpp] = {};
  for (int32_t i = 0; i + Bpp <= length; i += Bpp) {
    for (int k = 0; k < Bpp; ++k) {
      const int b = prior[i + k];
      const int pa = std::abs(b - c[k]);             // |p - a|
      const int pb = std::abs(a[k] - c[k]);          // |p - b|
      const int pc = std::abs(a[k] + b - 2 * c[k]);  // |p - c|
      int pred = c[k];
      if (pa <= pb && pa <= pc)
        pred = a[k];
      else if (pb <= pc)
        pred = b;
      const int x = static_cast<uint8_t>(row[i + k] + pred);
      row[i + k] = static_cast<uint8_t>(x);
      a[k] = x;
      c[k] = b;
    }
  }
}

void UnfilterPaeth(uint8_t* row, const uint8_t* prior, int32_t length, int32_t bpp) {
  switch (bpp) {
    case 1:
      UnfilterPaethFixed<1>(row, prior, length);
      return;
    case 2:
      UnfilterPaethFixed<2>(row, prior, length);
      return;
    case 3:
      UnfilterPaethFixed<3>(row, prior, length);
      return;
    case 4:
      UnfilterPaethFixed<4>(row, prior, length);
      return;
    case 6:
      UnfilterPaethFixed<6>(row, prior, length);
      return;
    case 8:
      UnfilterPaethFixed<8>(row, prior, length);
      return;
    default:
      break;
  }
  const int32_t head = std::min(bpp, length);
  for (int32_t i = 0; i < head; ++i) row[i] = static_cast<uint8_t>(row[i] + PaethPredictor(0, prior[i], 0));
  for (int32_t i = bpp; i < length; ++i)
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
