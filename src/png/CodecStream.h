// Buffered byte streams of the PNG codec: a forward-only reader over a window of a platform stream with
// sticky PastEnd/Stopped flags in place of exceptions, the write-side twin, and the progress bookkeeping both
// share.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "Classes.h"
#include "Graphics.h"

// Size of the read and write buffers.
inline constexpr int32_t CodecBufferSize = 65536;
// Writes of at least this many bytes bypass the write buffer.
inline constexpr int32_t CodecDirectWriteSize = 65520;

// Percent bookkeeping of a read or a write: 99 points shared out over successive ranges, each range measured
// by a position or by a count of units. Products are formed in 64 bits before the division.
struct TCodecProgress {
  int32_t Base = 0;       // percent reached before the current range
  int32_t Last = 0;       // last percent delivered
  int32_t Share = 0;      // percent given to the current range
  int32_t Left = 0;       // percent not yet given to a range
  int64_t Total = 1;      // bytes or units of the current range; never 0
  int32_t Mode = 1;       // 0: measured by position; 1: by a count
  int64_t Start = 0;      // position at which a range measured by position began
  int32_t LastCount = 0;  // count of the last delivered step of a counted range

  void Begin();
  void BeginRange(int32_t RangeMode, int64_t RangeTotal, int32_t Percent, int64_t RangeStart);
  // The percent reached after Done units (Done clamped to the range total when Cap is set); -1 when it does
  // not exceed the last percent delivered, which otherwise becomes it.
  int32_t Advance(int64_t Done, bool Cap);
};

// Forward-only buffered reader over a window of a platform stream. Reads past the window set PastEnd,
// zero-length requests set Stopped; both are sticky until the next Open, and after either every read returns
// 0 and leaves its destination untouched. Errors of the platform stream pass through.
class TCodecReadStream : public TObject {
 public:
  TCodecReadStream();
  ~TCodecReadStream() override;
  TCodecReadStream(const TCodecReadStream&) = delete;
  TCodecReadStream& operator=(const TCodecReadStream&) = delete;
  const char* ClassName() const override { return "TCodecReadStream"; }

  // Attaches to Source at its current position; the window is Size bytes, or the rest of the stream when Size
  // is 0 or below. The window never extends past the end of the stream. A memory stream is read in place.
  void Open(TStream* Source, int64_t Size);
  // Frees the buffer and leaves Source just behind the bytes consumed.
  void Close();

  void ReadBytes(void* Dest, int32_t Count);
  uint8_t ReadByte();
  uint16_t ReadUInt16BE();
  uint32_t ReadUInt32BE();
  void Skip(int32_t Count);
  // Bytes of the window not yet consumed.
  int64_t Remaining() const { return Limit - Consumed; }
  // While a memory stream is read in place: consumes Count bytes and returns their address, with no copy.
  // Otherwise, or when ReadBytes would refuse the request, nullptr and nothing happens.
  const uint8_t* ReadInPlace(int32_t Count);

  void BeginProgress();
  void BeginProgressRange(int32_t Mode, int64_t Total, int32_t Percent);
  void StepProgress(int64_t Count);
  void EndProgress();

  int64_t Limit = 0;                // bytes of the window that may be read
  int64_t Consumed = 0;             // bytes consumed from the start of the window
  const uint8_t* Cursor = nullptr;  // next unread byte
  int64_t Buffered = 0;             // bytes available at Cursor (the whole window when read in place)
  int64_t StartPosition = 0;        // position of Source when the window was opened
  bool Stopped = false;
  bool PastEnd = false;
  bool CheckMacBinary = false;  // at Open, look for and skip a 128-byte MacBinary header
  bool MacBinaryFound = false;
  TStream* Source = nullptr;  // not owned

 protected:
  // Progress hook; true asks the reader to stop. The base returns false.
  virtual bool DoProgress(int32_t Percent);
  TCodecProgress Progress;

 private:
  void Refill(int32_t Keep);
  void Advance(int64_t Count);
  // Consumes a few bytes (far fewer than the buffer holds) and returns their address; nullptr and nothing
  // consumed once stopped or past the end, or when the window ends first (which sets PastEnd).
  const uint8_t* Take(int32_t Count);
  std::unique_ptr<uint8_t[]> Buffer;  // nil while a memory stream is read in place
  bool InPlace = false;
};

// Reader of one graphic: the target bitmap, the image header fields and the entry point ReadGraphic; a
// decoder subclass supplies DecodeImage.
class TCodecGraphicReadStream : public TCodecReadStream {
 public:
  TCodecGraphicReadStream();
  ~TCodecGraphicReadStream() override;
  const char* ClassName() const override { return "TCodecGraphicReadStream"; }

  // Reads one image from Source (a window of Size bytes, or the rest when Size <= 0) into Bitmap; with a null
  // Bitmap only the header is read. Source is always left just behind the bytes consumed.
  void ReadGraphic(TBitmap* Bitmap, TStream& Source, int64_t Size);

  std::string Comment;
  int32_t Width = 0;
  int32_t Height = 0;
  int32_t BitCount = 0;
  int32_t BitDepth = 0;
  int32_t PaletteCount = 0;
  int32_t PhysUnit = 0;
  int32_t PhysX = 0;
  int32_t PhysY = 0;
  TBitmap* Bitmap = nullptr;  // not owned
  std::string ProgressMessage;
  bool NoBitmap = false;

  // The 256-entry palette (blue, green, red, reserved), allocated on first use and freed at the end of every
  // read.
  RGBQUAD* AllocatePalette();
  RGBQUAD* Palette() const { return FPalette ? FPalette->data() : nullptr; }

 protected:
  bool DoProgress(int32_t Percent) override;
  virtual void DecodeImage() = 0;
  // Shapes the bitmap once the header is known: drops its image, clears Transparent, sets the pixel format
  // from BitCount, the size, and the palette when one has been allocated. Nothing when there is no bitmap.
  virtual void PrepareBitmap();

 private:
  std::unique_ptr<std::array<RGBQUAD, 256>> FPalette;
};

// Buffered writer over a platform stream. A zero-length write sets Stopped; later writes are ignored.
class TCodecWriteStream : public TObject {
 public:
  TCodecWriteStream();
  ~TCodecWriteStream() override;
  TCodecWriteStream(const TCodecWriteStream&) = delete;
  TCodecWriteStream& operator=(const TCodecWriteStream&) = delete;
  const char* ClassName() const override { return "TCodecWriteStream"; }

  void Open(TStream* Sink);
  void WriteBytes(const void* Data, int32_t Count);
  void WriteUInt32BE(uint32_t Value);
  void Flush();

  void BeginProgress();
  void BeginProgressRange(int32_t Mode, int64_t Total, int32_t Percent);
  void StepProgress(int64_t Count);
  void EndProgress();

  int32_t Buffered = 0;
  int64_t TotalWritten = 0;  // bytes handed to the sink so far
  uint8_t* Cursor = nullptr;
  TStream* Sink = nullptr;  // not owned
  bool Stopped = false;
  std::string ProgressMessage;

 protected:
  virtual bool DoProgress(int32_t Percent);
  TCodecProgress Progress;

 private:
  std::unique_ptr<uint8_t[]> Buffer;
};

// Writer of one graphic: the source bitmap and the entry point WriteGraphic; an encoder subclass supplies
// EncodeImage.
class TCodecGraphicWriteStream : public TCodecWriteStream {
 public:
  const char* ClassName() const override { return "TCodecGraphicWriteStream"; }
  // Open (Sink), EncodeImage, then flush what is buffered. On an exception buffered bytes are not written.
  void WriteGraphic(TBitmap* Bitmap, TStream& Sink);

  TBitmap* Bitmap = nullptr;  // the source image; not owned

 protected:
  bool DoProgress(int32_t Percent) override;
  virtual void EncodeImage() = 0;
};
