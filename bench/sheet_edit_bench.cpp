// Stamping one 32 x 32 chip through the sheet editor, undoing it, and the colour budget after each, on an
// 8192 x 8192 sheet against the same on a 512 x 512 sheet: the history keeps only the chip's pixels and the
// budget follows the changed area, so the target is at most 2 x. Both sheets hold 200 colours, so that every
// budget runs the designed reduction's quantisers (on the colour tally); a second pair of sheets has an alpha
// plane with transparent chips and stamps a chip with alpha. The cell stamped moves over the whole sheet.
// The duplicate chips the status bar counts follow the same stamp and undo (plain copies, and copies flipped
// or turned too): their update looks at the chips the change touched, so the target is at most 2 x as well.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <memory>

#include "AlphaPlane.h"
#include "OrvCui.h"
#include "OrvEdit.h"
#include "OrvSave.h"
#include "RatioReporter.h"

namespace {

constexpr int Chip = 32;

// The colour of palette number K of the sheet's 200.
void PutColor(uint8_t* P, int K) {
  P[0] = static_cast<uint8_t>(K);
  P[1] = static_cast<uint8_t>(255 - K);
  P[2] = static_cast<uint8_t>(K * 5);
}

struct TSheet {
  TOrvDatas Doc;
  TSheetEditor Editor{Doc};
  TChipBlock Stamp;
  int Cells = 0;

  TSheet(int Side, bool Alpha) {
    Doc.SetChipSize(Chip, Chip);
    Doc.NewEditImage(Side / Chip, Side / Chip, Alpha);
    // Chips of one colour each, 200 colours in all; with alpha every third chip is transparent.
    TBitmap& image = *Doc.EditImage;
    for (int y = 0; y < Side; ++y) {
      uint8_t* p = image.ScanLine(y);
      uint8_t* a = Alpha ? Doc.EditAlpha.ScanLine(y) : nullptr;
      for (int x = 0; x < Side; ++x, p += 4) {
        const int chip = x / Chip + y / Chip * 7;
        PutColor(p, chip % 200);
        if (a) a[x] = chip % 3 == 0 ? 255 : 0;
      }
    }
    // The stamp: a chip of four of those colours, with translucent pixels when the sheet has alpha.
    Doc.Material->Assign(Doc.EditImage.get());
    Doc.Material->SetSize(Chip, Chip);
    for (int y = 0; y < Chip; ++y) {
      uint8_t* p = Doc.Material->ScanLine(y);
      for (int x = 0; x < Chip; ++x, p += 4) PutColor(p, (x / 16 + y / 16 * 2) * 40);
    }
    if (Alpha) {
      Doc.MaterialAlpha.SetImage(NewAlphaPlaneImage(Chip, Chip));
      for (int y = 0; y < Chip; ++y) Doc.MaterialAlpha.ScanLine(y)[y] = 128;
    }
    Stamp = CutBlock(*Doc.Material, Doc.MaterialAlpha, Rect(0, 0, Chip, Chip));
    Cells = Side / Chip;
    Editor.ColorBudget({});  // the first budget counts the whole sheet
  }
};

TSheet& Sheet(int Side, bool Alpha) {
  static std::map<std::pair<int, bool>, std::unique_ptr<TSheet>> sheets;
  auto& sheet = sheets[{Side, Alpha}];
  if (!sheet) sheet = std::make_unique<TSheet>(Side, Alpha);
  return *sheet;
}

void BM_StampUndoBudget(benchmark::State& State) {
  TSheet& sheet = Sheet(static_cast<int>(State.range(0)), State.range(1) != 0);
  const TStampOrigin origin{TStampOrigin::TFrom::Material, "chip.png", false, Rect(0, 0, Chip, Chip),
                            TChipTransform::Identity};
  const TSaveOptions options;
  int i = 0;
  for (auto _ : State) {
    const TPoint cell{Chip * (i * 37 % sheet.Cells), Chip * (i * 53 % sheet.Cells)};
    ++i;
    sheet.Editor.Stamp(sheet.Stamp, origin, cell);
    benchmark::DoNotOptimize(sheet.Editor.ColorBudget(options));
    sheet.Editor.Undo();
    benchmark::DoNotOptimize(sheet.Editor.ColorBudget(options));
  }
  State.counters["budget"] = static_cast<double>(sheet.Editor.ColorBudget(options).size());
}

BENCHMARK(BM_StampUndoBudget)
    ->Args({512, 0})
    ->Args({8192, 0})
    ->Args({512, 1})
    ->Args({8192, 1})
    ->Unit(benchmark::kMicrosecond)
    ->MinTime(1.0)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

void BM_StampUndoDuplicates(benchmark::State& State) {
  TSheet& sheet = Sheet(static_cast<int>(State.range(0)), false);
  const TStampOrigin origin{TStampOrigin::TFrom::Material, "chip.png", false, Rect(0, 0, Chip, Chip),
                            TChipTransform::Identity};
  const TDuplicateOptions options{State.range(1) != 0, std::nullopt};
  sheet.Editor.Duplicates(options);  // the first count examines every chip
  int i = 0;
  for (auto _ : State) {
    const TPoint cell{Chip * (i * 37 % sheet.Cells), Chip * (i * 53 % sheet.Cells)};
    ++i;
    sheet.Editor.Stamp(sheet.Stamp, origin, cell);
    benchmark::DoNotOptimize(sheet.Editor.Duplicates(options).DuplicateCount());
    sheet.Editor.Undo();
    benchmark::DoNotOptimize(sheet.Editor.Duplicates(options).DuplicateCount());
  }
  State.counters["duplicates"] = static_cast<double>(sheet.Editor.Duplicates(options).DuplicateCount());
}

BENCHMARK(BM_StampUndoDuplicates)
    ->Args({512, 0})
    ->Args({8192, 0})
    ->Args({512, 1})
    ->Args({8192, 1})
    ->Unit(benchmark::kMicrosecond)
    ->MinTime(1.0)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

}  // namespace

int main(int argc, char** argv) {
  bench::TRatioReporter reporter;
  if (!bench::RunBenchmarks(argc, argv, reporter)) return 1;
  const bool opaque = bench::PrintRatio(reporter, "stamp, undo, budget: 8192 / 512",
                                        "BM_StampUndoBudget/8192/0", "BM_StampUndoBudget/512/0", 2);
  const bool alpha = bench::PrintRatio(reporter, "the same with alpha: 8192 / 512",
                                       "BM_StampUndoBudget/8192/1", "BM_StampUndoBudget/512/1", 2);
  const bool duplicates =
      bench::PrintRatio(reporter, "stamp, undo, duplicate chips: 8192 / 512", "BM_StampUndoDuplicates/8192/0",
                        "BM_StampUndoDuplicates/512/0", 2);
  const bool transformed =
      bench::PrintRatio(reporter, "the same, flipped and turned copies too: 8192 / 512",
                        "BM_StampUndoDuplicates/8192/1", "BM_StampUndoDuplicates/512/1", 2);
  return opaque && alpha && duplicates && transformed ? 0 : 1;
}
