// The BMP stream reader and writer and the packed-DIB clipboard exchange of the storage.
#include <algorithm>
#include <cstring>
#include <functional>

#include "ByteOrder.h"
#include "DibImage.h"

namespace {

constexpr int64_t FileHeaderSize = BITMAPFILEHEADER::WireSize;
constexpr int64_t InfoHeaderSize = BITMAPINFOHEADER::WireSize;
constexpr int64_t CoreHeaderSize = BITMAPCOREHEADER::WireSize;
constexpr int32_t DefaultResolution = 3780;  // pixels per metre

void ReplaceZeroResolution(BITMAPINFOHEADER& h) {
  if (h.biXPelsPerMeter == 0) h.biXPelsPerMeter = DefaultResolution;
  if (h.biYPelsPerMeter == 0) h.biYPelsPerMeter = DefaultResolution;
}

// Bytes of the three bit-field masks that come between the info header and the colours.
int64_t MaskBytes(const BITMAPINFOHEADER& h) {
  return h.biCompression == BI_BITFIELDS ? 12 : 0;
}

// Bytes of the colour table as stored after the info header: the colours, with the masks in front of them.
// 16- and 32-bit pictures lose their masks when they are read; a bit count that cannot use masks (a picture
// that loads but has no pixel format) keeps them, so they are written back where they were read.
int64_t StoredTableBytes(const BITMAPINFOHEADER& h) {
  return MaskBytes(h) + 4 * static_cast<int64_t>(h.biClrUsed);
}

// Colour table bytes (RGBQUAD entries, and bit-field masks in front of them) into the record's table.
void StoreColorBytes(TDibRecord& record, const uint8_t* bytes, int64_t count) {
  if (count <= 0) return;
  std::memcpy(record.Colors.data(), bytes,
              static_cast<size_t>(std::min<int64_t>(count, sizeof(record.Colors))));
}

// A core header and its RGBTRIPLE table at triples, as an info header and RGBQUAD table.
void CoreHeaderToInfoHeader(const BITMAPCOREHEADER& core, const uint8_t* triples, TDibRecord& record) {
  BITMAPINFOHEADER& h = record.Header;
  h = BITMAPINFOHEADER{};
  h.biSize = 40;
  h.biWidth = core.bcWidth;
  h.biHeight = core.bcHeight;
  h.biPlanes = core.bcPlanes;
  h.biBitCount = core.bcBitCount;
  h.biCompression = BI_RGB;
  h.biSizeImage = 0;
  h.biXPelsPerMeter = DefaultResolution;
  h.biYPelsPerMeter = DefaultResolution;
  h.biClrUsed = static_cast<uint32_t>(DefaultColorCount(h.biBitCount));
  h.biClrImportant = 0;
  for (uint32_t i = 0; i < h.biClrUsed; ++i)
    record.Colors[i] = RGBQUAD{triples[3 * i], triples[3 * i + 1], triples[3 * i + 2], 0};
}

// The pixel byte count of a stored (1, 4, 8 or 24-bit) picture: uncompressed rows must all be there.
void CheckImageSize(const TDibRecord& record, const std::string& method) {
  if (record.ImageSize < 0 || record.ImageSize > MaxPixelBytes)
    throw EDibInvalidDIB(method + ": Invalid Image Size");
  const uint32_t compression = record.Header.biCompression;
  if (compression == BI_RLE8 || compression == BI_RLE4) return;
  if (record.ImageSize < record.RowBytes() * record.AbsHeight())
    throw EDibInvalidDIB(method + ": Image Data Too Short");
}

// One channel of a bit-field pixel: the mask brought into 128..255 by Shift right shifts (left when
// negative).
struct TMaskChannel {
  uint32_t Mask = 0;
  int Shift = 0;
  uint32_t Max = 0;
  explicit TMaskChannel(uint32_t mask) : Mask(mask) {
    uint32_t v = mask;
    while (v >= 256) {
      v >>= 1;
      ++Shift;
    }
    while (v < 128) {
      v <<= 1;
      --Shift;
    }
    Max = v;
  }
  uint8_t Value(uint32_t pixel) const {
    uint32_t v = pixel & Mask;
    v = Shift >= 0 ? v >> Shift : v << -Shift;
    return static_cast<uint8_t>(v * 255 / Max);
  }
};

using TReadRow = std::function<void(uint8_t* Row, int64_t Bytes)>;

// Converts 16- or 32-bit rows, fetched one at a time by readRow, into 24-bit pixel memory; the record's
// header becomes a 24-bit one. With bit fields the masks are the first three colour entries.
void ConvertToTrueColor(TDibRecord& record, bool useFMO, const TReadRow& readRow) {
  BITMAPINFOHEADER& h = record.Header;
  const bool bitFields = h.biCompression == BI_BITFIELDS;
  const bool is16 = h.biBitCount == 16;
  const int64_t width = h.biWidth;
  const int64_t height = record.AbsHeight();
  const int64_t sourceStride = DibRowBytes(width, h.biBitCount);
  const int64_t destStride = DibRowBytes(width, 24);
  uint32_t masks[3];
  if (bitFields) {
    const std::span<const uint8_t> table(reinterpret_cast<const uint8_t*>(record.Colors.data()),
                                         sizeof(record.Colors));
    for (int i = 0; i < 3; ++i) masks[i] = ReadLE32(table, 4 * i);
  } else if (is16) {
    masks[0] = 0x7C00, masks[1] = 0x03E0, masks[2] = 0x001F;
  } else {
    masks[0] = 0xFF0000, masks[1] = 0xFF00, masks[2] = 0xFF;
  }
  if (masks[0] == 0 || masks[1] == 0 || masks[2] == 0)
    throw EDibInvalidDIB("TDibStorage.LoadFromStream: Invalid Masks");
  const TMaskChannel red(masks[0]), green(masks[1]), blue(masks[2]);

  record.ImageSize = destStride * height;
  record.Memory = GetMemory(record.ImageSize, useFMO);
  std::vector<uint8_t> source(static_cast<size_t>(sourceStride));
  for (int64_t y = 0; y < height; ++y) {
    readRow(source.data(), sourceStride);
    // The header still gives the source's bit count here, so the row is found by the 24-bit stride.
    uint8_t* dest = record.Bits() + y * destStride;
    std::memset(dest + destStride - 4, 0, 4);
    const uint8_t* s = source.data();
    for (int64_t x = 0; x < width; ++x, dest += 3) {
      const uint32_t pixel = is16 ? ReadLE16(std::span<const uint8_t, 2>(s + 2 * x, 2))
                                  : ReadLE32(std::span<const uint8_t, 4>(s + 4 * x, 4));
      dest[0] = blue.Value(pixel);
      dest[1] = green.Value(pixel);
      dest[2] = red.Value(pixel);
    }
  }
  if (bitFields) std::memmove(record.Colors.data(), record.Colors.data() + 3, 256 * sizeof(RGBQUAD));
  h.biCompression = BI_RGB;
  h.biBitCount = 24;
  h.biSizeImage = 0;
}

// The pixels of a record whose header and colour table are read: 1, 4, 8 and 24 bits as stored (ImageSize
// bytes), 16 and 32 bits converted to 24. The width must be positive, the height not zero, the bit count one
// of those, and the pixel memory at the bit count it is kept at must fit, checked in that order. fetch copies
// the next bytes of the source, which holds `available` more; a source too short for what the header promises
// calls shortfall before any pixel memory is taken.
void ReadPixelData(TDibRecord& record, bool useFMO, const std::string& method, int64_t available,
                   const std::function<void()>& shortfall, const TReadRow& fetch,
                   const char* invalidBitCount) {
  const BITMAPINFOHEADER& h = record.Header;
  if (h.biWidth <= 0 || h.biHeight == 0)
    throw EDibInvalidDIB("TDibStorage.LoadFromStream: Invalid Width or Height");
  const bool converted = h.biBitCount == 16 || h.biBitCount == 32;
  if (!converted && h.biBitCount != 1 && h.biBitCount != 4 && h.biBitCount != 8 && h.biBitCount != 24)
    throw EDibInvalidDIB(invalidBitCount);
  if (DibImageBytes(h.biWidth, record.AbsHeight(), converted ? 24 : h.biBitCount) < 0)
    throw EDibInvalidDIB(method + ": Image Too Large");
  if (converted) {
    if (DibRowBytes(record.Width(), h.biBitCount) * record.AbsHeight() > available) shortfall();
    ConvertToTrueColor(record, useFMO, fetch);
  } else {
    CheckImageSize(record, method);
    if (record.ImageSize > available) shortfall();
    record.Memory = GetMemory(record.ImageSize, useFMO);
    fetch(record.Bits(), record.ImageSize);
  }
}

int64_t StreamRemaining(TStream& stream) {
  return stream.Size() - stream.Position();
}

// Clipboard blocks stay locked while they are read.
class TGlobalLock {
 public:
  explicit TGlobalLock(const HGLOBAL& block) : FBlock(block), FData(block ? GlobalLock(block) : nullptr) {}
  ~TGlobalLock() {
    if (FBlock) GlobalUnlock(FBlock);
  }
  TGlobalLock(const TGlobalLock&) = delete;
  TGlobalLock& operator=(const TGlobalLock&) = delete;
  uint8_t* Data() const { return FData; }

 private:
  const HGLOBAL& FBlock;
  uint8_t* FData;
};

}  // namespace

void TDibStorage::LoadFromStream(TStream& Stream) {
  static const std::string method = "TDibStorage.LoadFromStream";
  TDibRecord record;
  uint8_t fileBytes[FileHeaderSize];
  Stream.ReadBuffer(fileBytes, FileHeaderSize);
  const BITMAPFILEHEADER fileHeader = BITMAPFILEHEADER::Read(fileBytes);
  if (fileHeader.bfType != BITMAPFILEHEADER::BitmapType)
    throw EDibInvalidDIBFile("TDibStorage.LoadFromFile: File type is invalid");
  const int64_t bfSize = fileHeader.bfSize;
  const int64_t bfOffBits = fileHeader.bfOffBits;

  uint8_t header[InfoHeaderSize];
  Stream.ReadBuffer(header, 4);
  const uint32_t headerSize = ReadLE32(header, 0);
  int64_t consumed = FileHeaderSize;  // bytes of the file read or skipped so far
  if (headerSize == InfoHeaderSize) {
    Stream.ReadBuffer(header + 4, InfoHeaderSize - 4);
    record.Header = BITMAPINFOHEADER::Read(header);
    BITMAPINFOHEADER& h = record.Header;
    ReplaceZeroResolution(h);
    switch (h.biBitCount) {
      case 1:
      case 4:
      case 8:
      case 16:
      case 24:
      case 32:
        break;
      default:
        throw EDibInvalidDIB("TDibStorage.LoadFromStream: Invalid BitCout");
    }
    if (h.biClrUsed == 0) h.biClrUsed = static_cast<uint32_t>(DefaultColorCount(h.biBitCount));
    const int64_t maskBytes = MaskBytes(h);
    const int64_t tableBytes = StoredTableBytes(h);
    const int64_t readBytes = std::min<int64_t>(tableBytes, maskBytes + 1024);
    std::vector<uint8_t> table(static_cast<size_t>(readBytes));
    if (readBytes > 0) Stream.ReadBuffer(table.data(), readBytes);
    StoreColorBytes(record, table.data(), readBytes);
    record.ImageSize = bfSize - bfOffBits;
    consumed += InfoHeaderSize + readBytes;
    if (bfOffBits < FileHeaderSize + InfoHeaderSize + tableBytes)
      throw EDibInvalidDIB("TDibStorage.LoadFromFile: bfOffBits is too small");
    if (h.biClrUsed > 256) h.biClrUsed = 256;
  } else if (headerSize == CoreHeaderSize) {
    Stream.ReadBuffer(header + 4, CoreHeaderSize - 4);
    const BITMAPCOREHEADER core = BITMAPCOREHEADER::Read(header);
    const uint16_t bitCount = core.bcBitCount;
    if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 24)
      throw EDibInvalidDIB("TDibStorage.LoadFromStream: Invalid BitCount");
    const int64_t tableBytes = 3 * static_cast<int64_t>(DefaultColorCount(bitCount));
    uint8_t triples[3 * 256];
    if (tableBytes > 0) Stream.ReadBuffer(triples, tableBytes);
    record.ImageSize = bfSize - bfOffBits;
    consumed += CoreHeaderSize + tableBytes;
    if (bfOffBits < FileHeaderSize + CoreHeaderSize + tableBytes)
      throw EDibInvalidDIB("TDibStorage.LoadFromFile: bfOffBits is too small");
    CoreHeaderToInfoHeader(core, triples, record);
  } else {
    throw EDibInvalidDIB("TDibStorage.LoadFromStream: Invalid Bitmap Header Size");
  }
  if (bfOffBits > consumed) Stream.Seek(bfOffBits - consumed, soCurrent);

  // Refuse before allocating when the stream cannot hold what the header promises.
  ReadPixelData(
      record, UseFMO, method, StreamRemaining(Stream), [] { throw EReadError(SReadError); },
      [&Stream](uint8_t* dest, int64_t bytes) { Stream.ReadBuffer(dest, bytes); },
      "TDibStorage.LoadFromStream: Invalid biBitCount");
  Install(std::move(record));
}

void TDibStorage::SaveToStream(TStream& Stream) const {
  const BITMAPINFOHEADER& h = DIB.Header;
  Assert(h.biClrUsed <= 256, "TDibStorage.SaveToStream: Invalid Color Count");
  const int64_t tableBytes = StoredTableBytes(h);
  const int64_t offBits = FileHeaderSize + InfoHeaderSize + tableBytes;
  std::vector<uint8_t> head(static_cast<size_t>(offBits));
  BITMAPFILEHEADER fileHeader;
  fileHeader.bfSize = static_cast<uint32_t>(offBits + DIB.ImageSize);
  fileHeader.bfOffBits = static_cast<uint32_t>(offBits);
  fileHeader.Write(head);
  h.Write(std::span(head).subspan(FileHeaderSize));
  std::memcpy(head.data() + FileHeaderSize + InfoHeaderSize, DIB.Colors.data(),
              static_cast<size_t>(tableBytes));
  Stream.WriteBuffer(head.data(), offBits);
  Stream.WriteBuffer(DIB.Bits(), DIB.ImageSize);
}

void TDibStorage::LoadFromClipboardFormat(const HGLOBAL& Data) {
  static const std::string method = "TDibStorage.LoadFromClipboardFormat";
  const EDibInvalidDIB tooShort(method + ": Clipboard Data Too Short");
  TGlobalLock lock(Data);
  const uint8_t* p = lock.Data();
  const int64_t size = Data ? GlobalSize(Data) : 0;
  if (p == nullptr || size < 4) throw tooShort;
  TDibRecord record;
  int64_t headerBytes = 0;  // L: header and colour table
  const std::span<const uint8_t> block(p, static_cast<size_t>(size));
  const uint32_t headerSize = ReadLE32(block, 0);
  if (headerSize == InfoHeaderSize) {
    if (size < InfoHeaderSize) throw tooShort;
    const BITMAPINFOHEADER h = BITMAPINFOHEADER::Read(block);
    const int64_t count = h.biClrUsed != 0 ? h.biClrUsed : DefaultColorCount(h.biBitCount);
    headerBytes = InfoHeaderSize + MaskBytes(h) + 4 * count;
    if (size < headerBytes) throw tooShort;
    record.Header = h;
    StoreColorBytes(record, p + InfoHeaderSize, std::min<int64_t>(headerBytes, 1076) - InfoHeaderSize);
    ReplaceZeroResolution(record.Header);
    record.Header.biClrUsed = static_cast<uint32_t>(std::min<int64_t>(count, 256));
  } else if (headerSize == CoreHeaderSize) {
    if (size < CoreHeaderSize) throw tooShort;
    const BITMAPCOREHEADER core = BITMAPCOREHEADER::Read(block);
    headerBytes = CoreHeaderSize + 3 * static_cast<int64_t>(DefaultColorCount(core.bcBitCount));
    if (size < headerBytes) throw tooShort;
    CoreHeaderToInfoHeader(core, p + CoreHeaderSize, record);
  } else {
    throw EDibInvalidDIB("TDibGraphic.LoadFromClipboardFormat: Invalid Clipboard Data");
  }
  record.ImageSize = size - headerBytes;
  const uint8_t* pixels = p + headerBytes;

  ReadPixelData(
      record, UseFMO, method, record.ImageSize,
      [] { throw EDibInvalidDIB(method + ": Image Data Too Short"); },
      [&pixels](uint8_t* dest, int64_t bytes) {
        std::memcpy(dest, pixels, static_cast<size_t>(bytes));
        pixels += bytes;
      },
      "TDibStorage.LoadFromClipboardFormat: Invalid biBitCount");
  Install(std::move(record));
}

HGLOBAL TDibStorage::SaveToClipboardFormat() const {
  const BITMAPINFOHEADER& h = DIB.Header;
  Assert(h.biClrUsed <= 256, "TDibStorage.SaveToClipboardFormat: Invalid Color Count");
  const int64_t tableBytes = StoredTableBytes(h);
  const int64_t headerBytes = InfoHeaderSize + tableBytes;
  HGLOBAL block =
      AllocateOrRaise([&] { return GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, headerBytes + DIB.ImageSize); },
                      "TDibStorage.SaveToClipboardFormat: Out Of Memory");
  uint8_t* p = GlobalLock(block);
  h.Write(std::span(p, static_cast<size_t>(headerBytes)));
  std::memcpy(p + InfoHeaderSize, DIB.Colors.data(), static_cast<size_t>(tableBytes));
  std::memcpy(p + headerBytes, DIB.Bits(), static_cast<size_t>(DIB.ImageSize));
  GlobalUnlock(block);
  return block;
}
