// Alpha planes of the chip document: reading them from files and keeping the edit plane at the image's size.
#include "OrvAlpha.h"

#include <algorithm>
#include <cstring>

#include "OrvCui.h"
#include "OrvCuiFiles.h"
#include "PixelRows.h"
#include "PngGraphic.h"

namespace {

// The plane of a single-colour tRNS: Key is a palette index (PaletteIndexColor), a grey sample (Gray, as the
// index into the decoder's grey palette) or a colour.
std::shared_ptr<TBitmapImage> ColorKeyPlane(const TBitmap& Image, TColor Key, bool Gray) {
  auto plane = NewAlphaPlaneImage(Image.Width(), Image.Height());
  const int bits = Image.BitCount();
  const bool indexed = bits <= 8;
  const bool byIndex = indexed && (IsPaletteIndexColor(Key) || Gray);
  const uint32_t index = static_cast<uint32_t>(Key) & 0xFF;
  const HPALETTE palette = Image.Palette();
  const std::span<const TPaletteEntry> entries =
      palette ? std::span<const TPaletteEntry>(palette->Entries) : std::span<const TPaletteEntry>();
  for (int y = 0; y < Image.Height(); ++y) {
    const uint8_t* row = Image.ScanLine(y);
    uint8_t* out = plane->Bits.data() + static_cast<int64_t>(y) * plane->RowBytes;
    for (int x = 0; x < Image.Width(); ++x) {
      const uint32_t raw = ReadPixel(row, x, bits);
      const bool transparent =
          byIndex ? raw == index : !indexed && RgbToColor(PixelToRgb(raw, bits, entries)) == Key;
      if (transparent) out[x] = 255;
    }
  }
  return plane;
}

}  // namespace

void PngPictureWithAlpha(TPngGraphic& Png, TBitmap& Image, TBitmap& Alpha) {
  TBitmap image, alpha;
  image.Assign(&Png);
  if (Png.HasAlpha && IsAlphaPlaneOf(Png.AlphaBitmap(), image))
    alpha.Assign(&Png.AlphaBitmap());
  else if (!Png.HasAlpha && Png.TransparentColor != -1)
    alpha.SetImage(ColorKeyPlane(image, Png.TransparentColor, Png.GrayScale));
  Image.Assign(&image);
  Alpha.Assign(&alpha);
}

void ReadImageFileWithAlpha(const std::string& FileName, TBitmap& Image, TBitmap& Alpha, TPngGraphic* Png) {
  TBitmap image, alpha;
  if (ImageFileKindOf(FileName, "load") == TImageFileKind::Png) {
    TPngGraphic own;
    TPngGraphic& png = Png ? *Png : own;
    ReadPngFile(FileName, png);
    PngPictureWithAlpha(png, image, alpha);
  } else {
    ReadBmpFile(FileName, image, &alpha);
  }
  Image.Assign(&image);
  Alpha.Assign(&alpha);
}

void DropOpaquePlane(TBitmap& Alpha) {
  if (!HasTransparentPixel(Alpha)) Alpha.Assign(nullptr);
}

void MakeIndexZeroTransparent(const TBitmap& Image, TBitmap& Alpha) {
  const int bits = Image.BitCount();
  if (bits > 8 || Image.Empty()) return;
  if (!IsAlphaPlaneOf(Alpha, Image)) Alpha.SetImage(NewAlphaPlaneImage(Image.Width(), Image.Height()));
  for (int y = 0; y < Image.Height(); ++y) {
    const uint8_t* row = Image.ScanLine(y);
    uint8_t* out = Alpha.ScanLine(y);
    for (int x = 0; x < Image.Width(); ++x)
      if (ReadPixel(row, x, bits) == 0) out[x] = 255;
  }
}

void TOrvDatas::LoadMaterial(const std::string& FileName, const TMaterialReadOptions& Options) {
  if (!Material) Material = std::make_unique<TBitmap>();
  TBitmap image, alpha;
  ReadImageFileWithAlpha(FileName, image, alpha);
  if (Options.IndexZeroTransparent) MakeIndexZeroTransparent(image, alpha);
  DropOpaquePlane(alpha);
  Material->Assign(&image);
  MaterialAlpha.Assign(&alpha);
}

const TBitmap* TOrvDatas::TransparentEditAlpha() const {
  return EditImage && IsAlphaPlaneOf(EditAlpha, *EditImage) && HasTransparentPixel(EditAlpha) ? &EditAlpha
                                                                                              : nullptr;
}

void TOrvDatas::FitEditAlpha(int32_t OldWidth, int32_t OldHeight, bool Transparent) {
  const TBitmap& image = *EditImage;
  if (IsAlphaPlaneOf(EditAlpha, image) && !Transparent) return;
  const bool hadPlane =
      EditAlpha.Width() == OldWidth && EditAlpha.Height() == OldHeight && !EditAlpha.Empty();
  if (!hadPlane && !Transparent) {
    EditAlpha.Assign(nullptr);
    return;
  }
  auto plane = NewAlphaPlaneImage(image.Width(), image.Height());
  const int32_t keptWidth = std::min(OldWidth, image.Width()),
                keptHeight = std::min(OldHeight, image.Height());
  for (int y = 0; y < image.Height(); ++y) {
    uint8_t* out = plane->Bits.data() + static_cast<int64_t>(y) * plane->RowBytes;
    const int32_t kept = y < keptHeight ? keptWidth : 0;
    if (kept > 0 && hadPlane) std::memcpy(out, EditAlpha.ScanLine(y), static_cast<size_t>(kept));
    if (Transparent) std::memset(out + kept, 255, static_cast<size_t>(image.Width() - kept));
  }
  EditAlpha.SetImage(std::move(plane));
}
