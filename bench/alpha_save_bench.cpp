// Saving with transparency and the exact reduction, each against its peer in the same run:
// - a 4096 x 4096 tile sheet with alpha (more than 256 colour + alpha values) saved by SaveEditImage as RGB +
//   alpha PNG, against libpng writing the same RGBA rows with the same settings (filter None, zlib's default
//   level and strategy, 32768-byte IDAT chunks) and the file written: target at most 1.05 x;
// - the exact reduction (FindExactColors) of a 4096 x 4096 picture of 256 colours, whose colour changes from
//   pixel to pixel, against the distinct-colour count of the same picture: target at most 3 x.
// BM_Interleaved* alternate subject and peer in every iteration, each timed by the thread's CPU clock, so
// that load on the shared machine falls on both alike; their cpuRatio counters are the figures the targets
// judge.
#include <benchmark/benchmark.h>
#include <png.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <stdexcept>
#include <vector>

#include "AlphaPlane.h"
#include "NoiseImages.h"
#include "OrvCui.h"
#include "OrvSave.h"
#include "RatioReporter.h"

namespace {

constexpr int Side = 4096;

std::filesystem::path Folder() {
  static const std::filesystem::path Path = [] {
    auto dir = std::filesystem::temp_directory_path() / ("tilora-alpha-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    return dir;
  }();
  return Path;
}

// A tile sheet with alpha: 32 x 32 tiles of stepped gradients with speckles of noise; a third of the tiles
// have a transparent border and translucent rim around an opaque middle.
struct TSheet {
  TOrvDatas Doc;
  std::vector<std::vector<uint8_t>> Rgba;  // the same pixels as libpng's rows
};

TSheet& Sheet() {
  static TSheet* const sheet = [] {
    auto* s = new TSheet;
    TBitmap& image = *s->Doc.EditImage;
    image.SetImage(NewBitmapImage(Side, Side, pf24bit, nullptr, false));
    s->Doc.EditAlpha.SetImage(NewAlphaPlaneImage(Side, Side));
    pngtest::ByteNoise noise(77);
    s->Rgba.assign(Side, std::vector<uint8_t>(size_t{Side} * 4));
    for (int y = 0; y < Side; ++y) {
      uint8_t* p = image.ScanLine(y);
      uint8_t* a = s->Doc.EditAlpha.ScanLine(y);
      uint8_t* q = s->Rgba[static_cast<size_t>(y)].data();
      for (int x = 0; x < Side; ++x, p += 3, q += 4) {
        const int tile = ((x / 32) * 7 + (y / 32) * 13) % 24;
        const bool speckled = noise.Next() < 40;
        for (int c = 0; c < 3; ++c)
          p[c] = static_cast<uint8_t>(tile * 10 + (x % 32) / 4 * (c + 1) + (y % 32) / 4 * (3 - c) +
                                      (speckled ? noise.Next() & 15 : 0));
        const int edge = std::min({x % 32, y % 32, 31 - x % 32, 31 - y % 32});
        const uint8_t alpha = tile % 3 != 0 ? 255 : edge < 2 ? 0 : edge < 4 ? 128 : 255;
        a[x] = static_cast<uint8_t>(255 - alpha);
        q[0] = p[2], q[1] = p[1], q[2] = p[0], q[3] = alpha;
      }
    }
    return s;
  }();
  return *sheet;
}

void SaveTilora() {
  Sheet().Doc.SaveEditImage((Folder() / "tilora.png").string());
}

void SaveLibpng() {
  std::vector<uint8_t> out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    throw std::runtime_error("libpng write failed");
  }
  png_set_write_fn(
      png, &out,
      [](png_structp p, png_bytep data, png_size_t length) {
        auto* o = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(p));
        o->insert(o->end(), data, data + length);
      },
      [](png_structp) {});
  png_set_IHDR(png, info, Side, Side, 8, PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE);
  png_set_compression_level(png, Z_DEFAULT_COMPRESSION);
  png_set_compression_strategy(png, Z_DEFAULT_STRATEGY);
  png_set_compression_buffer_size(png, 32768);
  png_write_info(png, info);
  for (const auto& row : Sheet().Rgba) png_write_row(png, row.data());
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  std::FILE* file = std::fopen((Folder() / "libpng.png").c_str(), "wb");
  if (!file || std::fwrite(out.data(), 1, out.size(), file) != out.size()) throw std::runtime_error("write");
  std::fclose(file);
}

// 256 colours, a different one at every step along a row.
const TBitmap& Colours256() {
  static const std::unique_ptr<TBitmap> image = [] {
    auto b = pngtest::MakeBitmap(Side, Side, pf24bit);
    for (int y = 0; y < Side; ++y) {
      uint8_t* p = b->ScanLine(y);
      for (int x = 0; x < Side; ++x, p += 3) {
        const auto k = static_cast<uint8_t>(x * 7 + y * 13 + (x >> 5));
        p[0] = k, p[1] = static_cast<uint8_t>(k * 3 + 1), p[2] = static_cast<uint8_t>(255 - k);
      }
    }
    return b;
  }();
  return *image;
}

void ReduceExact() {
  benchmark::DoNotOptimize(FindExactColors(Colours256(), nullptr, 256));
}

void CountDistinct() {
  benchmark::DoNotOptimize(TOrvDatas::CountColors(Colours256()));
}

double ThreadSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

void Interleave(benchmark::State& State, void (*Subject)(), void (*Peer)()) {
  double ours = 0, peer = 0;
  for (auto _ : State) {
    const double t0 = ThreadSeconds();
    Subject();
    const double t1 = ThreadSeconds();
    Peer();
    ours += t1 - t0;
    peer += ThreadSeconds() - t1;
  }
  State.counters["cpuRatio"] = peer > 0 ? ours / peer : 0;
}

void BM_SaveRgbAlpha(benchmark::State& State) {
  for (auto _ : State) SaveTilora();
}
void BM_LibpngRgba(benchmark::State& State) {
  for (auto _ : State) SaveLibpng();
}
void BM_InterleavedSave(benchmark::State& State) {
  Interleave(State, SaveTilora, SaveLibpng);
}
void BM_ExactReduction(benchmark::State& State) {
  for (auto _ : State) ReduceExact();
}
void BM_CountColors(benchmark::State& State) {
  for (auto _ : State) CountDistinct();
}
void BM_InterleavedExact(benchmark::State& State) {
  Interleave(State, ReduceExact, CountDistinct);
}

BENCHMARK(BM_SaveRgbAlpha)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_LibpngRgba)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_InterleavedSave)->Unit(benchmark::kMillisecond)->MinTime(8.0);
BENCHMARK(BM_ExactReduction)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_CountColors)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_InterleavedExact)->Unit(benchmark::kMillisecond)->MinTime(4.0);

}  // namespace

int main(int argc, char** argv) {
  bench::TRatioReporter reporter;
  if (!bench::RunBenchmarks(argc, argv, reporter)) return 1;
  const bool save =
      bench::PrintRatio(reporter, "RGB + alpha save / libpng", "BM_SaveRgbAlpha", "BM_LibpngRgba", 1.05);
  const bool exact = bench::PrintRatio(reporter, "exact reduction / colour count", "BM_ExactReduction",
                                       "BM_CountColors", 3.0);
  std::filesystem::remove_all(Folder());
  return save && exact ? 0 : 1;
}
