// The project file: JSON text read field by field with messages that name the field, written with one
// material and one operation a line, and the fields of the same version that this Tilora does not know kept.
#include <cctype>
#include <filesystem>
#include <nlohmann/json.hpp>

#include "AlphaPlane.h"
#include "OrvAlpha.h"
#include "OrvCui.h"
#include "OrvEncoding.h"
#include "OrvProject.h"
#include "PngGraphic.h"

namespace {

namespace fs = std::filesystem;
using TJson = nlohmann::ordered_json;

constexpr const char* FormatName = "tilora-project";

const char* const BackgroundNames[] = {"white", "transparent"};

// ---------------------------------------------------------------------------------------------------------------
// Pictures as Base64 PNG text

// A PNG of the block's pixels, true colour with alpha when the block has a plane, without a time stamp so
// that equal pictures give equal text.
std::string BlockPng(const TChipBlock& Block) {
  TBitmap image;
  image.SetImage(std::make_shared<TBitmapImage>(*Block.Image));
  if (image.BitCount() != 24) image.SetPixelFormat(pf24bit);
  TPngGraphic png;
  png.Assign(&image);
  png.UseCurrentTime = false;
  png.ImageTime = TPngTime{};
  if (Block.Alpha) {
    png.AlphaBitmap().SetImage(std::make_shared<TBitmapImage>(*Block.Alpha));
    png.HasAlpha = true;
  }
  TMemoryStream stream;
  png.SaveToStream(stream);
  return Base64Encode(stream.Data());
}

// The size a PNG's header announces, read before anything is decoded; nothing when the bytes do not start
// with a PNG signature and header chunk.
std::optional<std::pair<uint32_t, uint32_t>> PngHeaderSize(const std::vector<uint8_t>& Bytes) {
  static const uint8_t Start[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n',
                                  0,    0,   0,   13,  'I',  'H',  'D',  'R'};
  if (Bytes.size() < sizeof Start + 8 || !std::equal(std::begin(Start), std::end(Start), Bytes.begin()))
    return std::nullopt;
  auto be32 = [&](size_t At) {
    return uint32_t{Bytes[At]} << 24 | uint32_t{Bytes[At + 1]} << 16 | uint32_t{Bytes[At + 2]} << 8 |
           Bytes[At + 3];
  };
  return std::make_pair(be32(16), be32(20));
}

// ---------------------------------------------------------------------------------------------------------------
// Reading

class TReader {
 public:
  TReader(const std::string& FileName) : FFileName(FileName) {
    const fs::path folder = fs::absolute(FileName).parent_path();
    FFolder = folder;
  }

  [[noreturn]] void Fail(const std::string& What) const {
    throw EProjectError("Cannot read project \"" + FFileName + "\": " + What + ".");
  }
  [[noreturn]] void Bad(const std::string& Field, const std::string& What) const { Fail(Field + " " + What); }

  // The member Key of Object, or nullptr when it is absent (or null, where Nullable).
  const TJson* Member(const TJson& Object, const char* Key, bool Nullable = false) const {
    const auto found = Object.find(Key);
    if (found == Object.end() || (Nullable && found->is_null())) return nullptr;
    return &*found;
  }
  const TJson& Required(const TJson& Object, const std::string& Path, const char* Key) const {
    const TJson* member = Member(Object, Key);
    if (!member) Bad(Field(Path, Key), "is missing");
    return *member;
  }
  static std::string Field(const std::string& Path, const char* Key) {
    return Path.empty() ? std::string(Key) : Path + "." + Key;
  }

  const TJson& Object(const TJson& Value, const std::string& Path) const {
    if (!Value.is_object()) Bad(Path, "must be an object");
    return Value;
  }
  const TJson& List(const TJson& Value, const std::string& Path) const {
    if (!Value.is_array()) Bad(Path, "must be a list");
    return Value;
  }
  int32_t Int(const TJson& Value, const std::string& Path, int64_t Least, int64_t Most) const {
    bool inRange = false;
    int64_t number = 0;
    if (Value.is_number_unsigned()) {
      const uint64_t raw = Value.get<uint64_t>();
      inRange = raw <= static_cast<uint64_t>(Most) && static_cast<int64_t>(raw) >= Least;
      number = static_cast<int64_t>(raw);
    } else if (Value.is_number_integer()) {
      number = Value.get<int64_t>();
      inRange = number >= Least && number <= Most;
    }
    if (!inRange)
      Bad(Path, "must be a whole number from " + std::to_string(Least) + " to " + std::to_string(Most));
    return static_cast<int32_t>(number);
  }
  bool Bool(const TJson& Value, const std::string& Path) const {
    if (!Value.is_boolean()) Bad(Path, "must be true or false");
    return Value.get<bool>();
  }
  std::string Text(const TJson& Value, const std::string& Path) const {
    if (!Value.is_string()) Bad(Path, "must be a text");
    return Value.get<std::string>();
  }
  template <size_t N>
  size_t Choice(const TJson& Value, const std::string& Path, const char* const (&Names)[N]) const {
    const std::string text = Value.is_string() ? Value.get<std::string>() : std::string();
    for (size_t i = 0; i < N; ++i)
      if (Value.is_string() && text == Names[i]) return i;
    std::string list;
    for (size_t i = 0; i < N; ++i)
      list += std::string(i == 0 ? "" : i + 1 == N ? " or " : ", ") + "\"" + Names[i] + "\"";
    Bad(Path, "must be " + list);
  }

  // Optional members: the default when absent.
  int32_t OptionalInt(const TJson& Object, const std::string& Path, const char* Key, int64_t Least,
                      int64_t Most, int32_t Default) const {
    const TJson* member = Member(Object, Key);
    return member ? Int(*member, Field(Path, Key), Least, Most) : Default;
  }
  bool OptionalBool(const TJson& Object, const std::string& Path, const char* Key, bool Default) const {
    const TJson* member = Member(Object, Key);
    return member ? Bool(*member, Field(Path, Key)) : Default;
  }

  // A path of the project: a non-empty text, relative to the project's folder unless absolute.
  std::string FilePath(const TJson& Value, const std::string& Path) const {
    const std::string text = Text(Value, Path);
    if (text.empty() || text.find('\0') != std::string::npos) Bad(Path, "must name a file");
    const fs::path path(text);
    return (path.is_absolute() ? path : FFolder / path).lexically_normal().string();
  }
  std::string OptionalFilePath(const TJson& Object, const std::string& Path, const char* Key) const {
    const TJson* member = Member(Object, Key, true);
    return member ? FilePath(*member, Field(Path, Key)) : std::string();
  }

  // "#rrggbb" as a colour value.
  TColor Color(const TJson& Value, const std::string& Path) const {
    const std::string text = Value.is_string() ? Value.get<std::string>() : std::string();
    uint32_t rgb = 0;
    bool ok = text.size() == 7 && text[0] == '#';
    for (size_t i = 1; ok && i < 7; ++i) {
      const char c = text[i];
      const char lower = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      const int digit = c >= '0' && c <= '9' ? c - '0' : lower >= 'a' && lower <= 'f' ? lower - 'a' + 10 : -1;
      ok = digit >= 0;
      rgb = rgb << 4 | static_cast<uint32_t>(digit);
    }
    if (!ok) Bad(Path, "must be a colour written \"#rrggbb\"");
    return RGB(static_cast<uint8_t>(rgb >> 16), static_cast<uint8_t>(rgb >> 8), static_cast<uint8_t>(rgb));
  }

  TPoint Point(const TJson& Value, const std::string& Path) const {
    Object(Value, Path);
    return {Int(Required(Value, Path, "x"), Path + ".x", INT32_MIN, INT32_MAX),
            Int(Required(Value, Path, "y"), Path + ".y", INT32_MIN, INT32_MAX)};
  }
  TRect Rectangle(const TJson& Value, const std::string& Path) const {
    const TPoint origin = Point(Value, Path);
    const int32_t width =
        Int(Required(Value, Path, "width"), Path + ".width", 0, INT32_MAX - int64_t{origin.X});
    const int32_t height =
        Int(Required(Value, Path, "height"), Path + ".height", 0, INT32_MAX - int64_t{origin.Y});
    return Rect(origin.X, origin.Y, origin.X + width, origin.Y + height);
  }

  // A picture in Base64 PNG text, as 24-bit pixels and its alpha plane (kept when every pixel is opaque:
  // whether a sheet has a plane decides what an erase leaves). Its size must be Width x Height, or with
  // Fit, at most that. The size is checked in the PNG's header before anything is decoded.
  void Picture(const TJson& Value, const std::string& Path, int32_t Width, int32_t Height, bool Fit,
               TChipBlock& Block) const {
    const std::optional<std::vector<uint8_t>> bytes = Base64Decode(Text(Value, Path));
    const auto header = bytes ? PngHeaderSize(*bytes) : std::nullopt;
    if (!header) Bad(Path, "must be a PNG file in Base64");
    const auto [width, height] = *header;
    const bool sized = Fit ? width >= 1 && height >= 1 && width <= static_cast<uint32_t>(Width) &&
                                 height <= static_cast<uint32_t>(Height)
                           : width == static_cast<uint32_t>(Width) && height == static_cast<uint32_t>(Height);
    if (!sized)
      Bad(Path, "holds a picture of " + std::to_string(width) + " x " + std::to_string(height) + " pixels, " +
                    (Fit ? "which does not fit in " : "not ") + std::to_string(Width) + " x " +
                    std::to_string(Height));
    TBitmap image, alpha;
    try {
      TMemoryStream stream;
      stream.Data() = *bytes;
      TPngGraphic png;
      png.LoadFromStream(stream);
      if (png.Empty()) throw EInvalidGraphic("no image data");
      PngPictureWithAlpha(png, image, alpha);
      if (image.Width() != static_cast<int>(width) || image.Height() != static_cast<int>(height))
        throw EInvalidGraphic("the image data does not match its header");
      if (image.BitCount() != 24) image.SetPixelFormat(pf24bit);
    } catch (const Exception& error) {
      Bad(Path, std::string("is not a readable PNG picture (") + error.what() + ")");
    }
    Block.Image = std::make_shared<TBitmapImage>(image.Image());
    if (!alpha.Empty()) Block.Alpha = std::make_shared<TBitmapImage>(alpha.Image());
  }

  // A block: its rectangle's size, and the picture (none: "png" null) with where it lies in the rectangle.
  TChipBlock Block(const TJson& Value, const std::string& Path) const {
    Object(Value, Path);
    TChipBlock block;
    block.Width = Int(Required(Value, Path, "width"), Path + ".width", 0, INT32_MAX);
    block.Height = Int(Required(Value, Path, "height"), Path + ".height", 0, INT32_MAX);
    const TJson* png = Member(Value, "png", true);
    if (!png) return block;
    block.Offset.X = Int(Required(Value, Path, "x"), Path + ".x", 0, block.Width);
    block.Offset.Y = Int(Required(Value, Path, "y"), Path + ".y", 0, block.Height);
    Picture(*png, Path + ".png", block.Width - block.Offset.X, block.Height - block.Offset.Y, true, block);
    return block;
  }

  TChipTransform Transform(const TJson& Object, const std::string& Path) const {
    const TJson* member = Member(Object, "transform");
    if (!member) return TChipTransform::Identity;
    static const char* const Names[] = {
        ChipTransformName(TChipTransform::Identity),     ChipTransformName(TChipTransform::FlipHorizontal),
        ChipTransformName(TChipTransform::FlipVertical), ChipTransformName(TChipTransform::Rotate180),
        ChipTransformName(TChipTransform::Rotate90),     ChipTransformName(TChipTransform::Rotate270),
        ChipTransformName(TChipTransform::Transpose),    ChipTransformName(TChipTransform::AntiTranspose)};
    return static_cast<TChipTransform>(Choice(*member, Field(Path, "transform"), Names));
  }

  TEditOperation Operation(const TJson& Value, const std::string& Path, const TProject& Project) const {
    Object(Value, Path);
    static const char* const Kinds[] = {"stamp", "erase", "move", "copy", "chipSize", "new"};
    switch (Choice(Required(Value, Path, "kind"), Path + ".kind", Kinds)) {
      case 0: {
        TStampOperation stamp;
        static const char* const Origins[] = {"material", "sheet", "clipboard"};
        const TJson* from = Member(Value, "from");
        stamp.Origin.From =
            static_cast<TStampOrigin::TFrom>(from ? Choice(*from, Path + ".from", Origins) : 0);
        stamp.Origin.Transform = Transform(Value, Path);
        stamp.Target = Point(Required(Value, Path, "target"), Path + ".target");
        const TJson* pixels = Member(Value, "pixels", true);
        if (stamp.Origin.From == TStampOrigin::TFrom::Material) {
          const size_t count = Project.Materials.size();
          if (count == 0) Bad(Path + ".material", "names a material, but the project lists none");
          const size_t index = static_cast<size_t>(
              Int(Required(Value, Path, "material"), Path + ".material", 0, static_cast<int64_t>(count) - 1));
          stamp.Origin.MaterialPath = Project.Materials[index].Path;
          stamp.Origin.IndexZeroTransparent = Project.Materials[index].IndexZeroTransparent;
          if (pixels) Bad(Path + ".pixels", "belongs to stamps from the sheet or the clipboard only");
        } else {
          if (!pixels) Bad(Path + ".pixels", "is missing");
          stamp.Pixels = Block(*pixels, Path + ".pixels");
        }
        if (const TJson* source = Member(Value, "source");
            source || stamp.Origin.From != TStampOrigin::TFrom::Clipboard)
          stamp.Origin.Area = Rectangle(source ? *source : Required(Value, Path, "source"), Path + ".source");
        return stamp;
      }
      case 1:
        return TEraseOperation{Rectangle(Required(Value, Path, "area"), Path + ".area")};
      case 2:
      case 3: {
        TMoveOperation move;
        move.Area = Rectangle(Required(Value, Path, "area"), Path + ".area");
        move.Target = Point(Required(Value, Path, "target"), Path + ".target");
        move.Copy = Value.at("kind") == "copy";
        return move;
      }
      case 4:
        return TChipSizeOperation{Int(Required(Value, Path, "width"), Path + ".width", 1, MaxChip),
                                  Int(Required(Value, Path, "height"), Path + ".height", 1, MaxChip)};
      default: {
        TNewImageOperation created;
        created.Columns = Int(Required(Value, Path, "columns"), Path + ".columns", 1, INT32_MAX);
        created.Rows = Int(Required(Value, Path, "rows"), Path + ".rows", 1, INT32_MAX);
        created.ChipWidth = Int(Required(Value, Path, "chipWidth"), Path + ".chipWidth", 1, MaxChip);
        created.ChipHeight = Int(Required(Value, Path, "chipHeight"), Path + ".chipHeight", 1, MaxChip);
        created.Transparent = OptionalBool(Value, Path, "transparent", false);
        return created;
      }
    }
  }

  TSaveOptions SaveOptions(const TJson& Value, const std::string& Path, TProject& Project) const {
    TSaveOptions options = Project.Save;
    Project.SheetFile = OptionalFilePath(Value, Path, "file");
    if (const TJson* profile = Member(Value, "profile"))
      options.Profile = ProfileNamed(*profile, Path + ".profile");
    options.ExactColors = OptionalBool(Value, Path, "exactColors", false);
    if (const TJson* key = Member(Value, "keyColor", true))
      options.KeyColor = Color(*key, Path + ".keyColor");
    options.TimeStamp = OptionalBool(Value, Path, "timeStamp", false);
    return options;
  }

  TSaveProfile ProfileNamed(const TJson& Value, const std::string& Path) const {
    std::vector<const char*> names;
    for (const TSaveProfileInfo& info : SaveProfiles()) names.push_back(info.Name);
    const std::string text = Value.is_string() ? Value.get<std::string>() : std::string();
    if (const TSaveProfileInfo* info = Value.is_string() ? FindSaveProfile(text) : nullptr)
      return info->Profile;
    std::string list;
    for (size_t i = 0; i < names.size(); ++i)
      list += std::string(i == 0 ? "" : i + 1 == names.size() ? " or " : ", ") + "\"" + names[i] + "\"";
    Bad(Path, "must be " + list);
  }

  TProjectExport Export(const TJson& Value, const std::string& Path) const {
    Object(Value, Path);
    TProjectExport result;
    result.Files.Image = FilePath(Required(Value, Path, "image"), Path + ".image");
    result.Files.Tsx = OptionalFilePath(Value, Path, "tiled");
    result.Files.Tsj = OptionalFilePath(Value, Path, "tsj");
    result.Files.Tres = OptionalFilePath(Value, Path, "godot");
    TExportOptions& options = result.Options;
    options.Spacing = OptionalInt(Value, Path, "spacing", 0, INT32_MAX, 0);
    options.Margin = OptionalInt(Value, Path, "margin", 0, INT32_MAX, 0);
    options.Extrusion = OptionalInt(Value, Path, "extrude", 0, INT32_MAX, 0);
    if (const TJson* key = Member(Value, "keyColor", true))
      options.KeyColor = Color(*key, Path + ".keyColor");
    options.SkipDuplicates = OptionalBool(Value, Path, "skipDuplicates", false);
    options.MatchTransforms = OptionalBool(Value, Path, "transforms", false);
    if (const TJson* profile = Member(Value, "profile"))
      result.Profile = SaveProfileInfo(ProfileNamed(*profile, Path + ".profile")).Name;
    return result;
  }

  TProject Project(const std::string& Source) const {
    TJson document;
    try {
      document = TJson::parse(Source);
    } catch (const TJson::parse_error& error) {
      Fail("it is not JSON text (error at byte " + std::to_string(error.byte) + ")");
    } catch (const TJson::out_of_range&) {
      Fail("it is not JSON text (a number is beyond the range of numbers)");
    }
    if (!document.is_object())
      Fail("it is not a Tilora project (a JSON object with \"format\": \"" + std::string(FormatName) + "\")");
    const TJson* format = Member(document, "format");
    if (!format || *format != FormatName)
      Bad("format",
          std::string(format ? "must be" : "is missing; a Tilora project has") + " \"" + FormatName + "\"");
    const TJson& version = Required(document, "", "version");
    if ((version.is_number_unsigned() && version.get<uint64_t>() > static_cast<uint64_t>(ProjectVersion)) ||
        (version.is_number_integer() && version.get<int64_t>() > ProjectVersion) ||
        (version.is_number_float() && version.get<double>() > ProjectVersion))
      Fail("it was written by a newer Tilora (project version " + version.dump() +
           "; this Tilora reads version " + std::to_string(ProjectVersion) + " and older)");
    Int(version, "version", 1, ProjectVersion);

    TProject project;
    project.ReadText = Source;
    const TJson& chip = Object(Required(document, "", "chip"), "chip");
    project.ChipWidth = Int(Required(chip, "chip", "width"), "chip.width", 1, MaxChip);
    project.ChipHeight = Int(Required(chip, "chip", "height"), "chip.height", 1, MaxChip);

    const TJson& sheet = Object(Required(document, "", "sheet"), "sheet");
    project.SheetWidth = Int(Required(sheet, "sheet", "width"), "sheet.width", 1, INT32_MAX);
    project.SheetHeight = Int(Required(sheet, "sheet", "height"), "sheet.height", 1, INT32_MAX);
    if (DibImageBytes(project.SheetWidth, project.SheetHeight, 32) < 0)
      Bad("sheet.height", "makes a sheet larger than 2147483647 bytes of pixels");
    if (const TJson* background = Member(sheet, "background"))
      project.TransparentBackground = Choice(*background, "sheet.background", BackgroundNames) == 1;
    if (const TJson* base = Member(sheet, "base", true)) {
      TChipBlock block;
      block.Width = project.SheetWidth;
      block.Height = project.SheetHeight;
      Picture(*base, "sheet.base", project.SheetWidth, project.SheetHeight, false, block);
      project.Base = std::move(block);
    }

    if (const TJson* materials = Member(document, "materials")) {
      List(*materials, "materials");
      for (size_t i = 0; i < materials->size(); ++i) {
        const std::string path = "materials[" + std::to_string(i) + "]";
        const TJson& entry = Object((*materials)[i], path);
        TProjectMaterial material;
        material.Path = FilePath(Required(entry, path, "path"), path + ".path");
        material.IndexZeroTransparent = OptionalBool(entry, path, "indexZeroTransparent", false);
        if (const TJson* digest = Member(entry, "sha256", true)) {
          material.Sha256 = Text(*digest, path + ".sha256");
          if (material.Sha256.size() != 64 ||
              material.Sha256.find_first_not_of("0123456789abcdef") != std::string::npos)
            Bad(path + ".sha256", "must be 64 lowercase hexadecimal digits");
        }
        if (const TJson* width = Member(entry, "width", true))
          material.Width = Int(*width, path + ".width", 1, INT32_MAX);
        if (const TJson* height = Member(entry, "height", true))
          material.Height = Int(*height, path + ".height", 1, INT32_MAX);
        for (const TProjectMaterial& other : project.Materials)
          if (other.Path == material.Path && other.IndexZeroTransparent == material.IndexZeroTransparent)
            Bad(path, "lists the material \"" + Text(entry["path"], path) + "\" a second time");
        project.Materials.push_back(std::move(material));
      }
    }

    if (const TJson* operations = Member(document, "operations")) {
      List(*operations, "operations");
      for (size_t i = 0; i < operations->size(); ++i)
        project.Operations.push_back(
            Operation((*operations)[i], "operations[" + std::to_string(i) + "]", project));
    }

    if (const TJson* save = Member(document, "save", true))
      project.Save = SaveOptions(Object(*save, "save"), "save", project);
    if (const TJson* exported = Member(document, "export", true))
      project.Export = Export(*exported, "export");
    return project;
  }

  static constexpr int64_t MaxChip = 65536;

 private:
  std::string FFileName;
  fs::path FFolder;
};

// ---------------------------------------------------------------------------------------------------------------
// Writing

std::string HexColor(TColor Color) {
  char text[8];
  std::snprintf(text, sizeof text, "#%02x%02x%02x", GetRValue(Color), GetGValue(Color), GetBValue(Color));
  return text;
}

TJson PointJson(TPoint Point) {
  return {{"x", Point.X}, {"y", Point.Y}};
}

TJson RectJson(const TRect& Area) {
  return {{"x", Area.Left}, {"y", Area.Top}, {"width", Area.Width()}, {"height", Area.Height()}};
}

TJson BlockJson(const TChipBlock& Block) {
  TJson json = {{"width", Block.Width}, {"height", Block.Height}};
  if (Block.Empty()) {
    json["png"] = nullptr;
    return json;
  }
  json["x"] = Block.Offset.X;
  json["y"] = Block.Offset.Y;
  json["png"] = BlockPng(Block);
  return json;
}

class TWriter {
 public:
  TWriter(const TProject& Project, const std::string& FileName) : FProject(Project), FFileName(FileName) {}

  std::string Path(const std::string& File) const { return RelativeFileName(File, FFileName); }
  TJson OptionalPath(const std::string& File) const {
    return File.empty() ? TJson(nullptr) : TJson(Path(File));
  }

  size_t MaterialIndex(const TStampOrigin& Origin) const {
    for (size_t i = 0; i < FProject.Materials.size(); ++i)
      if (FProject.Materials[i].Path == Origin.MaterialPath &&
          FProject.Materials[i].IndexZeroTransparent == Origin.IndexZeroTransparent)
        return i;
    throw EProjectError("Cannot save project \"" + FFileName + "\": the material \"" + Origin.MaterialPath +
                        "\" of a stamp is not in its material list.");
  }

  TJson Operation(const TEditOperation& Operation) const {
    return std::visit(
        [&](const auto& op) -> TJson {
          using T = std::decay_t<decltype(op)>;
          if constexpr (std::is_same_v<T, TStampOperation>) {
            static const char* const Origins[] = {"material", "sheet", "clipboard"};
            TJson json = {{"kind", "stamp"}, {"from", Origins[static_cast<size_t>(op.Origin.From)]}};
            if (op.Origin.From == TStampOrigin::TFrom::Material) json["material"] = MaterialIndex(op.Origin);
            json["source"] = RectJson(op.Origin.Area);
            json["target"] = PointJson(op.Target);
            json["transform"] = ChipTransformName(op.Origin.Transform);
            if (op.Origin.From != TStampOrigin::TFrom::Material) {
              if (!op.Pixels)
                throw EProjectError("Cannot save project \"" + FFileName +
                                    "\": a stamp from the sheet or the clipboard carries no pixels.");
              json["pixels"] = BlockJson(*op.Pixels);
            }
            return json;
          } else if constexpr (std::is_same_v<T, TEraseOperation>) {
            return {{"kind", "erase"}, {"area", RectJson(op.Area)}};
          } else if constexpr (std::is_same_v<T, TMoveOperation>) {
            return {{"kind", op.Copy ? "copy" : "move"},
                    {"area", RectJson(op.Area)},
                    {"target", PointJson(op.Target)}};
          } else if constexpr (std::is_same_v<T, TChipSizeOperation>) {
            return {{"kind", "chipSize"}, {"width", op.ChipWidth}, {"height", op.ChipHeight}};
          } else if constexpr (std::is_same_v<T, TNewImageOperation>) {
            return {{"kind", "new"},
                    {"columns", op.Columns},
                    {"rows", op.Rows},
                    {"chipWidth", op.ChipWidth},
                    {"chipHeight", op.ChipHeight},
                    {"transparent", op.Transparent}};
          } else {
            // A load reads a file that may since hold something else (often the sheet itself); a project
            // starts from the picture it gave instead (TProject::Base).
            throw EProjectError("Cannot save project \"" + FFileName +
                                "\": a loaded edit image can only start the recipe, as its base picture.");
          }
        },
        Operation);
  }

  TJson Document() const {
    const TProject& p = FProject;
    TJson json;
    json["format"] = FormatName;
    json["version"] = ProjectVersion;
    json["chip"] = {{"width", p.ChipWidth}, {"height", p.ChipHeight}};
    json["sheet"] = {{"width", p.SheetWidth},
                     {"height", p.SheetHeight},
                     {"background", BackgroundNames[p.TransparentBackground ? 1 : 0]},
                     {"base", p.Base ? TJson(BlockPng(*p.Base)) : TJson(nullptr)}};
    TJson materials = TJson::array();
    for (const TProjectMaterial& m : p.Materials)
      materials.push_back({{"path", Path(m.Path)},
                           {"indexZeroTransparent", m.IndexZeroTransparent},
                           {"sha256", m.Sha256.empty() ? TJson(nullptr) : TJson(m.Sha256)},
                           {"width", m.Width > 0 ? TJson(m.Width) : TJson(nullptr)},
                           {"height", m.Height > 0 ? TJson(m.Height) : TJson(nullptr)}});
    json["materials"] = std::move(materials);
    TJson operations = TJson::array();
    for (const TEditOperation& op : p.Operations) operations.push_back(Operation(op));
    json["operations"] = std::move(operations);
    json["save"] = {{"file", OptionalPath(p.SheetFile)},
                    {"profile", SaveProfileInfo(p.Save.Profile).Name},
                    {"exactColors", p.Save.ExactColors},
                    {"keyColor", p.Save.KeyColor == -1 ? TJson(nullptr) : TJson(HexColor(p.Save.KeyColor))},
                    {"timeStamp", p.Save.TimeStamp}};
    if (p.Export) {
      const TExportOptions& o = p.Export->Options;
      json["export"] = {{"image", Path(p.Export->Files.Image)},
                        {"tiled", OptionalPath(p.Export->Files.Tsx)},
                        {"tsj", OptionalPath(p.Export->Files.Tsj)},
                        {"godot", OptionalPath(p.Export->Files.Tres)},
                        {"spacing", o.Spacing},
                        {"margin", o.Margin},
                        {"extrude", o.Extrusion},
                        {"keyColor", o.KeyColor ? TJson(HexColor(*o.KeyColor)) : TJson(nullptr)},
                        {"skipDuplicates", o.SkipDuplicates},
                        {"transforms", o.MatchTransforms},
                        {"profile", p.Export->Profile}};
    } else {
      json["export"] = nullptr;
    }
    return json;
  }

 private:
  const TProject& FProject;
  std::string FFileName;
};

// The old entry of a list that Fresh stands for: in "materials" the one of the same file and read option,
// in "operations" the one at the same place when it says what Fresh says.
const TJson* MatchingEntry(const std::string& List, const TJson& Fresh, size_t Index, const TJson& Old) {
  if (!Fresh.is_object()) return nullptr;
  if (List == "materials") {
    for (const TJson& entry : Old)
      if (entry.is_object() && entry.value("path", TJson()) == Fresh["path"] &&
          entry.value("indexZeroTransparent", TJson(false)) == Fresh["indexZeroTransparent"])
        return &entry;
    return nullptr;
  }
  if (Index >= Old.size() || !Old[Index].is_object()) return nullptr;
  for (const auto& [key, value] : Fresh.items())
    if (!Old[Index].contains(key) || Old[Index][key] != value) return nullptr;
  return &Old[Index];
}

// Copies into Fresh the members of Old that Fresh lacks: Fresh has every field this version knows (null where
// it has no value), so those are the fields it does not know. Objects both have are merged the same way, and
// the entries of the lists by MatchingEntry.
void KeepUnknownFields(TJson& Fresh, const TJson& Old) {
  for (const auto& [key, value] : Old.items()) {
    const auto found = Fresh.find(key);
    if (found == Fresh.end()) {
      Fresh[key] = value;
    } else if (found->is_object() && value.is_object()) {
      KeepUnknownFields(*found, value);
    } else if (found->is_array() && value.is_array()) {
      for (size_t i = 0; i < found->size(); ++i)
        if (const TJson* old = MatchingEntry(key, (*found)[i], i, value))
          if ((*found)[i].is_object()) KeepUnknownFields((*found)[i], *old);
    }
  }
}

// Compact JSON of a value; text that is not UTF-8 (a file name in another encoding) is refused.
std::string Compact(const TJson& Value, const std::string& FileName) {
  try {
    return Value.dump(-1, ' ', false, TJson::error_handler_t::strict);
  } catch (const TJson::type_error&) {
    throw EProjectError("Cannot save project \"" + FileName + "\": a file name in it is not UTF-8 text.");
  }
}

}  // namespace

TProject ParseProject(const std::string& Text, const std::string& FileName) {
  return TReader(FileName).Project(Text);
}

TProject ReadProject(const std::string& FileName) {
  TMemoryStream stream;
  stream.LoadFromFile(FileName);
  return ParseProject(std::string(stream.Data().begin(), stream.Data().end()), FileName);
}

std::string ProjectText(const TProject& Project, const std::string& FileName) {
  TJson document = TWriter(Project, FileName).Document();
  if (!Project.ReadText.empty()) {
    const TJson old = TJson::parse(Project.ReadText, nullptr, false);
    if (old.is_object()) KeepUnknownFields(document, old);
  }
  // One line per field of the top level, and one per entry of its lists, so that a change of the recipe
  // shows as a change of its lines.
  std::string text = "{\n";
  size_t left = document.size();
  for (const auto& [key, value] : document.items()) {
    text += "  " + Compact(TJson(key), FileName) + ": ";
    if (value.is_array() && !value.empty()) {
      text += "[\n";
      for (size_t i = 0; i < value.size(); ++i)
        text += "    " + Compact(value[i], FileName) + (i + 1 < value.size() ? ",\n" : "\n");
      text += "  ]";
    } else {
      text += Compact(value, FileName);
    }
    text += --left > 0 ? ",\n" : "\n";
  }
  return text + "}\n";
}

std::string WriteProject(const TProject& Project, const std::string& FileName) {
  std::string text = ProjectText(Project, FileName);
  SaveFileAtomically(FileName, [&text](TStream& Stream) {
    Stream.WriteBuffer(text.data(), static_cast<int64_t>(text.size()));
  });
  return text;
}

std::string ProjectSheetFile(const TProject& Project, const std::string& ProjectFile) {
  if (!Project.SheetFile.empty()) return Project.SheetFile;
  return fs::absolute(fs::path(ProjectFile)).replace_extension(".png").lexically_normal().string();
}

std::vector<TProjectMaterial> DescribeMaterials(std::span<const TEditOperation> Operations,
                                                std::span<const TProjectMaterial> Previous) {
  std::vector<TProjectMaterial> materials;
  for (const TEditOperation& operation : Operations) {
    const auto* stamp = std::get_if<TStampOperation>(&operation);
    if (!stamp || stamp->Origin.From != TStampOrigin::TFrom::Material) continue;
    const TStampOrigin& origin = stamp->Origin;
    auto same = [&](const TProjectMaterial& m) {
      return m.Path == origin.MaterialPath && m.IndexZeroTransparent == origin.IndexZeroTransparent;
    };
    if (std::any_of(materials.begin(), materials.end(), same)) continue;
    TProjectMaterial material;
    material.Path = origin.MaterialPath;
    material.IndexZeroTransparent = origin.IndexZeroTransparent;
    try {
      TOrvDatas reader;
      reader.LoadMaterial(material.Path, TMaterialReadOptions{origin.IndexZeroTransparent});
      material.Sha256 = FileSha256Hex(material.Path);
      material.Width = reader.Material->Width();
      material.Height = reader.Material->Height();
    } catch (const Exception&) {
      const auto previous = std::find_if(Previous.begin(), Previous.end(), same);
      if (previous != Previous.end()) material = *previous;
    }
    materials.push_back(std::move(material));
  }
  return materials;
}

std::vector<TProjectMaterial> ChangedMaterials(const TProject& Project) {
  std::vector<TProjectMaterial> changed;
  for (const TProjectMaterial& material : Project.Materials) {
    std::string digest;
    try {
      digest = FileSha256Hex(material.Path);
    } catch (const Exception&) {
    }
    if (digest != material.Sha256) changed.push_back(material);
  }
  return changed;
}
