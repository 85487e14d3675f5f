// Saves that run out of room: a limit on the size of the files this process writes, and the check that a
// save failing after any number of bytes leaves the old file as it was.
#pragma once

#include <sys/resource.h>

#include <functional>
#include <string>

namespace filestest {

// Limits the size of the files this process writes while it lives, so that a write past Bytes fails (EFBIG)
// instead of raising SIGXFSZ.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes);
  ~FileSizeLimit();
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

 private:
  rlimit FSaved{};
  void (*FSavedHandler)(int) = nullptr;
};

// Saves through Save into a fresh folder with the file size limited to every length below the file's own:
// each fails with the write error and leaves the old file byte for byte and no temporary; without a limit
// the save replaces it.
void ExpectAtomicUnderEveryLimit(const std::string& name,
                                 const std::function<void(const std::string&)>& save);

}  // namespace filestest
