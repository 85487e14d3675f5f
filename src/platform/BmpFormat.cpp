// The bitmap's own BMP reader and writer and its CF_DIB clipboard exchange. Files and packed DIBs share one
// header parser and one pixel decoder; every fault of the data is "Bitmap image is not valid".
#include <algorithm>
#include <bit>
#include <cstring>
#include <vector>

#include "AlphaPlane.h"
#include "ByteOrder.h"
#include "Clipbrd.h"
#include "Graphics.h"
#include "PixelAccess.h"

namespace {

[[noreturn]] void Invalid() {
  throw EInvalidGraphic(SInvalidBitmap);
}

constexpr size_t FileHeaderSize = BITMAPFILEHEADER::WireSize;
constexpr size_t CoreHeaderSize = BITMAPCOREHEADER::WireSize, InfoHeaderSize = BITMAPINFOHEADER::WireSize,
                 V4HeaderSize = BITMAPINFOHEADER::V4WireSize, V5HeaderSize = BITMAPINFOHEADER::V5WireSize;
// Header, masks and a full colour table of the largest header fit in this many bytes.
constexpr size_t MaxHeaderRegion = V5HeaderSize + 12 + 256 * 4;

constexpr uint32_t Mask555[3] = {0x7C00, 0x03E0, 0x001F};
constexpr uint32_t Mask565[3] = {0xF800, 0x07E0, 0x001F};
constexpr uint32_t Mask888[3] = {0xFF0000, 0x00FF00, 0x0000FF};

// What a DIB header (with its masks and colour table) says about the pixels that follow.
struct TDibLayout {
  int32_t Width = 0, Height = 0;  // Height is the row count; TopDown tells the order
  bool TopDown = false;
  int BitCount = 0;
  uint32_t Compression = BI_RGB;
  uint32_t SizeImage = 0;
  uint32_t Masks[3] = {};
  uint32_t AlphaMask = 0;             // bit fields of a V4 or V5 header: the alpha samples' mask, 0 when none
  std::vector<TPaletteEntry> Colors;  // the entries read (at most 256, and at most 2^bits for indexed data)
  int64_t TableEnd = 0;               // offset after header, masks and the whole declared colour table
  TPixelFormat Format = pf24bit;      // the bitmap's format for this data
  bool ConvertMasks = false;          // bit fields that no bitmap format holds: converted to 24 bits
};

// Masks must be non-empty, contiguous runs of bits that do not overlap.
bool ValidMasks(const uint32_t (&m)[3]) {
  for (uint32_t mask : m)
    if (mask == 0 || std::has_single_bit((mask >> std::countr_zero(mask)) + 1) == false) return false;
  return (m[0] & m[1]) == 0 && (m[0] & m[2]) == 0 && (m[1] & m[2]) == 0;
}

bool SameMasks(const uint32_t (&a)[3], const uint32_t (&b)[3]) {
  return a[0] == b[0] && a[1] == b[1] && a[2] == b[2];
}

// Parses the header at the start of Data (a file's bytes after its file header, or a packed DIB); the masks
// and the colour entries read must lie within Data.
TDibLayout ParseDibHeader(std::span<const uint8_t> Data) {
  if (Data.size() < 4) Invalid();
  const uint32_t headerSize = ReadLE32(Data, 0);
  if (headerSize != CoreHeaderSize && headerSize != InfoHeaderSize && headerSize != V4HeaderSize &&
      headerSize != V5HeaderSize)
    Invalid();
  if (Data.size() < headerSize) Invalid();
  TDibLayout f;
  int64_t width, height;
  uint32_t planes, colorsUsed = 0, entrySize = 4;
  if (headerSize == CoreHeaderSize) {
    const BITMAPCOREHEADER h = BITMAPCOREHEADER::Read(Data);
    width = h.bcWidth;
    height = h.bcHeight;
    planes = h.bcPlanes;
    f.BitCount = h.bcBitCount;
    entrySize = 3;
    if (f.BitCount != 1 && f.BitCount != 4 && f.BitCount != 8 && f.BitCount != 24) Invalid();
  } else {
    const BITMAPINFOHEADER h = BITMAPINFOHEADER::Read(Data);
    width = h.biWidth;
    height = h.biHeight;
    planes = h.biPlanes;
    f.BitCount = h.biBitCount;
    f.Compression = h.biCompression;
    f.SizeImage = h.biSizeImage;
    colorsUsed = h.biClrUsed;
  }
  if (planes != 1 || width < 0 || height == INT32_MIN) Invalid();
  f.TopDown = height < 0;
  f.Width = static_cast<int32_t>(width);
  f.Height = static_cast<int32_t>(f.TopDown ? -height : height);

  const int bits = f.BitCount;
  bool pairOk = false;
  switch (f.Compression) {
    case BI_RGB:
      pairOk = bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
      break;
    case BI_RLE8:  // compressed rows are always bottom-up
      pairOk = bits == 8 && !f.TopDown;
      break;
    case BI_RLE4:
      pairOk = bits == 4 && !f.TopDown;
      break;
    case BI_BITFIELDS:
      pairOk = bits == 16 || bits == 32;
      break;
  }
  if (!pairOk) Invalid();

  size_t offset = headerSize;
  if (f.Compression == BI_BITFIELDS) {
    // A 40-byte header is followed by the three masks; the larger headers hold them at the same place.
    if (headerSize == InfoHeaderSize) {
      if (Data.size() < offset + 12) Invalid();
      offset += 12;
    }
    for (int i = 0; i < 3; ++i) f.Masks[i] = ReadLE32(Data, BITMAPINFOHEADER::BitFieldsOffset + 4 * i);
    if (!ValidMasks(f.Masks)) Invalid();
    // A mask that is not one run of bits of its own gives no alpha: the picture is read opaque.
    if (headerSize >= V4HeaderSize) {
      const uint32_t alpha = ReadLE32(Data, BITMAPINFOHEADER::BitFieldsOffset + 12);
      const uint32_t colour = f.Masks[0] | f.Masks[1] | f.Masks[2];
      if (alpha != 0 && std::has_single_bit((alpha >> std::countr_zero(alpha)) + 1) && (alpha & colour) == 0)
        f.AlphaMask = alpha;
    }
    if (bits == 16 && SameMasks(f.Masks, Mask555))
      f.Format = pf15bit;
    else if (bits == 16 && SameMasks(f.Masks, Mask565))
      f.Format = pf16bit;
    else if (bits == 32 && SameMasks(f.Masks, Mask888))
      f.Format = pf32bit;
    else
      f.ConvertMasks = true;
  } else {
    f.Format = DibRgbPixelFormat(bits);
  }

  // The colour table: a full one when an indexed header gives no count; optional for true colour.
  const bool indexed = bits <= 8;
  const int64_t declared = indexed && colorsUsed == 0 ? int64_t{1} << bits : colorsUsed;
  const int64_t read = std::min<int64_t>(declared, indexed ? int64_t{1} << bits : 256);
  if (Data.size() < offset + read * entrySize) Invalid();
  f.Colors.resize(static_cast<size_t>(read));
  for (int64_t i = 0; i < read; ++i) {
    const uint8_t* e = Data.data() + offset + i * entrySize;
    f.Colors[static_cast<size_t>(i)] = {e[2], e[1], e[0], 0};
  }
  f.TableEnd = static_cast<int64_t>(offset) + declared * entrySize;
  return f;
}

// Bytes of pixel data the layout needs (uncompressed), or fails when the sizes overflow.
int64_t StoredPixelBytes(const TDibLayout& f) {
  const int64_t bytes = DibImageBytes(f.Width, f.Height, f.BitCount);
  if (bytes < 0 || DibImageBytes(f.Width, f.Height, PixelFormatBitCount(f.Format)) < 0) Invalid();
  return bytes;
}

// One bit-field channel scaled exactly to 0..255.
uint8_t MaskChannel(uint32_t pixel, uint32_t mask) {
  const int shift = std::countr_zero(mask);
  const uint64_t max = mask >> shift, value = (pixel & mask) >> shift;
  return static_cast<uint8_t>((value * 255 + max / 2) / max);
}

// Builds the image from the pixel data of a parsed header; with Alpha given, also the alpha plane of a layout
// with an alpha mask (none when every alpha sample is 0).
std::shared_ptr<TBitmapImage> DecodeDib(const TDibLayout& f, std::span<const uint8_t> Pixels,
                                        std::shared_ptr<TBitmapImage>* Alpha = nullptr) {
  const int64_t stored = StoredPixelBytes(f);
  HPALETTE palette = f.Colors.empty() ? nullptr : CreatePalette(f.Colors);
  auto image = NewBitmapImage(f.Width, f.Height, f.Format, std::move(palette), false);
  if (image->Bits.empty()) return image;
  const int64_t rowBytes = image->RowBytes;
  if (f.Compression == BI_RLE4 || f.Compression == BI_RLE8) {
    // Bottom-up: memory row 0 of the decoder is the image's last row. Pixels that codes put outside the
    // picture (writers often add one at the end of odd-width rows) are dropped, as other readers do.
    DecodeRle(Pixels, f.BitCount, f.Width, f.Height, image->Bits.data() + (f.Height - 1) * rowBytes,
              -rowBytes, TRleOverrun::Clip);
    return image;
  }
  if (static_cast<int64_t>(Pixels.size()) < stored) Invalid();
  const int64_t fileRowBytes = DibRowBytes(f.Width, f.BitCount);
  std::shared_ptr<TBitmapImage> alpha;
  if (Alpha && f.AlphaMask != 0) alpha = NewAlphaPlaneImage(f.Width, f.Height);
  bool anyAlpha = false;
  for (int64_t k = 0; k < f.Height; ++k) {
    const uint8_t* src = Pixels.data() + k * fileRowBytes;
    const int64_t y = f.TopDown ? k : f.Height - 1 - k;
    uint8_t* dst = image->Bits.data() + y * rowBytes;
    if (alpha) {
      uint8_t* plane = alpha->Bits.data() + y * alpha->RowBytes;
      for (int64_t x = 0; x < f.Width; ++x) {
        const uint8_t* p = src + x * (f.BitCount / 8);
        const uint32_t pixel = f.BitCount == 16 ? ReadLE16(std::span<const uint8_t, 2>(p, 2))
                                                : ReadLE32(std::span<const uint8_t, 4>(p, 4));
        const uint8_t value = MaskChannel(pixel, f.AlphaMask);
        anyAlpha |= value != 0;
        plane[x] = static_cast<uint8_t>(255 - value);
      }
    }
    if (!f.ConvertMasks) {
      std::memcpy(dst, src, static_cast<size_t>(rowBytes));
      continue;
    }
    for (int64_t x = 0; x < f.Width; ++x) {
      const uint8_t* p = src + x * (f.BitCount / 8);
      const uint32_t pixel = f.BitCount == 16 ? ReadLE16(std::span<const uint8_t, 2>(p, 2))
                                              : ReadLE32(std::span<const uint8_t, 4>(p, 4));
      dst[3 * x] = MaskChannel(pixel, f.Masks[2]);
      dst[3 * x + 1] = MaskChannel(pixel, f.Masks[1]);
      dst[3 * x + 2] = MaskChannel(pixel, f.Masks[0]);
    }
  }
  if (Alpha) *Alpha = anyAlpha ? std::move(alpha) : nullptr;
  return image;
}

// The DIB form of an image: info header, masks for 5-6-5, colour table. Rows follow bottom-up, uncompressed.
std::vector<uint8_t> DibHeaderBytes(const TBitmapImage& Image) {
  const int bits = PixelFormatBitCount(Image.PixelFormat);
  const HPALETTE palette = EffectivePalette(Image);
  const int colors = PaletteSize(palette);
  const bool fields = Image.PixelFormat == pf16bit;
  BITMAPINFOHEADER h;
  h.biWidth = Image.Width;
  h.biHeight = Image.Height;
  h.biBitCount = static_cast<uint16_t>(bits);
  h.biCompression = fields ? BI_BITFIELDS : BI_RGB;
  h.biSizeImage = static_cast<uint32_t>(Image.Bits.size());
  h.biClrUsed = static_cast<uint32_t>(colors);
  std::vector<uint8_t> d;
  AppendHeader(d, h);
  if (fields)
    for (uint32_t mask : Mask565) AppendLE32(d, mask);
  for (int i = 0; i < colors; ++i) {
    const TPaletteEntry& e = palette->Entries[static_cast<size_t>(i)];
    d.insert(d.end(), {e.peBlue, e.peGreen, e.peRed, 0});
  }
  return d;
}

// Hands the image's rows to Visit in the order a bottom-up DIB stores them. An image without pixels (a width
// of 0) has no rows to hand over and no pixel memory, however many rows it counts.
template <class TVisit>
void ForEachRowInFileOrder(const TBitmapImage& Image, TVisit&& Visit) {
  if (Image.Bits.empty()) return;
  for (int32_t y = Image.Height - 1; y >= 0; --y)
    Visit(Image.Bits.data() + static_cast<int64_t>(y) * Image.RowBytes, Image.RowBytes);
}

}  // namespace

namespace {

// The BMP reader of TBitmap::LoadFromStream; with Alpha given, also the file's alpha plane.
std::shared_ptr<TBitmapImage> ReadBmp(TStream& Stream, std::shared_ptr<TBitmapImage>* Alpha) {
  const int64_t start = Stream.Position();
  const int64_t available = Stream.Size() - start;
  auto readExactly = [&](void* buffer, int64_t count) {
    if (Stream.Read(buffer, count) != count) Invalid();
  };
  if (available < static_cast<int64_t>(FileHeaderSize)) Invalid();
  uint8_t fileBytes[FileHeaderSize];
  readExactly(fileBytes, FileHeaderSize);
  const BITMAPFILEHEADER fileHeader = BITMAPFILEHEADER::Read(fileBytes);
  if (fileHeader.bfType != BITMAPFILEHEADER::BitmapType) Invalid();
  const int64_t offBits = fileHeader.bfOffBits;
  if (offBits < static_cast<int64_t>(FileHeaderSize + 4) || offBits > available) Invalid();

  // The header, masks and colours read must all lie before the pixels.
  std::vector<uint8_t> region(
      static_cast<size_t>(std::min<int64_t>(offBits - FileHeaderSize, MaxHeaderRegion)));
  readExactly(region.data(), static_cast<int64_t>(region.size()));
  const TDibLayout layout = ParseDibHeader(region);

  const int64_t pixelsAvailable = available - offBits;
  int64_t count;
  if (layout.Compression == BI_RLE4 || layout.Compression == BI_RLE8) {
    // Compressed data ends where the header says, else where the file size says, else with the stream.
    StoredPixelBytes(layout);
    const int64_t fileSize = fileHeader.bfSize;
    count = layout.SizeImage                                              ? layout.SizeImage
            : fileSize > offBits && fileSize - offBits <= pixelsAvailable ? fileSize - offBits
                                                                          : pixelsAvailable;
  } else {
    count = StoredPixelBytes(layout);
  }
  if (count > pixelsAvailable) Invalid();
  std::vector<uint8_t> pixels(static_cast<size_t>(count));
  Stream.Seek(start + offBits, soBeginning);
  readExactly(pixels.data(), count);
  return DecodeDib(layout, pixels, Alpha);
}

}  // namespace

void TBitmap::LoadFromStream(TStream& Stream) {
  SetImage(ReadBmp(Stream, nullptr));
}

void LoadBmpWithAlpha(TStream& Stream, TBitmap& Image, TBitmap& Alpha) {
  std::shared_ptr<TBitmapImage> plane;
  auto image = ReadBmp(Stream, &plane);
  Image.SetImage(std::move(image));
  if (plane)
    Alpha.SetImage(std::move(plane));
  else
    Alpha.Assign(nullptr);
}

void SaveBmpWithAlpha(TStream& Stream, const TBitmap& Image, const TBitmap& Alpha) {
  if (!IsAlphaPlaneOf(Alpha, Image)) throw EInvalidGraphic(SInvalidBitmap);
  TBitmap rgb;
  rgb.SetImage(std::make_shared<TBitmapImage>(Image.Image()));
  rgb.SetPixelFormat(pf24bit);
  const int32_t width = rgb.Width(), height = rgb.Height();
  const int64_t pixelBytes = int64_t{width} * height * 4;
  if (pixelBytes > INT32_MAX - int64_t{FileHeaderSize + V5HeaderSize}) throw EOutOfResources(SOutOfResources);

  BITMAPINFOHEADER info;
  info.biSize = V5HeaderSize;
  info.biWidth = width;
  info.biHeight = height;
  info.biBitCount = 32;
  info.biCompression = BI_BITFIELDS;
  info.biSizeImage = static_cast<uint32_t>(pixelBytes);
  BITMAPFILEHEADER fileHeader;
  fileHeader.bfOffBits = static_cast<uint32_t>(FileHeaderSize + V5HeaderSize);
  fileHeader.bfSize = static_cast<uint32_t>(fileHeader.bfOffBits + pixelBytes);
  std::vector<uint8_t> head;
  AppendHeader(head, fileHeader);
  AppendHeader(head, info);
  for (const uint32_t mask : {0x00FF0000u, 0x0000FF00u, 0x000000FFu, 0xFF000000u}) AppendLE32(head, mask);
  AppendLE32(head, 0x73524742);                // LCS_sRGB
  head.resize(head.size() + 36 + 12);          // end points and gammas, unused for sRGB
  AppendLE32(head, 4);                         // LCS_GM_IMAGES
  head.resize(FileHeaderSize + V5HeaderSize);  // no profile, reserved
  Stream.WriteBuffer(head.data(), static_cast<int64_t>(head.size()));

  std::vector<uint8_t> row(static_cast<size_t>(width) * 4);
  for (int32_t y = height - 1; y >= 0; --y) {
    const uint8_t* p = rgb.ScanLine(y);
    const uint8_t* a = Alpha.ScanLine(y);
    for (int32_t x = 0; x < width; ++x) {
      row[4 * x] = p[3 * x];
      row[4 * x + 1] = p[3 * x + 1];
      row[4 * x + 2] = p[3 * x + 2];
      row[4 * x + 3] = static_cast<uint8_t>(255 - a[x]);
    }
    Stream.WriteBuffer(row.data(), static_cast<int64_t>(row.size()));
  }
}

void TBitmap::SaveToStream(TStream& Stream) {
  const std::vector<uint8_t> header = DibHeaderBytes(*FImage);
  BITMAPFILEHEADER fileHeader;
  fileHeader.bfSize = static_cast<uint32_t>(FileHeaderSize + header.size() + FImage->Bits.size());
  fileHeader.bfOffBits = static_cast<uint32_t>(FileHeaderSize + header.size());
  std::vector<uint8_t> file;
  AppendHeader(file, fileHeader);
  file.insert(file.end(), header.begin(), header.end());
  Stream.WriteBuffer(file.data(), static_cast<int64_t>(file.size()));
  ForEachRowInFileOrder(*FImage,
                        [&Stream](const uint8_t* Row, int32_t Bytes) { Stream.WriteBuffer(Row, Bytes); });
}

void TBitmap::LoadFromClipboardFormat(uint16_t Format, HGLOBAL Data, HPALETTE) {
  if (Format != CF_DIB || !Data) throw EInvalidGraphic("Unsupported clipboard format");
  const std::span<const uint8_t> block(Data->Bytes);
  const TDibLayout layout = ParseDibHeader(block);
  // In a packed DIB the pixels follow the whole colour table.
  if (layout.TableEnd > static_cast<int64_t>(block.size())) Invalid();
  std::span<const uint8_t> pixels = block.subspan(static_cast<size_t>(layout.TableEnd));
  if ((layout.Compression == BI_RLE4 || layout.Compression == BI_RLE8) && layout.SizeImage != 0) {
    if (layout.SizeImage > pixels.size()) Invalid();
    pixels = pixels.first(layout.SizeImage);
  }
  SetImage(DecodeDib(layout, pixels));
}

void TBitmap::SaveToClipboardFormat(uint16_t& Format, HGLOBAL& Data, HPALETTE& Palette) {
  const std::vector<uint8_t> header = DibHeaderBytes(*FImage);
  HGLOBAL block = AllocateOrRaise([&] {
    return GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT,
                       static_cast<int64_t>(header.size()) + static_cast<int64_t>(FImage->Bits.size()));
  });
  uint8_t* p = GlobalLock(block);
  std::memcpy(p, header.data(), header.size());
  p += header.size();
  ForEachRowInFileOrder(*FImage, [&p](const uint8_t* Row, int32_t Bytes) {
    std::memcpy(p, Row, static_cast<size_t>(Bytes));
    p += Bytes;
  });
  GlobalUnlock(block);
  Format = CF_DIB;
  Data = std::move(block);
  Palette = FImage->Palette;
}
