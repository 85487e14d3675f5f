// Image files by extension: the file kinds the editor reads and writes, and the readers that the document's
// loads and tilora-tool share, so that both accept and refuse the same files with the same messages.
#pragma once

#include <string>

#include "Graphics.h"

class TPngGraphic;

enum class TImageFileKind { Png, Bmp };

// The kind named by the extension of the file name's last component (from its last full stop): ".png" or
// ".bmp", in any letter case. Any other extension raises EInvalidGraphic
// 'Cannot <Action> image "<FileName>": only .png and .bmp files are supported.'
TImageFileKind ImageFileKindOf(const std::string& FileName, const char* Action);

// Decodes a PNG file into Graphic. A file that yields no image (no image data before its end) raises
// EInvalidGraphic 'Cannot load image "<FileName>": the PNG file holds no image data.'
void ReadPngFile(const std::string& FileName, TPngGraphic& Graphic);

// Reads a BMP file into Bitmap with the bitmap's own reader, and with Alpha given the file's alpha plane too
// (LoadBmpWithAlpha). A file that yields no pixels (a zero-byte file among them) raises EInvalidGraphic
// "Bitmap image is not valid".
void ReadBmpFile(const std::string& FileName, TBitmap& Bitmap, TBitmap* Alpha = nullptr);

// Reads an image file by its extension into Target: the decoded image replaces Target's only when the read
// succeeded, so on any failure Target keeps its image.
void LoadImageFile(const std::string& FileName, TBitmap& Target);
