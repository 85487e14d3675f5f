// The platform bitmap: shared pixel images (copy on write), sizes, pixel-format conversion and its canvas.
#include <algorithm>
#include <new>

#include "Graphics.h"
#include "PixelAccess.h"

namespace {
constexpr const char* SInvalidPixelFormat = "Invalid pixel format";
constexpr const char* SScanLineRange = "Scan line index out of range";
}  // namespace

std::shared_ptr<TBitmapImage> NewBitmapImage(int Width, int Height, TPixelFormat Format, HPALETTE Palette,
                                             bool FillWhite) {
  if (Format < pfDevice || Format >= pfCustom) throw EInvalidGraphic(SInvalidPixelFormat);
  if (Width < 0 || Height < 0) throw EInvalidGraphic(SInvalidImageSize);
  const int bits = PixelFormatBitCount(Format);
  const int64_t bytes = DibImageBytes(Width, Height, bits);
  if (bytes < 0) throw EOutOfResources(SOutOfResources);
  auto image = std::make_shared<TBitmapImage>();
  image->Width = Width;
  image->Height = Height;
  image->PixelFormat = Format;
  image->RowBytes = static_cast<int32_t>(PixelFormatRowBytes(Format, Width));
  image->Palette = IsIndexedBitCount(bits)
                       ? CutPalette(PaletteSize(Palette) > 0 ? Palette : DefaultPalette(bits), 1 << bits)
                       : std::move(Palette);
  try {
    image->Bits.assign(static_cast<size_t>(bytes), 0);
  } catch (const std::bad_alloc&) {
    throw EOutOfResources(SOutOfResources);
  }
  if (FillWhite && bytes > 0) {
    const TSurface s = ImageSurface(*image, image->Palette);
    const uint32_t white = ColorToPixel(clWhite, s);
    for (int y = 0; y < Height; ++y) FillPixels(s.Row(y), 0, Width, s.BitCount, white);
  }
  return image;
}

// The canvas of a bitmap: draws into the bitmap's own image, unsharing it first.
class TBitmapCanvas : public TCanvas {
 public:
  explicit TBitmapCanvas(TBitmap& Bitmap) : FBitmap(Bitmap) {}
  TSurface Surface() override {
    FBitmap.Unshare();
    FPalette = EffectivePalette(*FBitmap.FImage);
    return ImageSurface(*FBitmap.FImage, FPalette);
  }
  void Changed() override { FBitmap.Changed(); }

 private:
  TBitmap& FBitmap;
  HPALETTE FPalette;  // keeps the surface's palette alive
};

TBitmap::TBitmap() : FImage(std::make_shared<TBitmapImage>()) {}

TBitmap::~TBitmap() = default;

void TBitmap::Assign(TPersistent* Source) {
  if (Source == nullptr) {
    SetImage(nullptr);
    return;
  }
  if (auto* source = dynamic_cast<TBitmap*>(Source)) {
    if (source == this) return;
    FImage = source->FImage;
    FTransparentColor = source->FTransparentColor;
    TransparentMode = source->TransparentMode;
    HandleType = source->HandleType;
    SetTransparent(source->Transparent());
    PaletteModified = FImage->Palette != nullptr;
    Changed();
    return;
  }
  TGraphic::Assign(Source);
}

void TBitmap::AssignTo(TPersistent* Dest) {
  if (auto* dest = dynamic_cast<TBitmap*>(Dest)) {
    dest->Assign(this);
    return;
  }
  TGraphic::AssignTo(Dest);
}

void TBitmap::SetPixelFormat(TPixelFormat Value) {
  if (Value < pfDevice || Value >= pfCustom) throw EInvalidGraphic(SInvalidPixelFormat);
  const TBitmapImage& old = *FImage;
  if (Value == old.PixelFormat) return;
  const int bits = PixelFormatBitCount(Value);
  auto image = NewBitmapImage(old.Width, old.Height, Value,
                              IsIndexedBitCount(bits) ? ConversionPalette(old, bits) : old.Palette, false);
  const HPALETTE oldPalette = EffectivePalette(old);
  CopyPixels(ImageSurface(*image, image->Palette), Rect(0, 0, old.Width, old.Height),
             ImageSurface(old, oldPalette), Rect(0, 0, old.Width, old.Height));
  SetImage(std::move(image));
}

void TBitmap::SetSize(int NewWidth, int NewHeight) {
  const TBitmapImage& old = *FImage;
  if (NewWidth == old.Width && NewHeight == old.Height) return;
  auto image = NewBitmapImage(NewWidth, NewHeight, old.PixelFormat, old.Palette, true);
  const HPALETTE oldPalette = EffectivePalette(old);
  const TRect kept = Rect(0, 0, std::min(NewWidth, old.Width), std::min(NewHeight, old.Height));
  CopyPixels(ImageSurface(*image, image->Palette), kept, ImageSurface(old, oldPalette), kept);
  SetImage(std::move(image));
}

uint8_t* TBitmap::ScanLine(int Row) {
  if (Row < 0 || Row >= FImage->Height) throw EInvalidGraphic(SScanLineRange);
  Unshare();
  return FImage->Bits.data() + static_cast<int64_t>(Row) * FImage->RowBytes;
}

const uint8_t* TBitmap::ScanLine(int Row) const {
  if (Row < 0 || Row >= FImage->Height) throw EInvalidGraphic(SScanLineRange);
  return FImage->Bits.data() + static_cast<int64_t>(Row) * FImage->RowBytes;
}

uint8_t* TBitmap::Bits() {
  Unshare();
  return FImage->Bits.data();
}

TCanvas& TBitmap::Canvas() {
  if (!FCanvas) FCanvas = std::make_unique<TBitmapCanvas>(*this);
  return *FCanvas;
}

TColor TBitmap::GetPixel(int X, int Y) const {
  const TBitmapImage& image = *FImage;
  if (X < 0 || Y < 0 || X >= image.Width || Y >= image.Height) return -1;
  const int bits = PixelFormatFacts(image.PixelFormat).LayoutBits;
  const uint32_t raw = ReadPixel(image.Bits.data() + static_cast<int64_t>(Y) * image.RowBytes, X, bits);
  const HPALETTE palette = EffectivePalette(image);
  return RgbToColor(
      PixelToRgb(raw, bits, palette ? std::span(palette->Entries) : std::span<const TPaletteEntry>()));
}

void TBitmap::Draw(TCanvas& Canvas, const TRect& R) {
  // The destination first: drawing onto this bitmap's own canvas may unshare (replace) its image.
  const TSurface dst = Canvas.Surface();
  const HPALETTE palette = EffectivePalette(*FImage);
  if (CopyPixels(dst, R, ImageSurface(*FImage, palette), Rect(0, 0, FImage->Width, FImage->Height)))
    Canvas.Changed();
}

void TBitmap::SetImage(std::shared_ptr<TBitmapImage> Image) {
  FImage = Image ? std::move(Image) : std::make_shared<TBitmapImage>();
  PaletteModified = FImage->Palette != nullptr;
  Changed();
}

void TBitmap::DoSetPalette(HPALETTE Value) {
  Unshare();
  const int bits = PixelFormatBitCount(FImage->PixelFormat);
  FImage->Palette = IsIndexedBitCount(bits) ? CutPalette(Value, 1 << bits) : std::move(Value);
  PaletteModified = true;
  Changed();
}

void TBitmap::Unshare() {
  if (FImage.use_count() <= 1) return;
  try {
    FImage = std::make_shared<TBitmapImage>(*FImage);
  } catch (const std::bad_alloc&) {
    throw EOutOfResources(SOutOfResources);
  }
}
