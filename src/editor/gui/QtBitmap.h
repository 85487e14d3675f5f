// The bridge from the platform bitmap to Qt's images.
#pragma once

#include <QImage>
#include <QRect>

#include "Graphics.h"

// A QImage of the pixels of R (the whole bitmap by default), clipped to the bitmap; a null image when nothing
// is left. 32-, 24-, 16-, 15- and 8-bit pixels, and 1-bit rows starting on a byte, are wrapped without
// copying: such an image reads the bitmap's own memory and is valid only until the bitmap changes. 4-bit
// pixels and 1-bit rows starting inside a byte are converted through the palette.
QImage BitmapToQImage(const TBitmap& Bitmap);
QImage BitmapToQImage(const TBitmap& Bitmap, const QRect& R);
