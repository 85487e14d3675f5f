// The chip document: the edit image being composed, the current material, the chip size, the chip-grid rules
// that the main window applies to mouse positions, and the distinct-colour count used when saving.
#pragma once

#include <cstdint>
#include <memory>
#include <utility>

#include "Graphics.h"
#include "SysUtils.h"

class TDibGraphic;
struct TMaterialReadOptions;
struct TSaveOptions;
struct TSaveResult;

class TOrvDatas : public TObject {
 public:
  // Empty edit image (transparent colour white) and empty material; chip size 32 x 32.
  TOrvDatas();
  ~TOrvDatas() override;
  TOrvDatas(const TOrvDatas&) = delete;
  TOrvDatas& operator=(const TOrvDatas&) = delete;
  const char* ClassName() const override { return "TOrvDatas"; }

  std::unique_ptr<TBitmap> EditImage;
  std::unique_ptr<TBitmap> Material;
  int32_t ChipWidth = 0;
  int32_t ChipHeight = 0;
  // The alpha planes of the edit image and the material (AlphaPlane.h: 8 bits, 255 - alpha): empty for a
  // picture without transparency, which so takes every designed path unchanged. Loads set them, stamping
  // copies the material's alpha with its colours, NewEditImage keeps the edit plane at the image's size.
  TBitmap EditAlpha;
  TBitmap MaterialAlpha;
  // The edit image's alpha plane when the edit image has a transparent pixel, else nullptr: what the savers,
  // the export and the duplicate search take.
  const TBitmap* TransparentEditAlpha() const;
  TBitmap* TransparentEditAlpha() {
    return const_cast<TBitmap*>(std::as_const(*this).TransparentEditAlpha());
  }

  // Stores the chip size; neither image changes. A size below 1 raises EInvalidGraphic "Invalid chip size"
  // and keeps the old size.
  void SetChipSize(int32_t Width, int32_t Height);

  // Sizes the edit image to Columns x ChipWidth by Rows x ChipHeight pixels. Pixels at the top-left are kept
  // and new area is white; the same size changes nothing. An empty edit image becomes an all-white image in
  // the display format (pfDevice); one with pixels keeps its format. A count below 1 raises EInvalidGraphic
  // "Invalid image size"; a width or height beyond 2^31 - 1 pixels, or pixel memory beyond 2^31 - 1 bytes,
  // raises EOutOfResources "Out of system resources". On any error the edit image is left as it was.
  void NewEditImage(int32_t Columns, int32_t Rows) { NewEditImage(Columns, Rows, false); }
  // The same; with Transparent the area added (all of a new sheet) is fully transparent instead of opaque
  // white: its pixels are white with alpha 0.
  void NewEditImage(int32_t Columns, int32_t Rows, bool Transparent);

  // Chip-grid rules. Positions are pixels of the image under the mouse; divisions truncate toward zero, so
  // positions from -(ChipWidth - 1) to ChipWidth - 1 all snap to 0. A chip size below 1 raises
  // EInvalidGraphic "Invalid chip size". Results beyond the 32-bit range are held at its limits.

  // The origin of the chip cell holding (X, Y).
  TPoint SnapToChip(int32_t X, int32_t Y) const;
  // A press on the material at (X, Y): the selection collapses to the snapped point.
  void PressSelection(TRect& Selection, int32_t X, int32_t Y) const;
  // A release on the material at (X, Y), applied to the selection as it is stored: the corner that the
  // comparison with Left and Top picks moves to the released chip, then Right and Bottom grow by one chip.
  // After a press this selects every chip from the pressed to the released one, both included; the result is
  // not clipped to the material.
  void ReleaseSelection(TRect& Selection, int32_t X, int32_t Y) const;
  // A click on the edit image at (X, Y): copies the Selection of the material to the clicked chip cell with
  // the selection's size (plain source copy). Pixels that fall outside the edit image, or whose source lies
  // outside the material, are left alone. Returns the rectangle of the edit image that was written (empty
  // when nothing was), for repainting.
  TRect StampSelection(const TRect& Selection, int32_t X, int32_t Y);

  // The number of distinct 24-bit colours of the bitmap, as its conversion to 24 bits gives them; bits
  // outside the 24 colour bits are ignored. 0 for an empty bitmap. Linear in the number of pixels.
  static int64_t CountColors(const TBitmap& Bitmap);

  // Image files, chosen by the extension of the name's last component: ".png" or ".bmp" in any letter case;
  // any other name raises EInvalidGraphic naming the file and the accepted extensions.
  // The loads replace the target with the file's image (size, pixel format, palette). The file is read into a
  // temporary first, so on any failure (unreadable file, invalid data, a zero-byte BMP or a PNG without image
  // data) the target keeps the image it had. The edit image is held at 24 bits whatever the file's depth, so
  // that stamped chips keep their colours; the pixel format and palette of an indexed file are remembered
  // for the save (until NewEditImage or the load of a true-colour picture).
  // Both loads also set the picture's alpha plane from the file's alpha channel, tRNS or BMP alpha mask (none
  // when every pixel is opaque). A material may be read with the options of OrvAlpha.h.
  void LoadMaterial(const std::string& FileName);
  void LoadMaterial(const std::string& FileName, const TMaterialReadOptions& Options);
  void LoadEditImage(const std::string& FileName);
  // Writes the edit image reduced by its distinct-colour count: 256 or fewer colours at 8 bits, 16 or fewer
  // at 4 bits, one single black or white colour at 1 bit (any other single colour stays at 4 bits). The file
  // is written to a temporary beside it and renamed over the target only when complete, so a failing save
  // leaves an existing file as it was. The edit image itself does not change.
  // An edit image loaded from an indexed file whose colours are all entries of that file's palette is first
  // put back into the file's format with that palette (each pixel the first entry of its colour), and is
  // then reduced as that indexed image: an 8-bit file with 17 to 256 colours keeps its palette exactly,
  // however close its colours are, and an unchanged sheet saves as it was read.
  // An edit image with a transparent pixel saves with its alpha (OrvSave.h), as does every save with options
  // other than the defaults: exact colours, or a profile other than "Standard".
  void SaveEditImage(const std::string& FileName);
  TSaveResult SaveEditImage(const std::string& FileName, const TSaveOptions& Options);
  // The designed reduction of the edit image for saving: the DIB the designed save writes.
  void ReduceForSave(TDibGraphic& Dib) const;

  // The indexed file the edit image was loaded from, as the save remembers it (format and palette; no palette
  // when there is none), for the edit history to keep and put back with the image.
  struct TLoadedFile {
    TPixelFormat Format = pfDevice;
    HPALETTE Palette;
  };
  TLoadedFile LoadedFile() const { return {LoadedFormat, LoadedPalette}; }
  void RestoreLoadedFile(const TLoadedFile& File) {
    LoadedFormat = File.Format;
    LoadedPalette = File.Palette;
  }

 private:
  void CheckChipSize() const;
  // The alpha plane follows a resize from OldWidth x OldHeight (new area opaque, or transparent with
  // Transparent).
  void FitEditAlpha(int32_t OldWidth, int32_t OldHeight, bool Transparent);

  // The indexed format and palette of the file last loaded as the edit image; no palette when there is none.
  TPixelFormat LoadedFormat = pfDevice;
  HPALETTE LoadedPalette;
};
