// PNG decode speed: Tilora's decoder against libpng, libspng and zlib's inflate alone on the same IDAT data,
// for a 4096 x 4096 8-bit RGB image with mixed filters, a 4096 x 4096 8-bit palette image and an interlaced
// 2048 x 2048 RGBA image, all from memory. Prints the ratios and the peak heap of each decode beyond its
// output.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <png.h>
#include <spng.h>
#include <zlib.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "ByteOrder.h"
#include "Classes.h"
#include "Graphics.h"
#include "LibpngOracle.h"
#include "PngFormat.h"
#include "PngReadStream.h"
#include "RatioReporter.h"

// ---------------------------------------------------------------------------------------------------------------
// Heap accounting: every malloc family call of the process is counted, so the peak of one decode can be read.

extern "C" {
void* __libc_malloc(size_t);
void* __libc_calloc(size_t, size_t);
void* __libc_realloc(void*, size_t);
void* __libc_memalign(size_t, size_t);
void __libc_free(void*);
}

namespace {
std::atomic<int64_t> gLive{0};
std::atomic<int64_t> gPeak{0};
void Added(void* p) {
  if (p == nullptr) return;
  const int64_t live = gLive += static_cast<int64_t>(malloc_usable_size(p));
  int64_t peak = gPeak.load();
  while (live > peak && !gPeak.compare_exchange_weak(peak, live)) {
  }
}
void Removed(void* p) {
  if (p != nullptr) gLive -= static_cast<int64_t>(malloc_usable_size(p));
}
}  // namespace

extern "C" {
void* malloc(size_t n) {
  void* p = __libc_malloc(n);
  Added(p);
  return p;
}
void* calloc(size_t n, size_t s) {
  void* p = __libc_calloc(n, s);
  Added(p);
  return p;
}
void* realloc(void* old, size_t n) {
  Removed(old);
  void* p = __libc_realloc(old, n);
  Added(p != nullptr ? p : (n == 0 ? nullptr : old));
  return p;
}
void free(void* p) {
  Removed(p);
  __libc_free(p);
}
void* memalign(size_t a, size_t n) {
  void* p = __libc_memalign(a, n);
  Added(p);
  return p;
}
void* aligned_alloc(size_t a, size_t n) {
  return memalign(a, n);
}
int posix_memalign(void** out, size_t a, size_t n) {
  *out = memalign(a, n);
  return *out != nullptr ? 0 : 12;
}
}

namespace {

using pngdec::Bytes;

// ---------------------------------------------------------------------------------------------------------------
// Test images

struct Image {
  Bytes File;           // the PNG file
  Bytes Idat;           // its compressed data, IDAT chunks joined
  size_t RawSize = 0;   // bytes of the filtered rows the data inflate to
  std::string Filters;  // rows per filter type
};

uint32_t gNoise = 12345;
int Noise(int range) {
  gNoise = gNoise * 1103515245u + 12345u;
  return static_cast<int>((gNoise >> 16) % static_cast<uint32_t>(range));
}

// Bytes of the filtered rows of an image: every pass row with its filter-type byte.
size_t RawBytes(uint32_t width, uint32_t height, int bitsPerPixel, bool adam7) {
  const auto rowBytes = [&](int64_t w) { return static_cast<size_t>((w * bitsPerPixel + 7) / 8 + 1); };
  if (!adam7) return rowBytes(width) * height;
  size_t total = 0;
  for (int pass = 0; pass < 7; ++pass) {
    const int32_t w = Adam7PassColumns(pass, static_cast<int32_t>(width));
    if (w > 0) total += rowBytes(w) * static_cast<size_t>(Adam7PassRows(pass, static_cast<int32_t>(height)));
  }
  return total;
}

Image Finish(Bytes file, const pngdec::LibpngDesc& desc, int bitsPerPixel) {
  Image image;
  image.File = std::move(file);
  size_t pos = 8;
  while (pos + 12 <= image.File.size()) {
    const uint32_t length = ReadBE32(image.File, pos);
    if (std::memcmp(&image.File[pos + 4], "IDAT", 4) == 0)
      image.Idat.insert(image.Idat.end(), image.File.begin() + pos + 8,
                        image.File.begin() + pos + 8 + length);
    pos += 12 + length;
  }
  const bool adam7 = desc.Interlace != PNG_INTERLACE_NONE;
  image.RawSize = RawBytes(desc.Width, desc.Height, bitsPerPixel, adam7);
  Bytes raw(image.RawSize);
  uLongf size = static_cast<uLongf>(raw.size());
  if (uncompress(raw.data(), &size, image.Idat.data(), static_cast<uLong>(image.Idat.size())) != Z_OK ||
      size != image.RawSize)
    throw std::runtime_error("bad test image");
  if (!adam7) {
    const size_t rowBytes = RawBytes(desc.Width, 1, bitsPerPixel, false);
    int counts[5] = {};
    // GCC 12 at -O3 reports "literal" + std::string as an overlapping copy (-Wrestrict): a false positive of
    // its analysis through libstdc++'s inlined operator+; the two strings are distinct objects.
#pragma GCC diagnostic push
#ifndef __clang__  // a GCC-only warning group
#pragma GCC diagnostic ignored "-Wrestrict"
#endif
    for (size_t at = 0; at < size; at += rowBytes) ++counts[raw[at] % 5];
    for (int f = 0; f < 5; ++f) image.Filters += (f ? "/" : "") + std::to_string(counts[f]);
#pragma GCC diagnostic pop
  }
  return image;
}

// An image of the desc whose pixels (of bitsPerPixel / 8 bytes) the function fills, written by libpng.
template <class PixelFunction>
Image MakeImage(const pngdec::LibpngDesc& desc, int bitsPerPixel, PixelFunction pixel) {
  const size_t bytes = static_cast<size_t>(bitsPerPixel / 8);
  std::vector<Bytes> rows(desc.Height, Bytes(desc.Width * bytes));
  for (uint32_t y = 0; y < desc.Height; ++y)
    for (uint32_t x = 0; x < desc.Width; ++x) pixel(x, y, &rows[y][x * bytes]);
  return Finish(pngdec::LibpngWrite(desc, rows), desc, bitsPerPixel);
}

// Bands of different texture, so that libpng's filter heuristic picks different filters down the image.
const Image& RgbImage() {
  static const Image image = [] {
    pngdec::LibpngDesc desc;
    desc.Width = desc.Height = 4096;
    desc.ColorType = PNG_COLOR_TYPE_RGB;
    return MakeImage(desc, 24, [](uint32_t x, uint32_t y, uint8_t* p) {
      switch ((y / 128) % 5) {
        case 0:  // horizontal ramps with a little noise
          p[0] = static_cast<uint8_t>(x / 16 + Noise(3));
          p[1] = static_cast<uint8_t>(x / 8);
          p[2] = static_cast<uint8_t>(200 - x / 32);
          break;
        case 1:  // vertical structure repeated down the rows
          p[0] = static_cast<uint8_t>((x * 7) ^ (x >> 3));
          p[1] = static_cast<uint8_t>(x * 3);
          p[2] = static_cast<uint8_t>(y / 4);
          break;
        case 2:  // smooth diagonal shading
          p[0] = static_cast<uint8_t>((x + y) / 12 + Noise(5));
          p[1] = static_cast<uint8_t>((x * 2 + y) / 20 + Noise(5));
          p[2] = static_cast<uint8_t>((x + 3 * y) / 24 + Noise(5));
          break;
        case 3:  // flat areas of a few colours
          p[0] = p[1] = p[2] = static_cast<uint8_t>(((x / 64 + y / 64) % 5) * 50);
          break;
        default:  // coarse noise
          p[0] = static_cast<uint8_t>(Noise(4) * 64);
          p[1] = static_cast<uint8_t>(Noise(2) * 128);
          p[2] = static_cast<uint8_t>(x / 16);
          break;
      }
    });
  }();
  return image;
}

const Image& PaletteImage() {
  static const Image image = [] {
    pngdec::LibpngDesc desc;
    desc.Width = desc.Height = 4096;
    desc.ColorType = PNG_COLOR_TYPE_PALETTE;
    desc.Filters = PNG_FILTER_NONE;
    for (int i = 0; i < 256; ++i)
      desc.Palette.push_back(png_color{uint8_t(i), uint8_t(255 - i), uint8_t(i * 3)});
    return MakeImage(desc, 8, [](uint32_t x, uint32_t y, uint8_t* p) {
      *p = static_cast<uint8_t>((x / 16 + y / 16) * 7 + ((x ^ y) % 9 == 0 ? Noise(256) : 0));
    });
  }();
  return image;
}

const Image& InterlacedRgbaImage() {
  static const Image image = [] {
    pngdec::LibpngDesc desc;
    desc.Width = desc.Height = 2048;
    desc.ColorType = PNG_COLOR_TYPE_RGB_ALPHA;
    desc.Interlace = PNG_INTERLACE_ADAM7;
    return MakeImage(desc, 32, [](uint32_t x, uint32_t y, uint8_t* p) {
      p[0] = static_cast<uint8_t>((x + y) / 8 + Noise(4));
      p[1] = static_cast<uint8_t>(x / 8);
      p[2] = static_cast<uint8_t>(y / 8);
      p[3] = static_cast<uint8_t>((x / 32) % 2 ? 255 : x / 8);
    });
  }();
  return image;
}

const Image& ImageFor(int which) {
  return which == 0 ? RgbImage() : which == 1 ? PaletteImage() : InterlacedRgbaImage();
}

// ---------------------------------------------------------------------------------------------------------------
// Decoders

// Returns the bytes of the decoded output.
// The file in a memory stream, made once per image so that no copy is timed.
TMemoryStream& StreamFor(const Image& image) {
  static std::map<const Image*, std::unique_ptr<TMemoryStream>> streams;
  auto& stream = streams[&image];
  if (!stream) {
    stream = std::make_unique<TMemoryStream>();
    stream->Data() = image.File;
  }
  return *stream;
}

int64_t DecodeTilora(const Image& image) {
  TMemoryStream& stream = StreamFor(image);
  stream.SetPosition(0);
  TBitmap bitmap, alpha;
  TPngReadStream decoder;
  decoder.AlphaBitmap = &alpha;
  decoder.ReadGraphic(&bitmap, stream, 0);
  benchmark::DoNotOptimize(bitmap.ScanLine(bitmap.Height() - 1)[0]);
  return static_cast<int64_t>(bitmap.Image().Bits.size() + alpha.Image().Bits.size());
}

int64_t DecodeLibpng(const Image& image) {
  struct Reader {
    const Bytes* File;
    size_t Pos;
  } reader{&image.File, 0};
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  std::vector<uint8_t> pixels;
  std::vector<png_bytep> rows;
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    throw std::runtime_error("libpng failed");
  }
  png_set_read_fn(png, &reader, [](png_structp p, png_bytep data, png_size_t length) {
    auto* r = static_cast<Reader*>(png_get_io_ptr(p));
    if (r->File->size() - r->Pos < length) png_error(p, "short");
    std::memcpy(data, r->File->data() + r->Pos, length);
    r->Pos += length;
  });
  png_read_info(png, info);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  const size_t rowBytes = png_get_rowbytes(png, info);
  const uint32_t height = png_get_image_height(png, info);
  pixels.resize(rowBytes * height);
  rows.resize(height);
  for (uint32_t y = 0; y < height; ++y) rows[y] = pixels.data() + y * rowBytes;
  png_read_image(png, rows.data());
  png_read_end(png, nullptr);
  png_destroy_read_struct(&png, &info, nullptr);
  benchmark::DoNotOptimize(pixels.back());
  return static_cast<int64_t>(pixels.size());
}

int64_t DecodeSpng(const Image& image) {
  spng_ctx* ctx = spng_ctx_new(0);
  spng_set_png_buffer(ctx, image.File.data(), image.File.size());
  size_t size = 0;
  if (spng_decoded_image_size(ctx, SPNG_FMT_PNG, &size) != 0) throw std::runtime_error("spng size");
  std::vector<uint8_t> pixels(size);
  if (spng_decode_image(ctx, pixels.data(), size, SPNG_FMT_PNG, 0) != 0)
    throw std::runtime_error("spng failed");
  spng_ctx_free(ctx);
  benchmark::DoNotOptimize(pixels.back());
  return static_cast<int64_t>(pixels.size());
}

int64_t InflateOnly(const Image& image) {
  std::vector<uint8_t> raw(image.RawSize);
  z_stream z{};
  inflateInit(&z);
  z.next_in = const_cast<Bytef*>(image.Idat.data());
  z.avail_in = static_cast<uInt>(image.Idat.size());
  z.next_out = raw.data();
  z.avail_out = static_cast<uInt>(raw.size());
  if (inflate(&z, Z_FINISH) != Z_STREAM_END) throw std::runtime_error("inflate failed");
  inflateEnd(&z);
  benchmark::DoNotOptimize(raw.back());
  return static_cast<int64_t>(raw.size());
}

using Decoder = int64_t (*)(const Image&);
const char* const ImageNames[] = {"Rgb4096", "Palette4096", "RgbaAdam7_2048"};

std::map<std::string, int64_t> gPeakBeyondOutput;

void Run(benchmark::State& state, Decoder decode, const std::string& name) {
  const Image& image = ImageFor(static_cast<int>(state.range(0)));
  StreamFor(image);
  int64_t peak = 0;
  for (auto _ : state) {
    const int64_t before = gLive.load();
    gPeak = before;
    const int64_t output = decode(image);
    peak = gPeak.load() - before - output;
  }
  gPeakBeyondOutput[name + "/" + ImageNames[state.range(0)]] = peak;
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(image.RawSize));
  state.counters["peakBeyondOutputKiB"] = static_cast<double>(peak) / 1024.0;
}

void BM_Tilora(benchmark::State& state) {
  Run(state, DecodeTilora, "Tilora");
}
void BM_Libpng(benchmark::State& state) {
  Run(state, DecodeLibpng, "Libpng");
}
void BM_Spng(benchmark::State& state) {
  Run(state, DecodeSpng, "Spng");
}
void BM_InflateOnly(benchmark::State& state) {
  Run(state, InflateOnly, "InflateOnly");
}

#define PNG_DECODE_BENCH(fn) BENCHMARK(fn)->DenseRange(0, 2)->Unit(benchmark::kMillisecond)
PNG_DECODE_BENCH(BM_Tilora);
PNG_DECODE_BENCH(BM_Libpng);
PNG_DECODE_BENCH(BM_Spng);
PNG_DECODE_BENCH(BM_InflateOnly);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  for (int i = 0; i < 3; ++i) {
    const Image& image = ImageFor(i);
    std::printf("%s: file %zu bytes, IDAT %zu bytes, raw %zu bytes%s%s\n", ImageNames[i], image.File.size(),
                image.Idat.size(), image.RawSize,
                image.Filters.empty() ? "" : ", rows by filter 0/1/2/3/4: ", image.Filters.c_str());
  }
  bench::TRatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  std::printf("\n%-16s %12s %12s %12s\n", "image", "/libpng", "/libspng", "/inflate");
  for (int i = 0; i < 3; ++i) {
    // GCC 12 at -O3 reports "literal" + std::string as an overlapping copy (-Wrestrict): a false positive of
    // its analysis through libstdc++'s inlined operator+; the two strings are distinct objects.
#pragma GCC diagnostic push
#ifndef __clang__  // a GCC-only warning group
#pragma GCC diagnostic ignored "-Wrestrict"
#endif
    const std::string arg = "/" + std::to_string(i);
    if (reporter.CpuTime("BM_Tilora" + arg) == 0) continue;
    const auto ratio = [&](const char* peer) { return reporter.Ratio("BM_Tilora" + arg, peer + arg); };
    std::printf("%-16s %12.3f %12.3f %12.3f\n", ImageNames[i], ratio("BM_Libpng"), ratio("BM_Spng"),
                ratio("BM_InflateOnly"));
#pragma GCC diagnostic pop
  }
  std::printf("\npeak heap beyond the decoded output (KiB):\n");
  for (const auto& [name, peak] : gPeakBeyondOutput)
    std::printf("  %-32s %10.1f\n", name.c_str(), peak / 1024.0);
  benchmark::Shutdown();
  return 0;
}
