// The subcommands of tilora-tool over the editor's file code.
#include "ToolCommands.h"

#include <cstdio>
#include <memory>
#include <vector>

#include <nlohmann/json.hpp>

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

using TJson = nlohmann::ordered_json;

// A JSON string of a byte string. PNG text is Latin-1, so each byte outside printable ASCII becomes the \u
// escape of the code point it names; control characters too take the \u form, never the short one.
void WriteJsonString(const std::string& Text, std::string& Out) {
  Out += '"';
  for (const char c : Text) {
    const auto b = static_cast<uint8_t>(c);
    if (b == '"' || b == '\\') {
      Out += '\\';
      Out += c;
    } else if (b < 0x20 || b >= 0x7F) {
      char Escape[8];
      std::snprintf(Escape, sizeof Escape, "\\u%04x", b);
      Out += Escape;
    } else {
      Out += c;
    }
  }
  Out += '"';
}

// The compact text of a JSON value in the form scripts compare byte for byte: keys in insertion order, no
// spaces, strings as WriteJsonString writes them and numbers with a fraction at five decimals (the precision
// of a PNG gamma). The library's own dump would write short escapes and the shortest float, so strings and
// floats are written here and every other value by the library.
void WriteJson(const TJson& Value, std::string& Out) {
  switch (Value.type()) {
    case TJson::value_t::object: {
      Out += '{';
      for (auto Item = Value.begin(); Item != Value.end(); ++Item) {
        if (Item != Value.begin()) Out += ',';
        WriteJsonString(Item.key(), Out);
        Out += ':';
        WriteJson(Item.value(), Out);
      }
      Out += '}';
      break;
    }
    case TJson::value_t::array: {
      Out += '[';
      for (auto Item = Value.begin(); Item != Value.end(); ++Item) {
        if (Item != Value.begin()) Out += ',';
        WriteJson(*Item, Out);
      }
      Out += ']';
      break;
    }
    case TJson::value_t::string:
      WriteJsonString(Value.get_ref<const std::string&>(), Out);
      break;
    case TJson::value_t::number_float: {
      char Number[32];
      std::snprintf(Number, sizeof Number, "%.5f", Value.get<double>());
      Out += Number;
      break;
    }
    default:
      Out += Value.dump();
  }
}

// A colour value: null for none (-1), {"paletteIndex": i} for a palette entry, else "#rrggbb".
TJson JsonColor(TColor Color) {
  if (Color == -1) return nullptr;
  if (IsPaletteIndexColor(Color)) return {{"paletteIndex", Color & 0xFF}};
  char Text[8];
  std::snprintf(Text, sizeof Text, "#%02x%02x%02x", GetRValue(Color), GetGValue(Color), GetBValue(Color));
  return Text;
}

// The decoder's results. The colour type and the bit depth are the file's: the decoder reports grey and
// palette depths as they are and an RGB depth as three samples' worth. The comment stays in its Latin-1
// bytes, which WriteJsonString maps to code points.
TJson PngResults(const TPngGraphic& Png) {
  int ColorType, BitDepth = Png.BitDepth;
  if (Png.GrayScale) {
    ColorType = Png.HasAlpha ? 4 : 0;
  } else if (Png.BitDepth >= 15) {
    ColorType = Png.HasAlpha ? 6 : 2;
    BitDepth = Png.BitDepth / 3;
  } else {
    ColorType = 3;
  }
  TJson Results = {{"colorType", ColorType},
                   {"bitDepth", BitDepth},
                   {"interlace", Png.Interlace},
                   {"alpha", Png.HasAlpha},
                   {"transparentColor", JsonColor(Png.TransparentColor)},
                   {"backgroundColor", JsonColor(Png.BackgroundColor)},
                   {"comment", Png.Comment},
                   {"gamma", Png.Gamma > 0 ? TJson(Png.Gamma) : TJson(nullptr)},
                   {"physicalSize", nullptr},
                   {"significantBits", nullptr}};
  if (Png.PhysX != 0 || Png.PhysY != 0 || Png.PhysUnit != 0)
    Results["physicalSize"] = {{"unit", Png.PhysUnit}, {"x", Png.PhysX}, {"y", Png.PhysY}};
  if (Png.SignificantBits != 0) {
    const auto Bits = static_cast<uint32_t>(Png.SignificantBits);
    Results["significantBits"] = {Bits & 0xFF, (Bits >> 8) & 0xFF, (Bits >> 16) & 0xFF, Bits >> 24};
  }
  return Results;
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
  TJson Info = {{"format", File.Png ? "png" : "bmp"},
                {"width", Image.Width()},
                {"height", Image.Height()},
                {"bitsPerPixel", Image.BitCount()},
                {"paletteSize", PaletteSize(Image.Palette())}};
  if (File.Png) Info["png"] = PngResults(*File.Png);
  std::string Text;
  WriteJson(Info, Text);
  Out << Text << "\n";
}

void ColorsCommand(const std::string& In, std::ostream& Out) {
  TOrvDatas Document;
  Document.LoadEditImage(In);
  Out << TOrvDatas::CountColors(*Document.EditImage) << "\n";
}
