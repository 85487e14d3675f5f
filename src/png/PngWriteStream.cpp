// The PNG encoder: options, the chunk sequence before the image data, and the entry EncodeImage.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "ByteOrder.h"
#include "PngWriteStream.h"
#include "SFunc.h"

namespace {

// Six bytes of bKGD or tRNS for RGB output: red, green and blue as 16-bit values 0..255.
std::vector<uint8_t> RgbSamples(TColor Color) {
  std::vector<uint8_t> data;
  AppendBE16(data, GetRValue(Color));
  AppendBE16(data, GetGValue(Color));
  AppendBE16(data, GetBValue(Color));
  return data;
}

}  // namespace

TPngTime PngCurrentTime() {
  const TSystemTime now = GetSystemTime();
  TPngTime time;
  time.Year = now.wYear;
  time.Month = static_cast<uint8_t>(now.wMonth);
  time.Day = static_cast<uint8_t>(now.wDay);
  time.Hour = static_cast<uint8_t>(now.wHour);
  time.Minute = static_cast<uint8_t>(now.wMinute);
  time.Second = static_cast<uint8_t>(now.wSecond);
  return time;
}

TPngWriteStream::TPngWriteStream() {
  Z.Owner = this;
  Z.BufferCallback = &TPngWriteStream::WriteIDAT;
}

TPngWriteStream::~TPngWriteStream() = default;

void TPngWriteStream::SetIDATSize(int32_t Value) {
  if (Value < MinIDATSize || Value > MaxIDATSize) throw EPngError(SPngIDATSize);
  FIDATSize = Value;
}

void TPngWriteStream::WriteChunk(uint32_t Type, const uint8_t* Data, int64_t Length) {
  if (Length < 0 || Length > INT32_MAX) throw EPngError(SPngWriteError);
  uint8_t type[4];
  WriteBE32(type, Type);
  uLong crc = crc32(0, type, 4);
  WriteUInt32BE(static_cast<uint32_t>(Length));
  WriteUInt32BE(Type);
  if (Length > 0) {
    // zlib's crc32 takes at most 4 GiB - 1 bytes a call; a chunk is below 2 GiB.
    crc = crc32(crc, Data, static_cast<uInt>(Length));
    WriteBytes(Data, static_cast<int32_t>(Length));
  }
  WriteUInt32BE(static_cast<uint32_t>(crc));
}

void TPngWriteStream::WriteText(const std::string& Keyword, const std::string& Text) {
  if (Text.empty() || Keyword.size() > 79) return;
  std::vector<uint8_t> data(Keyword.begin(), Keyword.end());
  data.push_back(0);
  data.insert(data.end(), Text.begin(), Text.end());
  WriteChunk(ChunkTEXT, data.data(), static_cast<int64_t>(data.size()));
}

void TPngWriteStream::ResetWorkingState() {
  SourceBits = PixelFormatBits(Bitmap->PixelFormat());
  OutputDepth = (SourceBits == 15 || SourceBits == 16) ? 24 : SourceBits;
  Width = Bitmap->Width();
  Height = Bitmap->Height();
  GrayOutput = AlphaOutput = IndexMode = false;
  Z.FilterOption = FilterType;

  const TBitmap* alpha = AlphaSource;
  AcceptedAlpha = (alpha && alpha != Bitmap && !alpha->Empty() && alpha->Width() == Width &&
                   alpha->Height() == Height && alpha->PixelFormat() == pf8bit)
                      ? alpha
                      : nullptr;
  const bool withAlpha = AcceptedAlpha != nullptr;
  IndexMode = PaletteAsGrayAlpha && SourceBits == 8 && withAlpha && !GrayScale;

  if (SourceBits <= 8) {
    if (GrayScale || IndexMode) {
      GrayOutput = true;
      AlphaOutput = withAlpha && SourceBits == 8;
      Z.BitsPerPixel = AlphaOutput ? 16 : SourceBits;
    } else {
      Z.BitsPerPixel = SourceBits;
    }
  } else {
    GrayOutput = GrayScale;
    AlphaOutput = withAlpha;
    if (GrayOutput) OutputDepth = 8;
    Z.BitsPerPixel = (GrayOutput ? 8 : 24) + (AlphaOutput ? 8 : 0);
  }
  Z.FilterDepth = OutputDepth;

  // The colours the indices stand for: at most as many entries as the depth can index. An indexed bitmap
  // without a palette shows the platform's default one, which is what a palette file then has to carry.
  PaletteCount = 0;
  if (SourceBits <= 8) {
    PaletteCount = std::min(ReadPaletteEntries(Bitmap->Palette(), PaletteEntries), int32_t{1} << SourceBits);
    const bool writesPalette = !GrayOutput || IndexMode;
    if (PaletteCount == 0 && writesPalette)
      PaletteCount = ReadPaletteEntries(DefaultPalette(SourceBits), PaletteEntries);
  }
}

int32_t TPngWriteStream::GraySampleOf(TColor Color) const {
  if (IsPaletteIndexColor(Color) && SourceBits <= 8) {
    const int32_t index = Color & 0xFF;
    if (index >= PaletteCount) return -1;
    const TPaletteEntry& e = PaletteEntries[static_cast<size_t>(index)];
    Color = RGB(e.peRed, e.peGreen, e.peBlue);
  }
  const uint8_t g = GrayOfRgb(GetRValue(Color), GetGValue(Color), GetBValue(Color));
  switch (SourceBits) {
    case 1:
      return g >= 128 ? 1 : 0;
    case 4:
      return g / 16;
    default:
      return g;
  }
}

int32_t TPngWriteStream::PaletteIndexOf(TColor Color) const {
  if (IsPaletteIndexColor(Color)) {
    const int32_t index = Color & 0xFF;
    return index < PaletteCount ? index : -1;
  }
  return NearestPaletteIndex(std::span<const TPaletteEntry>(PaletteEntries.data(), PaletteCount), Color);
}

void TPngWriteStream::WriteTime() {
  TPngTime time;
  if (UseCurrentTime) {
    time = PngCurrentTime();
  } else if (ImageTime) {
    time = *ImageTime;
  } else {
    return;
  }
  if (time.Year == 0 || time.Month < 1 || time.Month > 12 || time.Day < 1 || time.Day > 31 ||
      time.Hour > 23 || time.Minute > 59 || time.Second > 60)
    return;
  std::vector<uint8_t> data;
  AppendBE16(data, time.Year);
  data.insert(data.end(), {time.Month, time.Day, time.Hour, time.Minute, time.Second});
  WriteChunk(ChunkTIME, data.data(), static_cast<int64_t>(data.size()));
}

void TPngWriteStream::WriteSignificantBits() {
  int32_t bits = SignificantBits;
  if (SourceBits == 15 || SourceBits == 16) {
    bits = 5 | (SourceBits == 15 ? 5 : 6) << 8 | 5 << 16;
    if (AlphaOutput) bits |= 8 << 24;
  }
  if (bits <= 0 || GrayOutput) return;
  uint8_t data[4];
  WriteLE32(data, static_cast<uint32_t>(bits));
  WriteChunk(ChunkSBIT, data, AlphaOutput ? 4 : 3);
}

void TPngWriteStream::WritePalette() {
  if (OutputDepth > 8 || (GrayOutput && !IndexMode) || PaletteCount == 0) return;
  std::vector<uint8_t> data;
  for (int32_t i = 0; i < PaletteCount; ++i) {
    const TPaletteEntry& e = PaletteEntries[static_cast<size_t>(i)];
    data.insert(data.end(), {e.peRed, e.peGreen, e.peBlue});
  }
  WriteChunk(ChunkPLTE, data.data(), static_cast<int64_t>(data.size()));
}

void TPngWriteStream::WriteBackground() {
  if (BackgroundColor == -1) return;
  std::vector<uint8_t> data;
  if (GrayOutput && !IndexMode) {
    const int32_t sample = GraySampleOf(BackgroundColor);
    if (sample < 0) return;
    AppendBE16(data, static_cast<uint16_t>(sample));
  } else if (SourceBits <= 8) {
    const int32_t index = PaletteIndexOf(BackgroundColor);
    if (index < 0) return;
    data.push_back(static_cast<uint8_t>(index));
  } else {
    data = RgbSamples(BackgroundColor);
  }
  WriteChunk(ChunkBKGD, data.data(), static_cast<int64_t>(data.size()));
}

void TPngWriteStream::WriteTransparency() {
  if (!AlphaOutput && !GrayOutput && SourceBits <= 8 && !TransparencyTable.empty()) {
    const size_t count = std::min(TransparencyTable.size(), static_cast<size_t>(PaletteCount));
    if (count > 0) WriteChunk(ChunkTRNS, TransparencyTable.data(), static_cast<int64_t>(count));
    return;
  }
  if (AlphaOutput || TransparentColor == -1) return;
  std::vector<uint8_t> data;
  if (GrayOutput) {
    const int32_t sample = GraySampleOf(TransparentColor);
    if (sample < 0) return;
    AppendBE16(data, static_cast<uint16_t>(sample));
  } else if (SourceBits <= 8) {
    // Entries before the transparent one stay opaque.
    const int32_t index = PaletteIndexOf(TransparentColor);
    if (index < 0) return;
    data.assign(static_cast<size_t>(index) + 1, 255);
    data.back() = 0;
  } else {
    data = RgbSamples(TransparentColor);
  }
  WriteChunk(ChunkTRNS, data.data(), static_cast<int64_t>(data.size()));
}

void TPngWriteStream::WritePhysicalSize() {
  if (PhysX <= 0 || PhysY <= 0) return;
  int64_t x = PhysX, y = PhysY;
  if (PhysUnit == 2) {
    // Pixels per inch to pixels per metre.
    x = static_cast<int64_t>(static_cast<long double>(x * 100) / 254 * 100);
    y = static_cast<int64_t>(static_cast<long double>(y * 100) / 254 * 100);
  } else if (PhysUnit != 0 && PhysUnit != 1) {
    return;  // no such unit
  }
  if (x > INT32_MAX || y > INT32_MAX) return;  // not representable in the chunk
  std::vector<uint8_t> data;
  AppendBE32(data, static_cast<uint32_t>(x));
  AppendBE32(data, static_cast<uint32_t>(y));
  data.push_back(PhysUnit == 0 ? 0 : 1);
  WriteChunk(ChunkPHYS, data.data(), static_cast<int64_t>(data.size()));
}

void TPngWriteStream::WriteHeaderChunks() {
  uint8_t colorType = 3;
  if (GrayOutput)
    colorType = AlphaOutput ? 4 : 0;
  else if (SourceBits > 8)
    colorType = AlphaOutput ? 6 : 2;
  const uint8_t bitDepth = static_cast<uint8_t>(SourceBits <= 8 ? SourceBits : 8);
  std::vector<uint8_t> header;
  AppendBE32(header, static_cast<uint32_t>(Width));
  AppendBE32(header, static_cast<uint32_t>(Height));
  header.insert(header.end(), {bitDepth, colorType, 0, 0, static_cast<uint8_t>(Interlaced() ? 1 : 0)});
  WriteChunk(ChunkIHDR, header.data(), static_cast<int64_t>(header.size()));

  WriteTime();
  WriteText("Comment", Comment);
  WriteText("Software", PngSoftwareName);

  const bool hooked = !Key.empty() && static_cast<bool>(OnEncodeRow);
  const uint8_t tile[8] = {
      'T', 'L', 'R', '3', static_cast<uint8_t>(hooked ? 1 : 0), static_cast<uint8_t>(IndexMode ? 1 : 0),
      0,   0};
  WriteChunk(ChunkTILE, tile, sizeof tile);

  if (GifControl) {
    const TPngGifControl& gif = *GifControl;
    if (gif[0] != 0 || gif[1] != 0 || gif[2] != 0 || gif[3] != 0) WriteChunk(ChunkGIFG, gif.data(), 4);
  }

  const double gamma = std::trunc(Gamma * 100000.0);
  if (gamma > 0 && gamma <= INT32_MAX) {
    std::vector<uint8_t> data;
    AppendBE32(data, static_cast<uint32_t>(gamma));
    WriteChunk(ChunkGAMA, data.data(), 4);
  }

  if (Chromaticity && (*Chromaticity)[0] != 0 && (*Chromaticity)[1] != 0) {
    std::vector<uint8_t> data;
    for (const int32_t value : *Chromaticity) AppendBE32(data, static_cast<uint32_t>(value));
    WriteChunk(ChunkCHRM, data.data(), static_cast<int64_t>(data.size()));
  }

  WriteSignificantBits();
  WritePalette();
  WriteBackground();
  WriteTransparency();
  WritePhysicalSize();
}

void TPngWriteStream::EncodeImage() {
  // A PNG image has at least one row and one column; refuse before anything is written.
  if (!Bitmap || Bitmap->Width() <= 0 || Bitmap->Height() <= 0) throw EPngError(SPngWriteSize);
  ResetWorkingState();

  BeginProgress();
  BeginProgressRange(1, 10, 30);
  if (WriteSignature) WriteBytes(PngSignature.data(), static_cast<int32_t>(PngSignature.size()));
  WriteHeaderChunks();
  StepProgress(10);
  if (Stopped) return;
  WriteImageData();
  if (Stopped) return;
  WriteChunk(ChunkIEND, nullptr, 0);
  EndProgress();
}
