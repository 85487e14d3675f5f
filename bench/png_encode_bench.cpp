// PNG encode speed with the graphic object's defaults (filter None, zlib's default level, 32768-byte IDAT
// chunks): Tilora's encoder against libpng writing the same bitmap rows with the same filter, level, strategy
// and buffer size, into memory, for a 4096 x 4096 24-bit image and a 4096 x 4096 8-bit palette image.
// Prints the ratio Tilora / libpng for each image; BM_Interleaved's cpuRatio alternates the two encoders and
// is the steadiest figure on a loaded machine.
#include <benchmark/benchmark.h>
#include <png.h>
#include <zlib.h>

#include <cstdio>
#include <ctime>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "NoiseImages.h"
#include "PngWriteStream.h"
#include "RatioReporter.h"

namespace {

constexpr int Side = 4096;
const char* const ImageNames[] = {"rgb24 4096", "palette8 4096"};

// A picture with the make-up of a tile sheet: 32 x 32 tiles drawn from a small set, each a stepped gradient
// with speckles of noise on about one pixel in six, so that deflate finds both repeats and fresh data.
std::unique_ptr<TBitmap> MakeImage(int which) {
  const TPixelFormat format = which == 0 ? pf24bit : pf8bit;
  std::vector<TPaletteEntry> palette;
  pngtest::ByteNoise noise(77);
  if (format == pf8bit)
    for (int i = 0; i < 256; ++i) palette.push_back(pngtest::Entry(noise.Next(), noise.Next(), noise.Next()));
  auto bitmap = pngtest::MakeBitmap(Side, Side, format, palette);
  const int bytesPerPixel = format == pf24bit ? 3 : 1;
  for (int y = 0; y < Side; ++y) {
    uint8_t* row = bitmap->ScanLine(y);
    for (int x = 0; x < Side; ++x) {
      const int tile = ((x / 32) * 7 + (y / 32) * 13) % 24;
      const bool speckled = noise.Next() < 40;
      for (int c = 0; c < bytesPerPixel; ++c) {
        const int base = tile * 10 + (x % 32) / 4 * (c + 1) + (y % 32) / 4 * (3 - c);
        row[x * bytesPerPixel + c] = static_cast<uint8_t>(base + (speckled ? noise.Next() & 15 : 0));
      }
    }
  }
  return bitmap;
}

const TBitmap& ImageFor(int which) {
  static std::map<int, std::unique_ptr<TBitmap>> images;
  auto& image = images[which];
  if (!image) image = MakeImage(which);
  return *image;
}

size_t EncodeTilora(const TBitmap& bitmap) {
  TPngWriteStream encoder;
  TMemoryStream stream;
  encoder.WriteGraphic(const_cast<TBitmap*>(&bitmap), stream);
  return static_cast<size_t>(stream.Size());
}

size_t EncodeLibpng(const TBitmap& bitmap) {
  std::vector<uint8_t> out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  std::vector<png_color> palette;
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
  const bool indexed = bitmap.PixelFormat() == pf8bit;
  png_set_IHDR(png, info, static_cast<png_uint_32>(bitmap.Width()), static_cast<png_uint_32>(bitmap.Height()),
               8, indexed ? PNG_COLOR_TYPE_PALETTE : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  if (indexed) {
    TPaletteEntry entries[256];
    const int n = GetPaletteEntries(bitmap.Palette(), 0, 256, entries);
    for (int i = 0; i < n; ++i) palette.push_back({entries[i].peRed, entries[i].peGreen, entries[i].peBlue});
    png_set_PLTE(png, info, palette.data(), n);
  }
  png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE);
  png_set_compression_level(png, Z_DEFAULT_COMPRESSION);
  png_set_compression_strategy(png, Z_DEFAULT_STRATEGY);
  png_set_compression_buffer_size(png, 32768);
  png_write_info(png, info);
  if (!indexed) png_set_bgr(png);
  for (int y = 0; y < bitmap.Height(); ++y) png_write_row(png, bitmap.ScanLine(y));
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return out.size();
}

void Run(benchmark::State& state, size_t (*encode)(const TBitmap&)) {
  const TBitmap& bitmap = ImageFor(static_cast<int>(state.range(0)));
  state.SetLabel(ImageNames[state.range(0)]);
  size_t size = 0;
  for (auto _ : state) {
    size = encode(bitmap);
    benchmark::DoNotOptimize(size);
  }
  state.counters["fileBytes"] = static_cast<double>(size);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * bitmap.RowBytes() * bitmap.Height());
}

// Both encoders in turn within each iteration, each timed by the thread's CPU clock: load on the shared
// machine then drifts over both alike. Reports the ratio of the summed times as a counter.
double ThreadSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

void BM_Interleaved(benchmark::State& state) {
  const TBitmap& bitmap = ImageFor(static_cast<int>(state.range(0)));
  state.SetLabel(ImageNames[state.range(0)]);
  double ours = 0, peer = 0;
  for (auto _ : state) {
    const double t0 = ThreadSeconds();
    benchmark::DoNotOptimize(EncodeTilora(bitmap));
    const double t1 = ThreadSeconds();
    ours += t1 - t0;
    benchmark::DoNotOptimize(EncodeLibpng(bitmap));
    peer += ThreadSeconds() - t1;
  }
  state.counters["cpuRatio"] = peer > 0 ? ours / peer : 0;
}

void BM_Tilora(benchmark::State& state) {
  Run(state, EncodeTilora);
}
void BM_Libpng(benchmark::State& state) {
  Run(state, EncodeLibpng);
}

#define PNG_ENCODE_BENCH(fn) BENCHMARK(fn)->DenseRange(0, 1)->Unit(benchmark::kMillisecond)->MinTime(2.0)
PNG_ENCODE_BENCH(BM_Tilora);
PNG_ENCODE_BENCH(BM_Libpng);
BENCHMARK(BM_Interleaved)->DenseRange(0, 1)->Unit(benchmark::kMillisecond)->MinTime(8.0);

}  // namespace

int main(int argc, char** argv) {
  bench::TRatioReporter reporter;
  if (!bench::RunBenchmarks(argc, argv, reporter)) return 1;
  // The CPU-time ratio is the one to read on a shared machine; both encoders run on one thread.
  std::printf("%-16s %14s %14s\n", "image", "real /libpng", "cpu /libpng");
  for (int i = 0; i < 2; ++i) {
    // GCC 12 at -O3 reports "literal" + std::string as an overlapping copy (-Wrestrict): a false positive of
    // its analysis through libstdc++'s inlined operator+; the two strings are distinct objects.
#pragma GCC diagnostic push
#ifndef __clang__  // a GCC-only warning group
#pragma GCC diagnostic ignored "-Wrestrict"
#endif
    const std::string ours = "BM_Tilora/" + std::to_string(i), peer = "BM_Libpng/" + std::to_string(i);
#pragma GCC diagnostic pop
    if (reporter.RealTime(ours) > 0 && reporter.RealTime(peer) > 0)
      std::printf("%-16s %14.3f %14.3f\n", ImageNames[i], reporter.RealTime(ours) / reporter.RealTime(peer),
                  reporter.Ratio(ours, peer));
  }
  return 0;
}
