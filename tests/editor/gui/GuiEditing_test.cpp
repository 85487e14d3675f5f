// The editing window's tools on the edit pane: stamp and erase drags, the selection and its moves, the
// clipboard, flips and turns of the stamp source, undo and redo with their texts and keys, and the status
// bar.
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPushButton>
#include <QTest>

#include "AlphaPlane.h"
#include "GuiTest.h"
#include "GuiTestWindow.h"
#include "QtHistory.h"

namespace {

using TSizes = std::array<int64_t, 4>;

void Click(QPushButton* Button) {
  QTest::mouseClick(Button, Qt::LeftButton);
}

// A move over the view with Buttons held.
void MoveMouse(QWidget* View, QPoint At, Qt::MouseButtons Buttons = Qt::LeftButton,
               Qt::KeyboardModifiers Keys = {}) {
  QMouseEvent event(QEvent::MouseMove, QPointF(At), QPointF(View->mapToGlobal(At)), Qt::NoButton, Buttons,
                    Keys);
  QApplication::sendEvent(View, &event);
}

// A drag with the left button along Path: pressed at its first point, moved through the others, released at
// the last.
void Drag(QWidget* View, std::vector<QPoint> Path, Qt::KeyboardModifiers Keys = {}) {
  QTest::mousePress(View, Qt::LeftButton, Keys, Path.front());
  for (size_t i = 1; i < Path.size(); ++i) MoveMouse(View, Path[i], Qt::LeftButton, Keys);
  QTest::mouseRelease(View, Qt::LeftButton, Keys, Path.back());
}

void Key(TOrvMain& Window, Qt::Key K, Qt::KeyboardModifiers Keys = {}) {
  QTest::keyClick(&Window, K, Keys);
}

// New with the sizes (chip width, chip height, columns, rows).
void NewSheet(TEditingFixture& Fixture, TSizes Sizes) {
  Fixture.Dialogs.SizeAnswers.push_back(Sizes);
  Click(Fixture.Window->Button1);
}

// Adds a material through the file dialog, chooses it and selects the chips from Press to Release.
void SelectMaterial(TEditingFixture& Fixture, const std::string& Path, QPoint Press, QPoint Release) {
  TOrvMain& w = *Fixture.Window;
  Fixture.Dialogs.FileAnswers.push_back(Path);
  Click(w.Button5);
  w.ComboBox1->setCurrentIndex(w.ComboBox1->count() - 1);
  emit w.ComboBox1->activated(w.ComboBox1->currentIndex());
  QTest::mousePress(w.Image1, Qt::LeftButton, {}, Press);
  QTest::mouseRelease(w.Image1, Qt::LeftButton, {}, Release);
}

TColor Edit(const TOrvMain& Window, int X, int Y) {
  return Window.Document->EditImage->GetPixel(X, Y);
}

// Whether the W x H pixels at (X, Y) of the edit image are the material's at (MX, MY) mapped by Source (which
// gives the material offset of an edit offset).
template <class F>
bool ShowsMaterial(const TOrvMain& Window, int X, int Y, int W, int H, int MX, int MY, F Source) {
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) {
      const auto [sx, sy] = Source(x, y);
      if (Edit(Window, X + x, Y + y) != Pattern(MX + sx, MY + sy)) return false;
    }
  return true;
}

bool ShowsMaterial(const TOrvMain& Window, int X, int Y, int W, int H, int MX, int MY) {
  return ShowsMaterial(Window, X, Y, W, H, MX, MY, [](int x, int y) { return std::pair{x, y}; });
}

bool AllWhite(const TOrvMain& Window, const TRect& Area) {
  for (int y = Area.Top; y < Area.Bottom; ++y)
    for (int x = Area.Left; x < Area.Right; ++x)
      if (Edit(Window, x, y) != clWhite) return false;
  return true;
}

// The edit view as a full redraw with the selection Shown draws it.
bool EditViewShows(const TOrvMain& Window, const TRect& Shown) {
  TBitmap expected;
  expected.Assign(Window.Document->EditImage.get());
  DrawChipGrid(expected, Window.Document->ChipWidth, Window.Document->ChipHeight,
               Rect(0, 0, expected.Width(), expected.Height()));
  if (Shown != TRect{}) DrawSelection(expected, Shown);
  return SamePixels(Window.Image2->Picture(), expected);
}

// The window's undo stack and the editor's history are at the same place.
bool HistoryInStep(const TOrvMain& Window) {
  return Window.History->CanUndo() == Window.Editor->CanUndo() &&
         Window.History->CanRedo() == Window.Editor->CanRedo() &&
         Window.History->IsClean() == Window.Editor->IsClean();
}

// A material of 64 x 64 pixels with a pattern that tells every pixel from the others, a sheet of 8 x 4 chips
// of 16 x 16 pixels, and the chip at (16, 0) of the material selected.
struct TSheetFixture : TEditingFixture {
  TOrvMain& W;
  TSheetFixture() : W(OpenEditing()) {
    NewSheet(*this, {16, 16, 8, 4});
    SelectMaterial(*this, WriteBmp(Path("m.bmp"), 64, 64, Pattern), {20, 5}, {20, 5});
  }
};

}  // namespace

class EditingTest : public QObject {
  Q_OBJECT

 private slots:
  void FirstRunKeepsTheDesignedClientArea() {
    const TSmallFont font;
    TEditingFixture f;
    TOrvMain& w = f.OpenEditing();
    QCOMPARE(w.windowTitle(), QString("Tilora"));
    QTRY_COMPARE(w.centralWidget()->size(), QSize(632, 446));
    QCOMPARE(w.Panel1->geometry(), QRect(0, 396, 632, 50));
    QStringList menus;
    for (QAction* menu : w.menuBar()->actions()) menus << menu->text();
    QCOMPARE(menus, QStringList({"ファイル(&F)", "編集(&E)", "表示(&V)", "ツール(&T)"}));
    QCOMPARE(w.Tool(), TEditTool::Stamp);
    QVERIFY(w.StampToolAction->isChecked());
    QCOMPARE(w.TransformLabel->text(), QString("向き: そのまま"));
    QVERIFY(!w.UndoAction->isEnabled() && !w.SaveAction->isEnabled() && !w.PasteAction->isEnabled());
    // Nothing is written before the window closes.
    QVERIFY(!QFileInfo::exists(f.PreferencesPath()));
  }

  void StampDragMakesOneStepPerDrag() {
    TSheetFixture f;
    TOrvMain& w = f.W;
    // Moves within a cell stamp nothing more; each new cell entered is stamped once.
    Drag(w.Image2, {{5, 5}, {10, 8}, {20, 5}, {40, 20}, {41, 21}});
    for (const QPoint cell : {QPoint(0, 0), QPoint(16, 0), QPoint(32, 16)})
      QVERIFY(ShowsMaterial(w, cell.x(), cell.y(), 16, 16, 16, 0));
    QVERIFY(AllWhite(w, Rect(32, 0, 128, 16)) && AllWhite(w, Rect(0, 16, 32, 64)));
    QCOMPARE(w.UndoAction->text(), QString("元に戻す: スタンプ"));
    QCOMPARE(w.History->CommandCount(), 2);  // New and the drag
    QVERIFY(EditViewShows(w, TRect{}));

    Key(w, Qt::Key_Z, Qt::ControlModifier);
    QVERIFY(AllWhite(w, Rect(0, 0, 128, 64)));
    QCOMPARE(w.UndoAction->text(), QString("元に戻す: 新規作成"));
    QCOMPARE(w.RedoAction->text(), QString("やり直し: スタンプ"));
    QVERIFY(EditViewShows(w, TRect{}));
    Key(w, Qt::Key_Y, Qt::ControlModifier);
    QVERIFY(ShowsMaterial(w, 32, 16, 16, 16, 16, 0));
    Key(w, Qt::Key_Z, Qt::ControlModifier);
    Key(w, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    QVERIFY(ShowsMaterial(w, 16, 0, 16, 16, 16, 0));
    QVERIFY(!w.RedoAction->isEnabled());
    QCOMPARE(w.RedoAction->text(), QString("やり直し"));

    // The right button stamps at its press (as designed) but does not drag; the next drag is a step of its
    // own.
    QTest::mousePress(w.Image2, Qt::RightButton, {}, {100, 40});
    MoveMouse(w.Image2, {120, 40}, Qt::RightButton);
    QTest::mouseRelease(w.Image2, Qt::RightButton, {}, {120, 40});
    QVERIFY(ShowsMaterial(w, 96, 32, 16, 16, 16, 0));
    QVERIFY(AllWhite(w, Rect(112, 32, 128, 48)));
    Drag(w.Image2, {{100, 60}, {120, 60}});
    QCOMPARE(w.History->CommandCount(), 4);
    QVERIFY(HistoryInStep(w));
    QVERIFY(f.Dialogs.Errors.empty());
  }

  // The tools see picture pixels at any zoom: a drag at 8x stamps and moves the chips it does at 1x.
  void ToolsOnAZoomedPane() {
    TSheetFixture f;
    TOrvMain& w = f.W;
    w.SetEditZoom(8);
    const auto at = [](int X, int Y) { return QPoint(8 * X + 3, 8 * Y + 3); };
    Drag(w.Image2, {at(5, 5), at(20, 5), at(20, 20)});
    QVERIFY(ShowsMaterial(w, 0, 0, 16, 16, 16, 0) && ShowsMaterial(w, 16, 16, 16, 16, 16, 0));
    QVERIFY(AllWhite(w, Rect(32, 0, 128, 16)));
    Key(w, Qt::Key_M);
    Drag(w.Image2, {at(5, 5), at(20, 20)});
    QCOMPARE(w.EditSelection, Rect(0, 0, 32, 32));
    Drag(w.Image2, {at(5, 5), at(40, 40)});
    QCOMPARE(w.EditSelection, Rect(32, 32, 64, 64));
    QVERIFY(ShowsMaterial(w, 32, 32, 16, 16, 16, 0) && AllWhite(w, Rect(0, 0, 32, 32)));
    QVERIFY(EditViewShows(w, Rect(32, 32, 64, 64)));
    QVERIFY(f.Dialogs.Errors.empty());
  }

  void EraseClearsChipsToWhiteOrTransparent() {
    TSheetFixture f;
    TOrvMain& w = f.W;
    Drag(w.Image2, {{5, 5}, {20, 5}, {40, 5}, {60, 5}});  // four stamped cells
    Key(w, Qt::Key_E);
    QCOMPARE(w.Tool(), TEditTool::Erase);
    QVERIFY(w.EraseToolAction->isChecked());
    Drag(w.Image2, {{18, 2}, {33, 2}});
    QVERIFY(ShowsMaterial(w, 0, 0, 16, 16, 16, 0) && ShowsMaterial(w, 48, 0, 16, 16, 16, 0));
    QVERIFY(AllWhite(w, Rect(16, 0, 48, 16)));
    QCOMPARE(w.UndoAction->text(), QString("元に戻す: 消去"));
    Key(w, Qt::Key_Z, Qt::ControlModifier);
    QVERIFY(ShowsMaterial(w, 16, 0, 16, 16, 16, 0) && ShowsMaterial(w, 32, 0, 16, 16, 16, 0));

    // Delete clears the selected chips.
    Key(w, Qt::Key_M);
    Drag(w.Image2, {{5, 5}, {50, 5}});
    QCOMPARE(w.EditSelection, Rect(0, 0, 64, 16));
    Key(w, Qt::Key_Delete);
    QVERIFY(AllWhite(w, Rect(0, 0, 64, 16)));
    QVERIFY(EditViewShows(w, Rect(0, 0, 64, 16)));

    // On a sheet with alpha the chips become transparent.
    f.Dialogs.SaveAnswers.push_back(TSaveChangesAnswer::Discard);
    QImage withAlpha(32, 16, QImage::Format_ARGB32);
    withAlpha.fill(qRgba(10, 20, 30, 255));
    withAlpha.setPixel(0, 0, qRgba(0, 0, 0, 0));
    QVERIFY(withAlpha.save(QString::fromStdString(f.Path("alpha.png"))));
    f.Dialogs.FileAnswers.push_back(f.Path("alpha.png"));
    f.Dialogs.SizeAnswers.push_back(TSizes{16, 16, 1, 1});
    Click(w.Button2);
    QVERIFY(IsAlphaPlaneOf(w.Document->EditAlpha, *w.Document->EditImage));
    Key(w, Qt::Key_E);
    QTest::mouseClick(w.Image2, Qt::LeftButton, {}, {20, 5});
    QCOMPARE(w.Document->EditAlpha.ScanLine(5)[20], uint8_t{255});
    QCOMPARE(w.Document->EditAlpha.ScanLine(5)[5], uint8_t{0});
    QVERIFY(HistoryInStep(w));
    QVERIFY(f.Dialogs.Errors.empty());
  }

  void SelectionMovesAndCopiesByDrag() {
    TSheetFixture f;
    TOrvMain& w = f.W;
    Drag(w.Image2, {{5, 5}, {20, 5}, {20, 20}});  // (0,0), (16,0), (16,16)
    Key(w, Qt::Key_M);
    QCOMPARE(w.Tool(), TEditTool::Select);
    // The hatched selection follows the drag.
    QTest::mousePress(w.Image2, Qt::LeftButton, {}, {5, 5});
    MoveMouse(w.Image2, {25, 25});
    QCOMPARE(w.EditSelection, Rect(0, 0, 32, 32));
    QVERIFY(EditViewShows(w, Rect(0, 0, 32, 32)));
    QCOMPARE(w.SelectionLabel->text(), QString("選択 2×2"));
    QTest::mouseRelease(w.Image2, Qt::LeftButton, {}, {25, 25});

    // A drag inside moves it by whole chips; the hatch shows where it goes; the cells it leaves are cleared.
    QTest::mousePress(w.Image2, Qt::LeftButton, {}, {20, 20});
    MoveMouse(w.Image2, {60, 30});
    QVERIFY(EditViewShows(w, Rect(32, 0, 64, 32)));
    QVERIFY(ShowsMaterial(w, 0, 0, 16, 16, 16, 0));  // nothing moved yet
    QTest::mouseRelease(w.Image2, Qt::LeftButton, {}, {60, 30});
    QVERIFY(ShowsMaterial(w, 32, 0, 16, 16, 16, 0) && ShowsMaterial(w, 48, 16, 16, 16, 16, 0));
    QVERIFY(AllWhite(w, Rect(0, 0, 32, 32)) && AllWhite(w, Rect(32, 16, 48, 32)));
    QCOMPARE(w.EditSelection, Rect(32, 0, 64, 32));
    QCOMPARE(w.UndoAction->text(), QString("元に戻す: 移動"));
    QVERIFY(EditViewShows(w, Rect(32, 0, 64, 32)));

    // Ctrl + drag copies; the part of the copy beyond the sheet is dropped.
    Drag(w.Image2, {{40, 5}, {120, 40}}, Qt::ControlModifier);
    QCOMPARE(w.UndoAction->text(), QString("元に戻す: 複製"));
    QVERIFY(ShowsMaterial(w, 32, 0, 16, 16, 16, 0));
    QVERIFY(ShowsMaterial(w, 112, 32, 16, 16, 16, 0) && AllWhite(w, Rect(112, 48, 128, 64)));
    QCOMPARE(w.EditSelection, Rect(112, 32, 128, 64));
    Key(w, Qt::Key_Z, Qt::ControlModifier);
    QVERIFY(AllWhite(w, Rect(112, 32, 128, 64)));

    // A click in the selection without moving selects that chip; Escape empties the selection.
    QTest::mouseClick(w.Image2, Qt::LeftButton, {}, {116, 40});
    QCOMPARE(w.EditSelection, Rect(112, 32, 128, 48));
    Key(w, Qt::Key_Escape);
    QCOMPARE(w.EditSelection, TRect{});
    QVERIFY(EditViewShows(w, TRect{}));
    QVERIFY(!w.CutAction->isEnabled());
    Key(w, Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(w.EditSelection, Rect(0, 0, 128, 64));
    QVERIFY(HistoryInStep(w));
    QVERIFY(f.Dialogs.Errors.empty());
  }

  void ClipboardCarriesThePixelsAsAnImage() {
    TSheetFixture f;
    TOrvMain& w = f.W;
    QApplication::clipboard()->clear();
    Drag(w.Image2, {{5, 5}, {20, 5}});
    Key(w, Qt::Key_M);
    Drag(w.Image2, {{5, 5}, {20, 5}});
    Key(w, Qt::Key_C, Qt::ControlModifier);
    const QImage copied = QApplication::clipboard()->image();
    QCOMPARE(copied.size(), QSize(32, 16));
    for (int y = 0; y < 16; ++y)
      for (int x = 0; x < 32; ++x)
        QCOMPARE(RGB(qRed(copied.pixel(x, y)), qGreen(copied.pixel(x, y)), qBlue(copied.pixel(x, y))),
                 Edit(w, x, y));
    QTRY_VERIFY(w.PasteAction->isEnabled());

    // Paste goes to the selection's top-left and selects the chips it covers.
    Drag(w.Image2, {{70, 40}, {70, 40}});
    Key(w, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(w.UndoAction->text(), QString("元に戻す: 貼り付け"));
    QVERIFY(ShowsMaterial(w, 64, 32, 16, 16, 16, 0) && ShowsMaterial(w, 80, 32, 16, 16, 16, 0));
    QCOMPARE(w.EditSelection, Rect(64, 32, 96, 48));

    // Cut copies and clears.
    Key(w, Qt::Key_X, Qt::ControlModifier);
    QCOMPARE(w.UndoAction->text(), QString("元に戻す: 切り取り"));
    QVERIFY(AllWhite(w, Rect(64, 32, 96, 48)));
    QCOMPARE(QApplication::clipboard()->image().size(), QSize(32, 16));

    // An image of another program, of any size, with a translucent pixel: it comes with its alpha.
    QImage other(20, 10, QImage::Format_ARGB32);
    other.fill(qRgba(200, 100, 50, 255));
    other.setPixel(3, 4, qRgba(1, 2, 3, 128));
    QApplication::clipboard()->setImage(other);
    Key(w, Qt::Key_Escape);
    Key(w, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(Edit(w, 19, 9), RGB(200, 100, 50));
    QCOMPARE(Edit(w, 20, 9), Pattern(16 + 4, 9));  // the stamp beside it stays
    QCOMPARE(Edit(w, 3, 4), RGB(1, 2, 3));
    QVERIFY(IsAlphaPlaneOf(w.Document->EditAlpha, *w.Document->EditImage));
    QCOMPARE(w.Document->EditAlpha.ScanLine(4)[3], uint8_t{255 - 128});
    QCOMPARE(w.EditSelection, Rect(0, 0, 32, 16));
    QVERIFY(HistoryInStep(w));
    QVERIFY(f.Dialogs.Errors.empty());
  }

  // The stamp source flipped and turned by keys: the stamped pixels are the material's, mapped.
  void FlipsAndTurnsOfTheStampSource_data() {
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<int>("transform");
    QTest::newRow("none") << ""
                          << "そのまま" << int(TChipTransform::Identity);
    QTest::newRow("H") << "H"
                       << "左右反転" << int(TChipTransform::FlipHorizontal);
    QTest::newRow("V") << "V"
                       << "上下反転" << int(TChipTransform::FlipVertical);
    QTest::newRow("HV") << "HV"
                        << "180°回転" << int(TChipTransform::Rotate180);
    QTest::newRow("R") << "R"
                       << "右に90°回転" << int(TChipTransform::Rotate90);
    QTest::newRow("RRR") << "RRR"
                         << "左に90°回転" << int(TChipTransform::Rotate270);
    QTest::newRow("HR") << "HR"
                        << "左右反転して右に90°回転" << int(TChipTransform::AntiTranspose);
    QTest::newRow("HRRR") << "HRRR"
                          << "左右反転して左に90°回転" << int(TChipTransform::Transpose);
    QTest::newRow("HH") << "HH"
                        << "そのまま" << int(TChipTransform::Identity);
  }
  void FlipsAndTurnsOfTheStampSource() {
    QFETCH(QString, keys);
    QFETCH(QString, shown);
    QFETCH(int, transform);
    TSheetFixture f;
    TOrvMain& w = f.W;
    // Two chips across: a quarter turn stamps them two chips down.
    QTest::mousePress(w.Image1, Qt::LeftButton, {}, {20, 5});
    QTest::mouseRelease(w.Image1, Qt::LeftButton, {}, {40, 5});
    for (const QChar key : keys) Key(w, static_cast<Qt::Key>(key.unicode()));
    QCOMPARE(int(w.Transform()), transform);
    QCOMPARE(w.TransformLabel->text(), "向き: " + shown);
    QTest::mouseClick(w.Image2, Qt::LeftButton, {}, {5, 5});
    const auto t = static_cast<TChipTransform>(transform);
    const bool turned = t == TChipTransform::Rotate90 || t == TChipTransform::Rotate270 ||
                        t == TChipTransform::Transpose || t == TChipTransform::AntiTranspose;
    const int width = turned ? 16 : 32, height = turned ? 32 : 16;
    // The material offset of each stamped pixel, for a 32 x 16 source.
    const auto source = [t](int x, int y) -> std::pair<int, int> {
      switch (t) {
        case TChipTransform::FlipHorizontal:
          return {31 - x, y};
        case TChipTransform::FlipVertical:
          return {x, 15 - y};
        case TChipTransform::Rotate180:
          return {31 - x, 15 - y};
        case TChipTransform::Rotate90:
          return {y, 15 - x};
        case TChipTransform::Rotate270:
          return {31 - y, x};
        case TChipTransform::Transpose:
          return {y, x};
        case TChipTransform::AntiTranspose:
          return {31 - y, 15 - x};
        default:
          return {x, y};
      }
    };
    QVERIFY(ShowsMaterial(w, 0, 0, width, height, 16, 0, source));
    QVERIFY(AllWhite(w, turned ? Rect(16, 0, 128, 32) : Rect(0, 16, 32, 64)));
    // A new selection on the material is stamped as it is.
    QTest::mousePress(w.Image1, Qt::LeftButton, {}, {20, 5});
    QTest::mouseRelease(w.Image1, Qt::LeftButton, {}, {20, 5});
    QCOMPARE(w.Transform(), TChipTransform::Identity);
    QVERIFY(f.Dialogs.Errors.empty());
  }

  void TurnsOnlyWhatStaysOnTheChipGrid() {
    TSheetFixture f;
    TOrvMain& w = f.W;
    NewSheet(f, {24, 32, 4, 2});
    QTest::mousePress(w.Image1, Qt::LeftButton, {}, {5, 5});
    QTest::mouseRelease(w.Image1, Qt::LeftButton, {}, {5, 5});  // one 24 x 32 chip
    QVERIFY(!w.RotateAction->isEnabled());
    Key(w, Qt::Key_R);
    QCOMPARE(w.Transform(), TChipTransform::Identity);
    Key(w, Qt::Key_H);
    QCOMPARE(w.Transform(), TChipTransform::FlipHorizontal);
    // Four across and three down: 96 x 96 pixels, square.
    QTest::mousePress(w.Image1, Qt::LeftButton, {}, {5, 5});
    QTest::mouseRelease(w.Image1, Qt::LeftButton, {}, {80, 70});
    QVERIFY(w.RotateAction->isEnabled());
    w.RotateAction->trigger();  // the tool bar's button
    QCOMPARE(w.Transform(), TChipTransform::Rotate90);
  }

  void TheSheetIsItsOwnMaterial() {
    TSheetFixture f;
    TOrvMain& w = f.W;
    QTest::mouseClick(w.Image2, Qt::LeftButton, {}, {5, 5});
    Key(w, Qt::Key_M);
    Drag(w.Image2, {{5, 5}, {20, 5}});  // the stamped chip and a white one
    w.UseAsStampAction->trigger();
    QCOMPARE(w.Tool(), TEditTool::Stamp);
    // Changes of the sheet after it was taken do not change the stamp.
    w.Document->EditImage->Canvas().SetPixel(1, 1, RGB(9, 9, 9));
    Key(w, Qt::Key_H);
    QTest::mouseClick(w.Image2, Qt::LeftButton, {}, {70, 40});
    QVERIFY(AllWhite(w, Rect(64, 32, 80, 48)));
    QVERIFY(ShowsMaterial(w, 80, 32, 16, 16, 16, 0, [](int x, int y) { return std::pair{15 - x, y}; }));
    QVERIFY(f.Dialogs.Errors.empty());
  }

  void DesignedCommandsAreUndoable() {
    TSheetFixture f;
    TOrvMain& w = f.W;
    QTest::mouseClick(w.Image2, Qt::LeftButton, {}, {5, 5});
    f.Dialogs.SaveAnswers = {TSaveChangesAnswer::Discard, TSaveChangesAnswer::Discard};
    NewSheet(f, {32, 32, 2, 1});
    QCOMPARE(w.UndoAction->text(), QString("元に戻す: 新規作成"));
    QCOMPARE(w.Document->EditImage->Width(), 64);
    f.Dialogs.SizeAnswers.push_back(TSizes{8, 8, 1, 1});
    Click(w.Button4);
    QCOMPARE(w.UndoAction->text(), QString("元に戻す: チップサイズの変更"));
    f.Dialogs.FileAnswers.push_back(WriteBmp(f.Path("e.bmp"), 40, 24, Pattern));
    f.Dialogs.SizeAnswers.push_back(TSizes{10, 12, 1, 1});
    Click(w.Button2);
    QCOMPARE(w.UndoAction->text(), QString("元に戻す: 画像の読み込み"));

    w.UndoAction->trigger();
    QCOMPARE(w.Document->ChipWidth, 8);
    QCOMPARE(w.Document->EditImage->Width(), 64);
    w.UndoAction->trigger();
    QCOMPARE(w.Document->ChipWidth, 32);
    QCOMPARE(w.Image1->Picture().GetPixel(31, 0), clBlack);  // the material's grid follows
    w.UndoAction->trigger();
    QCOMPARE(w.Document->ChipWidth, 16);
    QCOMPARE(w.Document->EditImage->Width(), 128);
    QVERIFY(ShowsMaterial(w, 0, 0, 16, 16, 16, 0));
    QCOMPARE(w.Image2->size(), QSize(128, 64));
    QVERIFY(EditViewShows(w, TRect{}));
    w.RedoAction->trigger();
    w.RedoAction->trigger();
    w.RedoAction->trigger();
    QCOMPARE(w.Document->EditImage->Width(), 40);
    QCOMPARE(w.Document->ChipHeight, 12);
    QVERIFY(HistoryInStep(w));
    QVERIFY(f.Dialogs.Errors.empty());
  }

  // The editor drops its oldest steps when they pass its memory bound; the undo stack keeps in step.
  void UndoStackFollowsStepsDroppedForMemory() {
    TSheetFixture f;
    TOrvMain& w = f.W;
    w.ResetHistory(size_t{64} << 10);
    QVERIFY(!w.UndoAction->isEnabled());
    for (int i = 0; i < 300; ++i) {
      const int cell = i % 32;
      QTest::mouseClick(w.Image2, Qt::LeftButton, {}, {cell % 8 * 16 + 1, cell / 8 * 16 + 1});
      // The sheet is cleared whenever it is full, so that every stamp changes pixels.
      if (i % 32 == 31) {
        Key(w, Qt::Key_A, Qt::ControlModifier);
        Key(w, Qt::Key_Delete);
        Key(w, Qt::Key_Escape);
      }
    }
    QVERIFY(w.Editor->DroppedSteps() > 0);
    QVERIFY(w.History->CommandCount() < 300);
    size_t undone = 0;
    while (w.UndoAction->isEnabled()) {
      QVERIFY(w.UndoAction->text().startsWith("元に戻す: "));
      w.UndoAction->trigger();
      ++undone;
      QVERIFY(HistoryInStep(w));
    }
    QCOMPARE(undone, w.Editor->StepCount());
    QVERIFY(!w.Editor->CanUndo());
    while (w.RedoAction->isEnabled()) w.RedoAction->trigger();
    QVERIFY(!w.Editor->CanRedo());
    QVERIFY(f.Dialogs.Errors.empty());
  }

  void StatusBarFollowsTheCursorAndTheSheet() {
    TSheetFixture f;
    TOrvMain& w = f.W;
    MoveMouse(w.Image2, {37, 21}, Qt::NoButton);
    QCOMPARE(w.PositionLabel->text(), QString("37, 21　チップ 2, 1 #10"));
    MoveMouse(w.Image1, {63, 63}, Qt::NoButton);
    QCOMPARE(w.PositionLabel->text(), QString("63, 63　チップ 3, 3 #15"));
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(w.Image1, &leave);
    QCOMPARE(w.PositionLabel->text(), QString());
    QCOMPARE(w.ZoomLabel->text(), QString("100%"));
    // Zoomed, the position is still the picture's, and the zoom shown is that of the pane last used.
    w.SetEditZoom(8);
    MoveMouse(w.Image2, {8 * 37 + 7, 8 * 21}, Qt::NoButton);
    QCOMPARE(w.ZoomLabel->text(), QString("800%"));
    QCOMPARE(w.PositionLabel->text(), QString("37, 21　チップ 2, 1 #10"));
    MoveMouse(w.Image1, {3, 3}, Qt::NoButton);
    QCOMPARE(w.ZoomLabel->text(), QString("100%"));
    w.SetEditZoom(1);
    QCOMPARE(w.SelectionLabel->text(), QString("選択 1×1"));  // the material's
    QCOMPARE(w.FileLabel->text(), QString("無題"));
    const QString white = w.ColorBudgetLabel->text();
    QCOMPARE(white, QString::fromStdString(ColorBudgetText(*w.Document, {})));
    QVERIFY(!white.isEmpty());
    QTest::mouseClick(w.Image2, Qt::LeftButton, {}, {5, 5});
    QCOMPARE(w.FileLabel->text(), QString("無題 *"));
    QCOMPARE(w.ColorBudgetLabel->text(), QString::fromStdString(ColorBudgetText(*w.Document, {})));
    QVERIFY(w.ColorBudgetLabel->text() != white);
    Key(w, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(w.ColorBudgetLabel->text(), white);
    QCOMPARE(w.FileLabel->text(), QString("無題"));

    // A partial chip has no number.
    f.Dialogs.FileAnswers.push_back(WriteBmp(f.Path("e.bmp"), 40, 24, Pattern));
    f.Dialogs.SizeAnswers.push_back(TSizes{16, 16, 1, 1});
    Click(w.Button2);
    MoveMouse(w.Image2, {39, 5}, Qt::NoButton);
    QCOMPARE(w.PositionLabel->text(), QString("39, 5　チップ 2, 0"));
    QCOMPARE(w.FileLabel->text(), QString("e.bmp"));
    QVERIFY(f.Dialogs.Errors.empty());
  }
};

TILORA_GUI_TEST(EditingTest, "Editing");

#include "GuiEditing_test.moc"
