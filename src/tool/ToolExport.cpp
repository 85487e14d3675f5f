// tilora-tool export, duplicates and the batch form of convert and export.
#include "ToolExport.h"

#include <charconv>
#include <filesystem>
#include <functional>
#include <iostream>
#include <map>
#include <nlohmann/json.hpp>
#include <set>

#include "OrvCui.h"
#include "OrvCuiErrors.h"
#include "OrvExport.h"
#include "ToolArguments.h"
#include "ToolCommands.h"

namespace {

int32_t ParseCount(const std::string& Option, const std::string& Text, int32_t Least) {
  int32_t value = 0;
  const auto [end, error] = std::from_chars(Text.data(), Text.data() + Text.size(), value);
  if (error != std::errc() || end != Text.data() + Text.size() || value < Least)
    throw EToolUsage(Option + " takes a whole number of at least " + std::to_string(Least) + ", not \"" +
                     Text + "\"");
  return value;
}

void ParseChip(const TArguments& Args, int32_t& Width, int32_t& Height) {
  if (!Args.Has("--chip")) throw EToolUsage("--chip WxH is required");
  const std::string text = Args.Value("--chip");
  const size_t x = text.find('x');
  if (x == std::string::npos) throw EToolUsage("--chip takes WIDTHxHEIGHT, not \"" + text + "\"");
  Width = ParseCount("--chip", text.substr(0, x), 1);
  Height = ParseCount("--chip", text.substr(x + 1), 1);
}

std::optional<TColor> ParseKeyColor(const TArguments& Args) {
  if (!Args.Has("--key-color")) return std::nullopt;
  std::string text = Args.Value("--key-color");
  if (!text.empty() && text[0] == '#') text.erase(0, 1);
  uint32_t rgb = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), rgb, 16);
  if (text.size() != 6 || error != std::errc() || end != text.data() + text.size())
    throw EToolUsage("--key-color takes RRGGBB in hexadecimal, not \"" + Args.Value("--key-color") + "\"");
  return static_cast<TColor>(((rgb >> 16) & 0xFF) | (rgb & 0xFF00) | ((rgb & 0xFF) << 16));
}

// The output files of a batch: DIR/<input's name without extension>.<Extension, or the input's own>. Two
// inputs that would give one output name are a usage error, raised before anything is written.
std::vector<std::string> BatchNames(const std::vector<std::string>& Inputs, const std::string& Folder,
                                    const std::string& Extension) {
  namespace fs = std::filesystem;
  if (!fs::is_directory(Folder)) throw EToolUsage("--out-dir \"" + Folder + "\" is not a folder");
  std::vector<std::string> names;
  std::map<std::string, std::string> seen;
  for (const std::string& input : Inputs) {
    const fs::path in(input);
    const std::string name =
        (fs::path(Folder) / in.stem()).string() + (Extension.empty() ? in.extension().string() : Extension);
    std::error_code error;
    if (fs::equivalent(name, input, error))
      throw EToolUsage("\"" + input + "\" would be written over itself in \"" + Folder + "\"");
    const auto [previous, fresh] = seen.emplace(name, input);
    if (!fresh)
      throw EToolUsage("\"" + previous->second + "\" and \"" + input + "\" would both be written to \"" +
                       name + "\"");
    names.push_back(name);
  }
  return names;
}

std::string BatchExtension(const TArguments& Args, const std::string& Default) {
  const std::string format = Args.Value("--format", Default);
  if (format.empty()) return "";
  if (format != "png" && format != "bmp")
    throw EToolUsage("--format takes png or bmp, not \"" + format + "\"");
  return "." + format;
}

// Runs Step for every input; a failure is reported and the others still run. Status 1 when any failed.
int ForEachInput(const std::vector<std::string>& Inputs, const std::function<void(size_t Index)>& Step) {
  int status = 0;
  for (size_t i = 0; i < Inputs.size(); ++i) {
    try {
      Step(i);
    } catch (const std::exception& error) {
      std::cerr << ShownErrorMessage(error.what()) << "\n";
      status = 1;
    }
  }
  return status;
}

}  // namespace

bool IsBatch(const std::vector<std::string>& Args) {
  for (const std::string& arg : Args)
    if (arg == "--out-dir") return true;
  return false;
}

int ExportCommand(const std::vector<std::string>& Args) {
  const TArguments args(Args,
                        {"--chip", "--image", "--tiled", "--tsj", "--godot", "--spacing", "--margin",
                         "--extrude", "--profile", "--key-color", "--out-dir", "--format", "--tilesets"},
                        {"--skip-duplicates", "--transforms"});
  TExportOptions options;
  ParseChip(args, options.ChipWidth, options.ChipHeight);
  options.Spacing = ParseCount("--spacing", args.Value("--spacing", "0"), 0);
  options.Margin = ParseCount("--margin", args.Value("--margin", "0"), 0);
  options.Extrusion = ParseCount("--extrude", args.Value("--extrude", "0"), 0);
  options.KeyColor = ParseKeyColor(args);
  options.SkipDuplicates = args.Flags.count("--skip-duplicates") > 0;
  options.MatchTransforms = args.Flags.count("--transforms") > 0;
  TExportProfile profile;
  try {
    profile = ExportProfileNamed(args.Value("--profile", "standard"));
  } catch (const EInvalidGraphic& unknown) {
    throw EToolUsage(unknown.what());
  }
  if (args.Operands.empty()) throw EToolUsage("export takes at least one input file");

  auto exportOne = [&](const std::string& In, const TExportFiles& Files) {
    TOrvDatas document;
    document.LoadEditImage(In);
    ExportSheet(*document.EditImage, document.TransparentEditAlpha(), options, Files, profile);
  };

  if (!args.Has("--out-dir")) {
    for (const char* batchOnly : {"--format", "--tilesets"})
      if (args.Has(batchOnly)) throw EToolUsage(std::string(batchOnly) + " goes with --out-dir");
    if (args.Operands.size() != 1) throw EToolUsage("export of several inputs needs --out-dir DIR");
    if (!args.Has("--image")) throw EToolUsage("--image OUT is required");
    exportOne(args.Operands[0],
              {args.Value("--image"), args.Value("--tiled"), args.Value("--tsj"), args.Value("--godot")});
    return 0;
  }

  for (const char* singleOnly : {"--image", "--tiled", "--tsj", "--godot"})
    if (args.Has(singleOnly))
      throw EToolUsage(std::string(singleOnly) + " names one file; with --out-dir use --tilesets");
  std::set<std::string> tilesets;
  const std::string list = args.Value("--tilesets", "tsx,tsj,tres");
  for (size_t start = 0; start <= list.size();) {
    const size_t comma = std::min(list.find(',', start), list.size());
    const std::string kind = list.substr(start, comma - start);
    if (kind != "tsx" && kind != "tsj" && kind != "tres" && !(kind.empty() && list.empty()))
      throw EToolUsage("--tilesets takes a list of tsx, tsj and tres, not \"" + list + "\"");
    if (!kind.empty()) tilesets.insert(kind);
    start = comma + 1;
  }
  const std::vector<std::string> images =
      BatchNames(args.Operands, args.Value("--out-dir"), BatchExtension(args, "png"));
  return ForEachInput(args.Operands, [&](size_t I) {
    const std::string base = std::filesystem::path(images[I]).replace_extension().string();
    auto named = [&](const char* Kind) { return tilesets.count(Kind) ? base + "." + Kind : std::string(); };
    exportOne(args.Operands[I], {images[I], named("tsx"), named("tsj"), named("tres")});
  });
}

int DuplicatesCommand(const std::vector<std::string>& Args, std::ostream& Out) {
  const TArguments args(Args, {"--chip", "--key-color"}, {"--transforms"});
  int32_t width = 0, height = 0;
  ParseChip(args, width, height);
  if (args.Operands.size() != 1)
    throw EToolUsage("duplicates takes 1 file, not " + std::to_string(args.Operands.size()));
  TOrvDatas document;
  document.LoadEditImage(args.Operands[0]);
  const TDuplicateReport report =
      FindDuplicateChips(*document.EditImage, document.TransparentEditAlpha(), width, height,
                         {args.Flags.count("--transforms") > 0, ParseKeyColor(args)});
  using TJson = nlohmann::ordered_json;
  TJson groups = TJson::array(), empty = TJson::array();
  for (const auto& group : report.Groups) {
    TJson members = TJson::array();
    for (const TDuplicateMember& member : group)
      members.push_back({{"column", member.Cell.Column},
                         {"row", member.Cell.Row},
                         {"transform", ChipTransformName(member.Transform)}});
    groups.push_back(members);
  }
  for (const TChipCell& cell : report.Empty) empty.push_back({{"column", cell.Column}, {"row", cell.Row}});
  const TJson result = {{"chipWidth", width},
                        {"chipHeight", height},
                        {"columns", report.Columns},
                        {"rows", report.Rows},
                        {"duplicates", report.DuplicateCount()},
                        {"groups", groups},
                        {"empty", empty}};
  Out << result.dump() << "\n";
  return 0;
}

int BatchConvertCommand(const std::vector<std::string>& Args) {
  const TArguments args(Args, {"--out-dir", "--format"}, {});
  if (args.Operands.empty()) throw EToolUsage("convert takes at least one input file");
  const std::vector<std::string> outputs =
      BatchNames(args.Operands, args.Value("--out-dir"), BatchExtension(args, ""));
  return ForEachInput(args.Operands, [&](size_t I) {
    ConvertCommand(args.Operands[I], outputs[I], TSaveOptions{}, std::cerr);
  });
}
