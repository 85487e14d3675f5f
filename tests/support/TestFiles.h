// Files for tests: a temporary folder per test and whole-file reads and writes.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace filestest {

// A fresh folder under the test temp directory, named by test and process, removed with everything in it at
// the end of the test.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  std::string Path(const std::string& name) const { return (FPath / name).string(); }
  // The names in the folder, sorted.
  std::vector<std::string> Names() const;

 private:
  std::filesystem::path FPath;
};

std::vector<uint8_t> ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes);

}  // namespace filestest
