// Blocks of chips: cutting a rectangle of a picture with its alpha, turning it, putting it back, clearing.
#include <algorithm>
#include <array>
#include <cstring>

#include "AlphaPlane.h"
#include "OrvEdit.h"
#include "PixelRows.h"

namespace {

bool Turns(TChipTransform Transform) {
  return Transform == TChipTransform::Rotate90 || Transform == TChipTransform::Rotate270 ||
         Transform == TChipTransform::Transpose || Transform == TChipTransform::AntiTranspose;
}

// Each transform as the matrix that moves a pixel's position about the picture's centre (x right, y down):
// (x, y) becomes (M[0] x + M[1] y, M[2] x + M[3] y).
using TMatrix = std::array<int, 4>;
constexpr std::array<TMatrix, 8> Matrices = {{
    {1, 0, 0, 1},    // Identity
    {-1, 0, 0, 1},   // FlipHorizontal
    {1, 0, 0, -1},   // FlipVertical
    {-1, 0, 0, -1},  // Rotate180
    {0, -1, 1, 0},   // Rotate90: the left column becomes the top row
    {0, 1, -1, 0},   // Rotate270
    {0, 1, 1, 0},    // Transpose
    {0, -1, -1, 0},  // AntiTranspose
}};

TChipTransform Inverse(TChipTransform Transform) {
  if (Transform == TChipTransform::Rotate90) return TChipTransform::Rotate270;
  if (Transform == TChipTransform::Rotate270) return TChipTransform::Rotate90;
  return Transform;
}

// The part of [Start, Start + Length) that lies in [0, Size).
struct TSpan {
  int64_t First = 0, End = 0;
  bool Empty() const { return First >= End; }
};
TSpan Clip(int64_t Start, int64_t Length, int64_t Size) {
  return {std::max<int64_t>(Start, 0), std::min<int64_t>(Start + Length, Size)};
}

int32_t Extent(int32_t First, int32_t End) {
  return static_cast<int32_t>(std::clamp<int64_t>(int64_t{End} - First, 0, INT32_MAX));
}

// Bytes of one pixel for the formats of at least 8 bits (the 15-bit layout is stored in 16), 0 below.
int PixelBytes(TPixelFormat Format) {
  const int bits = PixelFormatBitCount(Format);
  return bits >= 8 ? bits / 8 : 0;
}

// Copies Count pixels from column SourceX of Source to column DestX of Dest, raw and exact (the unused fourth
// byte of 32-bit pixels included).
void CopyRun(const uint8_t* Source, int64_t SourceX, uint8_t* Dest, int64_t DestX, int64_t Count,
             TPixelFormat Format) {
  if (const int bytes = PixelBytes(Format)) {
    std::memcpy(Dest + DestX * bytes, Source + SourceX * bytes, static_cast<size_t>(Count * bytes));
    return;
  }
  const int bits = PixelFormatBitCount(Format);
  for (int64_t i = 0; i < Count; ++i) WritePixel(Dest, DestX + i, bits, ReadPixel(Source, SourceX + i, bits));
}

uint8_t* Row(TBitmapImage& Image, int64_t Y) {
  return Image.Bits.data() + Y * Image.RowBytes;
}
const uint8_t* Row(const TBitmapImage& Image, int64_t Y) {
  return Image.Bits.data() + Y * Image.RowBytes;
}

// Columns [X, X + Width) of rows [Y, Y + Height) of Image as a new image of the same format and palette.
std::shared_ptr<TBitmapImage> CutImage(const TBitmapImage& Image, int64_t X, int64_t Y, int64_t Width,
                                       int64_t Height) {
  auto part = NewBitmapImage(static_cast<int>(Width), static_cast<int>(Height), Image.PixelFormat,
                             Image.Palette, false);
  part->Palette = Image.Palette;
  for (int64_t y = 0; y < Height; ++y)
    CopyRun(Row(Image, Y + y), X, Row(*part, y), 0, Width, Image.PixelFormat);
  return part;
}

// Image turned by Transform, pixel by pixel.
std::shared_ptr<TBitmapImage> TurnImage(const TBitmapImage& Image, TChipTransform Transform) {
  const bool turns = Turns(Transform);
  const int32_t width = turns ? Image.Height : Image.Width, height = turns ? Image.Width : Image.Height;
  auto turned = NewBitmapImage(width, height, Image.PixelFormat, Image.Palette, false);
  turned->Palette = Image.Palette;
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x) {
      const TPoint from = ChipTransformSource(Transform, x, y, Image.Width, Image.Height);
      CopyRun(Row(Image, from.Y), from.X, Row(*turned, y), x, 1, Image.PixelFormat);
    }
  return turned;
}

}  // namespace

TChipBlock CutBlock(const TBitmap& Image, const TBitmap& Alpha, const TRect& Area) {
  TChipBlock block;
  block.Width = Extent(Area.Left, Area.Right);
  block.Height = Extent(Area.Top, Area.Bottom);
  const TSpan xs = Clip(Area.Left, block.Width, Image.Width());
  const TSpan ys = Clip(Area.Top, block.Height, Image.Height());
  if (xs.Empty() || ys.Empty()) return block;
  block.Offset = {static_cast<int32_t>(xs.First - Area.Left), static_cast<int32_t>(ys.First - Area.Top)};
  block.Image = CutImage(Image.Image(), xs.First, ys.First, xs.End - xs.First, ys.End - ys.First);
  if (IsAlphaPlaneOf(Alpha, Image))
    block.Alpha = CutImage(Alpha.Image(), xs.First, ys.First, xs.End - xs.First, ys.End - ys.First);
  return block;
}

TChipBlock TransformBlock(const TChipBlock& Block, TChipTransform Transform) {
  if (Transform == TChipTransform::Identity) return Block;
  const bool turns = Turns(Transform);
  TChipBlock turned;
  turned.Width = turns ? Block.Height : Block.Width;
  turned.Height = turns ? Block.Width : Block.Height;
  if (Block.Empty()) return turned;
  // The picture's first and last pixels, found by the inverse transform, bound its place in the turned block.
  const TChipTransform inverse = Inverse(Transform);
  const int32_t last[2] = {Block.Offset.X + Block.Image->Width - 1, Block.Offset.Y + Block.Image->Height - 1};
  const TPoint a = ChipTransformSource(inverse, Block.Offset.X, Block.Offset.Y, turned.Width, turned.Height);
  const TPoint b = ChipTransformSource(inverse, last[0], last[1], turned.Width, turned.Height);
  turned.Offset = {std::min(a.X, b.X), std::min(a.Y, b.Y)};
  turned.Image = TurnImage(*Block.Image, Transform);
  if (Block.Alpha) turned.Alpha = TurnImage(*Block.Alpha, Transform);
  return turned;
}

TChipTransform ComposeTransforms(TChipTransform First, TChipTransform Then) {
  const TMatrix& f = Matrices[static_cast<size_t>(First)];
  const TMatrix& t = Matrices[static_cast<size_t>(Then)];
  const TMatrix product = {t[0] * f[0] + t[1] * f[2], t[0] * f[1] + t[1] * f[3], t[2] * f[0] + t[3] * f[2],
                           t[2] * f[1] + t[3] * f[3]};
  for (size_t i = 0; i < Matrices.size(); ++i)
    if (Matrices[i] == product) return static_cast<TChipTransform>(i);
  return TChipTransform::Identity;  // not reached: the eight form a group
}

TRect BlockPlace(const TBitmap& Image, const TChipBlock& Block, int32_t X, int32_t Y) {
  if (Block.Empty()) return {};
  const TSpan xs = Clip(int64_t{X} + Block.Offset.X, Block.Image->Width, Image.Width());
  const TSpan ys = Clip(int64_t{Y} + Block.Offset.Y, Block.Image->Height, Image.Height());
  if (xs.Empty() || ys.Empty()) return {};
  return Rect(static_cast<int32_t>(xs.First), static_cast<int32_t>(ys.First), static_cast<int32_t>(xs.End),
              static_cast<int32_t>(ys.End));
}

TRect PutBlock(TBitmap& Image, TBitmap& Alpha, const TChipBlock& Block, int32_t X, int32_t Y) {
  const TRect dest = BlockPlace(Image, Block, X, Y);
  if (dest.Width() <= 0 || dest.Height() <= 0) return {};
  // Where the block's pixels start: within the 32-bit range, since some of them land inside the image.
  const int64_t left = int64_t{X} + Block.Offset.X, top = int64_t{Y} + Block.Offset.Y;
  // Drawn one to one through the platform's copy, which maps colours into an indexed image; the drawing only
  // reads the block's pixels. A block that reaches outside is cut to the part that lands first.
  TBitmap pixels;
  if (dest.Width() == Block.Image->Width && dest.Height() == Block.Image->Height)
    pixels.SetImage(std::const_pointer_cast<TBitmapImage>(Block.Image));
  else
    pixels.SetImage(CutImage(*Block.Image, dest.Left - left, dest.Top - top, dest.Width(), dest.Height()));
  pixels.Draw(Image.Canvas(), dest);

  if (!Block.Alpha && Alpha.Empty()) return dest;
  if (!IsAlphaPlaneOf(Alpha, Image)) Alpha.SetImage(NewAlphaPlaneImage(Image.Width(), Image.Height()));
  const size_t width = static_cast<size_t>(dest.Width());
  for (int32_t y = dest.Top; y < dest.Bottom; ++y) {
    uint8_t* out = Alpha.ScanLine(y) + dest.Left;
    if (Block.Alpha)
      std::memcpy(out, Row(*Block.Alpha, y - top) + (dest.Left - left), width);
    else
      std::memset(out, 0, width);
  }
  return dest;
}

TRect ClearArea(TBitmap& Image, TBitmap& Alpha, const TRect& Area) {
  const TSpan xs = Clip(Area.Left, Extent(Area.Left, Area.Right), Image.Width());
  const TSpan ys = Clip(Area.Top, Extent(Area.Top, Area.Bottom), Image.Height());
  if (xs.Empty() || ys.Empty()) return {};
  const TRect cleared = Rect(static_cast<int32_t>(xs.First), static_cast<int32_t>(ys.First),
                             static_cast<int32_t>(xs.End), static_cast<int32_t>(ys.End));
  TCanvas& canvas = Image.Canvas();
  const TBrush brush = canvas.Brush;
  canvas.Brush = TBrush{clWhite, bsSolid};
  canvas.FillRect(cleared);
  canvas.Brush = brush;
  if (IsAlphaPlaneOf(Alpha, Image))
    for (int32_t y = cleared.Top; y < cleared.Bottom; ++y)
      std::memset(Alpha.ScanLine(y) + cleared.Left, 255, static_cast<size_t>(cleared.Width()));
  return cleared;
}
