// The window's two frequent commands, offscreen, up to the finished repaint: a click on the edit image that
// stamps one chip, and a release on the material that moves the selection. Each runs on a 512 x 512 and an
// 8192 x 8192 picture; neither may cost in proportion to the picture, so the program ends with the ratios
// 8192 / 512. The full redraw of the edit pane runs beside them. In the editing window, at 8x, a stamp, an
// erase and the undo of both, each with its repaint, its history step and the status bar's colour budget,
// have the same target.
//
// The repaint of a full 1920 x 1080 view of a sheet at 8x (its grid in the automatic colour, and once more
// with an alpha plane over the checkerboard) runs against Qt's own QPainter::drawImage scaling the same
// 240 x 135 visible pixels to 1920 x 1080 (nearest pixel, into an image of the screen's format).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QComboBox>
#include <QMouseEvent>
#include <QPainter>
#include <QSettings>
#include <QTemporaryDir>
#include <cstdio>
#include <map>
#include <memory>
#include <string>

#include "AlphaPlane.h"
#include "FMain.h"
#include "FSize.h"
#include "QtBitmap.h"
#include "QtHistory.h"
#include "QtImageView.h"
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
  bool AskYesNo(const QString&) override { return false; }
  void ShowWarning(const QString&) override {}
};

// A shown window whose edit image and material are Size x Size, with 32 x 32 chips, the material chosen; with
// Editing, the editing window (menus, tool bar, status bar, history) at 1600 x 1000.
struct TBenchWindow {
  QTemporaryDir Dir;
  TNoDialogs Dialogs;
  TSizeForm SizeForm;
  std::unique_ptr<QSettings> Preferences;
  std::unique_ptr<TOrvMain> Window;

  TBenchWindow(int EditSize, int MaterialSize, bool Editing = false) {
    const std::string ini = (Dir.path() + "/Tilora.ini").toStdString();
    Window = std::make_unique<TOrvMain>(Dialogs, TSettingsFile{{ini}, ini});
    Window->SizeForm = &SizeForm;
    if (Editing) {
      Preferences = std::make_unique<QSettings>(Dir.path() + "/Tilora.conf", QSettings::IniFormat);
      Window->BuildEditing(*Preferences);
      Window->resize(1600, 1000);
    }
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

// Stamp, erase and undo both, on one chip of a sheet shown at 8x. One round runs before the timing: its first
// colour budget and duplicate count go through the whole sheet once (a sheet made around the editor).
void BM_StampEraseUndo8x(benchmark::State& State) {
  TBenchWindow bench(static_cast<int>(State.range(0)), 64, true);
  TOrvMain& window = *bench.Window;
  window.Selection = Rect(0, 0, 32, 32);
  window.SetEditZoom(8);
  QApplication::processEvents();
  int64_t step = 0;
  const auto round = [&] {
    // Chips of 256 x 256 device pixels, four by two of them in view.
    const QPoint at(128 + 256 * static_cast<int>(step % 4), 128 + 256 * static_cast<int>(step / 4 % 2));
    ++step;
    for (const TEditTool tool : {TEditTool::Stamp, TEditTool::Erase}) {
      window.SetTool(tool);
      Mouse(window.Image2, QEvent::MouseButtonPress, at);
      Mouse(window.Image2, QEvent::MouseButtonRelease, at);
      QApplication::processEvents();
    }
    window.UndoClick();
    QApplication::processEvents();
    window.UndoClick();
    QApplication::processEvents();
  };
  round();
  for (auto _ : State) round();
  if (window.History->CommandCount() == 0) State.SkipWithError("nothing was recorded");
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

// A 4096 x 4096 sheet of 16 x 16 chips, every pixel its own colour, and the part of it a 1920 x 1080 view
// at 8x shows from (1000, 2000).
struct TZoomedSheet {
  static constexpr int Size = 4096, Zoom = 8, ViewWidth = 1920, ViewHeight = 1080;
  static constexpr QPoint Shown = QPoint(1000, 2000);
  TBitmap Sheet;
  TBitmap Alpha;
  TZoomedSheet(bool WithAlpha) {
    Sheet.SetImage(NewBitmapImage(Size, Size, pfDevice, nullptr, false));
    for (int y = 0; y < Size; ++y) {
      uint8_t* row = Sheet.ScanLine(y);
      for (int x = 0; x < Size * 4; ++x) row[x] = static_cast<uint8_t>(x * 7 + y * 3);
    }
    if (!WithAlpha) return;
    Alpha.SetImage(NewAlphaPlaneImage(Size, Size));
    for (int y = 0; y < Size; ++y)
      for (int x = 0; x < Size; ++x) Alpha.ScanLine(y)[x] = static_cast<uint8_t>(x ^ y);
  }
};

void BM_RepaintZoomedView(benchmark::State& State) {
  const TZoomedSheet sheet(State.range(0) != 0);
  TImageView view;
  TPaneContent pane;
  pane.Image = &sheet.Sheet;
  pane.Alpha = &sheet.Alpha;
  pane.ChipWidth = pane.ChipHeight = 16;
  view.ShowPane(pane);
  view.SetZoom(TZoomedSheet::Zoom);
  QImage screen(TZoomedSheet::ViewWidth, TZoomedSheet::ViewHeight, QImage::Format_RGB32);
  const QRegion visible(QRect(TZoomedSheet::Shown * TZoomedSheet::Zoom,
                              QSize(TZoomedSheet::ViewWidth, TZoomedSheet::ViewHeight)));
  for (auto _ : State) {
    view.render(&screen, QPoint(), visible, QWidget::RenderFlags());
    benchmark::DoNotOptimize(screen.constBits());
  }
  // The view's first device pixel is picture pixel Shown; picture row 2015 ends a chip: its last device row
  // (the view's row 127) is the grid's, black or white.
  const TColor first = sheet.Sheet.GetPixel(TZoomedSheet::Shown.x(), TZoomedSheet::Shown.y());
  if (State.range(0) == 0 &&
      (screen.pixel(0, 0) != qRgb(GetRValue(first), GetGValue(first), GetBValue(first)) ||
       qRed(screen.pixel(5, 127)) % 255 != 0))
    State.SkipWithError("the view was not painted as expected");
}

void BM_QtScaleRegion(benchmark::State& State) {
  const TZoomedSheet sheet(false);
  const QImage source = BitmapToQImage(sheet.Sheet);
  QImage screen(TZoomedSheet::ViewWidth, TZoomedSheet::ViewHeight, QImage::Format_RGB32);
  const QRectF from(TZoomedSheet::Shown, QSizeF(TZoomedSheet::ViewWidth / TZoomedSheet::Zoom,
                                                TZoomedSheet::ViewHeight / TZoomedSheet::Zoom));
  for (auto _ : State) {
    QPainter painter(&screen);
    painter.drawImage(QRectF(screen.rect()), source, from);
    painter.end();
    benchmark::DoNotOptimize(screen.constBits());
  }
}

BENCHMARK(BM_RepaintZoomedView)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_QtScaleRegion)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_StampChip)->Arg(512)->Arg(8192)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_StampEraseUndo8x)->Arg(512)->Arg(8192)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_MoveSelection)->Arg(512)->Arg(8192)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FullRedrawEdit)->Arg(512)->Arg(8192)->Unit(benchmark::kMicrosecond)->Iterations(5);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  bench::TRatioReporter reporter;
  if (!bench::RunBenchmarks(argc, argv, reporter)) return 1;
  // The ratio of the 8192 to the 512 time of each benchmark.
  for (const char* name : {"BM_StampChip", "BM_MoveSelection", "BM_FullRedrawEdit"})
    if (const double ratio = reporter.Ratio(std::string(name) + "/8192", std::string(name) + "/512"))
      std::printf("%s: 8192 / 512 = %.2f\n", name, ratio);
  bench::PrintRatio(reporter, "stamp, erase and undo at 8x: 8192 / 512", "BM_StampEraseUndo8x/8192",
                    "BM_StampEraseUndo8x/512", 2);
  bench::PrintRatio(reporter, "repaint of a 1920 x 1080 view at 8x", "BM_RepaintZoomedView/0",
                    "BM_QtScaleRegion", 2);
  bench::PrintRatio(reporter, "the same with alpha over the checkerboard", "BM_RepaintZoomedView/1",
                    "BM_QtScaleRegion", 2);
  return 0;
}
