// Writes the fuzz targets' seed inputs into <folder>/<target>/ from the seed pictures: BMP files, packed
// DIBs, raw RLE code, PNG files of the encoder, settings files and project files. Targets that read an option
// byte after the picture get one. Usage: fuzz_make_corpus <folder>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "AlphaPlane.h"
#include "OrvProject.h"
#include "PngGraphic.h"
#include "SeedPictures.h"

namespace {

namespace fs = std::filesystem;
using seeds::Bytes;

fs::path Root;

void Save(const std::string& target, const std::string& name, const Bytes& bytes) {
  fs::create_directories(Root / target);
  std::ofstream out(Root / target / name, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// A PNG graphic whose files carry a fixed tIME, so that the seeds come out the same on every run.
void FixTime(TPngGraphic& png) {
  png.UseCurrentTime = false;
  png.ImageTime = TPngTime{2000, 1, 1, 0, 0, 0};
}

// A block of the seed picture (7 x 5 pixels) in a Width x Height rectangle, with an alpha plane when asked.
TChipBlock PictureBlock(int32_t Width, int32_t Height, bool WithAlpha) {
  TChipBlock block;
  block.Width = Width;
  block.Height = Height;
  block.Image = std::make_shared<TBitmapImage>(seeds::Picture(pf24bit)->Image());
  if (WithAlpha) {
    auto alpha = NewAlphaPlaneImage(7, 5);
    for (size_t i = 0; i < alpha->Bits.size(); ++i) alpha->Bits[i] = static_cast<uint8_t>(i * 37);
    block.Alpha = alpha;
  }
  return block;
}

void SaveProject(const std::string& name, const TProject& project, const std::string& extra = "") {
  std::string text = ProjectText(project, (Root / "project" / name).string());
  if (!extra.empty()) text.insert(text.rfind('}'), extra);
  Save("project", name, Bytes(text.begin(), text.end()));
}

Bytes With(Bytes bytes, uint8_t last) {
  bytes.push_back(last);
  return bytes;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: fuzz_make_corpus <folder>\n");
    return 2;
  }
  Root = argv[1];
  SetDibDefaultUseFMO(false);

  for (const auto& [name, bmp] : seeds::BmpFiles()) {
    Save("bitmap_bmp", name + ".bmp", bmp);
    Save("dib_stream", name + ".bmp", With(bmp, dpf24Bit));
    Save("save_bmp", name + ".bmp", With(bmp, name.size() % 2));
  }
  for (const auto& [name, block] : seeds::PackedDibs()) {
    Save("bitmap_clipboard", name + ".dib", block);
    Save("dib_clipboard", name + ".dib", With(block, dpf8Bit));
  }
  for (int bits : {4, 8}) {
    const TDibRecord& record = seeds::RleDib(bits)->InternalDIB()->DIB;
    Bytes raw = {29, 0, 6, 0, 1};
    raw.insert(raw.end(), record.Bits(), record.Bits() + record.ImageSize);
    Save("rle" + std::to_string(bits), "rle.bin", raw);
  }

  // PNG files of the encoder: every bitmap depth it writes, interlaced too, grey, alpha and a comment.
  for (const auto& [format, bits] : seeds::BitmapFormats) {
    if (format == pf15bit || format == pf16bit) continue;
    TPngGraphic png;
    FixTime(png);
    png.Assign(seeds::Picture(format).get());
    const std::string name = std::string("png") + bits;
    Save("png_decoder", name + ".png", With(seeds::StreamBytes(png), 0));
    Save("save_png", name + ".png", With(seeds::StreamBytes(png), 0));
    png.Interlace = 1;
    Save("png_decoder", name + "-adam7.png", With(seeds::StreamBytes(png), 0));
  }
  {
    TPngGraphic png;
    FixTime(png);
    png.Assign(seeds::Picture(pf8bit).get());
    png.GrayScale = true;
    Save("png_decoder", "grey.png", With(seeds::StreamBytes(png), 0));
    png.GrayScale = false;
    png.AlphaBitmap().Assign(seeds::Picture(pf8bit).get());
    png.HasAlpha = true;
    png.Comment = "seed";
    Save("png_decoder", "alpha.png", With(seeds::StreamBytes(png), 0));
    Save("save_png", "alpha.png", With(seeds::StreamBytes(png), 1));
    // True colour with alpha: the alpha writers (a palette with tRNS, a 32-bit V5 BMP).
    png.Assign(seeds::Picture(pf24bit).get());
    Save("save_png", "rgba.png", With(seeds::StreamBytes(png), 2));
    TMemoryStream bmp;
    SaveBmpWithAlpha(bmp, png.Bitmap(), png.AlphaBitmap());
    Save("save_bmp", "alpha.bmp", With(bmp.Data(), 3));
  }

  // Settings files: every line ending, an empty line, no ending at the end, a NUL.
  const std::string text = "/home/user/a.png\r\n/tmp/b.bmp\n\rC:\\chips\\c.png\r\r\nlast";
  Save("settings", "lines.ini", Bytes(text.begin(), text.end()));
  Save("settings", "nul.ini", Bytes{'a', '\r', '\n', 0, 'b'});
  // Projects: every operation and setting over materials that the fuzzer's folder does not hold, a base
  // picture with stamped pixels, and fields of the same version that this one does not know.
  {
    TProject p;
    p.ChipWidth = p.ChipHeight = 8;
    p.SheetWidth = 32;
    p.SheetHeight = 16;
    p.Materials = {{(Root / "project/tiles/grass.png").string(), false, std::string(64, '0'), 16, 16},
                   {(Root / "project/chipset.bmp").string(), true, std::string(), 0, 0}};
    TStampOperation stamp;
    stamp.Origin.MaterialPath = p.Materials[0].Path;
    stamp.Origin.Area = Rect(0, 0, 16, 8);
    stamp.Target = {8, 0};
    TStampOperation turned = stamp;
    turned.Origin.MaterialPath = p.Materials[1].Path;
    turned.Origin.IndexZeroTransparent = true;
    turned.Origin.Transform = TChipTransform::Rotate90;
    p.Operations = {stamp,
                    turned,
                    TEraseOperation{Rect(0, 0, 8, 8)},
                    TMoveOperation{Rect(8, 0, 16, 8), {24, 8}, false},
                    TMoveOperation{Rect(0, 8, 16, 16), {16, 0}, true},
                    TChipSizeOperation{16, 8},
                    TNewImageOperation{3, 2, 16, 8, true}};
    p.Save = {TSaveProfile::Rpg2000, true, RGB(255, 0, 255), false};
    TProjectExport exported;
    exported.Options.Spacing = 1;
    exported.Options.Extrusion = 1;
    exported.Options.KeyColor = RGB(255, 0, 255);
    exported.Files = {(Root / "project/out/tiles.png").string(), (Root / "project/out/tiles.tsx").string(),
                      "", (Root / "project/out/tiles.tres").string()};
    p.Export = exported;
    SaveProject("operations.tilora", p);

    TProject pictures;
    pictures.ChipWidth = 4;
    pictures.ChipHeight = 5;
    pictures.SheetWidth = 7;
    pictures.SheetHeight = 5;
    pictures.Base = PictureBlock(7, 5, false);
    TStampOperation pasted;
    pasted.Origin.From = TStampOrigin::TFrom::Clipboard;
    pasted.Target = {2, 1};
    pasted.Pixels = PictureBlock(8, 6, true);
    TStampOperation fromSheet = pasted;
    fromSheet.Origin.From = TStampOrigin::TFrom::Sheet;
    fromSheet.Origin.Area = Rect(0, 0, 8, 6);
    fromSheet.Origin.Transform = TChipTransform::FlipVertical;
    fromSheet.Pixels->Alpha = nullptr;
    pictures.Operations = {pasted, fromSheet};
    SaveProject("pictures.tilora", pictures);
    SaveProject("unknown-fields.tilora", pictures, ",  \"layers\": [{\"name\": \"ground\"}]\n");
  }
  return 0;
}
