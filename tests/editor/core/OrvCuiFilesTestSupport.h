// Test support for the image-file tests: a temporary folder, whole-file reads and writes, edit images of a
// chosen number of colours, and snapshots that tell whether a bitmap changed.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "Graphics.h"

namespace filestest {

namespace fs = std::filesystem;

// A fresh folder under the test temp directory, named by test and process, removed with everything in it at
// the end of the test.
class TempFolder {
 public:
  TempFolder() {
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
  ~TempFolder() {
    std::error_code ignored;
    fs::remove_all(FPath, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  std::string Path(const std::string& name) const { return (FPath / name).string(); }
  // The names in the folder, sorted.
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(FPath)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

 private:
  fs::path FPath;
};

inline std::vector<uint8_t> ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

inline void WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// Colour number k (k < 768) of a set of distinct colours, none of them black or white, that fall into
// distinct bins of the histogram quantiser (red and blue in steps of 8, green in steps of 4).
inline TColor DistinctColor(int k) {
  return RGB(static_cast<uint8_t>((k & 31) * 8), static_cast<uint8_t>(20 + (k >> 5) * 4), 96);
}

// Fills a display-format (pfDevice) bitmap of Width x Height with Count colours: pixel i (row by row) shows
// colour Color(i % Count). The image is replaced.
template <class TColorOf>
void FillWithColors(TBitmap& bitmap, int width, int height, int count, TColorOf color) {
  bitmap.SetImage(NewBitmapImage(width, height, pfDevice, nullptr, false));
  for (int y = 0; y < height; ++y) {
    uint8_t* p = bitmap.ScanLine(y);
    for (int x = 0; x < width; ++x, p += 4) {
      const TColor c = color((y * width + x) % count);
      p[0] = GetBValue(c), p[1] = GetGValue(c), p[2] = GetRValue(c), p[3] = 0;
    }
  }
}

// Everything a bitmap shows: format, size, pixel memory and palette.
struct BitmapSnapshot {
  TPixelFormat Format = pfDevice;
  int Width = 0, Height = 0;
  std::vector<uint8_t> Bits;
  std::vector<TPaletteEntry> Palette;
  bool operator==(const BitmapSnapshot&) const = default;
};

inline BitmapSnapshot Snapshot(const TBitmap& bitmap) {
  BitmapSnapshot s;
  s.Format = bitmap.PixelFormat();
  s.Width = bitmap.Width();
  s.Height = bitmap.Height();
  s.Bits = bitmap.Image().Bits;
  if (const HPALETTE palette = bitmap.Palette()) s.Palette = palette->Entries;
  return s;
}

// The pixels of a bitmap as 0x00BBGGRR colours, row by row from the top.
inline std::vector<TColor> Colors(const TBitmap& bitmap) {
  std::vector<TColor> colors;
  for (int y = 0; y < bitmap.Height(); ++y)
    for (int x = 0; x < bitmap.Width(); ++x) colors.push_back(bitmap.GetPixel(x, y) & 0xFFFFFF);
  return colors;
}

}  // namespace filestest
