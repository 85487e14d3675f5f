// tilora-tool: the editor's file pipeline from the command line. Failures print the message the editor would
// show and exit with status 1; usage errors exit with status 2.
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "DibImage.h"
#include "OrvCuiErrors.h"
#include "PngGraphic.h"
#include "TiloraVersion.h"
#include "ToolCommands.h"

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
    "  decode IN OUT.pam  Read IN and write its pixels as a PAM file (P7, 8 bits per sample, rows top to\n"
    "                     bottom, palette indices expanded to colours). TUPLTYPE is RGB_ALPHA when IN is a "
    "PNG\n"
    "                     with an alpha channel, else RGB.\n"
    "  info IN            Print one JSON object: format, width, height, bitsPerPixel and paletteSize of the "
    "image\n"
    "                     as read; for PNG files also \"png\" with the decoder's results: colorType, "
    "bitDepth,\n"
    "                     interlace, alpha, transparentColor, backgroundColor, comment, gamma, physicalSize "
    "and\n"
    "                     significantBits (colours as \"#rrggbb\" or {\"paletteIndex\": i}; null when "
    "absent).\n"
    "  colors IN          Print the number of distinct colours that saving IN's image would count.\n"
    "  --help             Show this text.\n"
    "  --version          Show the program name and version.\n"
    "\n"
    "Exit status: 0 on success, 1 when reading or writing fails (the editor's message is printed on "
    "standard\n"
    "error), 2 for a usage error.\n";

int UsageError(const std::string& Problem) {
  std::cerr << "tilora-tool: " << Problem
            << "\nUsage: tilora-tool convert IN OUT | decode IN OUT.pam | info IN | "
               "colors IN | --help | --version\n";
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
  if (command == "convert") {
    if (!expect(2)) return 2;
    ConvertCommand(Args[1], Args[2]);
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
