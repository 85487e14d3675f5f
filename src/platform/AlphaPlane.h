// The alpha plane of an image: an 8-bit bitmap of the image's size with a 256-level grey palette, holding
// 255 - alpha per pixel (0 opaque, 255 fully transparent), the form the PNG codec exchanges alpha in. A
// picture without transparency has no plane (an empty bitmap). BMP files carry alpha in 16- and 32-bit
// bit-field pixels whose V4 or V5 header gives an alpha mask.
#pragma once

#include <memory>

#include "Graphics.h"

// A plane of Width x Height pixels, every one opaque. Raises as NewBitmapImage does.
std::shared_ptr<TBitmapImage> NewAlphaPlaneImage(int Width, int Height);
// Whether Alpha is a usable plane for Image: 8 bits per pixel, not empty, of the image's size.
bool IsAlphaPlaneOf(const TBitmap& Alpha, const TBitmap& Image);
// Whether the plane has a pixel that is not fully opaque.
bool HasTransparentPixel(const TBitmap& Alpha);

// Reads a BMP file as TBitmap::LoadFromStream does and also its alpha: a 16- or 32-bit BI_BITFIELDS file
// whose V4 or V5 header holds a non-zero alpha mask gives Alpha its plane. Alpha is left empty for every
// other file, and for one whose alpha samples are all 0 (writers that fill the mask but not the samples;
// other readers show such files opaque too). On failure both bitmaps keep their images.
void LoadBmpWithAlpha(TStream& Stream, TBitmap& Image, TBitmap& Alpha);
// Writes Image (any format, taken at 24 bits) with the plane Alpha (IsAlphaPlaneOf) as a 32-bit BMP with a
// BITMAPV5HEADER: BI_BITFIELDS, masks 00FF0000, 0000FF00, 000000FF and alpha FF000000, sRGB, rows bottom-up.
void SaveBmpWithAlpha(TStream& Stream, const TBitmap& Image, const TBitmap& Alpha);
