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
  TReadFile File;
  if (ImageFileKindOf(FileName, "load") == TImageFileKind::Png) {
    File.Png = std::make_unique<TPngGraphic>();
    ReadPngFile(FileName, *File.Png);
  } else {
    File.Bmp = std::make_unique<TBitmap>();
    ReadBmpFile(FileName, *File.Bmp);
  }
  return File;
}

// The alpha plane of a PNG (8 bits, 255 - alpha per pixel) when it belongs to the image; else nullptr.
const TBitmap* AlphaPlane(const TReadFile& File) {
  if (!File.Png || !File.Png->HasAlpha) return nullptr;
  const TBitmap& Alpha = File.Png->AlphaBitmap();
  const TBitmap& Image = File.Image();
  if (Alpha.PixelFormat() != pf8bit || Alpha.Width() != Image.Width() || Alpha.Height() != Image.Height())
    return nullptr;
  return &Alpha;
}

void WritePam(TBitmap& Image, const TBitmap* Alpha, TStream& Stream) {
  TBitmap Rgb;
  Rgb.Assign(&Image);
  Rgb.SetPixelFormat(pf24bit);
  const int Width = Rgb.Width(), Height = Rgb.Height();
  const int Depth = Alpha ? 4 : 3;
  const std::string Header = "P7\nWIDTH " + std::to_string(Width) + "\nHEIGHT " + std::to_string(Height) +
                             "\nDEPTH " + std::to_string(Depth) + "\nMAXVAL 255\nTUPLTYPE " +
                             (Alpha ? "RGB_ALPHA" : "RGB") + "\nENDHDR\n";
  Stream.WriteBuffer(Header.data(), static_cast<int64_t>(Header.size()));
  std::vector<uint8_t> Row(static_cast<size_t>(Width) * Depth);
  const TBitmap& Source = Rgb;
  for (int y = 0; y < Height; ++y) {
    const uint8_t* p = Source.ScanLine(y);
    const uint8_t* a = Alpha ? Alpha->ScanLine(y) : nullptr;
    uint8_t* q = Row.data();
    for (int x = 0; x < Width; ++x, p += 3) {
      *q++ = p[2];
      *q++ = p[1];
      *q++ = p[0];
      if (a) *q++ = static_cast<uint8_t>(255 - a[x]);
    }
    Stream.WriteBuffer(Row.data(), static_cast<int64_t>(Row.size()));
  }
}

// JSON text of a byte string: PNG text is Latin-1, so bytes above 127 become the code points they name.
std::string JsonString(const std::string& Text) {
  std::string Result = "\"";
  for (const char c : Text) {
    const auto b = static_cast<uint8_t>(c);
    if (b == '"' || b == '\\') {
      Result += '\\';
      Result += c;
    } else if (b < 0x20 || b >= 0x7F) {
      char Escape[8];
      std::snprintf(Escape, sizeof Escape, "\\u%04x", b);
      Result += Escape;
    } else {
      Result += c;
    }
  }
  return Result + "\"";
}

// A colour value: null for none (-1), {"paletteIndex": i} for a palette entry, else "#rrggbb".
std::string JsonColor(TColor Color) {
  if (Color == -1) return "null";
  if (IsPaletteIndexColor(Color)) return "{\"paletteIndex\":" + std::to_string(Color & 0xFF) + "}";
  char Text[16];
  std::snprintf(Text, sizeof Text, "\"#%02x%02x%02x\"", GetRValue(Color), GetGValue(Color), GetBValue(Color));
  return Text;
}

// The decoder's results as a JSON object. The colour type and the bit depth are the file's: the decoder
// reports grey and palette depths as they are and an RGB depth as three samples' worth.
std::string PngResults(const TPngGraphic& Png) {
  int ColorType, BitDepth = Png.BitDepth;
  if (Png.GrayScale) {
    ColorType = Png.HasAlpha ? 4 : 0;
  } else if (Png.BitDepth >= 15) {
    ColorType = Png.HasAlpha ? 6 : 2;
    BitDepth = Png.BitDepth / 3;
  } else {
    ColorType = 3;
  }
  std::string Json =
      "{\"colorType\":" + std::to_string(ColorType) + ",\"bitDepth\":" + std::to_string(BitDepth) +
      ",\"interlace\":" + std::to_string(Png.Interlace) + ",\"alpha\":" + (Png.HasAlpha ? "true" : "false") +
      ",\"transparentColor\":" + JsonColor(Png.TransparentColor) +
      ",\"backgroundColor\":" + JsonColor(Png.BackgroundColor) + ",\"comment\":" + JsonString(Png.Comment) +
      ",\"gamma\":";
  if (Png.Gamma > 0) {
    char Gamma[32];
    std::snprintf(Gamma, sizeof Gamma, "%.5f", Png.Gamma);
    Json += Gamma;
  } else {
    Json += "null";
  }
  Json += ",\"physicalSize\":";
  if (Png.PhysX != 0 || Png.PhysY != 0 || Png.PhysUnit != 0)
    Json += "{\"unit\":" + std::to_string(Png.PhysUnit) + ",\"x\":" + std::to_string(Png.PhysX) +
            ",\"y\":" + std::to_string(Png.PhysY) + "}";
  else
    Json += "null";
  Json += ",\"significantBits\":";
  if (Png.SignificantBits != 0) {
    const auto Bits = static_cast<uint32_t>(Png.SignificantBits);
    Json += "[" + std::to_string(Bits & 0xFF) + "," + std::to_string((Bits >> 8) & 0xFF) + "," +
            std::to_string((Bits >> 16) & 0xFF) + "," + std::to_string(Bits >> 24) + "]";
  } else {
    Json += "null";
  }
  return Json + "}";
}

}  // namespace

void ConvertCommand(const std::string& In, const std::string& Out) {
  TOrvDatas Document;
  Document.LoadEditImage(In);
  Document.SaveEditImage(Out);
}

void DecodeCommand(const std::string& In, const std::string& Out) {
  const TReadFile File = ReadImage(In);
  const TBitmap* Alpha = AlphaPlane(File);
  SaveFileAtomically(Out, [&](TStream& Stream) { WritePam(File.Image(), Alpha, Stream); });
}

void InfoCommand(const std::string& In, std::ostream& Out) {
  const TReadFile File = ReadImage(In);
  const TBitmap& Image = File.Image();
  Out << "{\"format\":" << (File.Png ? "\"png\"" : "\"bmp\"") << ",\"width\":" << Image.Width()
      << ",\"height\":" << Image.Height() << ",\"bitsPerPixel\":" << Image.BitCount()
      << ",\"paletteSize\":" << PaletteSize(Image.Palette());
  if (File.Png) Out << ",\"png\":" << PngResults(*File.Png);
  Out << "}\n";
}

void ColorsCommand(const std::string& In, std::ostream& Out) {
  TOrvDatas Document;
  Document.LoadEditImage(In);
  Out << TOrvDatas::CountColors(*Document.EditImage) << "\n";
}
