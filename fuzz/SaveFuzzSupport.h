// The save targets: the bytes become a file that the document loads as its edit image (as PNG or as BMP);
// whatever it accepts is saved, as PNG or BMP by the last byte, through the colour-count reduction, the DIB
// converters and the encoder (or, for a picture with transparency, the alpha writers), and the saved file
// must load again with the same size and leave nothing else in the folder. Then the exact-colour save and the
// RPG Maker 2000/2003 profile run on it: the exact save must load again with the same pixels and alpha, the
// profile's sheet with palette index 0 as its only entry of the key colour and every visible pixel exact.
#pragma once

#include "AlphaPlane.h"
#include "DibImage.h"
#include "FuzzSupport.h"
#include "OrvCui.h"
#include "OrvSave.h"

namespace fuzz {

// 255 - alpha of a pixel: the plane's value, 0 without a plane.
inline uint8_t Cover(const TBitmap& Alpha, const TBitmap& Image, int X, int Y) {
  return IsAlphaPlaneOf(Alpha, Image) ? Alpha.ScanLine(Y)[X] : 0;
}

// Saves with the exact colours and loads the file again: the same pixels and alpha.
inline void CheckExactSave(const ScratchFolder& Folder, TOrvDatas& Doc, const std::string& Output) {
  TSaveOptions exact;
  exact.ExactColors = true;
  if (!Accepted([&] { Doc.SaveEditImage(Folder.Path(Output), exact); }))
    Finding("the exact-colour save refused a loaded edit image");
  TOrvDatas reread;
  if (!Accepted([&] { reread.LoadEditImage(Folder.Path(Output)); })) Finding("an exact save is refused");
  const TBitmap &before = *Doc.EditImage, &after = *reread.EditImage;
  Check(after.Width() == before.Width() && after.Height() == before.Height(),
        "the exact save changed the size");
  for (int y = 0; y < before.Height(); ++y)
    for (int x = 0; x < before.Width(); ++x) {
      Check((after.GetPixel(x, y) & 0xFFFFFF) == (before.GetPixel(x, y) & 0xFFFFFF),
            "the exact save changed a pixel");
      Check(Cover(reread.EditAlpha, after, x, y) == Cover(Doc.EditAlpha, before, x, y),
            "the exact save changed an alpha value");
    }
}

// Saves with the RPG Maker 2000/2003 profile (refusing only too many colours) and checks the sheet.
inline void CheckRpg2000Save(const ScratchFolder& Folder, TOrvDatas& Doc, const std::string& Output) {
  TSaveOptions profile;
  profile.Profile = TSaveProfile::Rpg2000;
  try {
    Doc.SaveEditImage(Folder.Path(Output), profile);
  } catch (const EInvalidGraphic& e) {
    Check(std::string(e.what()).find(" colours besides the key colour") != std::string::npos,
          "the rpg2000 save refused a sheet for another reason than its colours");
    return;
  }
  TOrvDatas reread;
  if (!Accepted([&] { reread.LoadMaterial(Folder.Path(Output)); })) Finding("an rpg2000 sheet is refused");
  const TBitmap &before = *Doc.EditImage, &sheet = *reread.Material;
  Check(sheet.PixelFormat() == pf8bit && sheet.Width() == before.Width() && sheet.Height() == before.Height(),
        "the rpg2000 sheet is not an 8-bit picture of the sheet's size");
  const std::vector<TPaletteEntry>& palette = sheet.Palette()->Entries;
  for (size_t i = 1; i < palette.size(); ++i)
    Check(palette[i] != palette[0], "the rpg2000 palette has a second entry of the key colour");
  for (int y = 0; y < before.Height(); ++y)
    for (int x = 0; x < before.Width(); ++x) {
      const bool clear = Cover(Doc.EditAlpha, before, x, y) == 255;
      if (clear)
        Check(sheet.ScanLine(y)[x] == 0, "a transparent pixel is not the key colour's index");
      else
        Check((sheet.GetPixel(x, y) & 0xFFFFFF) == (before.GetPixel(x, y) & 0xFFFFFF),
              "the rpg2000 save changed a visible pixel");
    }
}

inline int RunSave(const uint8_t* Data, size_t Size, const char* InputName) {
  if (Size == 0) return 0;
  static const ScratchFolder folder;
  const Bytes bytes(Data, Size - 1);
  const bool png = std::string(InputName).ends_with(".png");
  if (png ? PngTooSlow(bytes) : DibHeaderTooSlow(bytes, 14)) return 0;
  SetDibDefaultUseFMO(false);
  folder.Clear();
  folder.Write(InputName, bytes);
  TOrvDatas doc;
  if (!Accepted([&] { doc.LoadEditImage(folder.Path(InputName)); })) return 0;
  Check(!doc.EditImage->Empty(), "the document loaded an empty edit image");

  const std::string output = (Data[Size - 1] & 1) ? "out.bmp" : "out.png";
  if (!Accepted([&] { doc.SaveEditImage(folder.Path(output)); }))
    Finding("a loaded edit image cannot be saved");
  Check(folder.Count() == 2, "the save left a temporary file");
  TOrvDatas reread;
  if (!Accepted([&] { reread.LoadEditImage(folder.Path(output)); })) Finding("a saved edit image is refused");
  Check(reread.EditImage->Width() == doc.EditImage->Width() &&
            reread.EditImage->Height() == doc.EditImage->Height(),
        "saving and loading changed the size");
  // A picture with transparency takes the alpha writers, which keep every pixel and alpha value.
  if (HasTransparentPixel(doc.EditAlpha))
    for (int y = 0; y < doc.EditImage->Height(); ++y)
      for (int x = 0; x < doc.EditImage->Width(); ++x)
        Check(reread.EditImage->GetPixel(x, y) == doc.EditImage->GetPixel(x, y) &&
                  Cover(reread.EditAlpha, *reread.EditImage, x, y) ==
                      Cover(doc.EditAlpha, *doc.EditImage, x, y),
              "saving with alpha changed a pixel or its alpha");

  const std::string other = (Data[Size - 1] & 2) ? "other.bmp" : "other.png";
  CheckExactSave(folder, doc, other);
  CheckRpg2000Save(folder, doc, other);
  return 0;
}

}  // namespace fuzz
