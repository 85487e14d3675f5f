#include "FileSizeLimit.h"
#include "ExpectRaises.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdint>
#include <vector>

#include "Classes.h"
#include "TestFiles.h"

namespace filestest {

FileSizeLimit::FileSizeLimit(rlim_t bytes) {
  getrlimit(RLIMIT_FSIZE, &FSaved);
  FSavedHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit limit = FSaved;
  limit.rlim_cur = bytes;
  EXPECT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
}

FileSizeLimit::~FileSizeLimit() {
  setrlimit(RLIMIT_FSIZE, &FSaved);
  std::signal(SIGXFSZ, FSavedHandler);
}

void ExpectAtomicUnderEveryLimit(const std::string& name,
                                 const std::function<void(const std::string&)>& save) {
  TempFolder folder;
  const std::string path = folder.Path(name);
  save(path);
  const size_t length = ReadFileBytes(path).size();
  const std::vector<uint8_t> old(length + 5, 0xA5);
  WriteFileBytes(path, old);
  for (size_t n = 0; n < length; ++n) {
    {
      FileSizeLimit limit(n);
      ExpectRaises<EWriteError>([&] { save(path); }, SWriteError);
      if (testing::Test::HasFailure()) return;  // the first limit that fails tells it all
    }
    ASSERT_EQ(ReadFileBytes(path), old) << n;
    ASSERT_EQ(folder.Names(), std::vector<std::string>{name}) << n;
  }
  save(path);
  EXPECT_EQ(ReadFileBytes(path).size(), length);
  EXPECT_EQ(folder.Names(), std::vector<std::string>{name});
}

}  // namespace filestest
