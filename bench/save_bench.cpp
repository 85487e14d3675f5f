// SaveEditImage of a 4096 x 4096 display-format edit image with 200 colours to PNG, beside its steps measured
// one by one: the colour count, the reduction (assignment to a DIB and the 24-to-8-bit conversion), the PNG
// encoding into memory and the atomic write of the encoded bytes. After the runs the program prints each
// step's share of the sum and the ratio of the whole save to that sum; the target is a ratio of at most 1.2,
// and the program exits with status 1 when the ratio is above it. Times are CPU times (user and system).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <string>

#include "DibImage.h"
#include "OrvCui.h"
#include "PngGraphic.h"
#include "RatioReporter.h"

namespace {

constexpr int Side = 4096;
constexpr int ColorCount = 200;

// A tile sheet: 8 x 8 blocks, each of one of 200 colours.
TOrvDatas& Document() {
  static TOrvDatas* const Doc = [] {
    auto* d = new TOrvDatas;
    d->EditImage->SetImage(NewBitmapImage(Side, Side, pfDevice, nullptr, false));
    for (int y = 0; y < Side; ++y) {
      uint8_t* p = d->EditImage->ScanLine(y);
      for (int x = 0; x < Side; ++x, p += 4) {
        const int k = ((x >> 3) * 31 + (y >> 3) * 17) % ColorCount;
        p[0] = static_cast<uint8_t>(96 + (k % 5) * 30), p[1] = static_cast<uint8_t>(20 + (k / 5) * 5);
        p[2] = static_cast<uint8_t>((k & 7) * 32), p[3] = 0;
      }
    }
    return d;
  }();
  return *Doc;
}

std::string OutputPath() {
  static const std::string Path = [] {
    const auto dir =
        std::filesystem::temp_directory_path() / ("tilora-save-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    return (dir / "sheet.png").string();
  }();
  return Path;
}

std::unique_ptr<TDibGraphic> ReducedDib() {
  auto Dib = std::make_unique<TDibGraphic>();
  Dib->Assign(Document().EditImage.get());
  Dib->SetPixelFormat(dpf8Bit);
  return Dib;
}

void BM_Count(benchmark::State& State) {
  for (auto _ : State) benchmark::DoNotOptimize(TOrvDatas::CountColors(*Document().EditImage));
}

void BM_Reduce(benchmark::State& State) {
  for (auto _ : State) benchmark::DoNotOptimize(ReducedDib());
}

void BM_Encode(benchmark::State& State) {
  const std::unique_ptr<TDibGraphic> Dib = ReducedDib();
  for (auto _ : State) {
    TPngGraphic Png;
    Png.Assign(Dib.get());
    TMemoryStream Stream;
    Png.SaveToStream(Stream);
    benchmark::DoNotOptimize(Stream.Size());
  }
}

void BM_Write(benchmark::State& State) {
  const std::unique_ptr<TDibGraphic> Dib = ReducedDib();
  TPngGraphic Png;
  Png.Assign(Dib.get());
  TMemoryStream Encoded;
  Png.SaveToStream(Encoded);
  for (auto _ : State)
    SaveFileAtomically(OutputPath(),
                       [&](TStream& Stream) { Stream.WriteBuffer(Encoded.Memory(), Encoded.Size()); });
  State.counters["bytes"] = static_cast<double>(Encoded.Size());
}

void BM_SaveEditImage(benchmark::State& State) {
  for (auto _ : State) Document().SaveEditImage(OutputPath());
}

BENCHMARK(BM_Count)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_Reduce)->Unit(benchmark::kMillisecond)->MinTime(1)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_Encode)->Unit(benchmark::kMillisecond)->MinTime(1)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_Write)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_SaveEditImage)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(1)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

}  // namespace

int main(int argc, char** argv) {
  bench::TRatioReporter Reporter;
  if (!bench::RunBenchmarks(argc, argv, Reporter)) return 1;

  const char* Steps[] = {"BM_Count", "BM_Reduce", "BM_Encode", "BM_Write"};
  double Sum = 0;
  for (const char* Step : Steps) {
    if (Reporter.CpuTime(Step) == 0) return 0;  // a filtered run: nothing to compare
    Sum += Reporter.CpuTime(Step);
  }
  const double Whole = Reporter.CpuTime("BM_SaveEditImage");
  if (Whole == 0) return 0;
  std::printf("CPU time: SaveEditImage %.1f ms; sum of its steps %.1f ms\n", Whole, Sum);
  for (const char* Step : Steps)
    std::printf("  %-10s %8.1f ms  %5.1f %%\n", Step + 3, Reporter.CpuTime(Step),
                100 * Reporter.CpuTime(Step) / Sum);
  const double Ratio = Whole / Sum;
  std::printf("whole / sum of steps: %.3f (target <= 1.2): %s\n", Ratio, Ratio <= 1.2 ? "met" : "MISSED");
  std::filesystem::remove_all(std::filesystem::path(OutputPath()).parent_path());
  return Ratio <= 1.2 ? 0 : 1;
}
