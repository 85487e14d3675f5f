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

// Copies Count pixels of Bytes bytes each to Dest, taking them from Source in steps of Step bytes.
template <int Bytes>
void GatherRun(const uint8_t* Source, int64_t Step, uint8_t* Dest, int32_t Count) {
  for (int32_t i = 0; i < Count; ++i, Source += Step, Dest += Bytes) std::memcpy(Dest, Source, Bytes);
}

// Image turned by Transform. The source of a turned pixel moves by a fixed step along a turned row, so whole
// pixels are gathered row by row; pictures below 8 bits go pixel by pixel.
std::shared_ptr<TBitmapImage> TurnImage(const TBitmapImage& Image, TChipTransform Transform) {
  const bool turns = Turns(Transform);
  const int32_t width = turns ? Image.Height : Image.Width, height = turns ? Image.Width : Image.Height;
  auto turned = NewBitmapImage(width, height, Image.PixelFormat, Image.Palette, false);
  turned->Palette = Image.Palette;
  const int bytes = PixelBytes(Image.PixelFormat);
  const TPoint origin = ChipTransformSource(Transform, 0, 0, Image.Width, Image.Height);
  const TPoint next = ChipTransformSource(Transform, 1, 0, Image.Width, Image.Height);
  const int64_t step = (int64_t{next.X} - origin.X) * bytes + (int64_t{next.Y} - origin.Y) * Image.RowBytes;
  for (int32_t y = 0; y < height; ++y) {
    const TPoint from = ChipTransformSource(Transform, 0, y, Image.Width, Image.Height);
    uint8_t* out = Row(*turned, y);
    if (bytes == 0) {
      for (int32_t x = 0; x < width; ++x) {
        const TPoint pixel = ChipTransformSource(Transform, x, y, Image.Width, Image.Height);
        CopyRun(Row(Image, pixel.Y), pixel.X, out, x, 1, Image.PixelFormat);
      }
      continue;
    }
    const uint8_t* source = Row(Image, from.Y) + int64_t{from.X} * bytes;
    switch (bytes) {
      case 1:
        GatherRun<1>(source, step, out, width);
        break;
      case 2:
        GatherRun<2>(source, step, out, width);
        break;
      case 3:
        GatherRun<3>(source, step, out, width);
        break;
      default:
        GatherRun<4>(source, step, out, width);
    }
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
  const TRect picture = Rect(Block.Offset.X, Block.Offset.Y, Block.Offset.X + Block.Image->Width,
                             Block.Offset.Y + Block.Image->Height);
  const TRect place = TransformedArea(picture, Block.Width, Block.Height, Transform);
  turned.Offset = {place.Left, place.Top};
  turned.Image = TurnImage(*Block.Image, Transform);
  if (Block.Alpha) turned.Alpha = TurnImage(*Block.Alpha, Transform);
  return turned;
}

TRect TransformedArea(const TRect& Part, int32_t Width, int32_t Height, TChipTransform Transform) {
  if (Part.Left >= Part.Right || Part.Top >= Part.Bottom) return {};
  const bool turns = Turns(Transform);
  const int32_t width = turns ? Height : Width, height = turns ? Width : Height;
  // The part's first and last pixels, found by the inverse transform, bound its place in the turned block.
  const TChipTransform inverse = Inverse(Transform);
  const TPoint a = ChipTransformSource(inverse, Part.Left, Part.Top, width, height);
  const TPoint b = ChipTransformSource(inverse, Part.Right - 1, Part.Bottom - 1, width, height);
  return Rect(std::min(a.X, b.X), std::min(a.Y, b.Y), std::max(a.X, b.X) + 1, std::max(a.Y, b.Y) + 1);
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

TRect PutArea(TBitmap& Image, TBitmap& Alpha, const TBitmap& Source, const TBitmap& SourceAlpha,
              const TRect& Area, int32_t X, int32_t Y) {
  // The part of Area in Source, then the part of that which lands in Image.
  const TSpan xs = Clip(Area.Left, Extent(Area.Left, Area.Right), Source.Width());
  const TSpan ys = Clip(Area.Top, Extent(Area.Top, Area.Bottom), Source.Height());
  if (xs.Empty() || ys.Empty()) return {};
  const int64_t left = X + (xs.First - Area.Left), top = Y + (ys.First - Area.Top);
  const TSpan dx = Clip(left, xs.End - xs.First, Image.Width());
  const TSpan dy = Clip(top, ys.End - ys.First, Image.Height());
  if (dx.Empty() || dy.Empty()) return {};
  const TRect dest = Rect(static_cast<int32_t>(dx.First), static_cast<int32_t>(dy.First),
                          static_cast<int32_t>(dx.End), static_cast<int32_t>(dy.End));
  const int64_t sourceX = xs.First + (dx.First - left), sourceY = ys.First + (dy.First - top);
  const TBitmapImage& from = Source.Image();
  if (from.PixelFormat == Image.PixelFormat() && PixelFormatBitCount(from.PixelFormat) >= 15) {
    // One true-colour format: the rows as they are.
    for (int32_t y = dest.Top; y < dest.Bottom; ++y)
      CopyRun(Row(from, sourceY + (y - dest.Top)), sourceX, Image.ScanLine(y), dest.Left, dest.Width(),
              from.PixelFormat);
  } else {
    // Drawn one to one through the platform's copy, which maps colours into an indexed image.
    TBitmap pixels;
    pixels.SetImage(CutImage(from, sourceX, sourceY, dest.Width(), dest.Height()));
    pixels.Draw(Image.Canvas(), dest);
  }

  const bool plane = IsAlphaPlaneOf(SourceAlpha, Source);
  if (!plane && Alpha.Empty()) return dest;
  if (!IsAlphaPlaneOf(Alpha, Image)) Alpha.SetImage(NewAlphaPlaneImage(Image.Width(), Image.Height()));
  const size_t width = static_cast<size_t>(dest.Width());
  for (int32_t y = dest.Top; y < dest.Bottom; ++y) {
    uint8_t* out = Alpha.ScanLine(y) + dest.Left;
    if (plane)
      std::memcpy(out, SourceAlpha.ScanLine(static_cast<int>(sourceY + (y - dest.Top))) + sourceX, width);
    else
      std::memset(out, 0, width);
  }
  return dest;
}

TRect PutBlock(TBitmap& Image, TBitmap& Alpha, const TChipBlock& Block, int32_t X, int32_t Y) {
  if (Block.Empty()) return {};
  // The block's rectangle in its picture's coordinates; the picture is only read.
  TBitmap pixels, plane;
  pixels.SetImage(std::const_pointer_cast<TBitmapImage>(Block.Image));
  if (Block.Alpha) plane.SetImage(std::const_pointer_cast<TBitmapImage>(Block.Alpha));
  return PutArea(
      Image, Alpha, pixels, plane,
      Rect(-Block.Offset.X, -Block.Offset.Y, Block.Width - Block.Offset.X, Block.Height - Block.Offset.Y), X,
      Y);
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

void MoveBlock(TBitmap& Image, TBitmap& Alpha, const TChipBlock& Block, const TRect& Area, TPoint Target,
               bool Copy) {
  if (!Copy) ClearArea(Image, Alpha, Area);
  PutBlock(Image, Alpha, Block, Target.X, Target.Y);
}
