// The subcommands of tilora-tool over the editor's file code.
#include "ToolCommands.h"

#include <cstdio>
#include <memory>
#include <vector>

#include <nlohmann/json.hpp>

#include "OrvAlpha.h"
#include "OrvCui.h"
#include "OrvCuiFiles.h"
#include "PngGraphic.h"

namespace {

// An image file read by its extension, as the editor reads it, with the alpha it carries; a PNG keeps its
// graphic object for the decoder's results.
struct TReadFile {
  std::unique_ptr<TPngGraphic> Png;
  std::unique_ptr<TBitmap> Image = std::make_unique<TBitmap>();
  std::unique_ptr<TBitmap> Alpha = std::make_unique<TBitmap>();
};

TReadFile ReadImage(const std::string& FileName) {
  TReadFile file;
  auto png = std::make_unique<TPngGraphic>();
  ReadImageFileWithAlpha(FileName, *file.Image, *file.Alpha, png.get());
  if (ImageFileKindOf(FileName, "load") == TImageFileKind::Png) file.Png = std::move(png);
  return file;
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
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", b);
      Out += escape;
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
      for (auto item = Value.begin(); item != Value.end(); ++item) {
        if (item != Value.begin()) Out += ',';
        WriteJsonString(item.key(), Out);
        Out += ':';
        WriteJson(item.value(), Out);
      }
      Out += '}';
      break;
    }
    case TJson::value_t::array: {
      Out += '[';
      for (auto item = Value.begin(); item != Value.end(); ++item) {
        if (item != Value.begin()) Out += ',';
        WriteJson(*item, Out);
      }
      Out += ']';
      break;
    }
    case TJson::value_t::string:
      WriteJsonString(Value.get_ref<const std::string&>(), Out);
      break;
    case TJson::value_t::number_float: {
      char number[32];
      std::snprintf(number, sizeof number, "%.5f", Value.get<double>());
      Out += number;
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
  char text[8];
  std::snprintf(text, sizeof text, "#%02x%02x%02x", GetRValue(Color), GetGValue(Color), GetBValue(Color));
  return text;
}

// The decoder's results. The colour type and the bit depth are the file's: the decoder reports grey and
// palette depths as they are and an RGB depth as three samples' worth. The comment stays in its Latin-1
// bytes, which WriteJsonString maps to code points.
TJson PngResults(const TPngGraphic& Png) {
  int colorType, bitDepth = Png.BitDepth;
  if (Png.GrayScale) {
    colorType = Png.HasAlpha ? 4 : 0;
  } else if (Png.BitDepth >= 15) {
    colorType = Png.HasAlpha ? 6 : 2;
    bitDepth = Png.BitDepth / 3;
  } else {
    colorType = 3;
  }
  TJson results = {{"colorType", colorType},
                   {"bitDepth", bitDepth},
                   {"interlace", Png.Interlace},
                   {"alpha", Png.HasAlpha},
                   {"transparentColor", JsonColor(Png.TransparentColor)},
                   {"backgroundColor", JsonColor(Png.BackgroundColor)},
                   {"comment", Png.Comment},
                   {"gamma", Png.Gamma > 0 ? TJson(Png.Gamma) : TJson(nullptr)},
                   {"physicalSize", nullptr},
                   {"significantBits", nullptr}};
  if (Png.PhysX != 0 || Png.PhysY != 0 || Png.PhysUnit != 0)
    results["physicalSize"] = {{"unit", Png.PhysUnit}, {"x", Png.PhysX}, {"y", Png.PhysY}};
  if (Png.SignificantBits != 0) {
    const auto bits = static_cast<uint32_t>(Png.SignificantBits);
    results["significantBits"] = {bits & 0xFF, (bits >> 8) & 0xFF, (bits >> 16) & 0xFF, bits >> 24};
  }
  return results;
}

}  // namespace

void ConvertCommand(const std::string& In, const std::string& Out, const TSaveOptions& Options,
                    std::ostream& Warnings) {
  TOrvDatas document;
  document.LoadEditImage(In);
  for (const std::string& warning : document.SaveEditImage(Out, Options).Warnings)
    Warnings << "Warning: " << warning << "\n";
}

void DecodeCommand(const std::string& In, const std::string& Out) {
  const TReadFile file = ReadImage(In);
  const TBitmap* alpha = file.Alpha->Empty() ? nullptr : file.Alpha.get();
  SaveFileAtomically(Out, [&](TStream& Stream) { WritePam(*file.Image, alpha, Stream); });
}

void InfoCommand(const std::string& In, std::ostream& Out) {
  const TReadFile file = ReadImage(In);
  const TBitmap& image = *file.Image;
  // The palette entries that are not opaque: a PNG's tRNS alpha values (BMP palettes carry none).
  TJson transparent = TJson::array();
  if (file.Png)
    for (int i = 0; i < PaletteSize(image.Palette()) && i < 256; ++i)
      if (const uint8_t a = file.Png->PaletteAlpha[static_cast<size_t>(i)]; a < 255)
        transparent.push_back({{"index", i}, {"alpha", a}});
  TJson info = {{"format", file.Png ? "png" : "bmp"},
                {"width", image.Width()},
                {"height", image.Height()},
                {"bitsPerPixel", image.BitCount()},
                {"paletteSize", PaletteSize(image.Palette())},
                {"alpha", HasTransparentPixel(*file.Alpha)},
                {"transparentEntries", transparent}};
  if (file.Png) info["png"] = PngResults(*file.Png);
  std::string text;
  WriteJson(info, text);
  Out << text << "\n";
}

void ColorsCommand(const std::string& In, std::ostream& Out) {
  TOrvDatas document;
  document.LoadEditImage(In);
  Out << TOrvDatas::CountColors(*document.EditImage) << "\n";
}
