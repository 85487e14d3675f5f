// Running tilora-tool from a test: its exit status and what it printed.
#pragma once

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "TestFiles.h"

namespace toolrun {

using filestest::ReadFileBytes;
using filestest::TempFolder;

struct ToolRun {
  int Status = -1;
  std::string Out, Err;
};

inline std::string Quoted(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

inline std::string ReadText(const std::string& path) {
  const std::vector<uint8_t> bytes = ReadFileBytes(path);
  return std::string(bytes.begin(), bytes.end());
}

// Runs tilora-tool with the arguments, its output and error caught in files of the folder.
inline ToolRun RunTool(const TempFolder& folder, const std::vector<std::string>& args) {
  std::string command = Quoted(TILORA_TOOL);
  for (const std::string& a : args) command += " " + Quoted(a);
  const std::string out = folder.Path("stdout.txt"), err = folder.Path("stderr.txt");
  command += " >" + Quoted(out) + " 2>" + Quoted(err) + " </dev/null";
  const int status = std::system(command.c_str());
  ToolRun run;
  run.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  run.Out = ReadText(out);
  run.Err = ReadText(err);
  std::filesystem::remove(out);
  std::filesystem::remove(err);
  return run;
}

}  // namespace toolrun
