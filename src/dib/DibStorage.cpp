// The storage: creation, the record's life, its palette and its pixel format.
#include <algorithm>
#include <cstdlib>
#include <utility>

#include "DibImage.h"

int DefaultColorCount(int BitCount) {
  switch (BitCount) {
    case 1:
      return 2;
    case 4:
      return 16;
    case 8:
      return 256;
    default:
      return 0;
  }
}

int64_t TDibRecord::AbsHeight() const {
  return std::llabs(static_cast<int64_t>(Header.biHeight));
}

TDibRecord CopyDibLayout(const TDibRecord& Source) {
  TDibRecord record;
  record.ImageSize = Source.ImageSize;
  record.Header = Source.Header;
  record.Colors = Source.Colors;
  return record;
}

HPALETTE GetPaletteFromDIBInfos(const TDibRecord& DIB) {
  const int count = static_cast<int>(std::min<uint32_t>(DIB.Header.biClrUsed, 256));
  if (count == 0) return nullptr;
  std::vector<TPaletteEntry> entries(count);
  for (int i = 0; i < count; ++i) {
    const RGBQUAD& c = DIB.Colors[i];
    entries[i] = TPaletteEntry{c.rgbRed, c.rgbGreen, c.rgbBlue, 0};
  }
  HPALETTE palette = CreatePalette(entries);
  if (!palette) throw EOutOfResources("GetPaletteFromDIBInfos: Cannot Make Palette");
  return palette;
}

TDibStorage::TDibStorage(bool UseFMO) : UseFMO(UseFMO) {
  CreateDIB(1, 1, 256, 8);
}

TDibStorage::~TDibStorage() {
  FreeDIB();
}

void TDibStorage::CreateDIB(int32_t Width, int32_t Height, int32_t ColorCount, int32_t BitCount) {
  const bool bitCountValid = BitCount == 1 || BitCount == 4 || BitCount == 8 || BitCount == 24;
  const int64_t absHeight = std::llabs(static_cast<int64_t>(Height));
  const int64_t imageSize = bitCountValid ? DibImageBytes(Width, absHeight, BitCount) : -1;
  if (Width <= 0 || Height == 0 || ColorCount < 0 || ColorCount > 256 || imageSize < 0)
    throw EDibInvalidDIBPara("TDibStorage.CreateDIB: Invalid Parameters");
  TDibRecord record;
  record.ImageSize = imageSize;
  record.Memory = GetMemory(imageSize, UseFMO);
  BITMAPINFOHEADER& h = record.Header;
  h.biSize = 40;
  h.biWidth = Width;
  h.biHeight = Height;
  h.biPlanes = 1;
  h.biBitCount = static_cast<uint16_t>(BitCount);
  h.biCompression = BI_RGB;
  h.biSizeImage = 0;
  h.biXPelsPerMeter = 3780;
  h.biYPelsPerMeter = 3780;
  h.biClrUsed = static_cast<uint32_t>(ColorCount);
  h.biClrImportant = 0;
  DIB = std::move(record);
  Palette = nullptr;
  this->Width = Width;
  this->Height = static_cast<int32_t>(absHeight);
  PaletteModified = true;
}

void TDibStorage::FreeDIB() {
  if (DIB.Bits() != nullptr) {
    ReleaseMemory(DIB.Memory);
    DIB.ImageSize = 0;
  }
  Palette = nullptr;
}

void TDibStorage::Install(TDibRecord&& Record) {
  UpdatePalette();  // checks RefCount before anything changes
  FreeDIB();
  DIB = std::move(Record);
  Width = DIB.Header.biWidth;
  Height = static_cast<int32_t>(DIB.AbsHeight());
}

void TDibStorage::UpdatePalette() {
  Assert(RefCount == 1, "TDibStorage.UpdatePalette: RefCount Must be 1");
  Palette = nullptr;
  PaletteModified = true;
}

HPALETTE TDibStorage::GetPaletteHandle() {
  if (!Palette && DIB.Header.biClrUsed > 0) Palette = GetPaletteFromDIBInfos(DIB);
  return Palette;
}

TDibPixelFormat TDibStorage::GetPixelFormat() const {
  const uint32_t compression = DIB.Header.biCompression;
  switch (DIB.Header.biBitCount) {
    case 1:
      if (compression == BI_RGB) return dpf1Bit;
      throw EDibInvalidDIB("TDibStorage.GetPixelFormat: Invalid DIB(1Bit)");
    case 4:
      if (compression == BI_RGB) return dpf4Bit;
      if (compression == BI_RLE4) return dpf4BitRLE;
      throw EDibInvalidDIB("TDibStorage.GetPixelFormat: Invalid DIB(4Bit)");
    case 8:
      if (compression == BI_RGB) return dpf8Bit;
      if (compression == BI_RLE8) return dpf8BitRLE;
      throw EDibInvalidDIB("TDibStorage.GetPixelFormat: Invalid DIB(8Bit)");
    case 24:
      if (compression == BI_RGB) return dpf24Bit;
      throw EDibInvalidDIB("TDibStorage.GetPixelFormat: Invalid DIB(24Bit)");
    default:
      throw EDibInvalidDIB("TDibStorage.GetPixelFormat: Invalid DIB(Illegal BitCount)");
  }
}
