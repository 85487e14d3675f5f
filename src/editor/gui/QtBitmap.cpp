#include "QtBitmap.h"

#include <QList>

#include "AlphaPlane.h"
#include "PixelRows.h"

namespace {

// The colours of an indexed bitmap's indices: its palette, or the default one when it has none, padded with
// black to the full index range.
QList<QRgb> ColorTable(const TBitmap& Bitmap, int Bits) {
  HPALETTE palette = Bitmap.Palette();
  if (!palette) palette = DefaultPalette(Bits);
  QList<QRgb> table(1 << Bits, qRgb(0, 0, 0));
  if (palette) {
    const auto& entries = palette->Entries;
    for (size_t i = 0; i < entries.size() && i < static_cast<size_t>(table.size()); ++i)
      table[static_cast<qsizetype>(i)] = qRgb(entries[i].peRed, entries[i].peGreen, entries[i].peBlue);
  }
  return table;
}

// Qt's format with the bitmap's row layout, if there is one.
QImage::Format WrappedFormat(TPixelFormat Format) {
  switch (Format) {
    case pfDevice:
    case pf32bit:
      return QImage::Format_RGB32;
    case pf24bit:
      return QImage::Format_BGR888;
    case pf16bit:
      return QImage::Format_RGB16;
    case pf15bit:
      return QImage::Format_RGB555;
    case pf8bit:
      return QImage::Format_Indexed8;
    case pf1bit:
      return QImage::Format_Mono;
    default:
      return QImage::Format_Invalid;
  }
}

}  // namespace

QImage BitmapToQImage(const TBitmap& Bitmap) {
  return BitmapToQImage(Bitmap, QRect(0, 0, Bitmap.Width(), Bitmap.Height()));
}

QImage BitmapToQImage(const TBitmap& Bitmap, const QRect& R) {
  const QRect area = R & QRect(0, 0, Bitmap.Width(), Bitmap.Height());
  if (area.isEmpty()) return {};
  const int bits = Bitmap.BitCount();
  const uint8_t* top = Bitmap.ScanLine(area.top());
  const QImage::Format format = WrappedFormat(Bitmap.PixelFormat());
  if (format != QImage::Format_Invalid && (bits >= 8 || area.left() % 8 == 0)) {
    const uint8_t* first = top + static_cast<int64_t>(area.left()) * bits / 8;
    QImage image(first, area.width(), area.height(), Bitmap.RowBytes(), format);
    if (bits <= 8) image.setColorTable(ColorTable(Bitmap, bits));
    return image;
  }
  // 4-bit pixels (high nibble first) and 1-bit rows starting inside a byte: one index per byte.
  QImage image(area.size(), QImage::Format_Indexed8);
  image.setColorTable(ColorTable(Bitmap, bits));
  for (int y = 0; y < area.height(); ++y) {
    const uint8_t* row = top + static_cast<int64_t>(y) * Bitmap.RowBytes();
    uchar* out = image.scanLine(y);
    for (int x = 0; x < area.width(); ++x) out[x] = static_cast<uchar>(ReadPixel(row, area.left() + x, bits));
  }
  return image;
}

QImage BlockToQImage(const TChipBlock& Block) {
  if (Block.Empty()) return {};
  TBitmap pixels;
  pixels.SetImage(std::make_shared<TBitmapImage>(*Block.Image));
  // A conversion to another format always copies, so the image outlives the bitmap.
  QImage image = BitmapToQImage(pixels).convertToFormat(QImage::Format_ARGB32);
  const TBitmapImage* alpha = Block.Alpha.get();
  if (alpha && alpha->Width == image.width() && alpha->Height == image.height())
    for (int y = 0; y < image.height(); ++y) {
      const uint8_t* plane = alpha->Bits.data() + static_cast<int64_t>(y) * alpha->RowBytes;
      auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
      for (int x = 0; x < image.width(); ++x)
        row[x] = (row[x] & 0x00FFFFFFu) | (uint32_t{255u - plane[x]} << 24);
    }
  return image;
}

TChipBlock QImageToBlock(const QImage& Image) {
  if (Image.isNull() || Image.width() <= 0 || Image.height() <= 0) return {};
  const QImage source = Image.convertToFormat(QImage::Format_ARGB32);
  const int width = source.width(), height = source.height();
  const std::shared_ptr<TBitmapImage> pixels = NewBitmapImage(width, height, pf32bit, nullptr, false);
  std::shared_ptr<TBitmapImage> plane;
  for (int y = 0; y < height; ++y) {
    const auto* row = reinterpret_cast<const QRgb*>(source.constScanLine(y));
    uint8_t* out = pixels->Bits.data() + static_cast<int64_t>(y) * pixels->RowBytes;
    for (int x = 0; x < width; ++x) {
      out[4 * x] = static_cast<uint8_t>(qBlue(row[x]));
      out[4 * x + 1] = static_cast<uint8_t>(qGreen(row[x]));
      out[4 * x + 2] = static_cast<uint8_t>(qRed(row[x]));
      out[4 * x + 3] = 0;
      if (qAlpha(row[x]) == 255) continue;
      if (!plane) plane = NewAlphaPlaneImage(width, height);
      plane->Bits[static_cast<size_t>(static_cast<int64_t>(y) * plane->RowBytes + x)] =
          static_cast<uint8_t>(255 - qAlpha(row[x]));
    }
  }
  TChipBlock block;
  block.Width = width;
  block.Height = height;
  block.Image = pixels;
  block.Alpha = plane;
  return block;
}
