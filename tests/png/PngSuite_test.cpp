// The PngSuite corpus as one table: valid files decode to libpng's pixels; corrupt files give the prescribed
// outcome; nothing crashes.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>

#include "ExpectRaises.h"
#include "PngDecoderOracle.h"
#include "TestFiles.h"

namespace {

using namespace pngdec;
namespace fs = std::filesystem;

fs::path SuiteDir() {
  return fs::path(TILORA_CORPORA_DIR) / "pngsuite";
}

// Outcome of each corrupt file: the message raised, or "" for a quiet ending or a decode (CRCs are not
// checked).
const std::map<std::string, std::string> CorruptOutcomes = {
    {"xs1n0g01.png", SPngNotPng},     // signature byte 1 changed
    {"xs2n0g01.png", SPngNotPng},     // signature byte 2 changed
    {"xs4n0g01.png", SPngNotPng},     // signature byte 4 changed
    {"xs7n0g01.png", SPngNotPng},     // 7-bit conversion of the signature
    {"xcrn0g04.png", SPngNotPng},     // CR LF turned into CR CR LF
    {"xlfn0g04.png", SPngNotPng},     // CR LF turned into LF
    {"xc1n0g08.png", SPngColorType},  // colour type 1
    {"xc9n2c08.png", SPngColorType},  // colour type 9, low three bits 1
    {"xd0n2c08.png", SPngBitDepth},   // RGB with depth 0
    {"xd3n2c08.png", SPngBitDepth},   // RGB with depth 3
    {"xd9n2c08.png", SPngBitDepth},   // RGB with depth 99
    {"xdtn0g01.png", ""},             // no image data: quiet ending, bitmap untouched
    {"xhdn0g08.png", ""},             // wrong IHDR CRC: not checked
    {"xcsn0g01.png", ""},             // wrong IDAT CRC: not checked
};

TEST(PngSuite, EveryFileGivesItsOutcome) {
  if (!fs::is_directory(SuiteDir())) GTEST_SKIP() << "PngSuite not found at " << SuiteDir();
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(SuiteDir()))
    if (entry.path().extension() == ".png") files.push_back(entry.path());
  std::sort(files.begin(), files.end());
  ASSERT_GE(files.size(), 100u);
  int corrupt = 0;
  for (const auto& path : files) {
    const std::string name = path.filename().string();
    SCOPED_TRACE(name);
    const Bytes file = filestest::ReadFileBytes(path);
    if (name[0] != 'x') {
      ExpectMatchesLibpng(file, name);
      continue;
    }
    ++corrupt;
    const auto outcome = CorruptOutcomes.find(name);
    ASSERT_NE(outcome, CorruptOutcomes.end()) << "no outcome listed for " << name;
    OurDecode d;
    if (outcome->second.empty()) {
      EXPECT_NO_THROW(DecodeInto(d, file));
      if (name == "xdtn0g01.png") {
        EXPECT_TRUE(d.Bitmap->Empty());
      } else {
        EXPECT_EQ(d.Bitmap->Width(), 32);
      }
    } else {
      ExpectRaises<EPngError>([&] { DecodeInto(d, file); }, outcome->second);
    }
  }
  EXPECT_EQ(corrupt, static_cast<int>(CorruptOutcomes.size()));
}

}  // namespace
