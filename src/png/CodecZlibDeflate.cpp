#include <new>

#include "CodecZlib.h"

int32_t StartDeflate(ZRowContext& Context, int32_t Level, int32_t BufferSize) {
  if (Context.Active) EndDeflate(Context);
  if (Level < -1 || Level > 9) Level = Z_DEFAULT_COMPRESSION;
  if (BufferSize <= 0) return -1;
  Context.ZBuffer.reset(new (std::nothrow) uint8_t[static_cast<size_t>(BufferSize)]);
  if (!Context.ZBuffer) return -1;
  Context.ZBufferSize = BufferSize;
  Context.Stream = z_stream{};
  SetZlibAllocator(Context);
  if (deflateInit2(&Context.Stream, Level, Z_DEFLATED, 15, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
    EndZStream(Context);
    return -1;
  }
  Context.Active = true;
  Context.IsDeflate = true;
  Context.Stream.next_out = Context.ZBuffer.get();
  Context.Stream.avail_out = static_cast<uInt>(BufferSize);
  return 0;
}

// Hands the bytes in the output buffer to the callback and empties the buffer.
static int32_t DeliverOutput(ZRowContext& Context) {
  const int32_t result = Context.BufferCallback(Context);
  Context.Stream.next_out = Context.ZBuffer.get();
  Context.Stream.avail_out = static_cast<uInt>(Context.ZBufferSize);
  return result;
}

int32_t DeflateRow(ZRowContext& Context, const uint8_t* Data, int32_t Count) {
  if (!Context.Active || !Context.IsDeflate) return Z_STREAM_ERROR;
  z_stream& z = Context.Stream;
  z.next_in = const_cast<Bytef*>(Data);
  z.avail_in = static_cast<uInt>(Count < 0 ? 0 : Count);
  while (true) {
    const int result = deflate(&z, Z_NO_FLUSH);
    // Z_BUF_ERROR only says that no progress was possible; the loop decides what comes next.
    if (result < 0 && result != Z_BUF_ERROR) return result;
    if (z.avail_out == 0) {
      const int32_t delivered = DeliverOutput(Context);
      if (delivered != 0) return delivered;
      continue;
    }
    if (z.avail_in == 0) return 0;
  }
}

int32_t FinishDeflate(ZRowContext& Context) {
  if (!Context.Active || !Context.IsDeflate) return Z_STREAM_ERROR;
  z_stream& z = Context.Stream;
  z.next_in = nullptr;
  z.avail_in = 0;
  while (true) {
    const int result = deflate(&z, Z_FINISH);
    if (result < 0 && result != Z_BUF_ERROR) return result;
    if (result == Z_STREAM_END) return DeflatePending(Context) > 0 ? DeliverOutput(Context) : 0;
    if (z.avail_out == 0) {
      const int32_t delivered = DeliverOutput(Context);
      if (delivered != 0) return delivered;
    } else if (result == Z_BUF_ERROR) {
      return result;  // no progress with room left: the stream cannot be finished
    }
  }
}

void ResetDeflate(ZRowContext& Context) {
  if (Context.Active && Context.IsDeflate) deflateReset(&Context.Stream);
  Context.Stream.next_out = Context.ZBuffer.get();
  Context.Stream.avail_out = static_cast<uInt>(Context.ZBufferSize);
}
