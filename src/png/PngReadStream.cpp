#include <algorithm>
#include <cstring>

#include "PngReadStream.h"
#include "SFunc.h"

TPngReadStream::TPngReadStream() {
  Z.Owner = this;
  Z.BufferCallback = &TPngReadStream::RefillCompressed;
  AlphaTable.fill(255);
}

TPngReadStream::~TPngReadStream() = default;

void TPngReadStream::DecodeImage() {
  BeginProgress();
  BeginProgressRange(0, 0, 30);
  ActiveAlphaBitmap = nullptr;
  HasAlpha = false;
  GrayScale = false;
  AlphaFromPalette = false;
  Interlace = 0;
  ColorClass = -1;
  ActiveKey.clear();
  BackgroundColor = -1;
  TransparentColor = -1;
  SignificantBits = 0;
  Gamma = 0;
  AlphaTable.fill(255);
  if (ImageTime != nullptr) *ImageTime = TPngTime{};
  if (GifControl != nullptr) GifControl->fill(0);
  if (Chromaticity != nullptr) Chromaticity->fill(0);
  BitDepth = 0;
  SampleDepth = 0;
  ChunkFlags = 0;

  std::array<uint8_t, 8> signature{};
  ReadBytes(signature.data(), 8);
  if (PastEnd || Stopped || signature != PngSignature) throw EPngError(SPngNotPng);

  ChunkLoop();

  // The single transparent colour applies to an image that was decoded and has no alpha channel.
  if (!NoBitmap && (ChunkFlags & ImageDone) != 0 && !PastEnd && !Stopped && !HasAlpha &&
      TransparentColor != -1) {
    Bitmap->SetTransparent(true);
    Bitmap->SetTransparentColor(TransparentColor);
  }
  if (AlphaFromPalette && ActiveAlphaBitmap != nullptr) {
    AlphaFromPaletteTable();
    HasAlpha = true;
  }
  EndProgress();
}

// ---------------------------------------------------------------------------------------------------------------
// Chunks

// PNG allows no chunk length above 2^31 - 1; such a length runs past any source, so it is held at that bound,
// where the reads find the end of the source, and the count never wraps.
void TPngReadStream::ReadChunkHeader() {
  ChunkLeft = ClampToInt32(ReadUInt32BE());
  ChunkType = ReadUInt32BE();
}

void TPngReadStream::ChunkLoop() {
  while (!PastEnd && !Stopped && (ChunkFlags & EndSeen) == 0) {
    ReadChunkHeader();
    const bool header = (ChunkFlags & HeaderSeen) != 0;
    const bool done = (ChunkFlags & ImageDone) != 0;
    const bool palette = (ChunkFlags & PaletteSeen) != 0;
    bool taken = false;
    switch (ChunkType) {
      case ChunkIHDR:
        ReadHeader();
        taken = true;
        break;
      case ChunkPLTE:
        if (header && !palette && !done && (ColorClass == 2 || ColorClass == 3)) {
          ReadPalette();
          taken = true;
        }
        break;
      case ChunkTRNS:
        if (header && !done && !HasAlpha) {
          ReadTransparency();
          taken = true;
        }
        break;
      case ChunkBKGD:
        if (ColorClass == 0 || ColorClass == 2 || ColorClass == 3) {
          ReadBackground();
          taken = true;
        }
        break;
      case ChunkGAMA:
        if (header && !done && !palette) {
          ReadGamma();
          taken = true;
        }
        break;
      case ChunkSBIT:
        if (header && !done && !palette && (ColorClass == 2 || ColorClass == 3)) {
          ReadSignificantBits();
          taken = true;
        }
        break;
      case ChunkPHYS:
        if (header && !done) {
          ReadPhysicalSize();
          taken = true;
        }
        break;
      case ChunkCHRM:
        if (header && !done && !palette && ChunkLeft == 32 && Chromaticity != nullptr) {
          ReadChromaticity();
          taken = true;
        }
        break;
      case ChunkGIFG:
        if (header && !done && !palette && ChunkLeft == 4 && GifControl != nullptr) {
          ReadGifControl();
          taken = true;
        }
        break;
      case ChunkTIME:
        if (ChunkLeft == 7 && ImageTime != nullptr) {
          ReadTime();
          taken = true;
        }
        break;
      case ChunkTEXT:
        ReadText();
        break;
      case ChunkTILE:
        if (header && (ChunkFlags & PrivateSeen) == 0 && !done) ReadTile();
        break;
      case ChunkIDAT:
        ReadImageData();
        break;
      case ChunkIEND:
        ChunkFlags |= EndSeen;
        break;
      default:
        break;
    }
    if (taken) StepProgress(0);
    if (ChunkLeft > 0) Skip(ChunkLeft);
    ReadUInt32BE();  // the CRC, not verified
  }
}

void TPngReadStream::ReadHeader() {
  if ((ChunkFlags & HeaderSeen) != 0) throw EPngError(SPngTwoIHDR);
  HeaderWidth = ReadUInt32BE();
  HeaderHeight = ReadUInt32BE();
  Width = static_cast<int32_t>(HeaderWidth);
  Height = static_cast<int32_t>(HeaderHeight);
  BitDepth = ReadByte();
  SampleDepth = BitDepth;
  int32_t colorType = ReadByte() & 7;
  if (colorType == 1 || colorType == 5 || colorType == 7) throw EPngError(SPngColorType);
  if ((colorType & 4) != 0) {
    HasAlpha = true;
    colorType &= ~4;
  }
  if (colorType == 0) GrayScale = true;
  ColorClass = colorType;
  if (ReadByte() > 1) throw EPngError(SPngCompression);
  if (ReadByte() > 1) throw EPngError(SPngFilter);
  const uint8_t interlace = ReadByte();
  if (interlace > 1) throw EPngError(SPngInterlace);
  Interlace = interlace;
  ChunkFlags |= HeaderSeen;
  ChunkLeft -= 13;
}

void TPngReadStream::ReadPalette() {
  const int32_t count = std::clamp(ChunkLeft / 3, 0, 256);
  RGBQUAD* palette = AllocatePalette();
  std::array<uint8_t, 768> rgb{};
  if (count > 0) ReadBytes(rgb.data(), count * 3);
  for (int32_t i = 0; i < count; ++i) palette[i] = RGBQUAD{rgb[3 * i + 2], rgb[3 * i + 1], rgb[3 * i], 0};
  PaletteCount = count;
  ChunkLeft -= 3 * count;
  ChunkFlags |= PaletteSeen;
}

// The grey (2 bytes) or RGB (6 bytes) colour of a tRNS or bKGD chunk, reduced to 8 bits a channel. A grey
// sample of fewer than 8 bits is taken as it stands, not scaled.
TColor TPngReadStream::ReadChunkColor() {
  const auto reduce = [this](uint16_t v) { return static_cast<uint8_t>(SampleDepth > 8 ? v >> 8 : v); };
  if (ColorClass == 0) {
    const uint8_t g = reduce(ReadUInt16BE());
    ChunkLeft -= 2;
    return RGB(g, g, g);
  }
  const uint8_t r = reduce(ReadUInt16BE());
  const uint8_t g = reduce(ReadUInt16BE());
  const uint8_t b = reduce(ReadUInt16BE());
  ChunkLeft -= 6;
  return RGB(r, g, b);
}

void TPngReadStream::ReadTransparency() {
  if (ColorClass == 3) {
    const int32_t count = std::min(ChunkLeft, PaletteCount);
    ReadBytes(AlphaTable.data(), count);  // no entries (no PLTE yet) reads zero bytes, which stops the load
    ChunkLeft -= count;
    TransparentColor = PaletteAlphaMarker;
  } else {
    TransparentColor = ReadChunkColor();
  }
}

void TPngReadStream::ReadBackground() {
  if (ColorClass == 3) {
    BackgroundColor = PaletteIndexColor(ReadByte());
    ChunkLeft -= 1;
  } else {
    BackgroundColor = ReadChunkColor();
  }
}

void TPngReadStream::ReadGamma() {
  Gamma = ReadUInt32BE() / 100000.0;
  ChunkLeft -= 4;
}

// Red (grey), green and blue from the low byte up; alpha in the high byte when the image has an alpha
// channel.
void TPngReadStream::ReadSignificantBits() {
  int32_t bits = ReadByte();
  bits |= ReadByte() << 8;
  bits |= ReadByte() << 16;
  ChunkLeft -= 3;
  if (HasAlpha) {
    bits |= static_cast<int32_t>(static_cast<uint32_t>(ReadByte()) << 24);
    ChunkLeft -= 1;
  }
  SignificantBits = bits;
}

void TPngReadStream::ReadPhysicalSize() {
  PhysX = static_cast<int32_t>(ReadUInt32BE());
  PhysY = static_cast<int32_t>(ReadUInt32BE());
  PhysUnit = ReadByte();
  ChunkLeft -= 9;
}

void TPngReadStream::ReadChromaticity() {
  for (int32_t& value : *Chromaticity) value = static_cast<int32_t>(ReadUInt32BE());
  ChunkLeft -= 32;
}

void TPngReadStream::ReadGifControl() {
  ReadBytes(GifControl->data(), 4);
  ChunkLeft -= 4;
}

void TPngReadStream::ReadTime() {
  ImageTime->Year = ReadUInt16BE();
  ImageTime->Month = ReadByte();
  ImageTime->Day = ReadByte();
  ImageTime->Hour = ReadByte();
  ImageTime->Minute = ReadByte();
  ImageTime->Second = ReadByte();
  ChunkLeft -= 7;
}

void TPngReadStream::ReadText() {
  if (ChunkLeft <= 0) return;
  const int32_t length = ChunkLeft;
  ChunkLeft = 0;
  // Data that do not fit in what is left of the source are not examined (the read sets PastEnd).
  if (length > Remaining()) {
    ReadBytes(nullptr, length);
    return;
  }
  std::string data(static_cast<size_t>(length), '\0');
  ReadBytes(data.data(), length);
  if (PastEnd || Stopped) return;
  const size_t zero = data.find('\0');
  const std::string keyword = data.substr(0, zero);
  if (keyword != "Comment") return;
  const std::string text = zero == std::string::npos ? std::string() : data.substr(zero + 1);
  if (!text.empty()) {
    if (!Comment.empty()) Comment += "\r\n";
    Comment += text;
    Comment += "\r\n";
  }
  StepProgress(0);
}

void TPngReadStream::ReadTile() {
  ChunkFlags |= PrivateSeen;
  const uint32_t magic = ReadUInt32BE();
  ChunkLeft -= 4;
  if (ChunkLeft <= 0 || magic != TileMagic) return;
  if (ReadByte() != 0) {
    ActiveKey = Key;
    if (OnKeyRequest) OnKeyRequest(this, ActiveKey);
  }
  ChunkLeft -= 1;
  ReadByte();  // index mode of the encoder; not used here
  ChunkLeft -= 1;
}

// ---------------------------------------------------------------------------------------------------------------
// Image data

void TPngReadStream::ReadImageData() {
  // Later IDAT chunks (such as one holding only the end of the compressed stream) are passed over; so are
  // image data before any header, which cannot be decoded.
  if ((ChunkFlags & ImageDone) != 0 || (ChunkFlags & HeaderSeen) == 0) return;
  ChooseConversion();
  CheckImageSize();
  if (NoBitmap) {
    ChunkFlags |= ImageDone;
    return;
  }
  TZImageScope image(Z);
  if (StartInflate(Z) != 0) throw EPngError(SPngZlib);
  PrepareBitmap();

  // One block: CurrentRow, PreviousRow, ConvertedRow, AlphaRow. Each starts a quarter page past a page
  // boundary further than the one before, so that a row read while another is written never shares its
  // address bits within a 4 KiB page (which would stall the loads behind the stores).
  const auto slot = [](int64_t bytes) { return (bytes + 4095) / 4096 * 4096 + 1024; };
  const int64_t filtered = slot(ScanlineBytes(Width, Z.BitsPerPixel) + 4);
  const int64_t converted = slot(int64_t{OutputRowBytes} + 4);
  const int64_t alpha = ScanlineBytes(Width, 8);
  Z.CurrentRow = image.AllocateRows(2 * filtered + converted + alpha);
  Z.PreviousRow = Z.CurrentRow + filtered;
  ConvertedRow = Z.PreviousRow + filtered;
  AlphaRow = ConvertedRow + converted;

  DecodePasses();
  BeginProgressRange(0, 0, 0);
  ChunkFlags |= ImageDone;
}

void TPngReadStream::ChooseConversion() {
  const int32_t depth = SampleDepth;
  int32_t bitsPerPixel = depth;
  if (ColorClass == 0) {
    if (depth != 1 && depth != 2 && depth != 4 && depth != 8 && depth != 16)
      throw EPngError(SPngGrayBitdepth);
    if (HasAlpha) {
      if (depth < 8) throw EPngError(SPngGrayAlpha);
      BitCount = 8;
      bitsPerPixel = 2 * depth;
      RowConverter = depth == 8 ? &TPngReadStream::ConvertGrayAlpha<1> : &TPngReadStream::ConvertGrayAlpha<2>;
    } else if (depth == 2) {
      BitCount = 4;
      RowConverter = &TPngReadStream::Convert2To4;
    } else if (depth == 16) {
      BitCount = 8;
      RowConverter = &TPngReadStream::ConvertGray16;
    } else {
      BitCount = depth;
      RowConverter = &TPngReadStream::ConvertPass;
    }
  } else if (ColorClass == 2) {
    if (depth != 8 && depth != 16) throw EPngError(SPngBitDepth);
    const int32_t channels = HasAlpha ? 4 : 3;
    bitsPerPixel = channels * depth;
    const int32_t sbit = SignificantBits & 0xFFFFFF;
    if (Allow16Bit && (sbit == 0x050505 || sbit == 0x050605)) {
      BitCount = 16;
      BitDepth = sbit == 0x050505 ? 15 : 16;
      if (HasAlpha)
        RowConverter =
            depth == 8 ? &TPngReadStream::ConvertRgb565<4, 1> : &TPngReadStream::ConvertRgb565<4, 2>;
      else
        RowConverter =
            depth == 8 ? &TPngReadStream::ConvertRgb565<3, 1> : &TPngReadStream::ConvertRgb565<3, 2>;
    } else {
      BitCount = 24;
      BitDepth = 3 * depth;
      if (HasAlpha)
        RowConverter = depth == 8 ? &TPngReadStream::ConvertRgb<4, 1> : &TPngReadStream::ConvertRgb<4, 2>;
      else
        RowConverter = depth == 8 ? &TPngReadStream::ConvertRgb<3, 1> : &TPngReadStream::ConvertRgb<3, 2>;
    }
  } else {
    if (depth != 1 && depth != 2 && depth != 4 && depth != 8) throw EPngError(SPngBitDepth);
    BitCount = depth == 2 ? 4 : depth;
    RowConverter = depth == 2 ? &TPngReadStream::Convert2To4 : &TPngReadStream::ConvertPass;
  }
  Z.BitsPerPixel = bitsPerPixel;
  LastPass = Interlace == 1 ? 6 : 0;
  OutputRowBytes = ClampToInt32(ScanlineBytes(Width, BitCount));
  if (LastPass == 0) {
    RowStore = &TPngReadStream::StoreCopy;
    AlphaStore = &TPngReadStream::AlphaCopy;
  } else {
    AlphaStore = &TPngReadStream::AlphaScatter;
    switch (BitCount) {
      case 1:
        RowStore = &TPngReadStream::StoreBits1;
        break;
      case 4:
        RowStore = &TPngReadStream::StoreBits4;
        break;
      case 8:
        RowStore = &TPngReadStream::StoreBytes1;
        break;
      case 16:
        RowStore = &TPngReadStream::StoreBytes2;
        break;
      default:
        RowStore = &TPngReadStream::StoreBytes3;
        break;
    }
  }
}

// Refuses sizes the 32-bit row and pixel sizes cannot hold, before any buffer is sized from them.
void TPngReadStream::CheckImageSize() const {
  if (HeaderWidth == 0 || HeaderHeight == 0) throw EPngError(SPngBadSize);
  if (HeaderWidth > INT32_MAX || HeaderHeight > INT32_MAX) throw EPngError(SPngTooLarge);
  if (ScanlineBytes(HeaderWidth, Z.BitsPerPixel) + 4 > INT32_MAX ||
      DibImageBytes(Width, Height, BitCount) < 0)
    throw EPngError(SPngTooLarge);
}

void TPngReadStream::DecodePasses() {
  const int32_t w = Bitmap->Width();
  const int32_t h = Bitmap->Height();
  BeginProgressRange(1, LastPass == 0 ? h : Adam7TotalRows(h), 98);
  const int32_t storeUnit = BitCount == 16 ? 2 : BitCount == 24 ? 3 : 1;
  // Without interlacing a converter that builds its own row writes it straight into the bitmap row, which is
  // laid out as the converted row is; the row store's copy is then not needed.
  const bool direct = LastPass == 0 && RowConverter != &TPngReadStream::ConvertPass;
  uint8_t* const convertedRow = ConvertedRow;
  int64_t counter = 1;
  for (int pass = 0; pass <= LastPass; ++pass) {
    int32_t firstRow = 0, rowStep = 1, rows = h;
    if (LastPass == 0) {
      PassWidth = w;
      StoreStart = 0;
      StoreStep = 1;
      AlphaStart = 0;
      AlphaStep = 1;
    } else {
      const TAdam7Pass& geometry = Adam7Passes[pass];
      PassWidth = Adam7PassColumns(pass, w);
      rows = Adam7PassRows(pass, h);
      if (PassWidth == 0 || rows == 0) continue;  // no data in the stream
      firstRow = geometry.FirstRow;
      rowStep = geometry.RowStep;
      AlphaStart = geometry.FirstColumn;
      AlphaStep = geometry.ColumnStep;
      StoreStart = AlphaStart * storeUnit;
      StoreStep = AlphaStep * storeUnit;
    }
    Z.RowLength = static_cast<int32_t>((int64_t{PassWidth} * Z.BitsPerPixel + 7) / 8 + 1);
    std::memset(Z.PreviousRow, 0, static_cast<size_t>(Z.RowLength));
    const bool storeAlpha = HasAlpha && ActiveAlphaBitmap != nullptr;
    for (int32_t r = 0; r < rows; ++r) {
      const int32_t y = firstRow + r * rowStep;
      uint8_t* dest = Bitmap->ScanLine(y);
      if (ReadFilteredRow(Z) < 0) throw EPngError(SPngReadError);
      const bool hook = !ActiveKey.empty() && OnDecodeRow;
      if (hook) {
        std::memcpy(Z.PreviousRow, Z.CurrentRow, static_cast<size_t>(Z.RowLength));
        OnDecodeRow(this, Z.CurrentRow + 1, Z.RowLength - 1, static_cast<int32_t>(counter - 1), ActiveKey);
      }
      if (direct) {
        ConvertedRow = dest;
        (this->*RowConverter)();
      } else {
        (this->*RowStore)(dest, (this->*RowConverter)());
      }
      if (storeAlpha) (this->*AlphaStore)(ActiveAlphaBitmap->ScanLine(y), AlphaRow);
      if (!hook) std::swap(Z.CurrentRow, Z.PreviousRow);
      if (counter % 4 == 2 || h < 4) StepProgress(counter);
      ++counter;
      if (Stopped) break;
    }
    if (PastEnd || Stopped) break;
  }
  ConvertedRow = convertedRow;
}

// The IDAT refill: the rest of the current chunk, or the next chunk, which must be IDAT. Empty IDAT chunks
// carry nothing and are passed over.
int32_t TPngReadStream::RefillCompressed(ZRowContext& Context) {
  auto& self = *static_cast<TPngReadStream*>(Context.Owner);
  while (self.ChunkLeft <= 0) {
    self.Skip(4);  // the CRC of the chunk just used up
    self.ReadChunkHeader();
    if (self.ChunkType != ChunkIDAT) return -1;
  }
  const int32_t n = std::min(self.ChunkLeft, Context.ZBufferSize);
  if (const uint8_t* data = self.ReadInPlace(n)) {
    // A memory stream feeds inflate from its own block.
    Context.Stream.next_in = const_cast<Bytef*>(data);
    Context.Stream.avail_in = static_cast<uInt>(n);
  } else {
    const int64_t before = self.Consumed;
    self.ReadBytes(Context.ZBuffer.get(), n);
    // Only bytes actually read are offered; a refused read offers none and inflate then reports the lack.
    Context.Stream.next_in = Context.ZBuffer.get();
    Context.Stream.avail_in = static_cast<uInt>(self.Consumed - before);
  }
  if (n > 0) self.ChunkLeft -= n;
  return self.PastEnd ? -1 : 0;
}

// ---------------------------------------------------------------------------------------------------------------
// Bitmap shaping

void TPngReadStream::PrepareBitmap() {
  if (ColorClass == 0 && BitCount <= 8) PaletteCount = FillGrayPalette(AllocatePalette(), BitDepth);
  if (TransparentColor == PaletteAlphaMarker) {
    const auto zeros = std::count(AlphaTable.begin(), AlphaTable.end(), uint8_t{0});
    const auto opaque = std::count(AlphaTable.begin(), AlphaTable.end(), uint8_t{255});
    if (zeros == 1 && opaque == 255) {
      const auto index = std::find(AlphaTable.begin(), AlphaTable.end(), uint8_t{0}) - AlphaTable.begin();
      TransparentColor = PaletteIndexColor(static_cast<int>(index));
    } else {
      TransparentColor = -1;
      AlphaFromPalette = true;
    }
  }
  TCodecGraphicReadStream::PrepareBitmap();
  if ((HasAlpha || AlphaFromPalette) && AlphaBitmap != nullptr && !NoBitmap) {
    AlphaBitmap->Assign(nullptr);
    AlphaBitmap->SetTransparent(false);
    AlphaBitmap->SetPixelFormat(pf8bit);
    AlphaBitmap->HandleType = bmDIB;
    AlphaBitmap->SetSize(Bitmap->Width(), Bitmap->Height());
    std::array<RGBQUAD, 256> ramp;
    AlphaBitmap->SetPalette(MakePalette(ramp.data(), FillGrayPalette(ramp.data(), 8)));
    ActiveAlphaBitmap = AlphaBitmap;
  }
}

// Alpha bitmap from the palette alpha table: 255 - alpha of each pixel's index.
void TPngReadStream::AlphaFromPaletteTable() {
  if (BitCount > 8) return;
  const int32_t w = std::min(Width, ActiveAlphaBitmap->Width());
  const int32_t h = std::min(Height, ActiveAlphaBitmap->Height());
  for (int32_t y = 0; y < h; ++y) {
    const uint8_t* src = static_cast<const TBitmap*>(Bitmap)->ScanLine(y);
    uint8_t* alpha = ActiveAlphaBitmap->ScanLine(y);
    for (int32_t x = 0; x < w; ++x) {
      uint8_t index;
      if (BitCount == 1)
        index = (src[x >> 3] >> (7 - (x & 7))) & 1;
      else if (BitCount == 4)
        index = (x & 1) != 0 ? (src[x >> 1] & 0x0F) : (src[x >> 1] >> 4);
      else
        index = src[x];
      alpha[x] = static_cast<uint8_t>(255 - AlphaTable[index]);
    }
  }
}
