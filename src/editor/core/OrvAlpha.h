// Transparency of the chip document's pictures: the alpha that image files carry, read into an alpha plane
// (AlphaPlane.h: 8 bits, 255 - alpha per pixel), and the options a material is read with.
#pragma once

#include <string>

#include "AlphaPlane.h"
#include "Graphics.h"

class TPngGraphic;

struct TMaterialReadOptions {
  // An indexed picture (1, 4 or 8 bits, as RPG Maker 2000/2003 sheets are) shows its palette index 0 as
  // transparent, as those engines do.
  bool IndexZeroTransparent = false;
};

// Reads an image file by its extension, as LoadImageFile does, into Image, and the alpha it carries into
// Alpha: a PNG's alpha channel (grey or RGB with alpha, kept even where every pixel is opaque) or palette
// alpha table; a PNG's single tRNS colour (the pixels of that palette index, grey sample or colour, compared
// as the decoder delivers them: the high byte of 16-bit samples); a BMP's alpha mask. Alpha is empty when the
// file carries none. On any failure both keep their images. Png, when given, receives a PNG file's graphic
// object with the decoder's results.
void ReadImageFileWithAlpha(const std::string& FileName, TBitmap& Image, TBitmap& Alpha,
                            TPngGraphic* Png = nullptr);
// The picture a decoded PNG graphic holds, into Image, and its alpha into Alpha as ReadImageFileWithAlpha
// takes it.
void PngPictureWithAlpha(TPngGraphic& Png, TBitmap& Image, TBitmap& Alpha);
// Empties Alpha when it has no transparent pixel, so that an opaque picture has no plane.
void DropOpaquePlane(TBitmap& Alpha);
// Makes the pixels of palette index 0 of an indexed Image fully transparent in Alpha (a plane is made when
// Alpha is none). A true-colour Image is left alone.
void MakeIndexZeroTransparent(const TBitmap& Image, TBitmap& Alpha);
