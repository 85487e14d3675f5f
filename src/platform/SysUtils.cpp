#include "SysUtils.h"

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <ctime>
#include <filesystem>
#include <string>

namespace {

bool IsDelimiter(char c) {
  return c == '/' || c == '\\' || c == ':';
}

// Index just past the last path delimiter, or 0.
size_t NameStart(const std::string& fileName) {
  for (size_t i = fileName.size(); i > 0; --i)
    if (IsDelimiter(fileName[i - 1])) return i;
  return 0;
}

}  // namespace

std::string ExtractFilePath(const std::string& fileName) {
  return fileName.substr(0, NameStart(fileName));
}

std::string ExtractFileName(const std::string& fileName) {
  return fileName.substr(NameStart(fileName));
}

std::string ExtractFileExt(const std::string& fileName) {
  const size_t start = NameStart(fileName);
  const size_t dot = fileName.rfind('.');
  if (dot == std::string::npos || dot < start) return {};
  return fileName.substr(dot);
}

bool FileExists(const std::string& fileName) {
  struct stat st {};
  return !fileName.empty() && ::stat(fileName.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string ExecutableFileName() {
  std::error_code ec;
  const auto path = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::string() : path.string();
}

TSystemTime GetSystemTime() {
  using namespace std::chrono;
  const auto now = system_clock::now();
  const std::time_t seconds = system_clock::to_time_t(now);
  std::tm utc{};
  gmtime_r(&seconds, &utc);
  const auto ms = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
  TSystemTime t{};
  t.wYear = static_cast<uint16_t>(utc.tm_year + 1900);
  t.wMonth = static_cast<uint16_t>(utc.tm_mon + 1);
  t.wDayOfWeek = static_cast<uint16_t>(utc.tm_wday);
  t.wDay = static_cast<uint16_t>(utc.tm_mday);
  t.wHour = static_cast<uint16_t>(utc.tm_hour);
  t.wMinute = static_cast<uint16_t>(utc.tm_min);
  t.wSecond = static_cast<uint16_t>(utc.tm_sec);
  t.wMilliseconds = static_cast<uint16_t>(ms);
  return t;
}

std::string FormatMessage(const char* pattern, const std::string& argument) {
  std::string result;
  for (const char* p = pattern; *p; ++p) {
    if (p[0] == '%' && (p[1] == 'd' || p[1] == 's')) {
      result += argument;
      ++p;
    } else {
      result += *p;
    }
  }
  return result;
}
