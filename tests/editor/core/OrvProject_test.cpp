// The project file: the digest and Base64 against published vectors, every field through a write and a read,
// paths relative to the project, fields of the same version kept, and bad input refused with the field named.
#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>

#include "AlphaPlane.h"
#include "ExpectRaises.h"
#include "NoiseImages.h"
#include "OrvEncoding.h"
#include "OrvProject.h"
#include "TestFiles.h"

using namespace filestest;
namespace fs = std::filesystem;
using TJson = nlohmann::ordered_json;

namespace {

std::string ReadText(const std::string& Path) {
  const std::vector<uint8_t> bytes = ReadFileBytes(Path);
  return std::string(bytes.begin(), bytes.end());
}

std::string Normal(const std::string& Path) {
  return fs::path(Path).lexically_normal().string();
}

std::span<const uint8_t> Bytes(const std::string& Text) {
  return {reinterpret_cast<const uint8_t*>(Text.data()), Text.size()};
}

TEST(ProjectEncoding, Sha256OfPublishedVectorsAndOfAFile) {
  EXPECT_EQ(Sha256Hex(Bytes("")), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  EXPECT_EQ(Sha256Hex(Bytes("abc")), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  // 56 bytes: the padding needs a second block.
  EXPECT_EQ(Sha256Hex(Bytes("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq")),
            "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
  const std::string million(1000000, 'a');
  EXPECT_EQ(Sha256Hex(Bytes(million)), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");

  const TempFolder folder;
  WriteFileBytes(folder.Path("a.bin"), std::vector<uint8_t>(million.begin(), million.end()));
  EXPECT_EQ(FileSha256Hex(folder.Path("a.bin")), Sha256Hex(Bytes(million)));
  ExpectRaises<EFOpenError>(
      [&] { FileSha256Hex(folder.Path("none.bin")); },
      "Cannot open file \"" + folder.Path("none.bin") + "\". No such file or directory");
}

TEST(ProjectEncoding, Base64OfPublishedVectorsAndRefusals) {
  const std::pair<const char*, const char*> vectors[] = {{"", ""},
                                                         {"f", "Zg=="},
                                                         {"fo", "Zm8="},
                                                         {"foo", "Zm9v"},
                                                         {"foob", "Zm9vYg=="},
                                                         {"fooba", "Zm9vYmE="},
                                                         {"foobar", "Zm9vYmFy"}};
  for (const auto& [plain, coded] : vectors) {
    EXPECT_EQ(Base64Encode(Bytes(plain)), coded);
    const auto decoded = Base64Decode(coded);
    ASSERT_TRUE(decoded) << coded;
    EXPECT_EQ(std::string(decoded->begin(), decoded->end()), plain);
  }
  std::vector<uint8_t> all(256);
  for (int i = 0; i < 256; ++i) all[i] = static_cast<uint8_t>(i);
  EXPECT_EQ(Base64Decode(Base64Encode(all)), all);
  for (const char* bad : {"Zg=", "Zg", "Z===", "Zh==", "Zm9=", "Zg==Zg==", "Zm 9", "Zm9v\n", "=Zg="})
    EXPECT_FALSE(Base64Decode(bad)) << bad;
}

// A block of noise pixels, with an alpha plane when asked, placed at Offset in a Width x Height rectangle.
TChipBlock NoiseBlock(int32_t Width, int32_t Height, TPoint Offset, int32_t PictureWidth,
                      int32_t PictureHeight, bool WithAlpha, uint32_t Seed) {
  TChipBlock block;
  block.Width = Width;
  block.Height = Height;
  block.Offset = Offset;
  auto image = pngtest::MakeBitmap(PictureWidth, PictureHeight, pf24bit);
  pngtest::FillNoise(*image, Seed);
  block.Image = std::make_shared<TBitmapImage>(image->Image());
  if (WithAlpha) {
    auto alpha = NewAlphaPlaneImage(PictureWidth, PictureHeight);
    pngtest::ByteNoise noise(Seed + 1);
    for (uint8_t& a : alpha->Bits) a = noise.Next();
    block.Alpha = alpha;
  }
  return block;
}

// A project with one of everything, its files in Folder.
TProject EveryField(const TempFolder& Folder) {
  TProject p;
  p.ChipWidth = 16;
  p.ChipHeight = 8;
  p.SheetWidth = 48;
  p.SheetHeight = 24;
  p.TransparentBackground = true;
  p.Base = NoiseBlock(48, 24, {}, 48, 24, true, 7);
  p.Materials = {{Normal(Folder.Path("tiles/grass.png")), false, std::string(64, 'a'), 64, 32},
                 {Normal(Folder.Path("tiles/grass.png")), true, std::string(), 0, 0},
                 {Normal(Folder.Path("../elsewhere/rock.bmp")), false, std::string(64, '0'), 16, 16}};
  TStampOperation fromMaterial;
  fromMaterial.Origin.MaterialPath = p.Materials[1].Path;
  fromMaterial.Origin.IndexZeroTransparent = true;
  fromMaterial.Origin.Area = Rect(16, 0, 48, 8);
  fromMaterial.Origin.Transform = TChipTransform::Rotate90;
  fromMaterial.Target = {32, -8};
  TStampOperation fromSheet;
  fromSheet.Origin.From = TStampOrigin::TFrom::Sheet;
  fromSheet.Origin.Area = Rect(0, 0, 32, 16);
  fromSheet.Origin.Transform = TChipTransform::AntiTranspose;
  fromSheet.Target = {16, 8};
  fromSheet.Pixels = NoiseBlock(32, 16, {16, 8}, 10, 8, false, 3);
  TStampOperation pasted;
  pasted.Origin.From = TStampOrigin::TFrom::Clipboard;
  pasted.Target = {0, 0};
  pasted.Pixels = NoiseBlock(16, 8, {}, 16, 8, true, 5);
  TStampOperation nothing = pasted;
  nothing.Pixels = TChipBlock{16, 8, {}, nullptr, nullptr};
  TStampOperation second = fromMaterial;
  second.Origin.MaterialPath = p.Materials[2].Path;
  second.Origin.IndexZeroTransparent = false;
  p.Operations = {fromMaterial,
                  fromSheet,
                  pasted,
                  nothing,
                  second,
                  TEraseOperation{Rect(0, 8, 16, 16)},
                  TMoveOperation{Rect(0, 0, 16, 8), {16, 16}, false},
                  TMoveOperation{Rect(16, 0, 32, 8), {-16, 0}, true},
                  TChipSizeOperation{8, 8},
                  TNewImageOperation{4, 2, 8, 8, true}};
  p.SheetFile = Normal(Folder.Path("out/sheet.bmp"));
  p.Save = {TSaveProfile::Rpg2000, true, RGB(0x12, 0x34, 0x56), true};
  TProjectExport exported;
  exported.Options.Spacing = 1;
  exported.Options.Margin = 2;
  exported.Options.Extrusion = 3;
  exported.Options.KeyColor = RGB(255, 0, 255);
  exported.Options.SkipDuplicates = true;
  exported.Options.MatchTransforms = true;
  exported.Profile = "rpg2000";
  exported.Files = {Normal(Folder.Path("out/tiles.png")), Normal(Folder.Path("out/tiles.tsx")), "",
                    Normal(Folder.Path("godot/tiles.tres"))};
  p.Export = exported;
  return p;
}

TEST(ProjectFile, EveryFieldSurvivesAWriteAndARead) {
  const TempFolder folder;
  const std::string file = folder.Path("town.tilora");
  const TProject written = EveryField(folder);
  WriteProject(written, file);
  const TProject read = ReadProject(file);

  EXPECT_EQ(read.ChipWidth, 16);
  EXPECT_EQ(read.ChipHeight, 8);
  EXPECT_EQ(read.SheetWidth, 48);
  EXPECT_EQ(read.SheetHeight, 24);
  EXPECT_TRUE(read.TransparentBackground);
  EXPECT_EQ(read.Materials, written.Materials);
  ASSERT_EQ(read.Operations.size(), written.Operations.size());
  const auto& stamp = std::get<TStampOperation>(read.Operations[0]);
  EXPECT_EQ(stamp.Origin.MaterialPath, Normal(folder.Path("tiles/grass.png")));
  EXPECT_TRUE(stamp.Origin.IndexZeroTransparent);
  EXPECT_EQ(stamp.Origin.Area, Rect(16, 0, 48, 8));
  EXPECT_EQ(stamp.Origin.Transform, TChipTransform::Rotate90);
  EXPECT_EQ(stamp.Target.Y, -8);
  const auto& sheetStamp = std::get<TStampOperation>(read.Operations[1]);
  ASSERT_TRUE(sheetStamp.Pixels);
  EXPECT_EQ(sheetStamp.Pixels->Offset.X, 16);
  EXPECT_EQ(sheetStamp.Pixels->Image->Width, 10);
  EXPECT_EQ(read.Base->Alpha->Bits, written.Base->Alpha->Bits);
  EXPECT_TRUE(std::get<TStampOperation>(read.Operations[3]).Pixels->Empty());
  EXPECT_TRUE(std::get<TMoveOperation>(read.Operations[7]).Copy);
  EXPECT_EQ(read.SheetFile, Normal(folder.Path("out/sheet.bmp")));
  EXPECT_EQ(read.Save.Profile, TSaveProfile::Rpg2000);
  EXPECT_EQ(read.Save.KeyColor, RGB(0x12, 0x34, 0x56));
  EXPECT_TRUE(read.Save.ExactColors && read.Save.TimeStamp);
  ASSERT_TRUE(read.Export);
  EXPECT_EQ(read.Export->Files.Tsj, "");
  EXPECT_EQ(read.Export->Options.Extrusion, 3);
  EXPECT_EQ(read.Export->Profile, "rpg2000");
  // Everything else, pixels included: the same project gives the same text, and that text is repeatable.
  const std::string text = ReadText(file);
  EXPECT_EQ(ProjectText(read, file), text);
  EXPECT_EQ(ProjectText(written, file), text);

  // Paths are written relative to the project; moving the folder moves the project with its materials.
  const TJson json = TJson::parse(text);
  EXPECT_EQ(json["materials"][0]["path"], "tiles/grass.png");
  EXPECT_EQ(json["materials"][2]["path"], "../elsewhere/rock.bmp");
  EXPECT_EQ(json["export"]["godot"], "godot/tiles.tres");
  EXPECT_EQ(json["operations"][4]["material"], 2);
  EXPECT_EQ(json["version"], ProjectVersion);
}

TEST(ProjectFile, TextHasOneLinePerOperationAndNoTimeStamp) {
  const TempFolder folder;
  const TProject p = EveryField(folder);
  const std::string text = ProjectText(p, folder.Path("p.tilora"));
  size_t lines = 0;
  for (char c : text) lines += c == '\n';
  // Braces, eight fields of the top level, the closing brackets of the two lists, three materials and ten
  // operations.
  EXPECT_EQ(lines, 2 + 8 + 2 + 3 + 10);
  const auto png = Base64Decode(TJson::parse(text)["sheet"]["base"].get<std::string>());
  ASSERT_TRUE(png);
  EXPECT_EQ(std::search(png->begin(), png->end(), std::begin("tIME"), std::end("tIME") - 1), png->end());
}

TEST(ProjectFile, DefaultsOfAMinimalProject) {
  const TProject p = ParseProject(
      R"({"format": "tilora-project", "version": 1, "chip": {"width": 32, "height": 32},
          "sheet": {"width": 64, "height": 32}})",
      "/projects/minimal.tilora");
  EXPECT_FALSE(p.TransparentBackground);
  EXPECT_FALSE(p.Base);
  EXPECT_TRUE(p.Operations.empty());
  EXPECT_FALSE(p.Save.TimeStamp);
  EXPECT_EQ(p.Save.Profile, TSaveProfile::Standard);
  EXPECT_EQ(ProjectSheetFile(p, "/projects/minimal.tilora"), "/projects/minimal.png");
  EXPECT_FALSE(p.Export);
}

TEST(ProjectFile, FieldsThisVersionDoesNotKnowAreKept) {
  const TempFolder folder;
  const std::string file = folder.Path("p.tilora");
  TJson json = TJson::parse(ProjectText(EveryField(folder), file));
  json["layers"] = {{{"name", "ground"}}};
  json["sheet"]["grid"] = "#ff0000";
  json["materials"][1]["note"] = "from the 2019 pack";
  json["operations"][5]["author"] = "mio";
  json["operations"][6]["author"] = "ren";
  json["save"]["dither"] = false;
  json["export"]["tileset"] = {{"name", "town"}};
  TProject p = ParseProject(json.dump(), file);

  // The materials change order and the recipe changes after the erase: what stays keeps its fields.
  std::swap(p.Materials[0], p.Materials[1]);
  p.Operations[6] = TEraseOperation{Rect(0, 0, 8, 8)};
  const TJson again = TJson::parse(ProjectText(p, file));
  EXPECT_EQ(again["layers"], json["layers"]);
  EXPECT_EQ(again["sheet"]["grid"], "#ff0000");
  EXPECT_EQ(again["materials"][0]["note"], "from the 2019 pack");
  EXPECT_FALSE(again["materials"][1].contains("note"));
  EXPECT_EQ(again["operations"][5]["author"], "mio");
  EXPECT_FALSE(again["operations"][6].contains("author"));
  EXPECT_EQ(again["save"]["dither"], false);
  EXPECT_EQ(again["export"]["tileset"], json["export"]["tileset"]);
}

TEST(ProjectFile, ANewerVersionIsRefused) {
  const std::string message =
      "Cannot read project \"new.tilora\": it was written by a newer Tilora (project version 2; this Tilora "
      "reads version 1 and older).";
  ExpectRaises<EProjectError>(
      [] { ParseProject(R"({"format": "tilora-project", "version": 2, "chip": "whatever"})", "new.tilora"); },
      message);
}

struct BadField {
  const char* Pointer;  // the field changed (JSON pointer); the value null removes it
  TJson Value;
  std::string Message;
};

class ProjectRefusal : public testing::TestWithParam<BadField> {};

TEST_P(ProjectRefusal, NamesTheField) {
  const BadField& c = GetParam();
  const TempFolder folder;
  const std::string file = folder.Path("p.tilora");
  TJson json = TJson::parse(ProjectText(EveryField(folder), file));
  const TJson::json_pointer pointer(c.Pointer);
  if (c.Value.is_null())
    json[pointer.parent_pointer()].erase(pointer.back());
  else
    json[pointer] = c.Value;
  ExpectRaises<EProjectError>([&] { ParseProject(json.dump(), file); },
                              "Cannot read project \"" + file + "\": " + c.Message + ".");
}

// A 2 x 2 picture as the project writes one.
std::string Png2x2() {
  TProject p;
  p.SheetWidth = p.SheetHeight = 2;
  p.Base = NoiseBlock(2, 2, {}, 2, 2, false, 1);
  return TJson::parse(ProjectText(p, "x.tilora"))["sheet"]["base"].get<std::string>();
}

INSTANTIATE_TEST_SUITE_P(
    Fields, ProjectRefusal,
    testing::Values(
        BadField{"/format", "tiled-map", "format must be \"tilora-project\""},
        BadField{"/format", nullptr, "format is missing; a Tilora project has \"tilora-project\""},
        BadField{"/version", 0, "version must be a whole number from 1 to 1"},
        BadField{"/version", "1", "version must be a whole number from 1 to 1"},
        BadField{"/chip", nullptr, "chip is missing"},
        BadField{"/chip/width", 0, "chip.width must be a whole number from 1 to 65536"},
        BadField{"/chip/height", 1.5, "chip.height must be a whole number from 1 to 65536"},
        BadField{"/sheet/width", -1, "sheet.width must be a whole number from 1 to 2147483647"},
        BadField{"/sheet/height", 20000000,
                 "sheet.height makes a sheet larger than 2147483647 bytes of pixels"},
        BadField{"/sheet/background", "black", "sheet.background must be \"white\" or \"transparent\""},
        BadField{"/sheet/base", "not base64!", "sheet.base must be a PNG file in Base64"},
        BadField{"/sheet/base", "AAAA", "sheet.base must be a PNG file in Base64"},
        BadField{"/sheet/base", Png2x2(), "sheet.base holds a picture of 2 x 2 pixels, not 48 x 24"},
        BadField{"/materials", TJson::object(), "materials must be a list"},
        BadField{"/materials/0/path", "", "materials[0].path must name a file"},
        BadField{"/materials/0/path", 7, "materials[0].path must be a text"},
        BadField{"/materials/1/indexZeroTransparent", false,
                 "materials[1] lists the material \"tiles/grass.png\" a second time"},
        BadField{"/materials/2/sha256", "ABCDEF",
                 "materials[2].sha256 must be 64 lowercase hexadecimal digits"},
        BadField{"/materials/2/width", 0, "materials[2].width must be a whole number from 1 to 2147483647"},
        BadField{"/operations/0", "stamp", "operations[0] must be an object"},
        BadField{
            "/operations/0/kind", "paint",
            "operations[0].kind must be \"stamp\", \"erase\", \"move\", \"copy\", \"chipSize\" or \"new\""},
        BadField{"/operations/0/material", 3, "operations[0].material must be a whole number from 0 to 2"},
        BadField{"/operations/0/from", "scanner",
                 "operations[0].from must be \"material\", \"sheet\" or \"clipboard\""},
        BadField{"/operations/0/transform", "rotate45",
                 "operations[0].transform must be \"identity\", \"flipHorizontal\", \"flipVertical\", "
                 "\"rotate180\", \"rotate90\", \"rotate270\", \"transpose\" or \"antiTranspose\""},
        BadField{"/operations/0/target/x", 2147483648.0,
                 "operations[0].target.x must be a whole number from -2147483648 to 2147483647"},
        BadField{"/operations/0/source/width", 2147483647,
                 "operations[0].source.width must be a whole number from 0 to 2147483631"},
        BadField{"/operations/0/pixels", TJson::object(),
                 "operations[0].pixels belongs to stamps from the sheet or the clipboard only"},
        BadField{"/operations/1/pixels", nullptr, "operations[1].pixels is missing"},
        BadField{"/operations/1/pixels/x", 33, "operations[1].pixels.x must be a whole number from 0 to 32"},
        BadField{"/operations/1/pixels/png", Png2x2() + "=",
                 "operations[1].pixels.png must be a PNG file in Base64"},
        BadField{"/operations/2/pixels/height", 1,
                 "operations[2].pixels.png holds a picture of 16 x 8 pixels, which does not fit in 16 x 1"},
        BadField{"/operations/5/area", nullptr, "operations[5].area is missing"},
        BadField{"/operations/6/target", TJson::array({1, 2}), "operations[6].target must be an object"},
        BadField{"/operations/8/width", 65537, "operations[8].width must be a whole number from 1 to 65536"},
        BadField{"/operations/9/rows", 0, "operations[9].rows must be a whole number from 1 to 2147483647"},
        BadField{"/save/profile", "rpg2003", "save.profile must be \"standard\" or \"rpg2000\""},
        BadField{"/save/keyColor", "#12345", "save.keyColor must be a colour written \"#rrggbb\""},
        BadField{"/save/timeStamp", "yes", "save.timeStamp must be true or false"},
        BadField{"/save/file", "", "save.file must name a file"},
        BadField{"/export/image", nullptr, "export.image is missing"},
        BadField{"/export/spacing", -1, "export.spacing must be a whole number from 0 to 2147483647"},
        BadField{"/export/keyColor", "red", "export.keyColor must be a colour written \"#rrggbb\""}));

TEST(ProjectFile, TextThatIsNoProjectIsRefused) {
  ExpectRaises<EProjectError>([] { ParseProject("{\"format\": \"tilora-project\",", "a.tilora"); },
                              "Cannot read project \"a.tilora\": it is not JSON text (error at byte 29).");
  ExpectRaises<EProjectError>(
      [] { ParseProject("{\"format\": \"tilora-project\", \"version\": 1e400}", "a.tilora"); },
      "Cannot read project \"a.tilora\": it is not JSON text (a number is beyond the range of numbers).");
  ExpectRaises<EProjectError>(
      [] { ParseProject("[1, 2]", "a.tilora"); },
      "Cannot read project \"a.tilora\": it is not a Tilora project (a JSON object with \"format\": "
      "\"tilora-project\").");
}

TEST(ProjectFile, WritingIsAtomic) {
  const TempFolder folder;
  const std::string file = folder.Path("p.tilora");
  WriteFileBytes(file, {'o', 'l', 'd'});
  TProject p = EveryField(folder);
  TStampOperation stray;
  stray.Origin.MaterialPath = folder.Path("not-listed.png");
  p.Operations.push_back(stray);
  ExpectRaises<EProjectError>([&] { WriteProject(p, file); },
                              "Cannot save project \"" + file + "\": the material \"" +
                                  folder.Path("not-listed.png") +
                                  "\" of a stamp is not in its material list.");
  EXPECT_EQ(ReadFileBytes(file), (std::vector<uint8_t>{'o', 'l', 'd'}));
  EXPECT_EQ(folder.Names(), std::vector<std::string>{"p.tilora"});
}

}  // namespace
