// The encoder's image data: row conversion to PNG samples, the Adam7 passes, filtering and the zlib stream
// that is cut into IDAT chunks.
#include <cstring>
#include <exception>
#include <utility>

#include "ByteOrder.h"
#include "PngWriteStream.h"
#include "SFunc.h"

namespace {

struct TRgb {
  uint8_t Red, Green, Blue;
};

uint8_t Expand5(uint32_t v) {
  return static_cast<uint8_t>((v << 3) | (v >> 2));
}
uint8_t Expand6(uint32_t v) {
  return static_cast<uint8_t>((v << 2) | (v >> 4));
}

// Pixel X of a DIB-layout row of 15, 16, 24 or 32 bits.
template <int Bits>
TRgb SourcePixel(const uint8_t* Row, int32_t X) {
  if constexpr (Bits == 15 || Bits == 16) {
    const uint32_t w = ReadLE16(std::span<const uint8_t, 2>(Row + 2 * X, 2));
    if constexpr (Bits == 15) return {Expand5((w >> 10) & 31), Expand5((w >> 5) & 31), Expand5(w & 31)};
    return {Expand5(w >> 11), Expand6((w >> 5) & 63), Expand5(w & 31)};
  } else {
    const uint8_t* p = Row + static_cast<size_t>(X) * (Bits / 8);
    return {p[2], p[1], p[0]};
  }
}

}  // namespace

template <int Bits>
void TPngWriteStream::ConvertPacked(const uint8_t* Source, const uint8_t*) {
  uint8_t* out = Z.CurrentRow;
  const int32_t count = Z.RowLength - 1;
  if (PassStep == 1) {
    std::memcpy(out, Source, static_cast<size_t>(count));
  } else {
    // Pack the pass's pixels from the high bits down; bits without a pixel stay 0.
    std::memset(out, 0, static_cast<size_t>(count));
    constexpr int perByte = 8 / Bits;
    constexpr uint32_t mask = (1u << Bits) - 1;
    for (int32_t k = 0, x = PassStart; k < PassWidth; ++k, x += PassStep) {
      const int srcShift = 8 - Bits - (x % perByte) * Bits;
      const uint32_t v = (Source[x / perByte] >> srcShift) & mask;
      out[k / perByte] |= static_cast<uint8_t>(v << (8 - Bits - (k % perByte) * Bits));
    }
  }
  if (!GrayOutput) return;
  if constexpr (Bits == 1) {
    if (GrayMap[0] == 255)
      for (int32_t i = 0; i < count; ++i) out[i] = static_cast<uint8_t>(~out[i]);
  } else {
    for (int32_t i = 0; i < count; ++i)
      out[i] = static_cast<uint8_t>(GrayMap[out[i] >> 4] << 4 | GrayMap[out[i] & 15]);
  }
}

void TPngWriteStream::ConvertIndex(const uint8_t* Source, const uint8_t* Alpha) {
  uint8_t* out = Z.CurrentRow;
  if (!AlphaOutput) {
    if (PassStep == 1) {
      std::memcpy(out, Source, static_cast<size_t>(PassWidth));
      return;
    }
    for (int32_t k = 0, x = PassStart; k < PassWidth; ++k, x += PassStep) out[k] = Source[x];
    return;
  }
  for (int32_t k = 0, x = PassStart; k < PassWidth; ++k, x += PassStep) {
    out[2 * k] = Source[x];
    out[2 * k + 1] = static_cast<uint8_t>(255 - Alpha[x]);
  }
}

void TPngWriteStream::ConvertGrayIndex(const uint8_t* Source, const uint8_t* Alpha) {
  uint8_t* out = Z.CurrentRow;
  if (!AlphaOutput) {
    for (int32_t k = 0, x = PassStart; k < PassWidth; ++k, x += PassStep) out[k] = GrayMap[Source[x]];
    return;
  }
  for (int32_t k = 0, x = PassStart; k < PassWidth; ++k, x += PassStep) {
    out[2 * k] = GrayMap[Source[x]];
    out[2 * k + 1] = static_cast<uint8_t>(255 - Alpha[x]);
  }
}

template <int Bits, bool Gray, bool WithAlpha>
void TPngWriteStream::ConvertDirect(const uint8_t* Source, const uint8_t* Alpha) {
  uint8_t* out = Z.CurrentRow;
  for (int32_t k = 0, x = PassStart; k < PassWidth; ++k, x += PassStep) {
    const TRgb p = SourcePixel<Bits>(Source, x);
    if constexpr (Gray) {
      *out++ = GrayOfRgb(p.Red, p.Green, p.Blue);
    } else {
      out[0] = p.Red;
      out[1] = p.Green;
      out[2] = p.Blue;
      out += 3;
    }
    if constexpr (WithAlpha) *out++ = static_cast<uint8_t>(255 - Alpha[x]);
  }
}

void TPngWriteStream::ChooseRowConverter() {
  switch (SourceBits) {
    case 1:
      RowConverter = &TPngWriteStream::ConvertPacked<1>;
      return;
    case 4:
      RowConverter = &TPngWriteStream::ConvertPacked<4>;
      return;
    case 8:
      RowConverter =
          (GrayOutput && !IndexMode) ? &TPngWriteStream::ConvertGrayIndex : &TPngWriteStream::ConvertIndex;
      return;
  }
#define TILORA_DIRECT(bits)                                                                      \
  RowConverter = GrayOutput ? (AlphaOutput ? &TPngWriteStream::ConvertDirect<bits, true, true>   \
                                           : &TPngWriteStream::ConvertDirect<bits, true, false>) \
                            : (AlphaOutput ? &TPngWriteStream::ConvertDirect<bits, false, true>  \
                                           : &TPngWriteStream::ConvertDirect<bits, false, false>)
  switch (SourceBits) {
    case 15:
      TILORA_DIRECT(15);
      break;
    case 16:
      TILORA_DIRECT(16);
      break;
    case 32:
      TILORA_DIRECT(32);
      break;
    default:
      TILORA_DIRECT(24);
      break;
  }
#undef TILORA_DIRECT
}

void TPngWriteStream::BuildGrayMap() {
  if (PaletteCount == 0) {
    for (int32_t i = 0; i < (1 << SourceBits); ++i) GrayMap[static_cast<size_t>(i)] = static_cast<uint8_t>(i);
    return;
  }
  auto weighted = [this](int32_t i) {
    const TPaletteEntry& e = PaletteEntries[static_cast<size_t>(i)];
    return 77u * e.peRed + 150u * e.peGreen + 29u * e.peBlue;
  };
  if (SourceBits == 1) {
    // Invert when entry 0 is the brighter one, so that the brighter entry becomes sample 1.
    GrayMap[0] = (PaletteCount >= 2 && weighted(0) / 256 > weighted(1) / 256) ? 255 : 0;
    return;
  }
  const uint32_t divisor = SourceBits == 4 ? 4096 : 256;
  for (int32_t i = 0; i < PaletteCount; ++i)
    GrayMap[static_cast<size_t>(i)] = static_cast<uint8_t>(weighted(i) / divisor);
}

int32_t TPngWriteStream::WriteIDAT(ZRowContext& Context) {
  auto* self = static_cast<TPngWriteStream*>(Context.Owner);
  self->WriteChunk(ChunkIDAT, Context.ZBuffer.get(), DeflatePending(Context));
  return 0;
}

void TPngWriteStream::StartPass(int32_t Pass) {
  if (Interlaced()) {
    PassWidth = Adam7PassColumns(Pass, Width);
    PassStart = Adam7Passes[static_cast<size_t>(Pass)].FirstColumn;
    PassStep = Adam7Passes[static_cast<size_t>(Pass)].ColumnStep;
  } else {
    PassWidth = Width;
    PassStart = 0;
    PassStep = 1;
  }
  Z.RowLength = static_cast<int32_t>((int64_t{PassWidth} * Z.BitsPerPixel + 7) / 8 + 1);
  std::memset(Z.PreviousRow, 0, static_cast<size_t>(Z.RowLength));
}

void TPngWriteStream::WriteRows() {
  // Read the source through a const view so that a shared image is never unshared.
  const TBitmap& source = *Bitmap;
  const bool hooked = !Key.empty() && static_cast<bool>(OnEncodeRow);
  int64_t counter = 1;
  const int32_t passes = Interlaced() ? 7 : 1;
  for (int32_t pass = 0; pass < passes; ++pass) {
    int32_t firstRow = 0, rowStep = 1, rows = Height;
    if (Interlaced()) {
      firstRow = Adam7Passes[static_cast<size_t>(pass)].FirstRow;
      rowStep = Adam7Passes[static_cast<size_t>(pass)].RowStep;
      rows = Adam7PassRows(pass, Height);
      if (rows == 0 || Adam7PassColumns(pass, Width) == 0) continue;  // a pass without pixels has no data
    }
    StartPass(pass);
    for (int32_t r = 0, y = firstRow; r < rows; ++r, y += rowStep) {
      (this->*RowConverter)(source.ScanLine(y), AlphaOutput ? AcceptedAlpha->ScanLine(y) : nullptr);
      if (hooked) OnEncodeRow(this, Z.CurrentRow, Z.RowLength - 1, static_cast<int32_t>(counter - 1), Key);
      const uint8_t* filtered = ChooseFilter(Z);
      if (DeflateRow(Z, filtered, Z.RowLength) != 0) throw EPngError(SPngWriteError);
      std::swap(Z.CurrentRow, Z.PreviousRow);
      if (counter % 4 == 2 || Height < 4) StepProgress(counter);
      ++counter;
      if (Stopped) return;
    }
  }
}

void TPngWriteStream::WriteImageData() {
  // Four row buffers (raw current, raw previous, chosen, candidate), each ScanlineBytes of the width plus 8,
  // rounded up to 32 bytes and 32-byte aligned, then the 256 counters of the row score: one allocation.
  const int64_t rowBytes = (int64_t{Width} * Z.BitsPerPixel + 7) / 8;
  if (rowBytes + 1 > INT32_MAX) throw EPngError(SPngWriteSize);
  const int64_t stride = (ScanlineBytes(Width, Z.BitsPerPixel) + 8 + 31) & ~int64_t{31};
  const int64_t blockBytes = 4 * stride + 256 * int64_t{sizeof(int32_t)} + 31;
  // Released on every way out: the zlib state, its output buffer and the row buffers.
  TZImageScope image(Z);
  uint8_t* const block = image.AllocateRows(blockBytes);
  const uintptr_t base = reinterpret_cast<uintptr_t>(block);
  uint8_t* aligned = block + ((32 - base % 32) % 32);
  Z.CurrentRow = aligned;
  Z.PreviousRow = aligned + stride;
  Z.FilteredRow = aligned + 2 * stride;
  Z.TrialRow = aligned + 3 * stride;
  Z.ByteCounts = reinterpret_cast<int32_t*>(aligned + 4 * stride);

  if (GrayOutput && !IndexMode && SourceBits <= 8) BuildGrayMap();
  ChooseRowConverter();
  // A compressor that cannot be set up fails the first row.
  const bool ready = StartDeflate(Z, CompressionLevel, FIDATSize) == 0;
  BeginProgressRange(1, Interlaced() ? Adam7TotalRows(Height) : Height, 0);
  std::exception_ptr failure;
  try {
    if (!ready) throw EPngError(SPngWriteError);
    WriteRows();
  } catch (...) {
    failure = std::current_exception();
  }
  // The stream is finished on every way out and what that writes stays. Its outcome is ignored; a failure of
  // the sink passes on, unless the rows failed first: their failure is the one reported.
  try {
    FinishDeflate(Z);
  } catch (...) {
    if (!failure) throw;
  }
  if (failure) std::rethrow_exception(failure);
}
