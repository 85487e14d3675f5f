// Exporting a sheet for map editors and engines: the exported image (chips laid out with spacing, a margin
// and extruded edges; the edit image itself is never padded) and the tileset files that describe it, Tiled's
// .tsx (XML) and .tsj (JSON) and a Godot 4 TileSet resource (.tres). Every writer works from one description
// of the exported sheet, TSheetLayout, built once per export.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Graphics.h"
#include "OrvDuplicates.h"
#include "OrvSave.h"

struct TExportOptions {
  int32_t ChipWidth = 32;
  int32_t ChipHeight = 32;
  int32_t Spacing = 0;    // pixels between neighbouring chips
  int32_t Margin = 0;     // pixels around all chips
  int32_t Extrusion = 0;  // each chip's edge pixels repeated outward this many times
  // The colour that stands for transparency (Tiled's "trans"); it also fills the gaps of the export image and
  // marks empty chips of a sheet without alpha.
  std::optional<TColor> KeyColor;
  // Leave copies of an earlier chip out of the Godot tile list (empty chips are always left out), and count
  // flipped or rotated copies as copies too.
  bool SkipDuplicates = false;
  bool MatchTransforms = false;
};

// The exported sheet as every tileset file describes it.
struct TSheetLayout {
  std::string Name;       // the image file's name without its extension
  std::string ImageFile;  // the exported image, as the caller named it
  int32_t ChipWidth = 0, ChipHeight = 0;
  int32_t Columns = 0, Rows = 0;
  int32_t Spacing = 0, Margin = 0, Extrusion = 0;
  int32_t ImageWidth = 0, ImageHeight = 0;
  std::optional<TColor> KeyColor;
  // The chips listed as tiles of the Godot atlas, in reading order.
  std::vector<TChipCell> Tiles;

  int32_t TileCount() const { return Columns * Rows; }
  // Where the chips lie in the exported image as tilesets state it: the first chip's offset from the image
  // edge, and the step between chips beyond the chip size. Extrusion widens both.
  int32_t TileMargin() const { return Margin + Extrusion; }
  int32_t TileSpacing() const { return Spacing + 2 * Extrusion; }
  // Top-left pixel of a chip in the exported image.
  TPoint ChipOrigin(TChipCell Cell) const;
};

// The layout of the whole chips of a Width x Height edit image. Tiles lists every chip (the caller leaves out
// empty and duplicate chips). A chip size below 1 or a negative spacing, margin or extrusion raises
// EInvalidGraphic "Invalid export layout"; an image smaller than one chip, or one whose size is not a whole
// number of chips when it is to be padded, raises EInvalidGraphic naming ImageFile; an exported image beyond
// 2^31 - 1 pixels a side raises EOutOfResources.
TSheetLayout LayoutSheet(int32_t Width, int32_t Height, const TExportOptions& Options,
                         const std::string& ImageFile);

// The exported image and its alpha plane (8 bits, 255 - alpha per pixel; only when the edit image has one).
struct TExportImage {
  std::unique_ptr<TBitmap> Image;
  std::unique_ptr<TBitmap> Alpha;
};

// The edit image laid out as Layout says, at 24 bits per pixel: each chip at its origin, its edge pixels
// (colour and alpha) repeated Extrusion times outward, corners from the corner pixel. Gaps take the key
// colour (white without one) and are fully transparent in the alpha plane. Without spacing, margin and
// extrusion the image is the edit image's pixels unchanged.
TExportImage MakeExportImage(const TBitmap& Image, const TBitmap* Alpha, const TSheetLayout& Layout);

// The tileset texts. FileName is where the text is written: the image is named relative to its folder.
std::string TsxText(const TSheetLayout& Layout, const std::string& FileName);
std::string TsjText(const TSheetLayout& Layout, const std::string& FileName);
std::string TresText(const TSheetLayout& Layout, const std::string& FileName);

// Image path relative to the folder of FileName, with forward slashes; the absolute path when no relative
// path leads there.
std::string RelativeFileName(const std::string& Path, const std::string& FileName);

// How the exported image is saved: a save profile by its name ("standard", the editor's own save, or
// "rpg2000") and the save's options.
struct TExportProfile {
  std::string Name = "standard";
  TSaveOptions Options;
};
// The profile of that name; an unknown name raises EInvalidGraphic naming it and the known profiles.
TExportProfile ExportProfileNamed(const std::string& Name);

// The files of one export; an empty name is not written. Image is required.
struct TExportFiles {
  std::string Image, Tsx, Tsj, Tres;
};

// Exports the edit image: lays it out, builds the exported image and
// writes every named file. Every file is written atomically. Before anything is written, every target's
// folder and every existing target are checked: one that cannot be written raises EFCreateError naming that
// file, and no file is touched. Returns the layout that the files describe. An alpha plane raises
// EInvalidGraphic 'Cannot save image "<Image>": the export cannot write transparency.' (SaveSheetWithExport
// exports transparent sheets).
TSheetLayout ExportSheet(const TBitmap& Image, const TBitmap* Alpha, const TExportOptions& Options,
                         const TExportFiles& Files, const TExportProfile& Profile = {});

// Where a save with an export writes the laid-out image of the sheet SheetFile: beside it, named
// "<name>.export<extension>" ("tiles.export.png" for "tiles.png").
std::string ExportImageName(const std::string& SheetFile);

// A save of Document's edit image with an export beside it, as the window's save dialog makes it. The sheet
// is saved to Files.Image exactly as SaveEditImage does with SaveOptions (and its result returned); the
// tileset files named in Files describe that image, or, when Options pad or extrude the chips, the laid-out
// image written to ExportImageName(Files.Image) with the same save options (its warnings join the sheet's).
// The tilesets are named after the sheet. Tiled's trans is Options.KeyColor, or else the key colour the save
// wrote (the "RPG Maker 2000/2003" profile); the sheet's alpha plane is kept when it has a transparent pixel,
// and then fully transparent chips are the empty ones. Files.Image is required. Every refusal (a name of
// another kind, an empty edit image, two names for one file, a layout that cannot be made, a target that
// cannot be written) comes before anything is written, with ExportSheet's messages; every file is written
// atomically.
TSaveResult SaveSheetWithExport(TOrvDatas& Document, const TSaveOptions& SaveOptions, TExportOptions Options,
                                const TExportFiles& Files);
