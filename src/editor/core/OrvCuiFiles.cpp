// Image files of the chip document: loading materials and edit images, and saving the edit image reduced by
// its colour count. The format is chosen by the file name's extension alone.
#include "OrvCuiFiles.h"

#include <algorithm>
#include <cctype>
#include <utility>
#include <vector>

#include "DibImage.h"
#include "OrvCui.h"
#include "PixelRows.h"
#include "PngGraphic.h"

namespace {

bool SameTextAscii(const std::string& A, const char* B) {
  const std::string Lower(B);
  return A.size() == Lower.size() && std::equal(A.begin(), A.end(), Lower.begin(), [](char a, char b) {
           return std::tolower(static_cast<unsigned char>(a)) == b;
         });
}

// Image in the indexed Format with Palette, each pixel the first entry of exactly its colour. Returns false,
// leaving Target alone, when a colour of the image is no entry of the palette.
bool IndexByPalette(TBitmap& Image, TPixelFormat Format, const HPALETTE& Palette, TBitmap& Target) {
  TBitmap Rgb;
  Rgb.Assign(&Image);
  Rgb.SetPixelFormat(pf24bit);
  auto Indexed = NewBitmapImage(Rgb.Width(), Rgb.Height(), Format, Palette, false);
  const int Bits = PixelFormatBitCount(Format);

  // Colours as 24-bit pixels read them, sorted; the first entry wins among equal colours.
  std::vector<std::pair<uint32_t, uint8_t>> Entries;
  const std::vector<TPaletteEntry>& Colors = Indexed->Palette->Entries;
  for (size_t i = 0; i < Colors.size(); ++i)
    Entries.emplace_back(Colors[i].peBlue | (Colors[i].peGreen << 8) | (Colors[i].peRed << 16),
                         static_cast<uint8_t>(i));
  std::stable_sort(Entries.begin(), Entries.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });

  uint32_t LastColor = 0;
  uint8_t LastIndex = 0;
  bool HaveLast = false;
  for (int y = 0; y < Rgb.Height(); ++y) {
    const uint8_t* Source = Rgb.ScanLine(y);
    uint8_t* Dest = Indexed->Bits.data() + static_cast<int64_t>(y) * Indexed->RowBytes;
    for (int x = 0; x < Rgb.Width(); ++x) {
      const uint32_t Color = ReadPixel(Source, x, 24);
      if (!HaveLast || Color != LastColor) {
        const auto Found = std::lower_bound(Entries.begin(), Entries.end(), Color,
                                            [](const auto& e, uint32_t c) { return e.first < c; });
        if (Found == Entries.end() || Found->first != Color) return false;
        LastColor = Color;
        LastIndex = Found->second;
        HaveLast = true;
      }
      WritePixel(Dest, x, Bits, LastIndex);
    }
  }
  Target.SetImage(std::move(Indexed));
  return true;
}

[[noreturn]] void CannotRead(const std::string& FileName, const char* Reason) {
  throw EInvalidGraphic("Cannot load image \"" + FileName + "\": " + Reason);
}

}  // namespace

TImageFileKind ImageFileKindOf(const std::string& FileName, const char* Action) {
  const std::string Ext = ExtractFileExt(FileName);
  if (SameTextAscii(Ext, ".png")) return TImageFileKind::Png;
  if (SameTextAscii(Ext, ".bmp")) return TImageFileKind::Bmp;
  throw EInvalidGraphic(std::string("Cannot ") + Action + " image \"" + FileName +
                        "\": only .png and .bmp files are supported.");
}

void ReadPngFile(const std::string& FileName, TPngGraphic& Graphic) {
  Graphic.LoadFromFile(FileName);
  // The decoder ends quietly when the file ends before any image data; such a file holds no picture.
  if (Graphic.Empty()) CannotRead(FileName, "the PNG file holds no image data.");
}

void ReadBmpFile(const std::string& FileName, TBitmap& Bitmap) {
  Bitmap.LoadFromFile(FileName);
  if (Bitmap.Empty()) throw EInvalidGraphic(SInvalidBitmap);
}

void LoadImageFile(const std::string& FileName, TBitmap& Target) {
  if (ImageFileKindOf(FileName, "load") == TImageFileKind::Png) {
    TPngGraphic Png;
    ReadPngFile(FileName, Png);
    Target.Assign(&Png);
  } else {
    TBitmap Bmp;
    ReadBmpFile(FileName, Bmp);
    Target.Assign(&Bmp);
  }
}

void TOrvDatas::LoadMaterial(const std::string& FileName) {
  if (!Material) Material = std::make_unique<TBitmap>();
  LoadImageFile(FileName, *Material);
}

void TOrvDatas::LoadEditImage(const std::string& FileName) {
  if (!EditImage) {
    EditImage = std::make_unique<TBitmap>();
    EditImage->SetTransparentColor(clWhite);
  }
  // Held in true colour, so that stamped chips keep their colours; the save reduces by the colour count.
  TBitmap Loaded;
  LoadImageFile(FileName, Loaded);
  const TPixelFormat Format = Loaded.PixelFormat();
  HPALETTE Palette;
  if (PixelFormatFacts(Format).Indexed)
    Palette = Loaded.Palette() ? Loaded.Palette() : DefaultPalette(Loaded.BitCount());
  Loaded.SetPixelFormat(pf24bit);
  EditImage->Assign(&Loaded);
  LoadedFormat = Format;
  LoadedPalette = std::move(Palette);
}

void TOrvDatas::SaveEditImage(const std::string& FileName) {
  const TImageFileKind Kind = ImageFileKindOf(FileName, "save");
  if (!EditImage || EditImage->Empty())
    throw EInvalidGraphic("Cannot save image \"" + FileName + "\": the edit image is empty.");

  // While every colour is still an entry of the loaded file's palette, the image is reduced as the indexed
  // image that file held, so a sheet of close colours (which the true-colour reduction would merge) keeps
  // them; any other colour sends it through the true-colour reduction.
  TDibGraphic Dib;
  TBitmap Indexed;
  if (LoadedPalette && IndexByPalette(*EditImage, LoadedFormat, LoadedPalette, Indexed))
    Dib.Assign(&Indexed);
  else
    Dib.Assign(EditImage.get());
  // Each reduction works on the result of the one before. A single colour reaches 1 bit only when it is black
  // or white, the two colours that the key-colour step keeps; any other stays at 4 bits with its colour.
  const int64_t Colors = CountColors(*EditImage);
  if (Colors < 257) Dib.SetPixelFormat(dpf8Bit);
  if (Colors < 17) Dib.SetPixelFormat(dpf4Bit);
  if (Colors < 2) {
    const TColor Only = EditImage->GetPixel(0, 0) & 0xFFFFFF;
    if (Only == clBlack || Only == clWhite) Dib.SetPixelFormat(dpf1Bit);
  }

  if (Kind == TImageFileKind::Png) {
    TPngGraphic Png;
    Png.Assign(&Dib);
    SaveFileAtomically(FileName, [&Png](TStream& Stream) { Png.SaveToStream(Stream); });
  } else {
    TBitmap Bmp;
    Dib.AssignTo(&Bmp);
    SaveFileAtomically(FileName, [&Bmp](TStream& Stream) { Bmp.SaveToStream(Stream); });
  }
}
