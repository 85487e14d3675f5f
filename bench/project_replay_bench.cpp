// Replaying a project: 10,000 stamps of 32 x 32 chips from a 512 x 512 material onto a 4096 x 4096 sheet,
// against writing those chips' pixels once (a row copy per chip row, source and sheet in one pixel format).
// Target: the replay <= 2 x the writing. The same stamps turned or flipped are measured too, without a
// target. The material is read, and the sheet made, before the timing: both cost the same whatever the number
// of stamps.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>

#include "OrvCui.h"
#include "OrvProject.h"
#include "RatioReporter.h"

namespace {

constexpr int Side = 4096, Chip = 32, MaterialSide = 512, Stamps = 10000;

struct TScene {
  std::string MaterialFile;
  TProject Project;
  TBitmap Material;  // as the replay reads it, in the sheet's pixel format

  TScene() {
    MaterialFile = (std::filesystem::temp_directory_path() / "tilora-replay-bench.png").string();
    TOrvDatas maker;
    maker.SetChipSize(Chip, Chip);
    maker.NewEditImage(MaterialSide / Chip, MaterialSide / Chip);
    std::mt19937 random(7);
    uint8_t* p = maker.EditImage->Bits();
    for (size_t i = 0; i < maker.EditImage->Image().Bits.size(); ++i) p[i] = static_cast<uint8_t>(random());
    maker.SaveEditImage(MaterialFile);
    Material.Assign(maker.EditImage.get());

    Project.ChipWidth = Project.ChipHeight = Chip;
    Project.SheetWidth = Project.SheetHeight = Side;
    for (int i = 0; i < Stamps; ++i) {
      TStampOperation stamp;
      stamp.Origin.MaterialPath = MaterialFile;
      const int sx = static_cast<int>(random() % (MaterialSide / Chip)) * Chip;
      const int sy = static_cast<int>(random() % (MaterialSide / Chip)) * Chip;
      stamp.Origin.Area = Rect(sx, sy, sx + Chip, sy + Chip);
      stamp.Target = {static_cast<int32_t>(random() % (Side / Chip)) * Chip,
                      static_cast<int32_t>(random() % (Side / Chip)) * Chip};
      Project.Operations.push_back(stamp);
    }
    Project.Materials = DescribeMaterials(Project.Operations);
  }
  ~TScene() { std::filesystem::remove(MaterialFile); }
};

const TScene& Scene() {
  static const TScene scene;
  return scene;
}

// The stamps as recorded (Transform: none), or each turned or flipped by one of the seven transforms.
void ReplayStamps(benchmark::State& State, bool Turned) {
  const TScene& scene = Scene();
  std::vector<TEditOperation> operations = scene.Project.Operations;
  if (Turned)
    for (size_t i = 0; i < operations.size(); ++i)
      std::get<TStampOperation>(operations[i]).Origin.Transform = static_cast<TChipTransform>(1 + i % 7);
  TOrvDatas sheet;
  TProjectReplay replay(sheet, scene.Project.Materials);
  replay.Start(ProjectRecipe(scene.Project));
  for (const TEditOperation& op : operations) replay.Apply(op);  // reads the material
  for (auto _ : State) {
    for (const TEditOperation& op : operations) replay.Apply(op);
    benchmark::DoNotOptimize(sheet.EditImage->Bits());
  }
  if (!replay.Problems().empty()) State.SkipWithError("the replay met a problem");
  State.SetItemsProcessed(State.iterations() * Stamps);
}

void BM_ReplayStamps(benchmark::State& State) {
  ReplayStamps(State, false);
}

void BM_ReplayTurnedStamps(benchmark::State& State) {
  ReplayStamps(State, true);
}

void BM_WriteChipsOnce(benchmark::State& State) {
  const TScene& scene = Scene();
  TBitmap sheet;
  sheet.SetImage(NewBitmapImage(Side, Side, scene.Material.PixelFormat(), nullptr, true));
  const int bytes = scene.Material.BitCount() / 8;
  for (auto _ : State) {
    for (const TEditOperation& op : scene.Project.Operations) {
      const auto& stamp = std::get<TStampOperation>(op);
      const TRect& area = stamp.Origin.Area;
      for (int row = 0; row < Chip; ++row)
        std::memcpy(sheet.ScanLine(stamp.Target.Y + row) + stamp.Target.X * bytes,
                    scene.Material.ScanLine(area.Top + row) + area.Left * bytes,
                    static_cast<size_t>(Chip) * bytes);
    }
    benchmark::DoNotOptimize(sheet.Bits());
  }
  State.SetItemsProcessed(State.iterations() * Stamps);
}

BENCHMARK(BM_WriteChipsOnce)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReplayStamps)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReplayTurnedStamps)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  bench::TRatioReporter reporter;
  if (!bench::RunBenchmarks(argc, argv, reporter)) return 1;
  const bool met = bench::PrintRatio(reporter, "replay of 10,000 stamps / writing the chips",
                                     "BM_ReplayStamps", "BM_WriteChipsOnce", 2.0);
  // Turned stamps go through a block: for information, without a target.
  if (reporter.Ratio("BM_ReplayTurnedStamps", "BM_WriteChipsOnce") > 0)
    std::printf("%-40s %6.2f x peer\n", "turned stamps / writing the chips",
                reporter.Ratio("BM_ReplayTurnedStamps", "BM_WriteChipsOnce"));
  return met ? 0 : 1;
}
