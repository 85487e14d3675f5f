// The DIB library against plain peers on the same 4096 x 4096, 24-bit picture, in one run:
// - the 24-to-8-bit histogram quantiser against a distinct-colour count done as a 2^24-bit bitset scan of the
//   same pixels (target: quantiser <= 3 x peer);
// - the BMP writer and reader on a memory stream against a memcpy of the pixel memory (targets: write <= 2 x,
//   read <= 3 x).
// The ratios, of CPU time per iteration (which counts the page faults of fresh pixel memory and is steady on
// a shared machine), are printed after the table.
#include <benchmark/benchmark.h>

#include <bitset>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "DibImage.h"
#include "RatioReporter.h"

namespace {

constexpr int Side = 4096;

// 2^20 possible colours drawn 2^24 times, spread over the colour cube by an odd multiplier.
const TDibStorage& TestPicture() {
  static const std::unique_ptr<TDibStorage> Storage = [] {
    auto s = std::make_unique<TDibStorage>(false);
    s->CreateDIB(Side, Side, 0, 24);
    uint32_t state = 12345;
    for (int y = 0; y < Side; ++y) {
      uint8_t* p = s->DIB.MemoryRow(y);
      for (int x = 0; x < Side; ++x, p += 3) {
        state = state * 1664525u + 1013904223u;
        const uint32_t color = ((state >> 12) * 0x2F0B3Du) & 0xFFFFFF;
        p[0] = static_cast<uint8_t>(color);
        p[1] = static_cast<uint8_t>(color >> 8);
        p[2] = static_cast<uint8_t>(color >> 16);
      }
    }
    return s;
  }();
  return *Storage;
}

void BM_QuantizeHistogram24To8(benchmark::State& state) {
  const TDibRecord& dib = TestPicture().DIB;
  uint32_t colors = 0;
  for (auto _ : state) {
    const TDibRecord result = ConvertTrueColorTo8BitRGBLow(dib, false, nullptr, nullptr);
    colors = result.Header.biClrUsed;
    benchmark::DoNotOptimize(result.Bits());
  }
  state.counters["palette"] = colors;
  state.counters["Mpixel/s"] = benchmark::Counter(static_cast<double>(state.iterations()) * Side * Side / 1e6,
                                                  benchmark::Counter::kIsRate);
}

void BM_DistinctColoursBitset(benchmark::State& state) {
  const TDibRecord& dib = TestPicture().DIB;
  size_t count = 0;
  for (auto _ : state) {
    auto seen = std::make_unique<std::bitset<size_t{1} << 24>>();
    for (int y = 0; y < Side; ++y) {
      const uint8_t* p = dib.MemoryRow(y);
      for (int x = 0; x < Side; ++x, p += 3) (*seen)[p[0] | p[1] << 8 | p[2] << 16] = true;
    }
    count = seen->count();
    benchmark::DoNotOptimize(count);
  }
  state.counters["colours"] = static_cast<double>(count);
  state.counters["Mpixel/s"] = benchmark::Counter(static_cast<double>(state.iterations()) * Side * Side / 1e6,
                                                  benchmark::Counter::kIsRate);
}

void BM_BmpWrite(benchmark::State& state) {
  const TDibStorage& picture = TestPicture();
  TMemoryStream stream;
  picture.SaveToStream(stream);  // the stream keeps its capacity between rounds
  for (auto _ : state) {
    stream.SetPosition(0);
    picture.SaveToStream(stream);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * picture.DIB.ImageSize);
}

void BM_BmpRead(benchmark::State& state) {
  const bool useFMO = state.range(0) != 0;
  TMemoryStream stream;
  TestPicture().SaveToStream(stream);
  TDibStorage storage(useFMO);
  for (auto _ : state) {
    stream.SetPosition(0);
    storage.LoadFromStream(stream);
    benchmark::DoNotOptimize(storage.DIB.Bits());
  }
  state.SetLabel(useFMO ? "shared memory" : "heap");
  state.SetBytesProcessed(state.iterations() * storage.DIB.ImageSize);
}

void BM_MemcpyPixels(benchmark::State& state) {
  const TDibRecord& dib = TestPicture().DIB;
  std::vector<uint8_t> copy(static_cast<size_t>(dib.ImageSize));
  for (auto _ : state) {
    std::memcpy(copy.data(), dib.Bits(), copy.size());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * dib.ImageSize);
}

BENCHMARK(BM_QuantizeHistogram24To8)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DistinctColoursBitset)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BmpWrite)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BmpRead)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MemcpyPixels)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  bench::TRatioReporter reporter;
  if (!bench::RunBenchmarks(argc, argv, reporter)) return 1;
  bench::PrintRatio(reporter, "quantise 24->8 vs bitset colour count", "BM_QuantizeHistogram24To8",
                    "BM_DistinctColoursBitset", 3);
  bench::PrintRatio(reporter, "BMP write vs memcpy", "BM_BmpWrite", "BM_MemcpyPixels", 2);
  bench::PrintRatio(reporter, "BMP read (heap) vs memcpy", "BM_BmpRead/0", "BM_MemcpyPixels", 3);
  bench::PrintRatio(reporter, "BMP read (shared memory) vs memcpy", "BM_BmpRead/1", "BM_MemcpyPixels", 3);
  return 0;
}
