#include "TestFiles.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <iterator>

namespace filestest {

namespace fs = std::filesystem;

TempFolder::TempFolder() {
  const auto* info = testing::UnitTest::GetInstance()->current_test_info();
  // The process id keeps runs of the same test from other build folders apart.
  std::string name = std::string("tilora-files-") +
                     (info ? std::string(info->test_suite_name()) + "-" + info->name() : "test") + "-" +
                     std::to_string(getpid());
  for (char& c : name)
    if (c == '/') c = '_';
  FPath = fs::path(testing::TempDir()) / name;
  fs::remove_all(FPath);
  fs::create_directories(FPath);
}

TempFolder::~TempFolder() {
  std::error_code ignored;
  fs::remove_all(FPath, ignored);
}

std::vector<std::string> TempFolder::Names() const {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(FPath)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<uint8_t> ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace filestest
