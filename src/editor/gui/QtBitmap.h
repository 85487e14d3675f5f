// The bridge from the platform bitmap to Qt's images.
#pragma once

#include <QImage>
#include <QRect>

#include "Graphics.h"
#include "OrvEdit.h"

// A QImage of the pixels of R (the whole bitmap by default), clipped to the bitmap; a null image when nothing
// is left. 32-, 24-, 16-, 15- and 8-bit pixels, and 1-bit rows starting on a byte, are wrapped without
// copying: such an image reads the bitmap's own memory and is valid only until the bitmap changes. 4-bit
// pixels and 1-bit rows starting inside a byte are converted through the palette.
QImage BitmapToQImage(const TBitmap& Bitmap);
QImage BitmapToQImage(const TBitmap& Bitmap, const QRect& R);

// The pixels a block carries (its Image, without the part of the rectangle outside its picture) as an image
// for the clipboard: ARGB32, each pixel's alpha from the block's plane (opaque without one). Null for an
// empty block.
QImage BlockToQImage(const TChipBlock& Block);
// A block of a whole image from the clipboard or another program: 32-bit pixels, with an alpha plane when a
// pixel is not fully opaque. An empty block for a null image.
TChipBlock QImageToBlock(const QImage& Image);
