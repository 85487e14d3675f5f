// Image files of the chip document: loading materials and edit images, and saving the edit image reduced by
// its colour count. The format is chosen by the file name's extension alone.
#include "OrvCuiFiles.h"

#include <algorithm>
#include <cctype>
#include <utility>
#include <vector>

#include "AlphaPlane.h"
#include "DibImage.h"
#include "OrvAlpha.h"
#include "OrvCui.h"
#include "OrvSave.h"
#include "PixelRows.h"
#include "PngGraphic.h"

namespace {

bool SameTextAscii(const std::string& A, const char* B) {
  const std::string lower(B);
  return A.size() == lower.size() && std::equal(A.begin(), A.end(), lower.begin(), [](char a, char b) {
           return std::tolower(static_cast<unsigned char>(a)) == b;
         });
}

// Image in the indexed Format with Palette, each pixel the first entry of exactly its colour. Returns false,
// leaving Target alone, when a colour of the image is no entry of the palette.
bool IndexByPalette(TBitmap& Image, TPixelFormat Format, const HPALETTE& Palette, TBitmap& Target) {
  TBitmap rgb;
  rgb.Assign(&Image);
  rgb.SetPixelFormat(pf24bit);
  auto indexed = NewBitmapImage(rgb.Width(), rgb.Height(), Format, Palette, false);
  const int bits = PixelFormatBitCount(Format);

  // Colours as 24-bit pixels read them, sorted; the first entry wins among equal colours.
  std::vector<std::pair<uint32_t, uint8_t>> entries;
  const std::vector<TPaletteEntry>& colors = indexed->Palette->Entries;
  for (size_t i = 0; i < colors.size(); ++i)
    entries.emplace_back(colors[i].peBlue | (colors[i].peGreen << 8) | (colors[i].peRed << 16),
                         static_cast<uint8_t>(i));
  std::stable_sort(entries.begin(), entries.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });

  uint32_t lastColor = 0;
  uint8_t lastIndex = 0;
  bool haveLast = false;
  for (int y = 0; y < rgb.Height(); ++y) {
    const uint8_t* source = rgb.ScanLine(y);
    uint8_t* dest = indexed->Bits.data() + static_cast<int64_t>(y) * indexed->RowBytes;
    for (int x = 0; x < rgb.Width(); ++x) {
      const uint32_t color = ReadPixel(source, x, 24);
      if (!haveLast || color != lastColor) {
        const auto found = std::lower_bound(entries.begin(), entries.end(), color,
                                            [](const auto& e, uint32_t c) { return e.first < c; });
        if (found == entries.end() || found->first != color) return false;
        lastColor = color;
        lastIndex = found->second;
        haveLast = true;
      }
      WritePixel(dest, x, bits, lastIndex);
    }
  }
  Target.SetImage(std::move(indexed));
  return true;
}

[[noreturn]] void CannotRead(const std::string& FileName, const char* Reason) {
  throw EInvalidGraphic("Cannot load image \"" + FileName + "\": " + Reason);
}

}  // namespace

TImageFileKind ImageFileKindOf(const std::string& FileName, const char* Action) {
  const std::string ext = ExtractFileExt(FileName);
  if (SameTextAscii(ext, ".png")) return TImageFileKind::Png;
  if (SameTextAscii(ext, ".bmp")) return TImageFileKind::Bmp;
  throw EInvalidGraphic(std::string("Cannot ") + Action + " image \"" + FileName +
                        "\": only .png and .bmp files are supported.");
}

void ReadPngFile(const std::string& FileName, TPngGraphic& Graphic) {
  Graphic.LoadFromFile(FileName);
  // The decoder ends quietly when the file ends before any image data; such a file holds no picture.
  if (Graphic.Empty()) CannotRead(FileName, "the PNG file holds no image data.");
}

void ReadBmpFile(const std::string& FileName, TBitmap& Bitmap, TBitmap* Alpha) {
  if (Alpha) {
    TFileStream stream(FileName, fmOpenRead);
    LoadBmpWithAlpha(stream, Bitmap, *Alpha);
  } else {
    Bitmap.LoadFromFile(FileName);
  }
  if (Bitmap.Empty()) throw EInvalidGraphic(SInvalidBitmap);
}

void LoadImageFile(const std::string& FileName, TBitmap& Target) {
  if (ImageFileKindOf(FileName, "load") == TImageFileKind::Png) {
    TPngGraphic png;
    ReadPngFile(FileName, png);
    Target.Assign(&png);
  } else {
    TBitmap bmp;
    ReadBmpFile(FileName, bmp);
    Target.Assign(&bmp);
  }
}

void TOrvDatas::LoadMaterial(const std::string& FileName) {
  LoadMaterial(FileName, TMaterialReadOptions{});
}

void TOrvDatas::LoadEditImage(const std::string& FileName) {
  if (!EditImage) {
    EditImage = std::make_unique<TBitmap>();
    EditImage->SetTransparentColor(clWhite);
  }
  // Held in true colour, so that stamped chips keep their colours; the save reduces by the colour count.
  TBitmap loaded, alpha;
  ReadImageFileWithAlpha(FileName, loaded, alpha);
  DropOpaquePlane(alpha);
  const TPixelFormat format = loaded.PixelFormat();
  HPALETTE palette;
  if (PixelFormatFacts(format).Indexed)
    palette = loaded.Palette() ? loaded.Palette() : DefaultPalette(loaded.BitCount());
  loaded.SetPixelFormat(pf24bit);
  EditImage->Assign(&loaded);
  EditAlpha.Assign(&alpha);
  LoadedFormat = format;
  LoadedPalette = std::move(palette);
}

void TOrvDatas::SaveEditImage(const std::string& FileName) {
  SaveEditImage(FileName, TSaveOptions{});
}

void TOrvDatas::ReduceForSave(TDibGraphic& Dib) const {
  // While every colour is still an entry of the loaded file's palette, the image is reduced as the indexed
  // image that file held, so a sheet of close colours (which the true-colour reduction would merge) keeps
  // them; any other colour sends it through the true-colour reduction.
  TDibGraphic& dib = Dib;
  TBitmap indexed;
  if (LoadedPalette && IndexByPalette(*EditImage, LoadedFormat, LoadedPalette, indexed))
    dib.Assign(&indexed);
  else
    dib.Assign(EditImage.get());
  // Each reduction works on the result of the one before. A single colour reaches 1 bit only when it is black
  // or white, the two colours that the key-colour step keeps; any other stays at 4 bits with its colour.
  const int64_t colors = CountColors(*EditImage);
  if (colors < 257) dib.SetPixelFormat(dpf8Bit);
  if (colors < 17) dib.SetPixelFormat(dpf4Bit);
  if (colors < 2) {
    const TColor only = EditImage->GetPixel(0, 0) & 0xFFFFFF;
    if (only == clBlack || only == clWhite) dib.SetPixelFormat(dpf1Bit);
  }
}
