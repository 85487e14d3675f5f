// tilora-tool: the editor's file pipeline from the command line. Failures print the message the editor would
// show and exit with status 1; usage errors exit with status 2.
#include <cstdio>
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "DibImage.h"
#include "OrvCuiErrors.h"
#include "PngGraphic.h"
#include "TiloraVersion.h"
#include "ToolCommands.h"
#include "ToolExport.h"
#include "ToolProject.h"

namespace {

constexpr const char* Usage =
    "Usage: tilora-tool COMMAND ARGUMENTS\n"
    "\n"
    "Runs Tilora's own file code on image files. Files are read and written by their extension, .png or "
    ".bmp\n"
    "in any letter case, exactly as the editor reads materials and edit images and saves edit images.\n"
    "\n"
    "Commands:\n"
    "  convert IN OUT     Load IN as an edit image and save it to OUT as the editor's Save does: the image "
    "is\n"
    "                     reduced by its distinct-colour count (256 or fewer colours: 8 bits per pixel; 16 "
    "or\n"
    "                     fewer: 4 bits; a single black or white colour: 1 bit) and written by the editor's "
    "PNG\n"
    "                     or BMP writer. An existing OUT is replaced only when the new file is complete.\n"
    "                     A sheet with transparent pixels keeps its alpha: PNG as a palette with tRNS (256 "
    "or\n"
    "                     fewer colour + alpha values) or RGB + alpha, BMP as 32 bits with an alpha mask.\n"
    "      --exact-colors        reduce to 8 or 4 bits only with the image's own colours (no merging).\n"
    "      --profile NAME        standard (the default, as above) or rpg2000: an 8-bit palette PNG or BMP\n"
    "                            for RPG Maker 2000/2003, exact colours, the key colour at palette index 0\n"
    "                            (the transparent pixels' colour, else --key-color or the top-left "
    "pixel's).\n"
    "      --key-color #RRGGBB   the rpg2000 key colour of a sheet without transparent pixels.\n"
    "                     Warnings of the save (a sheet that is not 480 x 256 for rpg2000) go to standard\n"
    "                     error; they do not stop the save.\n"
    "  decode IN OUT.pam  Read IN and write its pixels as a PAM file (P7, 8 bits per sample, rows top to\n"
    "                     bottom, palette indices expanded to colours). TUPLTYPE is RGB_ALPHA when IN "
    "carries\n"
    "                     alpha (an alpha channel, tRNS or a BMP alpha mask), else RGB.\n"
    "  info IN            Print one JSON object: format, width, height, bitsPerPixel and paletteSize of the "
    "image\n"
    "                     as read, alpha (whether it loads with transparent pixels) and transparentEntries\n"
    "                     (the palette's entries that are not opaque, [{\"index\": i, \"alpha\": a}]); "
    "for PNG files also \"png\" with the decoder's results: colorType, "
    "bitDepth,\n"
    "                     interlace, alpha, transparentColor, backgroundColor, comment, gamma, physicalSize "
    "and\n"
    "                     significantBits (colours as \"#rrggbb\" or {\"paletteIndex\": i}; null when "
    "absent).\n"
    "  colors IN          Print the number of distinct colours that saving IN's image would count.\n"
    "  convert IN... --out-dir DIR [--format png|bmp]\n"
    "                     Convert each IN into DIR, named as IN with its own extension or the --format one.\n"
    "  export IN --chip WxH --image OUT [--tiled OUT.tsx] [--tsj OUT.tsj] [--godot OUT.tres] [OPTIONS]\n"
    "                     Save IN's chips as a sheet for map editors and engines: the image OUT (saved as "
    "the\n"
    "                     editor saves, by the profile) and the Tiled (.tsx, .tsj) and Godot 4 (.tres)\n"
    "                     tilesets that describe it. OPTIONS:\n"
    "                       --spacing N, --margin N  pixels between chips and around them\n"
    "                       --extrude N          repeat each chip's edge pixels N times outward\n"
    "                       --key-color RRGGBB   the colour that stands for transparency (Tiled's trans); "
    "it\n"
    "                                            fills the gaps and marks empty chips\n"
    "                       --skip-duplicates    leave copies of earlier chips out of the Godot tile list\n"
    "                                            (empty chips are always left out)\n"
    "                       --transforms         count flipped and rotated copies as copies too\n"
    "                       --profile NAME       the save profile of the image: standard or rpg2000\n"
    "  export IN... --chip WxH --out-dir DIR [--format png|bmp] [--tilesets tsx,tsj,tres] [OPTIONS]\n"
    "                     Export each IN into DIR as NAME.png (or .bmp) with the tilesets listed (all three\n"
    "                     unless --tilesets says otherwise).\n"
    "  duplicates IN --chip WxH [--transforms] [--key-color RRGGBB]\n"
    "                     Print one JSON object: columns, rows, the number of chips that copy an earlier "
    "one\n"
    "                     (\"duplicates\"), the groups of copies (each chip with its column, row and the\n"
    "                     transform that makes it from the group's first chip) and the empty chips.\n"
    "  build PROJECT [--out DIR]\n"
    "                     Rebuild the sheet of a Tilora project (.tilora) from its materials: replay its\n"
    "                     stamps, erases and moves in order and write the sheet and its export (tilesets,\n"
    "                     padded image) with the project's save profile and export settings, where the\n"
    "                     project names them or, with --out, into DIR under their own names. The files are\n"
    "                     the same byte for byte on every run (no time stamp unless the project asks for\n"
    "                     one). A missing or unreadable material is named with the cells it fills, nothing\n"
    "                     is written and the status is 1; cells whose chips no longer fit their material\n"
    "                     keep their last pixels and are named as warnings.\n"
    "  --help             Show this text.\n"
    "  --version          Show the program name and version.\n"
    "\n"
    "Exit status: 0 on success, 1 when reading or writing fails (the editor's message is printed on "
    "standard\n"
    "error), 2 for a usage error.\n";

int UsageError(const std::string& Problem) {
  std::cerr
      << "tilora-tool: " << Problem
      << "\nUsage: tilora-tool convert [--profile standard|rpg2000] [--exact-colors] "
         "[--key-color #RRGGBB] IN OUT | decode IN OUT.pam | info IN | colors IN | "
         "export IN... --chip WxH ... | duplicates IN --chip WxH | build PROJECT [--out DIR] | --help | "
         "--version\n";
  return 2;
}

int Run(const std::vector<std::string>& Args) {
  if (Args.empty()) return UsageError("no command given");
  const std::string& command = Args[0];
  if (command == "--help" || command == "-h" || command == "help") {
    std::cout << Usage;
    return 0;
  }
  if (command == "--version") {
    std::cout << "tilora-tool " << TiloraVersion << "\n";
    return 0;
  }
  const size_t operands = Args.size() - 1;
  auto expect = [&](size_t Count) {
    if (operands == Count) return true;
    UsageError(command + " takes " + std::to_string(Count) + (Count == 1 ? " file" : " files") + ", not " +
               std::to_string(operands));
    return false;
  };
  const std::vector<std::string> rest(Args.begin() + 1, Args.end());
  if (command == "export" || command == "duplicates" || command == "build" ||
      (command == "convert" && IsBatch(rest))) {
    int status;
    try {
      status = command == "export"       ? ExportCommand(rest)
               : command == "duplicates" ? DuplicatesCommand(rest, std::cout)
               : command == "build"      ? BuildCommand(rest, std::cerr)
                                         : BatchConvertCommand(rest);
    } catch (const EToolUsage& problem) {
      return UsageError(problem.what());
    }
    if (status != 0) return status;
  } else if (command == "convert") {
    TSaveOptions options;
    std::vector<std::string> files;
    for (size_t i = 1; i < Args.size(); ++i) {
      const std::string& arg = Args[i];
      if (arg == "--exact-colors") {
        options.ExactColors = true;
      } else if (arg == "--profile" || arg == "--key-color") {
        if (i + 1 == Args.size()) return UsageError(arg + " needs a value");
        const std::string& value = Args[++i];
        if (arg == "--profile") {
          const TSaveProfileInfo* profile = FindSaveProfile(value);
          if (!profile) return UsageError("unknown profile \"" + value + "\" (standard or rpg2000)");
          options.Profile = profile->Profile;
        } else {
          unsigned rgb = 0;
          char end = 0;
          if (value.size() != 7 || std::sscanf(value.c_str(), "#%6x%c", &rgb, &end) != 1)
            return UsageError("a key colour is written #RRGGBB, not \"" + value + "\"");
          options.KeyColor =
              RGB(static_cast<uint8_t>(rgb >> 16), static_cast<uint8_t>(rgb >> 8), static_cast<uint8_t>(rgb));
        }
      } else if (arg.starts_with("--")) {
        return UsageError("unknown option \"" + arg + "\"");
      } else {
        files.push_back(arg);
      }
    }
    if (files.size() != 2) return UsageError("convert takes 2 files, not " + std::to_string(files.size()));
    ConvertCommand(files[0], files[1], options, std::cerr);
  } else if (command == "decode") {
    if (!expect(2)) return 2;
    DecodeCommand(Args[1], Args[2]);
  } else if (command == "info") {
    if (!expect(1)) return 2;
    InfoCommand(Args[1], std::cout);
  } else if (command == "colors") {
    if (!expect(1)) return 2;
    ColorsCommand(Args[1], std::cout);
  } else {
    return UsageError("unknown command \"" + command + "\"");
  }
  std::cout.flush();
  if (!std::cout) {
    std::cerr << ShownErrorMessage("Cannot write to standard output") << "\n";
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  DibImageInitialize();
  PngGraphicInitialize();
  int status;
  try {
    status = Run(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const std::exception& error) {
    std::cerr << ShownErrorMessage(error.what()) << "\n";
    status = 1;
  }
  PngGraphicFinalize();
  DibImageFinalize();
  return status;
}
