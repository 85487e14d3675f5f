// Sheet export: the layout, the padded and extruded image, the Tiled and Godot tileset texts and the writing
// of every file of an export.
#include "OrvExport.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <initializer_list>
#include <nlohmann/json.hpp>

#include "OrvCui.h"
#include "OrvCuiFiles.h"

namespace {

std::string SizeText(int64_t Width, int64_t Height) {
  return std::to_string(Width) + " x " + std::to_string(Height);
}

// The extent of Count chips of Size along one side of the exported image.
int64_t LaidOutExtent(int32_t Count, int32_t Size, const TExportOptions& Options) {
  return 2 * int64_t{Options.Margin} + Count * (int64_t{Size} + 2 * int64_t{Options.Extrusion}) +
         (Count - 1) * int64_t{Options.Spacing};
}

// For each pixel along one side of the exported image: the edit image's pixel it shows, or -1 in a gap.
std::vector<int32_t> SourceIndices(int32_t Extent, int32_t Count, int32_t Size, const TSheetLayout& Layout) {
  std::vector<int32_t> indices(static_cast<size_t>(Extent), -1);
  const int32_t step = Size + Layout.TileSpacing();
  for (int32_t chip = 0; chip < Count; ++chip) {
    const int32_t origin = Layout.TileMargin() + chip * step;
    for (int32_t i = -Layout.Extrusion; i < Size + Layout.Extrusion; ++i)
      indices[static_cast<size_t>(origin + i)] = chip * Size + std::clamp(i, 0, Size - 1);
  }
  return indices;
}

std::string HexColor(TColor Color) {
  char text[8];
  std::snprintf(text, sizeof text, "%02x%02x%02x", GetRValue(Color), GetGValue(Color), GetBValue(Color));
  return text;
}

std::string XmlEscaped(const std::string& Text) {
  std::string out;
  for (const char c : Text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

// A Godot string literal.
std::string GodotString(const std::string& Text) {
  std::string out = "\"";
  for (const char c : Text) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

std::string Vector2i(int32_t X, int32_t Y) {
  return "Vector2i(" + std::to_string(X) + ", " + std::to_string(Y) + ")";
}

// Raises the error that writing FileName would raise when its folder, or the file itself, cannot be written.
void CheckWritable(const std::string& FileName) {
  namespace fs = std::filesystem;
  std::error_code error;
  if (fs::is_directory(FileName, error)) throw CreateFileError(FileName, EISDIR);
  const std::string folder = ExtractFilePath(FileName).empty() ? "." : ExtractFilePath(FileName);
  if (::access(folder.c_str(), W_OK | X_OK) != 0) throw CreateFileError(FileName, errno);
  if (::access(FileName.c_str(), F_OK) == 0 && ::access(FileName.c_str(), W_OK) != 0)
    throw CreateFileError(FileName, errno);
}

// Saves the exported image (with its alpha plane, when it has one) as the editor saves a sheet.
TSaveResult SaveExportImage(TExportImage& Sheet, const std::string& FileName, const TSaveOptions& Options) {
  TOrvDatas document;
  document.EditImage = std::move(Sheet.Image);
  if (Sheet.Alpha) document.EditAlpha.Assign(Sheet.Alpha.get());
  return document.SaveEditImage(FileName, Options);
}

void WriteText(const std::string& FileName, const std::string& Text) {
  SaveFileAtomically(FileName, [&Text](TStream& Stream) {
    Stream.WriteBuffer(Text.data(), static_cast<int64_t>(Text.size()));
  });
}

// Raises EInvalidGraphic when two of the named files (empty names aside) are one file.
void CheckDistinct(std::initializer_list<const std::string*> Names) {
  std::vector<std::string> targets;
  for (const std::string* name : Names) {
    if (name->empty()) continue;
    const std::string path = std::filesystem::absolute(*name).lexically_normal().string();
    for (const std::string& other : targets)
      if (other == path) throw EInvalidGraphic("Cannot export: \"" + *name + "\" is named for two files.");
    targets.push_back(path);
  }
}

// The layout of an export with the Godot tile list (when it is written): empty chips left out, and copies of
// an earlier chip when the options ask.
TSheetLayout ListedLayout(const TBitmap& Image, const TBitmap* Alpha, const TExportOptions& Options,
                          const std::string& ImageFile, bool Godot) {
  TSheetLayout layout = LayoutSheet(Image.Width(), Image.Height(), Options, ImageFile);
  if (Godot) {
    const TDuplicateReport report = FindDuplicateChips(Image, Alpha, Options.ChipWidth, Options.ChipHeight,
                                                       {Options.MatchTransforms, Options.KeyColor});
    const std::vector<bool> empty = report.EmptyCells();
    const std::vector<bool> copies = report.DuplicateCells();
    std::erase_if(layout.Tiles, [&](const TChipCell& cell) {
      const size_t i = static_cast<size_t>(cell.Row) * layout.Columns + cell.Column;
      return empty[i] || (Options.SkipDuplicates && copies[i]);
    });
  }
  return layout;
}

void WriteTilesets(const TSheetLayout& Layout, const TExportFiles& Files) {
  if (!Files.Tsx.empty()) WriteText(Files.Tsx, TsxText(Layout, Files.Tsx));
  if (!Files.Tsj.empty()) WriteText(Files.Tsj, TsjText(Layout, Files.Tsj));
  if (!Files.Tres.empty()) WriteText(Files.Tres, TresText(Layout, Files.Tres));
}

}  // namespace

TPoint TSheetLayout::ChipOrigin(TChipCell Cell) const {
  return {TileMargin() + Cell.Column * (ChipWidth + TileSpacing()),
          TileMargin() + Cell.Row * (ChipHeight + TileSpacing())};
}

TSheetLayout LayoutSheet(int32_t Width, int32_t Height, const TExportOptions& Options,
                         const std::string& ImageFile) {
  if (Options.ChipWidth < 1 || Options.ChipHeight < 1 || Options.Spacing < 0 || Options.Margin < 0 ||
      Options.Extrusion < 0)
    throw EInvalidGraphic("Invalid export layout");
  TSheetLayout layout;
  layout.ImageFile = ImageFile;
  layout.Name = std::filesystem::path(ImageFile).stem().string();
  layout.ChipWidth = Options.ChipWidth;
  layout.ChipHeight = Options.ChipHeight;
  layout.Columns = Width / Options.ChipWidth;
  layout.Rows = Height / Options.ChipHeight;
  layout.Spacing = Options.Spacing;
  layout.Margin = Options.Margin;
  layout.Extrusion = Options.Extrusion;
  layout.KeyColor = Options.KeyColor;
  const std::string chipSize = SizeText(Options.ChipWidth, Options.ChipHeight);
  if (layout.Columns == 0 || layout.Rows == 0)
    throw EInvalidGraphic("Cannot export \"" + ImageFile + "\": the image of " + SizeText(Width, Height) +
                          " pixels holds no whole chip of " + chipSize + " pixels.");
  const bool padded = Options.Spacing > 0 || Options.Margin > 0 || Options.Extrusion > 0;
  if (!padded) {
    layout.ImageWidth = Width;
    layout.ImageHeight = Height;
  } else {
    if (Width % Options.ChipWidth != 0 || Height % Options.ChipHeight != 0)
      throw EInvalidGraphic("Cannot export \"" + ImageFile + "\": the image of " + SizeText(Width, Height) +
                            " pixels is not a whole number of chips of " + chipSize +
                            " pixels, so it cannot be laid out with spacing, margin or extrusion.");
    const int64_t width = LaidOutExtent(layout.Columns, Options.ChipWidth, Options);
    const int64_t height = LaidOutExtent(layout.Rows, Options.ChipHeight, Options);
    if (width > INT32_MAX || height > INT32_MAX) throw EOutOfResources("Out of system resources");
    layout.ImageWidth = static_cast<int32_t>(width);
    layout.ImageHeight = static_cast<int32_t>(height);
  }
  for (int32_t row = 0; row < layout.Rows; ++row)
    for (int32_t column = 0; column < layout.Columns; ++column) layout.Tiles.push_back({column, row});
  return layout;
}

TExportImage MakeExportImage(const TBitmap& Image, const TBitmap* Alpha, const TSheetLayout& Layout) {
  // Assign shares the source's pixels; the conversion works on the copy.
  TBitmap rgb;
  rgb.Assign(const_cast<TBitmap*>(&Image));
  rgb.SetPixelFormat(pf24bit);
  const TBitmap& source = rgb;
  const TColor gap = Layout.KeyColor.value_or(clWhite);
  const uint8_t gapBytes[3] = {GetBValue(gap), GetGValue(gap), GetRValue(gap)};

  const std::vector<int32_t> columns =
      SourceIndices(Layout.ImageWidth, Layout.Columns, Layout.ChipWidth, Layout);
  const std::vector<int32_t> rows = SourceIndices(Layout.ImageHeight, Layout.Rows, Layout.ChipHeight, Layout);
  const bool unpadded = Layout.ImageWidth == Image.Width() && Layout.ImageHeight == Image.Height();

  TExportImage result;
  result.Image = std::make_unique<TBitmap>();
  result.Image->SetImage(NewBitmapImage(Layout.ImageWidth, Layout.ImageHeight, pf24bit, {}, false));
  if (Alpha) {
    result.Alpha = std::make_unique<TBitmap>();
    result.Alpha->SetImage(
        NewBitmapImage(Layout.ImageWidth, Layout.ImageHeight, pf8bit, Alpha->Palette(), false));
  }
  for (int32_t y = 0; y < Layout.ImageHeight; ++y) {
    const int32_t sy = unpadded ? y : rows[static_cast<size_t>(y)];
    uint8_t* out = result.Image->ScanLine(y);
    uint8_t* alphaOut = Alpha ? result.Alpha->ScanLine(y) : nullptr;
    const uint8_t* in = sy >= 0 ? source.ScanLine(sy) : nullptr;
    const uint8_t* alphaIn = sy >= 0 && Alpha ? Alpha->ScanLine(sy) : nullptr;
    for (int32_t x = 0; x < Layout.ImageWidth; ++x, out += 3) {
      const int32_t sx = unpadded ? x : columns[static_cast<size_t>(x)];
      const bool inChip = in && sx >= 0;
      std::memcpy(out, inChip ? in + 3 * sx : gapBytes, 3);
      if (alphaOut) alphaOut[x] = inChip ? alphaIn[sx] : 255;
    }
  }
  return result;
}

std::string RelativeFileName(const std::string& Path, const std::string& FileName) {
  namespace fs = std::filesystem;
  const fs::path target = fs::absolute(Path).lexically_normal();
  const fs::path folder = fs::absolute(FileName).lexically_normal().parent_path();
  const fs::path relative = target.lexically_relative(folder);
  return (relative.empty() ? target : relative).generic_string();
}

std::string TsxText(const TSheetLayout& Layout, const std::string& FileName) {
  std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<tileset version=\"1.8\" name=\"" +
                     XmlEscaped(Layout.Name) + "\" tilewidth=\"" + std::to_string(Layout.ChipWidth) +
                     "\" tileheight=\"" + std::to_string(Layout.ChipHeight) + "\"";
  // Tiled leaves spacing and margin out when they are 0.
  if (Layout.TileSpacing() != 0) text += " spacing=\"" + std::to_string(Layout.TileSpacing()) + "\"";
  if (Layout.TileMargin() != 0) text += " margin=\"" + std::to_string(Layout.TileMargin()) + "\"";
  text += " tilecount=\"" + std::to_string(Layout.TileCount()) + "\" columns=\"" +
          std::to_string(Layout.Columns) + "\">\n <image source=\"" +
          XmlEscaped(RelativeFileName(Layout.ImageFile, FileName)) + "\"";
  if (Layout.KeyColor) text += " trans=\"" + HexColor(*Layout.KeyColor) + "\"";
  text += " width=\"" + std::to_string(Layout.ImageWidth) + "\" height=\"" +
          std::to_string(Layout.ImageHeight) + "\"/>\n</tileset>\n";
  return text;
}

std::string TsjText(const TSheetLayout& Layout, const std::string& FileName) {
  // Keys sorted, as Tiled writes them.
  nlohmann::json tileset = {{"columns", Layout.Columns},
                            {"image", RelativeFileName(Layout.ImageFile, FileName)},
                            {"imageheight", Layout.ImageHeight},
                            {"imagewidth", Layout.ImageWidth},
                            {"margin", Layout.TileMargin()},
                            {"name", Layout.Name},
                            {"spacing", Layout.TileSpacing()},
                            {"tilecount", Layout.TileCount()},
                            {"tileheight", Layout.ChipHeight},
                            {"tilewidth", Layout.ChipWidth},
                            {"type", "tileset"},
                            {"version", "1.8"}};
  if (Layout.KeyColor) tileset["transparentcolor"] = "#" + HexColor(*Layout.KeyColor);
  return tileset.dump(1) + "\n";
}

std::string TresText(const TSheetLayout& Layout, const std::string& FileName) {
  std::string text =
      "[gd_resource type=\"TileSet\" load_steps=3 format=3]\n\n[ext_resource type=\"Texture2D\" path=" +
      GodotString(RelativeFileName(Layout.ImageFile, FileName)) +
      " id=\"1\"]\n\n[sub_resource type=\"TileSetAtlasSource\" id=\"TileSetAtlasSource_1\"]\n"
      "texture = ExtResource(\"1\")\nmargins = " +
      Vector2i(Layout.TileMargin(), Layout.TileMargin()) +
      "\nseparation = " + Vector2i(Layout.TileSpacing(), Layout.TileSpacing()) +
      "\ntexture_region_size = " + Vector2i(Layout.ChipWidth, Layout.ChipHeight) + "\n";
  for (const TChipCell& tile : Layout.Tiles)
    text += std::to_string(tile.Column) + ":" + std::to_string(tile.Row) + "/0 = 0\n";
  text += "\n[resource]\ntile_size = " + Vector2i(Layout.ChipWidth, Layout.ChipHeight) +
          "\nsources/0 = SubResource(\"TileSetAtlasSource_1\")\n";
  return text;
}

TExportProfile ExportProfileNamed(const std::string& Name) {
  if (const TSaveProfileInfo* profile = FindSaveProfile(Name)) {
    TExportProfile result{Name, {}};
    result.Options.Profile = profile->Profile;
    return result;
  }
  throw EInvalidGraphic("Unknown save profile \"" + Name + "\": the profiles are standard and rpg2000.");
}

TSheetLayout ExportSheet(const TBitmap& Image, const TBitmap* Alpha, const TExportOptions& Options,
                         const TExportFiles& Files, const TExportProfile& Profile) {
  ImageFileKindOf(Files.Image, "save");
  if (Image.Empty())
    throw EInvalidGraphic("Cannot save image \"" + Files.Image + "\": the edit image is empty.");
  CheckDistinct({&Files.Image, &Files.Tsx, &Files.Tsj, &Files.Tres});
  TSheetLayout layout = ListedLayout(Image, Alpha, Options, Files.Image, !Files.Tres.empty());
  for (const std::string* name : {&Files.Image, &Files.Tsx, &Files.Tsj, &Files.Tres})
    if (!name->empty()) CheckWritable(*name);

  TExportImage sheet = MakeExportImage(Image, Alpha, layout);
  SaveExportImage(sheet, Files.Image, Profile.Options);
  WriteTilesets(layout, Files);
  return layout;
}

std::string ExportImageName(const std::string& SheetFile) {
  std::filesystem::path path(SheetFile);
  return path.replace_filename(path.stem().string() + ".export" + path.extension().string()).string();
}

TSaveResult SaveSheetWithExport(TOrvDatas& Document, const TSaveOptions& SaveOptions, TExportOptions Options,
                                const TExportFiles& Files) {
  ImageFileKindOf(Files.Image, "save");
  if (!Document.EditImage || Document.EditImage->Empty())
    throw EInvalidGraphic("Cannot save image \"" + Files.Image + "\": the edit image is empty.");
  const TBitmap& image = *Document.EditImage;
  const TBitmap* alpha = Document.TransparentEditAlpha();
  const bool padded = Options.Spacing > 0 || Options.Margin > 0 || Options.Extrusion > 0;
  const std::string exportImage = padded ? ExportImageName(Files.Image) : std::string();
  // Everything that can be refused is refused before the first file is written.
  CheckDistinct({&Files.Image, &exportImage, &Files.Tsx, &Files.Tsj, &Files.Tres});
  LayoutSheet(image.Width(), image.Height(), Options, padded ? exportImage : Files.Image);
  for (const std::string* name : {&Files.Image, &exportImage, &Files.Tsx, &Files.Tsj, &Files.Tres})
    if (!name->empty()) CheckWritable(*name);

  TSaveResult result = Document.SaveEditImage(Files.Image, SaveOptions);
  if (!Options.KeyColor) Options.KeyColor = result.KeyColor;
  TSheetLayout layout =
      ListedLayout(image, alpha, Options, padded ? exportImage : Files.Image, !Files.Tres.empty());
  layout.Name = std::filesystem::path(Files.Image).stem().string();
  if (padded) {
    // The laid-out image keeps the sheet's key colour at index 0, its gaps taking that colour too.
    TSaveOptions options = SaveOptions;
    if (result.KeyColor) options.KeyColor = *result.KeyColor;
    TExportImage sheet = MakeExportImage(image, alpha, layout);
    for (std::string& warning : SaveExportImage(sheet, exportImage, options).Warnings)
      if (std::find(result.Warnings.begin(), result.Warnings.end(), warning) == result.Warnings.end())
        result.Warnings.push_back(std::move(warning));
  }
  WriteTilesets(layout, Files);
  return result;
}
