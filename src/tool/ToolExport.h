// The export, duplicates and batch subcommands of tilora-tool. Each takes the arguments after its command
// name, raises EToolUsage for a usage error and the editor's exceptions when something fails, and returns the
// exit status.
#pragma once

#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

// A usage error: the text says what is wrong with the arguments.
class EToolUsage : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// export IN --chip WxH --image OUT [--tiled OUT.tsx] [--tsj OUT.tsj] [--godot OUT.tres] [layout options]
// export IN... --chip WxH --out-dir DIR [--format png|bmp] [--tilesets LIST] [layout options]
int ExportCommand(const std::vector<std::string>& Args);
// duplicates IN --chip WxH [--transforms] [--key-color RRGGBB]: the duplicate groups as one JSON object.
int DuplicatesCommand(const std::vector<std::string>& Args, std::ostream& Out);
// convert IN... --out-dir DIR [--format png|bmp]: each input converted into the folder.
int BatchConvertCommand(const std::vector<std::string>& Args);
// Whether the arguments ask for a batch (they name an output folder).
bool IsBatch(const std::vector<std::string>& Args);
