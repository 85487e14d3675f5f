// The save targets: the bytes become a file that the document loads as its edit image (as PNG or as BMP);
// whatever it accepts is saved, as PNG or BMP by the last byte, through the colour-count reduction, the DIB
// converters and the encoder, and the saved file must load again with the same size and leave nothing else in
// the folder.
#pragma once

#include "DibImage.h"
#include "FuzzSupport.h"
#include "OrvCui.h"

namespace fuzz {

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
  return 0;
}

}  // namespace fuzz
