// The subcommands of tilora-tool over the editor's file code.
#include "ToolCommands.h"

#include <cstdio>
#include <memory>
#include <vector>

#include "OrvCui.h"
#include "OrvCuiFiles.h"
#include "PngGraphic.h"

namespace {

// An image file read by its extension, as the editor reads it; a PNG keeps its graphic object for the
// decoder's results and the alpha plane.
struct TReadFile {
  std::unique_ptr<TPngGraphic> Png;
  std::unique_ptr<TBitmap> Bmp;
  TBitmap& Image() const { return Png ? Png->Bitmap() : *Bmp; }
};

TReadFile ReadImage(const std::string& FileName) {
  TReadFile file;
  if (ImageFileKindOf(FileName, "load") == TImageFileKind::Png) {
    file.Png = std::make_unique<TPngGraphic>();
    ReadPngFile(FileName, *file.Png);
  } else {
    file.Bmp = std::make_unique<TBitmap>();
    ReadBmpFile(FileName, *file.Bmp);
  }
  return file;
}

// The alpha plane of a PNG (8 bits, 255 - alpha per pixel) when it belongs to the image; else nullptr.
const TBitmap* AlphaPlane(const TReadFile& File) {
  if (!File.Png || !File.Png->HasAlpha) return nullptr;
  const TBitmap& alpha = File.Png->AlphaBitmap();
  const TBitmap& image = File.Image();
  if (alpha.PixelFormat() != pf8bit || alpha.Width() != image.Width() || alpha.Height() != image.Height())
    return nullptr;
  return &alpha;
}

void WritePam(TBitmap& Image, const TBitmap* Alpha, TStream& Stream) {
  TBitmap rgb;
  rgb.Assign(&Image);
  rgb.SetPixelFormat(pf24bit);
  const int width = rgb.Width(), height = rgb.Height();
  const int depth = Alpha ? 4 : 3;
  const std::string header = "P7\nWIDTH " + std::to_string(width) + "\nHEIGHT " + std::to_string(height) +
                             "\nDEPTH " + std::to_string(depth) + "\nMAXVAL 255\nTUPLTYPE " +
                             (Alpha ? "RGB_ALPHA" : "RGB") + "\nENDHDR\n";
  Stream.WriteBuffer(header.data(), static_cast<int64_t>(header.size()));
  std::vector<uint8_t> row(static_cast<size_t>(width) * depth);
  const TBitmap& source = rgb;
  for (int y = 0; y < height; ++y) {
    const uint8_t* p = source.ScanLine(y);
    const uint8_t* a = Alpha ? Alpha->ScanLine(y) : nullptr;
    uint8_t* q = row.data();
    for (int x = 0; x < width; ++x, p += 3) {
      *q++ = p[2];
      *q++ = p[1];
      *q++ = p[0];
      if (a) *q++ = static_cast<uint8_t>(255 - a[x]);
    }
    Stream.WriteBuffer(row.data(), static_cast<int64_t>(row.size()));
  }
}

// JSON text of a byte string: PNG text is Latin-1, so bytes above 127 become the code points they name.
std::string JsonString(const std::string& Text) {
  std::string result = "\"";
  for (const char c : Text) {
    const auto b = static_cast<uint8_t>(c);
    if (b == '"' || b == '\\') {
      result += '\\';
      result += c;
    } else if (b < 0x20 || b >= 0x7F) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", b);
      result += escape;
    } else {
      result += c;
    }
  }
  return result + "\"";
}

// A colour value: null for none (-1), {"paletteIndex": i} for a palette entry, else "#rrggbb".
std::string JsonColor(TColor Color) {
  if (Color == -1) return "null";
  if (IsPaletteIndexColor(Color)) return "{\"paletteIndex\":" + std::to_string(Color & 0xFF) + "}";
  char text[16];
  std::snprintf(text, sizeof text, "\"#%02x%02x%02x\"", GetRValue(Color), GetGValue(Color), GetBValue(Color));
  return text;
}

// The decoder's results as a JSON object. The colour type and the bit depth are the file's: the decoder
// reports grey and palette depths as they are and an RGB depth as three samples' worth.
std::string PngResults(const TPngGraphic& Png) {
  int colorType, bitDepth = Png.BitDepth;
  if (Png.GrayScale) {
    colorType = Png.HasAlpha ? 4 : 0;
  } else if (Png.BitDepth >= 15) {
    colorType = Png.HasAlpha ? 6 : 2;
    bitDepth = Png.BitDepth / 3;
  } else {
    colorType = 3;
  }
  std::string json =
      "{\"colorType\":" + std::to_string(colorType) + ",\"bitDepth\":" + std::to_string(bitDepth) +
      ",\"interlace\":" + std::to_string(Png.Interlace) + ",\"alpha\":" + (Png.HasAlpha ? "true" : "false") +
      ",\"transparentColor\":" + JsonColor(Png.TransparentColor) +
      ",\"backgroundColor\":" + JsonColor(Png.BackgroundColor) + ",\"comment\":" + JsonString(Png.Comment) +
      ",\"gamma\":";
  if (Png.Gamma > 0) {
    char gamma[32];
    std::snprintf(gamma, sizeof gamma, "%.5f", Png.Gamma);
    json += gamma;
  } else {
    json += "null";
  }
  json += ",\"physicalSize\":";
  if (Png.PhysX != 0 || Png.PhysY != 0 || Png.PhysUnit != 0)
    json += "{\"unit\":" + std::to_string(Png.PhysUnit) + ",\"x\":" + std::to_string(Png.PhysX) +
            ",\"y\":" + std::to_string(Png.PhysY) + "}";
  else
    json += "null";
  json += ",\"significantBits\":";
  if (Png.SignificantBits != 0) {
    const auto bits = static_cast<uint32_t>(Png.SignificantBits);
    json += "[" + std::to_string(bits & 0xFF) + "," + std::to_string((bits >> 8) & 0xFF) + "," +
            std::to_string((bits >> 16) & 0xFF) + "," + std::to_string(bits >> 24) + "]";
  } else {
    json += "null";
  }
  return json + "}";
}

}  // namespace

void ConvertCommand(const std::string& In, const std::string& Out) {
  TOrvDatas document;
  document.LoadEditImage(In);
  document.SaveEditImage(Out);
}

void DecodeCommand(const std::string& In, const std::string& Out) {
  const TReadFile file = ReadImage(In);
  const TBitmap* alpha = AlphaPlane(file);
  SaveFileAtomically(Out, [&](TStream& Stream) { WritePam(file.Image(), alpha, Stream); });
}

void InfoCommand(const std::string& In, std::ostream& Out) {
  const TReadFile file = ReadImage(In);
  const TBitmap& image = file.Image();
  Out << "{\"format\":" << (file.Png ? "\"png\"" : "\"bmp\"") << ",\"width\":" << image.Width()
      << ",\"height\":" << image.Height() << ",\"bitsPerPixel\":" << image.BitCount()
      << ",\"paletteSize\":" << PaletteSize(image.Palette());
  if (file.Png) Out << ",\"png\":" << PngResults(*file.Png);
  Out << "}\n";
}

void ColorsCommand(const std::string& In, std::ostream& Out) {
  TOrvDatas document;
  document.LoadEditImage(In);
  Out << TOrvDatas::CountColors(*document.EditImage) << "\n";
}
