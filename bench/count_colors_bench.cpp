// CountColors on a 4096 x 4096 display-format image with about a million distinct colours, against a plain
// scan of the same pixels into a 2^24-bit std::bitset. Compare the two times: the target is CountColors
// <= 1.5 x peer.
#include <benchmark/benchmark.h>

#include <bitset>
#include <cstring>

#include "OrvCui.h"

namespace {

constexpr int Side = 4096;

// 2^20 possible colours drawn 2^24 times (nearly all of them appear), spread over the whole colour cube by an
// odd multiplier, with a random fourth byte.
const TBitmap& TestImage() {
  static const std::unique_ptr<TBitmap> Bitmap = [] {
    auto Result = std::make_unique<TBitmap>();
    Result->SetImage(NewBitmapImage(Side, Side, pfDevice, nullptr, false));
    uint8_t* p = Result->Bits();
    uint32_t State = 12345;
    for (int i = 0; i < Side * Side; ++i, p += 4) {
      State = State * 1664525u + 1013904223u;
      const uint32_t Color = ((State >> 12) * 0x2F0B3Du) & 0xFFFFFF;
      p[0] = static_cast<uint8_t>(Color);
      p[1] = static_cast<uint8_t>(Color >> 8);
      p[2] = static_cast<uint8_t>(Color >> 16);
      p[3] = static_cast<uint8_t>(State >> 4);
    }
    return Result;
  }();
  return *Bitmap;
}

int64_t PlainBitsetCount(const TBitmap& Bitmap) {
  auto Seen = std::make_unique<std::bitset<size_t{1} << 24>>();
  const uint8_t* p = Bitmap.Bits();
  const size_t Pixels = size_t{Side} * Side;
  for (size_t i = 0; i < Pixels; ++i, p += 4) {
    uint32_t Value;
    std::memcpy(&Value, p, 4);
    (*Seen)[Value & 0xFFFFFF] = true;
  }
  return static_cast<int64_t>(Seen->count());
}

void BM_CountColors(benchmark::State& State) {
  const TBitmap& Bitmap = TestImage();
  int64_t Count = 0;
  for (auto _ : State) {
    Count = TOrvDatas::CountColors(Bitmap);
    benchmark::DoNotOptimize(Count);
  }
  if (Count != PlainBitsetCount(Bitmap)) State.SkipWithError("CountColors disagrees with the plain scan");
  State.counters["colours"] = static_cast<double>(Count);
  State.SetItemsProcessed(State.iterations() * Side * Side);
}

void BM_PlainBitset(benchmark::State& State) {
  const TBitmap& Bitmap = TestImage();
  int64_t Count = 0;
  for (auto _ : State) {
    Count = PlainBitsetCount(Bitmap);
    benchmark::DoNotOptimize(Count);
  }
  State.counters["colours"] = static_cast<double>(Count);
  State.SetItemsProcessed(State.iterations() * Side * Side);
}

BENCHMARK(BM_PlainBitset)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CountColors)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
