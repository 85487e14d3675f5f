// Writes the fuzz targets' seed inputs into <folder>/<target>/ from the seed pictures: BMP files, packed
// DIBs, raw RLE code, PNG files of the encoder and settings files. Targets that read an option byte after the
// picture get one. Usage: fuzz_make_corpus <folder>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "AlphaPlane.h"
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
  return 0;
}
