// The window's two frequent commands, offscreen, up to the finished repaint: a click on the edit image that
// stamps one chip, and a release on the material that moves the selection. Each runs on a 512 x 512 and an
// 8192 x 8192 picture; neither may cost in proportion to the picture, so the program ends with the ratios
// 8192 / 512. The full redraw of the edit pane runs beside them as the peer that does cost in proportion.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QComboBox>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <cstdio>
#include <map>
#include <memory>
#include <string>

#include "FMain.h"
#include "FSize.h"
#include "RatioReporter.h"

namespace {

// Dialogs are never shown here.
class TNoDialogs : public TDialogs {
 public:
  bool ExecuteSizeForm(TSizeForm&, bool) override { return false; }
  bool ExecutePictureDialog(const TPictureDialog&, QStringList&) override { return false; }
  bool WarningYesNo(const QString&) override { return false; }
  TSaveChangesAnswer AskSaveChanges(const QString&) override { return TSaveChangesAnswer::Cancel; }
  void ShowError(const QString& Message) override {
    std::fprintf(stderr, "error: %s\n", qPrintable(Message));
  }
};

// A shown window whose edit image and material are Size x Size, with 32 x 32 chips, the material chosen.
struct TBenchWindow {
  QTemporaryDir Dir;
  TNoDialogs Dialogs;
  TSizeForm SizeForm;
  std::unique_ptr<TOrvMain> Window;

  TBenchWindow(int EditSize, int MaterialSize) {
    const std::string ini = (Dir.path() + "/Tilora.ini").toStdString();
    Window = std::make_unique<TOrvMain>(Dialogs, TSettingsFile{{ini}, ini});
    Window->SizeForm = &SizeForm;
    TOrvDatas& document = *Window->Document;
    document.SetChipSize(32, 32);
    document.NewEditImage(EditSize / 32, EditSize / 32);
    document.Material->SetSize(MaterialSize, MaterialSize);
    for (int y = 0; y < MaterialSize; ++y) {
      uint8_t* row = document.Material->ScanLine(y);
      for (int x = 0; x < MaterialSize * 4; ++x) row[x] = static_cast<uint8_t>(x * 7 + y);
    }
    // The material entry only has to name an existing file; its pixels are set above.
    Window->MaterialFiles->Add(ini);
    Window->MaterialFiles->SaveToFile(ini);
    Window->ComboBox1->addItem(QStringLiteral("Tilora.ini"));
    Window->ComboBox1->setCurrentIndex(0);
    Window->RedrawMaterial();
    Window->RedrawEdit();
    Window->show();
    QApplication::processEvents();
  }
  ~TBenchWindow() { Window->hide(); }
};

void Mouse(QWidget* View, QEvent::Type Type, QPoint At) {
  const Qt::MouseButtons held = Type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton;
  QMouseEvent event(Type, At, View->mapToGlobal(At), Qt::LeftButton, held, Qt::NoModifier);
  QApplication::sendEvent(View, &event);
}

// Positions inside the visible part of a pane, so that every change is repainted.
QPoint VisibleChip(int64_t Step) {
  return QPoint(16 + 32 * static_cast<int>(Step % 6), 16 + 32 * static_cast<int>(Step / 6 % 4));
}

void BM_StampChip(benchmark::State& State) {
  TBenchWindow bench(static_cast<int>(State.range(0)), 64);
  bench.Window->Selection = Rect(0, 0, 32, 32);
  int64_t step = 0;
  for (auto _ : State) {
    const QPoint at = VisibleChip(step++);
    Mouse(bench.Window->Image2, QEvent::MouseButtonPress, at);
    Mouse(bench.Window->Image2, QEvent::MouseButtonRelease, at);
    QApplication::processEvents();
  }
}

void BM_MoveSelection(benchmark::State& State) {
  TBenchWindow bench(512, static_cast<int>(State.range(0)));
  int64_t step = 0;
  for (auto _ : State) {
    const QPoint from = VisibleChip(step++), to = VisibleChip(step + 7);
    Mouse(bench.Window->Image1, QEvent::MouseButtonPress, from);
    Mouse(bench.Window->Image1, QEvent::MouseButtonRelease, to);
    QApplication::processEvents();
  }
}

void BM_FullRedrawEdit(benchmark::State& State) {
  TBenchWindow bench(static_cast<int>(State.range(0)), 64);
  for (auto _ : State) {
    bench.Window->RedrawEdit();
    QApplication::processEvents();
  }
}

BENCHMARK(BM_StampChip)->Arg(512)->Arg(8192)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_MoveSelection)->Arg(512)->Arg(8192)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FullRedrawEdit)->Arg(512)->Arg(8192)->Unit(benchmark::kMicrosecond)->Iterations(5);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  benchmark::Initialize(&argc, argv);
  bench::TRatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  // The ratio of the 8192 to the 512 time of each benchmark.
  for (const char* name : {"BM_StampChip", "BM_MoveSelection", "BM_FullRedrawEdit"})
    if (const double ratio = reporter.Ratio(std::string(name) + "/8192", std::string(name) + "/512"))
      std::printf("%s: 8192 / 512 = %.2f\n", name, ratio);
  benchmark::Shutdown();
  return 0;
}
