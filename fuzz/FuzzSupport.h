// Shared by the fuzz targets: the bytes as a stream, the rule that a reader may refuse input only with the
// platform's exceptions, a size cap that keeps pictures the readers would accept small enough to fuzz fast,
// and a scratch folder for the targets that go through files.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <span>
#include <string>
#include <typeinfo>
#include <vector>

#include "ByteOrder.h"
#include "Classes.h"
#include "SysUtils.h"

namespace fuzz {

using Bytes = std::span<const uint8_t>;

// Reports a fault of the code under test and aborts, so libFuzzer keeps the input and the replay fails.
[[noreturn]] inline void Finding(const std::string& What) {
  std::fprintf(stderr, "FINDING: %s\n", What.c_str());
  std::fflush(stderr);
  std::abort();
}

inline void Check(bool Condition, const char* What) {
  if (!Condition) Finding(What);
}

// Runs one step of a reader. Returns true when it finished, false when it refused the input with one of the
// platform's exceptions. An assertion failure (a broken invariant reached from input) or any exception from
// outside the platform's family is a finding.
template <class TStep>
bool Accepted(TStep&& Step) {
  try {
    Step();
    return true;
  } catch (const EAssertionFailed& e) {
    Finding(std::string("assertion failure: ") + e.what());
  } catch (const Exception&) {
    return false;
  } catch (const std::exception& e) {
    Finding(std::string("foreign exception ") + typeid(e).name() + ": " + e.what());
  }
}

// A memory stream holding a copy of the bytes, positioned at 0.
inline void Fill(TMemoryStream& Stream, Bytes Data) {
  Stream.Data().assign(Data.begin(), Data.end());
  Stream.SetPosition(0);
}

// Values of the input, 0 where it is too short.
inline uint32_t Le16(Bytes d, size_t at) {
  return at + 2 <= d.size() ? ReadLE16(d, at) : 0;
}
inline uint32_t Le32(Bytes d, size_t at) {
  return at + 4 <= d.size() ? ReadLE32(d, at) : 0;
}
inline uint32_t Be32(Bytes d, size_t at) {
  return at + 4 <= d.size() ? ReadBE32(d, at) : 0;
}

// Pictures above this many pixels that a reader could still accept (at one bit per pixel) are passed over:
// decoding them is slow and says nothing new. Sizes beyond the readers' limits at any depth still reach the
// readers, which must refuse them.
inline constexpr int64_t MaxFuzzPixels = int64_t{1} << 22;
inline bool TooSlow(int64_t Width, int64_t Height) {
  Width = Width < 0 ? -Width : Width;
  Height = Height < 0 ? -Height : Height;
  // Sizes that pass the byte limit keep the product far inside 64 bits.
  return DibImageBytes(Width, Height, 1) >= 0 && Width * Height > MaxFuzzPixels;
}

// The size a DIB header at At announces (12-byte core header or a larger info header).
inline bool DibHeaderTooSlow(Bytes d, size_t At) {
  if (Le32(d, At) == 12) return TooSlow(Le16(d, At + 4), Le16(d, At + 6));
  return TooSlow(static_cast<int32_t>(Le32(d, At + 4)), static_cast<int32_t>(Le32(d, At + 8)));
}

// The size of every IHDR chunk found in a PNG's bytes.
inline bool PngTooSlow(Bytes d) {
  for (size_t i = 4; i + 12 <= d.size(); ++i)
    if (d[i] == 'I' && d[i + 1] == 'H' && d[i + 2] == 'D' && d[i + 3] == 'R' &&
        TooSlow(Be32(d, i + 4), Be32(d, i + 8)))
      return true;
  return false;
}

// A folder of this process for targets that read and write files; removed at exit.
class ScratchFolder {
 public:
  ScratchFolder() {
    FPath = std::filesystem::temp_directory_path() / ("tilora-fuzz-" + std::to_string(::getpid()));
    std::filesystem::create_directories(FPath);
  }
  ~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(FPath, ignored);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  std::string Path(const std::string& Name) const { return (FPath / Name).string(); }
  void Write(const std::string& Name, Bytes Data) const {
    std::ofstream out(Path(Name), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(Data.data()), static_cast<std::streamsize>(Data.size()));
  }
  // Removes everything in the folder.
  void Clear() const {
    for (const auto& entry : std::filesystem::directory_iterator(FPath))
      std::filesystem::remove(entry.path());
  }
  size_t Count() const {
    size_t n = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(FPath)) ++n;
    return n;
  }

 private:
  std::filesystem::path FPath;
};

}  // namespace fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size);
