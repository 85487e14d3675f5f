// The zoomed panes in the window: Ctrl + wheel, the keys and the View menu, clicks and drags at 8x, the
// selection shown while dragging, what is painted and what a change repaints. The same class runs again with
// QT_SCALE_FACTOR=2 and 1.5 (device pixel ratios of 2 and 1.5): every expectation is in view units and device
// pixels as the ratio makes them.
#include <QAbstractScrollArea>
#include <QAction>
#include <QComboBox>
#include <QMenu>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QWheelEvent>
#include <cmath>

#include "GuiTest.h"
#include "GuiTestWindow.h"

namespace {

using TSizes = std::array<int64_t, 4>;

// A window with a 128 x 128 material (16 x 16 chips) chosen and a New edit image of Columns x Rows chips.
TOrvMain& OpenWithSheet(TWindowFixture& Fixture, int Columns, int Rows) {
  TOrvMain& w = Fixture.Open();
  Fixture.Dialogs.FileAnswers.push_back(WriteBmp(Fixture.Path("m.bmp"), 128, 128, Pattern));
  QTest::mouseClick(w.Button5, Qt::LeftButton);
  w.ComboBox1->setCurrentIndex(0);
  emit w.ComboBox1->activated(0);
  Fixture.Dialogs.SizeAnswers.push_back(TSizes{16, 16, Columns, Rows});
  QTest::mouseClick(w.Button1, Qt::LeftButton);
  return w;
}

void Mouse(QWidget* Target, QEvent::Type Type, QPoint At, Qt::MouseButton Button, Qt::MouseButtons Held) {
  QMouseEvent event(Type, At, Target->mapToGlobal(At), Button, Held, Qt::NoModifier);
  QApplication::sendEvent(Target, &event);
}

void Wheel(QWidget* Target, QPointF At, int Turn, Qt::KeyboardModifiers Keys = Qt::ControlModifier) {
  QWheelEvent event(At, Target->mapToGlobal(At), QPoint(), QPoint(0, Turn), Qt::NoButton, Keys,
                    Qt::NoScrollPhase, false);
  QApplication::sendEvent(Target, &event);
}

// The view position (view units) of picture position P at 8x, where a picture pixel is 8 view units at the
// ratios the tests run at (16 device pixels at ratio 2, 12 at ratio 1.5).
int ViewAt(double P) {
  return static_cast<int>(std::floor(P * 8));
}

// The first whole view position at or after picture position P (inside pixel P for fractions of a pixel up to
// 1 - ratio / scale).
QPoint ViewAt(const TImageView* View, QPointF P) {
  const TPaneGeometry g = View->Geometry();
  return QPoint(static_cast<int>(std::ceil(g.ImageToViewCoord(P.x()) - 1e-9)),
                static_cast<int>(std::ceil(g.ImageToViewCoord(P.y()) - 1e-9)));
}

// The picture position under a point of the scroll area's viewport.
QPointF PictureUnder(const TImageView* View, QPointF InViewport) {
  const TPaneGeometry g = View->Geometry();
  return {g.ViewToImageCoord(InViewport.x() - View->x()), g.ViewToImageCoord(InViewport.y() - View->y())};
}

QWidget* ViewportOf(const TImageView* View) {
  return View->parentWidget();
}

// A point of the view inside the visible part of its scroll area.
QPoint VisiblePoint(const TImageView* View) {
  return View->mapFrom(ViewportOf(View), QPoint(5, 5));
}

void ScrollToOrigin(const TImageView* View) {
  auto* area = qobject_cast<QAbstractScrollArea*>(ViewportOf(View)->parentWidget());
  area->horizontalScrollBar()->setValue(0);
  area->verticalScrollBar()->setValue(0);
}

// Records the regions the view is asked to paint.
class TPaintLog : public QObject {
 public:
  explicit TPaintLog(QWidget* View) { View->installEventFilter(this); }
  QRegion Painted;
  bool eventFilter(QObject*, QEvent* Event) override {
    if (Event->type() == QEvent::Paint) Painted += static_cast<QPaintEvent*>(Event)->region();
    return false;
  }
};

void Settle() {
  QCoreApplication::sendPostedEvents();
  QCoreApplication::processEvents();
}

// The device pixels of the view as painted.
QImage Painted(TImageView* View) {
  QImage image = View->grab().toImage().convertToFormat(QImage::Format_RGB32);
  image.setDevicePixelRatio(1);
  return image;
}

TColor ToColor(const QColor& C) {
  return RGB(static_cast<uint8_t>(C.red()), static_cast<uint8_t>(C.green()), static_cast<uint8_t>(C.blue()));
}

// The pane rendered by the core for the device pixels of the view, for comparing with what the window paints.
QImage Rendered(TImageView* View, QSize DeviceSize) {
  const TPaneGeometry g = View->Geometry();
  const TRect area = Rect(0, 0, DeviceSize.width(), DeviceSize.height());
  QImage image(area.Width(), area.Height(), QImage::Format_RGB32);
  RenderPane(View->Pane(),
             TPaneRaster{std::span<uint32_t>(reinterpret_cast<uint32_t*>(image.bits()),
                                             static_cast<size_t>(image.sizeInBytes() / 4)),
                         image.bytesPerLine() / 4, area, g.Scale},
             ToColor(View->palette().color(View->backgroundRole())));
  return image;
}

}  // namespace

class ZoomTest : public QObject {
  Q_OBJECT

 private slots:
  void CtrlWheelKeepsThePictureUnderTheCursor() {
    TWindowFixture f;
    TOrvMain& w = OpenWithSheet(f, 32, 32);  // 512 x 512, larger than the pane
    TImageView* view = w.Image2;
    QWidget* viewport = ViewportOf(view);
    const QPointF at(viewport->width() / 2 + 0.5, viewport->height() / 2 + 0.5);
    QSignalSpy zooms(view, &TImageView::ZoomChanged);
    const std::pair<int, int> turns[] = {{120, 2},  {120, 3},  {120, 4},  {120, 6},  {120, 8},
                                         {120, 12}, {120, 16}, {120, 16}, {-120, 12}};
    for (const auto& [turn, expected] : turns) {
      const QPointF before = PictureUnder(view, at);
      Wheel(view, view->mapFrom(viewport, at), turn);
      QCOMPARE(view->Zoom(), expected);
      // Kept to the whole view unit the scroll bars can hold.
      const QPointF after = PictureUnder(view, at);
      const double slack = view->Geometry().ViewToImageCoord(0.5) + 1e-9;
      QVERIFY2(std::abs(after.x() - before.x()) <= slack && std::abs(after.y() - before.y()) <= slack,
               qPrintable(
                   QString("%1,%2 -> %3,%4").arg(before.x()).arg(before.y()).arg(after.x()).arg(after.y())));
    }
    QCOMPARE(zooms.count(), 8);  // the turn past 16 changes nothing
    // Five notches at once from 1x: the picture pixel under the cursor stays.
    w.SetEditZoom(1);
    const TPoint under = view->Geometry().ViewToImage(at.x() - view->x(), at.y() - view->y());
    Wheel(view, view->mapFrom(viewport, at), 5 * 120);
    QCOMPARE(view->Zoom(), 8);
    const TPoint still = view->Geometry().ViewToImage(at.x() - view->x(), at.y() - view->y());
    QCOMPARE(still.X, under.X);
    QCOMPARE(still.Y, under.Y);
    // Turns shorter than a notch add up; without Ctrl the wheel scrolls.
    Wheel(view, view->mapFrom(viewport, at), 60);
    QCOMPARE(view->Zoom(), 8);
    Wheel(view, view->mapFrom(viewport, at), 60);
    QCOMPARE(view->Zoom(), 12);
    QWheelEvent plain(view->mapFrom(viewport, at), view->mapToGlobal(at), QPoint(), QPoint(0, -120),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(view, &plain);
    QVERIFY(!plain.isAccepted());  // left to the scroll area, which scrolls
    auto* bar = qobject_cast<QAbstractScrollArea*>(viewport->parentWidget())->verticalScrollBar();
    const int scrolled = bar->value();
    Wheel(viewport, at, -120, Qt::NoModifier);
    QCOMPARE(view->Zoom(), 12);
    QVERIFY(bar->value() > scrolled);
    QVERIFY(f.Dialogs.Errors.empty());
  }

  void CtrlWheelBesideASmallPicture() {
    TWindowFixture f;
    TOrvMain& w = OpenWithSheet(f, 2, 2);
    QWidget* viewport = ViewportOf(w.Image2);
    QVERIFY(viewport->width() > w.Image2->width() + 20);
    Wheel(viewport, QPointF(w.Image2->width() + 10, 5), 120);
    QCOMPARE(w.EditZoom(), 2);
    const int side = static_cast<int>(w.Image2->Geometry().ViewLength(32));
    QCOMPARE(w.Image2->size(), QSize(side, side));
  }

  void KeysAndMenuZoomThePaneLastUsed() {
    TWindowFixture f;
    TOrvMain& w = OpenWithSheet(f, 16, 16);
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    QCOMPARE(w.ViewMenu->title(), QString::fromUtf8("表示(&V)"));
    const std::pair<QAction*, const char*> texts[] = {
        {w.ZoomInAction, "拡大"}, {w.ZoomOutAction, "縮小"}, {w.ActualSizeAction, "等倍"}};
    for (const auto& [action, text] : texts) {
      QCOMPARE(action->text(), QString::fromUtf8(text));
      QVERIFY(w.ViewMenu->actions().contains(action));
    }
    // At first the edit pane; then the pane the mouse moved over.
    QCOMPARE(w.ZoomPane(), w.Image2);
    QTest::keyClick(&w, Qt::Key_Plus, Qt::ControlModifier);
    QCOMPARE(w.EditZoom(), 2);
    QTest::mouseMove(w.Image1, VisiblePoint(w.Image1));
    QCOMPARE(w.ZoomPane(), w.Image1);
    struct Step {
      Qt::Key Key;
      int Material, Edit;
    } steps[] = {{Qt::Key_Plus, 2, 2},  {Qt::Key_Equal, 3, 2}, {Qt::Key_Plus, 4, 2},
                 {Qt::Key_Minus, 3, 2}, {Qt::Key_0, 1, 2},     {Qt::Key_Minus, 1, 2}};
    for (const Step& step : steps) {
      QTest::keyClick(&w, step.Key, Qt::ControlModifier);
      QCOMPARE(w.MaterialZoom(), step.Material);
      QCOMPARE(w.EditZoom(), step.Edit);
    }
    QTest::mouseMove(w.Image2, VisiblePoint(w.Image2));
    for (int i = 0; i < 10; ++i) w.ZoomInAction->trigger();
    QCOMPARE(w.EditZoom(), 16);
    QCOMPARE(w.MaterialZoom(), 1);
    w.ActualSizeAction->trigger();
    QCOMPARE(w.EditZoom(), 1);
    // The setters hold the zoom at 1 to 16.
    w.SetMaterialZoom(40);
    QCOMPARE(w.MaterialZoom(), 16);
    w.SetMaterialZoom(0);
    QCOMPARE(w.MaterialZoom(), 1);
    // A material pane hidden since its last use leaves the keys to the edit pane.
    QTest::mouseMove(w.Image1, VisiblePoint(w.Image1));
    f.Dialogs.WarningAnswers.push_back(true);
    QTest::mouseClick(w.Button6, Qt::LeftButton);
    QVERIFY(!w.Image1->isVisible());
    QTest::keyClick(&w, Qt::Key_Plus, Qt::ControlModifier);
    QCOMPARE(w.EditZoom(), 2);
    QVERIFY(f.Dialogs.Errors.empty());
  }

  // The same clicks and drags at 1x and at 8x, each position anywhere inside its picture pixel, give the same
  // selection and stamps: the chip rules see picture pixels, negative ones included.
  void ClicksAtEightTimesReachTheSameChips() {
    TWindowFixture plain, zoomed;
    TOrvMain& a = OpenWithSheet(plain, 32, 32);
    TOrvMain& b = OpenWithSheet(zoomed, 32, 32);
    b.SetMaterialZoom(8);
    b.SetEditZoom(8);
    // In the 8x window anywhere inside the pixel; in the 1x window at its first view position.
    const auto at8 = [&](QPoint P, int Offset) {
      return ViewAt(b.Image1, QPointF(P.x() + Offset / 8.0, P.y() + (7 - Offset) / 8.0));
    };
    const auto at1 = [&](QPoint P) { return ViewAt(a.Image1, P); };
    const std::pair<QPoint, QPoint> drags[] = {
        {{40, 10}, {5, 80}}, {{100, 100}, {-40, -1}}, {{250, 3}, {250, 3}}};
    const QPoint stamps[] = {{500, 40}, {1, 1}, {511, 511}};  // (0, 0) would be QTest's "the centre"
    for (size_t i = 0; i < std::size(drags); ++i) {
      const int offset = static_cast<int>(i * 3 % 8);
      QTest::mousePress(a.Image1, Qt::LeftButton, {}, at1(drags[i].first));
      QTest::mouseRelease(a.Image1, Qt::LeftButton, {}, at1(drags[i].second));
      QTest::mousePress(b.Image1, Qt::LeftButton, {}, at8(drags[i].first, offset));
      QTest::mouseRelease(b.Image1, Qt::LeftButton, {}, at8(drags[i].second, offset));
      QCOMPARE(b.Selection, a.Selection);
      QTest::mouseClick(a.Image2, Qt::LeftButton, {}, at1(stamps[i]));
      QTest::mouseClick(b.Image2, Qt::LeftButton, {}, at8(stamps[i], offset));
      QVERIFY(SamePixels(*b.Document->EditImage, *a.Document->EditImage));
    }
    QCOMPARE(b.Selection, Rect(240, 0, 256, 16));
    QVERIFY(plain.Dialogs.Errors.empty() && zoomed.Dialogs.Errors.empty());
  }

  void SelectionShowsWhileDragging() {
    TWindowFixture f;
    TOrvMain& w = OpenWithSheet(f, 4, 4);
    w.SetMaterialZoom(8);
    TImageView* view = w.Image1;
    Mouse(view, QEvent::MouseButtonPress, QPoint(ViewAt(40), ViewAt(10)), Qt::LeftButton, Qt::LeftButton);
    // The press shows its chip; the designed selection is the collapsed rectangle until the release.
    QCOMPARE(view->Pane().Selection, std::optional<TRect>(Rect(32, 0, 48, 16)));
    QCOMPARE(w.Selection, Rect(32, 0, 32, 0));
    Mouse(view, QEvent::MouseMove, QPoint(ViewAt(5.5), ViewAt(80)), Qt::NoButton, Qt::LeftButton);
    QCOMPARE(view->Pane().Selection, std::optional<TRect>(Rect(0, 0, 48, 96)));
    QCOMPARE(w.Selection, Rect(32, 0, 32, 0));
    Settle();
    // Painted hatched, the outline one device pixel wide on the outer device pixels.
    const QImage painted = Painted(view);
    const int s = view->Geometry().Scale;
    QCOMPARE(painted.pixel(48 * s - 1, 40 * s), qRgb(0, 0, 0));
    QCOMPARE(painted.pixel(48 * s, 40 * s), painted.pixel(48 * s + 1, 40 * s));  // outside: the material
    QCOMPARE(painted, Rendered(view, painted.size()));
    // Moves with the right button held, or none, leave it; the release takes it over.
    Mouse(view, QEvent::MouseMove, QPoint(ViewAt(200), ViewAt(200)), Qt::NoButton,
          Qt::LeftButton | Qt::RightButton);
    Mouse(view, QEvent::MouseMove, QPoint(ViewAt(220), ViewAt(200)), Qt::NoButton, Qt::NoButton);
    QCOMPARE(view->Pane().Selection, std::optional<TRect>(Rect(0, 0, 48, 96)));
    Mouse(view, QEvent::MouseMove, QPoint(ViewAt(70), ViewAt(20)), Qt::NoButton, Qt::LeftButton);
    Mouse(view, QEvent::MouseButtonRelease, QPoint(ViewAt(70), ViewAt(20)), Qt::LeftButton, Qt::NoButton);
    QCOMPARE(w.Selection, Rect(32, 0, 80, 32));
    QCOMPARE(view->Pane().Selection, std::optional<TRect>(w.Selection));
    // A drag ended by the right button's release is ignored and shows the selection as it stands.
    Mouse(view, QEvent::MouseButtonPress, QPoint(ViewAt(100), ViewAt(100)), Qt::LeftButton, Qt::LeftButton);
    Mouse(view, QEvent::MouseMove, QPoint(ViewAt(150), ViewAt(150)), Qt::NoButton, Qt::LeftButton);
    Mouse(view, QEvent::MouseButtonRelease, QPoint(ViewAt(150), ViewAt(150)), Qt::LeftButton,
          Qt::RightButton);
    QCOMPARE(w.Selection, Rect(96, 96, 96, 96));
    QCOMPARE(view->Pane().Selection, std::optional<TRect>(w.Selection));
    QVERIFY(f.Dialogs.Errors.empty());
  }

  // What the window paints is the core's rendering at whole device pixels per picture pixel; the grid is one
  // device pixel wide whatever the zoom and ratio.
  void PaintsCrispPixelsAndThinLines() {
    TWindowFixture f;
    TOrvMain& w = OpenWithSheet(f, 4, 3);
    const double ratio = w.Image2->devicePixelRatioF();
    QTest::mousePress(w.Image1, Qt::LeftButton, {}, QPoint(1, 1));
    QTest::mouseRelease(w.Image1, Qt::LeftButton, {}, QPoint(40, 20));
    QTest::mouseClick(w.Image2, Qt::LeftButton, {}, QPoint(1, 1));
    for (const int zoom : {1, 3, 8}) {
      w.SetEditZoom(zoom);
      w.SetMaterialZoom(zoom);
      Settle();
      const int s = static_cast<int>(std::lround(zoom * ratio));
      QCOMPARE(w.Image2->Geometry().Scale, s);
      QCOMPARE(w.Image2->size(), QSize(static_cast<int>(std::ceil(64 * s / ratio)),
                                       static_cast<int>(std::ceil(48 * s / ratio))));
      const QImage edit = Painted(w.Image2);
      QCOMPARE(edit, Rendered(w.Image2, edit.size()));
      // Picture pixel (3, 2) of the stamp is a square of s x s device pixels of its colour.
      const TColor c = Pattern(3, 2);
      for (int y = 2 * s; y < 3 * s; ++y)
        for (int x = 3 * s; x < 4 * s; ++x)
          QCOMPARE(edit.pixel(x, y), qRgb(GetRValue(c), GetGValue(c), GetBValue(c)));
      // The grid: the last device column of chip column 0, drawn over the white sheet in black.
      for (int x = 15 * s; x < 17 * s; ++x) QCOMPARE(edit.pixel(x, 40 * s) == qRgb(0, 0, 0), x == 16 * s - 1);
      const QImage material = Painted(w.Image1);
      QCOMPARE(material, Rendered(w.Image1, material.size()));
    }
    // A fixed grid colour replaces the automatic one.
    w.SetGridColor(TGridColor{false, RGB(255, 0, 0)});
    Settle();
    const int s = static_cast<int>(std::lround(8 * ratio));
    QCOMPARE(Painted(w.Image2).pixel(16 * s - 1, 40 * s), qRgb(255, 0, 0));
    QCOMPARE(w.Image1->Pane().Grid, w.GridColor());
    // The designed picture behind the checks keeps the black grid.
    QVERIFY(w.Image2->Picture().GetPixel(15, 40) == clBlack);
  }

  // A stamp of one chip repaints that chip's rectangle, a changed selection its old and new rectangles.
  void ChangesRepaintOnlyTheirArea() {
    TWindowFixture f;
    TOrvMain& w = OpenWithSheet(f, 32, 32);
    w.SetEditZoom(8);
    w.SetMaterialZoom(8);
    ScrollToOrigin(w.Image1);
    ScrollToOrigin(w.Image2);
    QTest::mouseClick(w.Image1, Qt::LeftButton, {}, QPoint(ViewAt(20), ViewAt(20)));  // chip (1, 1)
    Settle();
    TPaintLog edit(w.Image2), material(w.Image1);
    QTest::mouseClick(w.Image2, Qt::LeftButton, {}, QPoint(ViewAt(17), ViewAt(30)));  // chip (1, 1)
    Settle();
    QCOMPARE(edit.Painted, QRegion(ViewAt(16), ViewAt(16), ViewAt(16), ViewAt(16)));
    QTest::mousePress(w.Image1, Qt::LeftButton, {}, QPoint(ViewAt(2), ViewAt(2)));
    Settle();
    QCOMPARE(material.Painted,
             QRegion(0, 0, ViewAt(16), ViewAt(16)) + QRegion(ViewAt(16), ViewAt(16), ViewAt(16), ViewAt(16)));
    QVERIFY(f.Dialogs.Errors.empty());
  }
};

TILORA_GUI_TEST(ZoomTest, "Zoom");

#include "GuiZoom_test.moc"
