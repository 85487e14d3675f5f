// The zlib row adapters of the PNG codec: ZRowContext carries one zlib stream and the row buffers; its
// inflate side returns one unfiltered PNG row per call, its deflate side compresses one filtered row at a
// time and hands every full output buffer to BufferCallback.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <cstdlib>
#include <memory>

#include "SysUtils.h"

struct ZRowContext;

// Inflate: refill the compressed input (ZBuffer, offered through Stream.next_in / avail_in).
// Deflate: take the compressed output, DeflatePending (Context) bytes at ZBuffer.
// 0 means go on; any other value ends the operation with that value.
using TZBufferCallback = int32_t (*)(ZRowContext& Context);

// The context owns its zlib stream: whichever stream is open is ended exactly once, by EndInflate or
// EndDeflate or else by the destructor.
struct ZRowContext {
  ZRowContext();
  ~ZRowContext();
  ZRowContext(const ZRowContext&) = delete;
  ZRowContext& operator=(const ZRowContext&) = delete;

  TObject* Owner = nullptr;            // the decoder or encoder that embeds the context
  z_stream Stream{};                   // zlib's own state record
  std::unique_ptr<uint8_t[]> ZBuffer;  // inflate: compressed input; deflate: compressed output
  int32_t ZBufferSize = 0;
  TZBufferCallback BufferCallback = nullptr;
  int32_t RowLength = 0;           // bytes of one filtered row, filter-type byte included
  uint8_t* CurrentRow = nullptr;   // row being read or written
  uint8_t* PreviousRow = nullptr;  // row above, same layout
  int32_t BitsPerPixel = 0;        // bits per pixel of the filtered data
  int32_t FilterOption = 0;        // deflate only
  int32_t FilterDepth = 0;         // deflate only
  uint8_t* FilteredRow = nullptr;  // deflate only
  uint8_t* TrialRow = nullptr;     // deflate only
  int32_t* ByteCounts = nullptr;   // deflate only: 256 counters
  bool Active = false;             // a zlib stream is initialised
  bool IsDeflate = false;          // ... and it is a deflate stream
};

// Points the stream's allocation hooks at the program's heap.
void SetZlibAllocator(ZRowContext& Context);

// Ends the open stream, inflate or deflate, if there is one, and frees ZBuffer. EndInflate and EndDeflate are
// this.
void EndZStream(ZRowContext& Context);

// One image's hold on a context. AllocateRows gives the block the row pointers point into (EOutOfMemory when
// the heap cannot give it); on every way out of the image the destructor ends the stream, frees its buffer
// and the row block and clears the row pointers.
class TZImageScope {
 public:
  explicit TZImageScope(ZRowContext& Context) : FContext(Context) {}
  ~TZImageScope();
  TZImageScope(const TZImageScope&) = delete;
  TZImageScope& operator=(const TZImageScope&) = delete;
  uint8_t* AllocateRows(int64_t Bytes);

 private:
  ZRowContext& FContext;
  std::unique_ptr<uint8_t[]> FRows;
};

// Size of the inflate input buffer.
inline constexpr int32_t InflateBufferSize = 32768;

// Inflate side.
int32_t StartInflate(ZRowContext& Context);  // 0 ready, -1 failed
inline void EndInflate(ZRowContext& Context) {
  EndZStream(Context);
}
void ResetInflate(ZRowContext& Context);
// Inflates exactly Count bytes into Dest, refilling through BufferCallback: the callback's non-zero value, a
// negative zlib result, or -1 when the compressed stream ends first; else 0 (1 when it ended exactly here).
int32_t InflateInto(ZRowContext& Context, uint8_t* Dest, int32_t Count);
// Reverses the row's filter in place (filter-type byte first, PreviousRow the unfiltered row above): 0, or -1
// for a filter type above 4.
int32_t UnfilterRow(ZRowContext& Context);
// Inflates one row into CurrentRow and unfilters it; negative on failure.
int32_t ReadFilteredRow(ZRowContext& Context);

// Deflate side.
// Allocates an output buffer of BufferSize bytes and initialises deflate with Level (-1 default; values
// outside -1..9 are used as -1), method deflated, window bits 15, memory level 8, default strategy. 0 ready,
// -1 failed.
int32_t StartDeflate(ZRowContext& Context, int32_t Level, int32_t BufferSize);
// Compresses Count bytes without flushing; each time the output buffer fills it goes to BufferCallback
// (exactly ZBufferSize bytes). 0, the callback's non-zero value, or a negative zlib result.
int32_t DeflateRow(ZRowContext& Context, const uint8_t* Data, int32_t Count);
// Finishes the stream: every full output buffer and then the remaining bytes, when there are any, go to
// BufferCallback. 0, the callback's non-zero value, or a negative zlib result.
int32_t FinishDeflate(ZRowContext& Context);
// Resets the stream for new data; the output buffer is empty again.
void ResetDeflate(ZRowContext& Context);
// Ends the stream and frees the output buffer.
inline void EndDeflate(ZRowContext& Context) {
  EndZStream(Context);
}
// Compressed bytes waiting in ZBuffer.
inline int32_t DeflatePending(const ZRowContext& Context) {
  return Context.ZBufferSize - static_cast<int32_t>(Context.Stream.avail_out);
}

// The Paeth predictor of the PNG filters: a left, b above, c above-left.
inline uint8_t PaethPredictor(int a, int b, int c) {
  const int p = a + b - c;
  const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
  if (pa <= pb && pa <= pc) return static_cast<uint8_t>(a);
  if (pb <= pc) return static_cast<uint8_t>(b);
  return static_cast<uint8_t>(c);
}
