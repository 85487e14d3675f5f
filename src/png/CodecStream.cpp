#include "CodecStream.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "ByteOrder.h"
#include "SFunc.h"

// ---------------------------------------------------------------------------------------------------------------
// Progress

void TCodecProgress::Begin() {
  Base = 0;
  Last = 0;
  Share = 0;
  Left = 99;
}

void TCodecProgress::BeginRange(int32_t RangeMode, int64_t RangeTotal, int32_t Percent, int64_t RangeStart) {
  Base += Share;
  Last = Base;
  Left -= Share;
  Mode = RangeMode;
  Total = RangeTotal == 0 ? 1 : RangeTotal;
  Start = RangeStart;
  Share = (Percent == 0 || Percent >= 100) ? Left : static_cast<int32_t>(int64_t{Left} * Percent / 100);
}

int32_t TCodecProgress::Advance(int64_t Done, bool Cap) {
  const int64_t part = (Cap && Done >= Total) ? Share : Done * Share / Total;
  const int64_t percent = Base + part;
  if (percent <= Last) return -1;
  Last = ClampToInt32(percent);
  return Last;
}

// Raises the bitmap's progress notification: 0 starting, 1..99 running, anything else ending (as 100).
static void NotifyBitmapProgress(TBitmap* Bitmap, int32_t Percent, const std::string& Message) {
  if (Bitmap == nullptr || !Bitmap->OnProgress) return;
  TProgressStage stage = psRunning;
  if (Percent == 0) {
    stage = psStarting;
  } else if (Percent < 1 || Percent > 99) {
    stage = psEnding;
    Percent = 100;
  }
  Bitmap->Progress(Bitmap, stage, static_cast<uint8_t>(Percent), false, Rect(0, 0, 0, 0), Message);
}

// ---------------------------------------------------------------------------------------------------------------
// TCodecReadStream

TCodecReadStream::TCodecReadStream() = default;
TCodecReadStream::~TCodecReadStream() = default;

bool TCodecReadStream::DoProgress(int32_t) {
  return false;
}

void TCodecReadStream::Open(TStream* NewSource, int64_t Size) {
  Source = NewSource;
  StartPosition = Source->Position();
  const int64_t available = Source->Size() - StartPosition;
  Limit = Size > 0 ? std::min(Size, available) : available;
  Consumed = 0;
  Stopped = false;
  PastEnd = false;
  MacBinaryFound = false;
  Buffered = 0;
  Cursor = nullptr;
  InPlace = false;
  if (Limit <= 0) {
    Limit = 0;
    PastEnd = true;
    return;
  }
  if (auto* memory = dynamic_cast<TMemoryStream*>(Source)) {
    // The window lies wholly inside the memory block: read it in place.
    InPlace = true;
    Buffer.reset();
    Cursor = memory->Memory() + StartPosition;
    Buffered = Limit;
  } else {
    if (!Buffer) Buffer = std::make_unique<uint8_t[]>(CodecBufferSize);
    Cursor = Buffer.get();
    Refill(0);
  }
  if (CheckMacBinary && Limit > 128 && Buffered > 74 && Cursor[0] == 0 && Cursor[74] == 0) {
    MacBinaryFound = true;
    Advance(128);
  }
}

void TCodecReadStream::Close() {
  Buffer.reset();
  InPlace = false;
  Cursor = nullptr;
  Buffered = 0;
  if (Source != nullptr) Source->Seek(StartPosition + Consumed, soBeginning);
}

// Fills the buffer behind Keep unread bytes already moved to its start.
void TCodecReadStream::Refill(int32_t Keep) {
  const int64_t n = std::min<int64_t>(CodecBufferSize - Keep, Limit - Consumed - Keep);
  if (n > 0) Source->ReadBuffer(Buffer.get() + Keep, n);
  Buffered = Keep + static_cast<int32_t>(std::max<int64_t>(n, 0));
  Cursor = Buffer.get();
}

void TCodecReadStream::Advance(int64_t Count) {
  Cursor += Count;
  Buffered -= Count;
  Consumed += Count;
}

void TCodecReadStream::ReadBytes(void* Dest, int32_t Count) {
  if (PastEnd || Stopped) return;
  if (Count <= 0) {
    Stopped = true;
    return;
  }
  if (Count > Limit - Consumed) {
    PastEnd = true;
    return;
  }
  auto* out = static_cast<uint8_t*>(Dest);
  if (Count <= Buffered) {
    std::memcpy(out, Cursor, static_cast<size_t>(Count));
    Advance(Count);
    return;
  }
  // Larger than what is buffered (never in place, where the whole window is buffered).
  int32_t wanted = Count;
  if (Buffered > 0) {
    const int32_t n = static_cast<int32_t>(Buffered);
    std::memcpy(out, Cursor, static_cast<size_t>(n));
    Advance(n);
    out += n;
    wanted -= n;
  }
  if (wanted >= CodecBufferSize) {
    const int32_t direct = wanted - CodecBufferSize;
    if (direct > 0) {
      Source->ReadBuffer(out, direct);
      Consumed += direct;
      out += direct;
      wanted -= direct;
    }
  }
  Refill(0);
  std::memcpy(out, Cursor, static_cast<size_t>(wanted));
  Advance(wanted);
}

const uint8_t* TCodecReadStream::ReadInPlace(int32_t Count) {
  if (!InPlace || PastEnd || Stopped || Count <= 0 || Count > Limit - Consumed) return nullptr;
  const uint8_t* data = Cursor;
  Advance(Count);
  return data;
}

const uint8_t* TCodecReadStream::Take(int32_t Count) {
  if (PastEnd || Stopped) return nullptr;
  if (Consumed + Count > Limit) {
    PastEnd = true;
    return nullptr;
  }
  if (Buffered < Count) {
    const int32_t keep = static_cast<int32_t>(Buffered);
    std::memmove(Buffer.get(), Cursor, static_cast<size_t>(keep));
    Refill(keep);
  }
  const uint8_t* data = Cursor;
  Advance(Count);
  return data;
}

uint8_t TCodecReadStream::ReadByte() {
  const uint8_t* p = Take(1);
  return p ? p[0] : 0;
}

uint16_t TCodecReadStream::ReadUInt16BE() {
  const uint8_t* p = Take(2);
  return p ? ReadBE16(std::span<const uint8_t, 2>(p, 2)) : 0;
}

uint32_t TCodecReadStream::ReadUInt32BE() {
  const uint8_t* p = Take(4);
  return p ? ReadBE32(std::span<const uint8_t, 4>(p, 4)) : 0;
}

void TCodecReadStream::Skip(int32_t Count) {
  if (PastEnd || Stopped) return;
  if (Count > Limit - Consumed) {
    PastEnd = true;
  } else if (Count <= 0) {
    Stopped = true;
  } else if (Count <= Buffered) {
    Advance(Count);
  } else {
    Consumed += Count;
    Source->Seek(Count - Buffered, soCurrent);
    Buffered = 0;
  }
}

void TCodecReadStream::BeginProgress() {
  Progress.Begin();
  Stopped = false;
  Stopped = DoProgress(0);
}

void TCodecReadStream::BeginProgressRange(int32_t Mode, int64_t Total, int32_t Percent) {
  if (Mode == 0)
    Progress.BeginRange(0, Limit, Percent, Consumed);
  else
    Progress.BeginRange(Mode, Total, Percent, 0);
}

void TCodecReadStream::StepProgress(int64_t Count) {
  const int64_t done = Progress.Mode == 0 ? Consumed - Progress.Start : Count;
  const int32_t percent = Progress.Advance(done, true);
  if (percent < 0) return;
  if (Progress.Mode != 0) Progress.LastCount = ClampToInt32(Count);
  // The flag stays sticky: a progress report may set it but never clears a stop already made.
  if (DoProgress(percent)) Stopped = true;
}

void TCodecReadStream::EndProgress() {
  if (DoProgress(100)) Stopped = true;
}

// ---------------------------------------------------------------------------------------------------------------
// TCodecGraphicReadStream

TCodecGraphicReadStream::TCodecGraphicReadStream() {
  CheckMacBinary = true;
}
TCodecGraphicReadStream::~TCodecGraphicReadStream() = default;

RGBQUAD* TCodecGraphicReadStream::AllocatePalette() {
  if (!FPalette) FPalette = std::make_unique<std::array<RGBQUAD, 256>>();
  return FPalette->data();
}

bool TCodecGraphicReadStream::DoProgress(int32_t Percent) {
  if (!NoBitmap) NotifyBitmapProgress(Bitmap, Percent, ProgressMessage);
  return false;
}

void TCodecGraphicReadStream::ReadGraphic(TBitmap* NewBitmap, TStream& NewSource, int64_t Size) {
  Bitmap = NewBitmap;
  NoBitmap = Bitmap == nullptr;
  TNotifyEvent savedOnChange;
  if (Bitmap != nullptr) savedOnChange = std::exchange(Bitmap->OnChange, nullptr);
  const TScopeGuard restore([&] {
    Close();
    FPalette.reset();
    if (Bitmap != nullptr) Bitmap->OnChange = std::move(savedOnChange);
  });
  Open(&NewSource, Size);
  Comment.clear();
  PaletteCount = 0;
  PhysUnit = 0;
  PhysX = 0;
  PhysY = 0;
  DecodeImage();
}

void TCodecGraphicReadStream::PrepareBitmap() {
  if (NoBitmap) return;
  Bitmap->Assign(nullptr);
  Bitmap->SetTransparent(false);
  Bitmap->SetPixelFormat(BitsToPixelFormat(BitCount));
  Bitmap->SetSize(Width, Height);
  if (FPalette) Bitmap->SetPalette(MakePalette(FPalette->data(), PaletteCount));
}

// ---------------------------------------------------------------------------------------------------------------
// TCodecWriteStream

TCodecWriteStream::TCodecWriteStream() : Buffer(std::make_unique<uint8_t[]>(CodecBufferSize)) {
  Cursor = Buffer.get();
}
TCodecWriteStream::~TCodecWriteStream() = default;

bool TCodecWriteStream::DoProgress(int32_t) {
  return false;
}

void TCodecWriteStream::Open(TStream* NewSink) {
  Sink = NewSink;
  Cursor = Buffer.get();
  TotalWritten = 0;
  Buffered = 0;
}

void TCodecWriteStream::WriteBytes(const void* Data, int32_t Count) {
  if (Stopped) return;
  if (Count <= 0) {
    Stopped = true;
    return;
  }
  if (Count >= CodecDirectWriteSize) {
    Flush();
    Sink->WriteBuffer(Data, Count);
    TotalWritten += Count;
    return;
  }
  if (Buffered + Count >= CodecBufferSize) Flush();
  std::memcpy(Cursor, Data, static_cast<size_t>(Count));
  Cursor += Count;
  Buffered += Count;
}

void TCodecWriteStream::WriteUInt32BE(uint32_t Value) {
  if (Stopped) return;
  if (Buffered + 4 >= CodecBufferSize) Flush();
  WriteBE32(std::span<uint8_t, 4>(Cursor, 4), Value);
  Cursor += 4;
  Buffered += 4;
}

void TCodecWriteStream::Flush() {
  if (Buffered == 0) return;
  Sink->WriteBuffer(Buffer.get(), Buffered);
  TotalWritten += Buffered;
  Buffered = 0;
  Cursor = Buffer.get();
}

void TCodecWriteStream::BeginProgress() {
  Progress.Begin();
  Stopped = false;
  Stopped = DoProgress(0);
}

void TCodecWriteStream::BeginProgressRange(int32_t, int64_t Total, int32_t Percent) {
  Progress.BeginRange(1, Total, Percent, 0);
}

void TCodecWriteStream::StepProgress(int64_t Count) {
  const int32_t percent = Progress.Advance(Count, false);
  if (percent < 0) return;
  Progress.LastCount = ClampToInt32(Count);
  // The flag stays sticky: a progress report may set it but never clears a stop already made.
  if (DoProgress(percent)) Stopped = true;
}

void TCodecWriteStream::EndProgress() {
  if (DoProgress(100)) Stopped = true;
}

// ---------------------------------------------------------------------------------------------------------------
// TCodecGraphicWriteStream

bool TCodecGraphicWriteStream::DoProgress(int32_t Percent) {
  NotifyBitmapProgress(Bitmap, Percent, ProgressMessage);
  return false;
}

void TCodecGraphicWriteStream::WriteGraphic(TBitmap* NewBitmap, TStream& NewSink) {
  Open(&NewSink);
  Bitmap = NewBitmap;
  EncodeImage();
  if (Buffered > 0) Flush();
}
