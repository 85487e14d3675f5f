#include "QtImageView.h"

#include <QAbstractScrollArea>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>
#include <cmath>
#include <optional>

#include "OrvPane.h"

namespace {

std::optional<TMouseButton> ButtonOf(Qt::MouseButton Button) {
  switch (Button) {
    case Qt::LeftButton:
      return mbLeft;
    case Qt::RightButton:
      return mbRight;
    case Qt::MiddleButton:
      return mbMiddle;
    default:
      return std::nullopt;
  }
}

TShiftState ShiftOf(const QMouseEvent& Event) {
  TShiftState shift = 0;
  const Qt::KeyboardModifiers keys = Event.modifiers();
  if (keys & Qt::ShiftModifier) shift |= ssShift;
  if (keys & Qt::AltModifier) shift |= ssAlt;
  if (keys & Qt::ControlModifier) shift |= ssCtrl;
  const Qt::MouseButtons held = Event.buttons();
  if (held & Qt::LeftButton) shift |= ssLeft;
  if (held & Qt::RightButton) shift |= ssRight;
  if (held & Qt::MiddleButton) shift |= ssMiddle;
  return shift;
}

QRect ToQRect(const TRect& R) {
  return QRect(R.Left, R.Top, R.Width(), R.Height());
}

TRect ToTRect(const QRect& R) {
  return Rect(R.left(), R.top(), R.left() + R.width(), R.top() + R.height());
}

int HeldWidgetSize(int64_t Length) {
  return static_cast<int>(std::clamp<int64_t>(Length, 0, QWIDGETSIZE_MAX));
}

// One wheel notch turns 120 eighths of a degree.
constexpr int WheelStep = 120;

}  // namespace

TImageView::TImageView(QWidget* Owner) : QWidget(Owner) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMouseTracking(true);
  PictureChanged();
}

TBitmap& TImageView::Picture() {
  return const_cast<TBitmap&>(std::as_const(*this).Picture());
}

const TBitmap& TImageView::Picture() const {
  if (FPane.Image == &FPicture) return FPicture;
  if (!FPane.Image) {
    FPicture.Assign(nullptr);
    return FPicture;
  }
  const TBitmap none;
  const TRect selection = FPane.Selection.value_or(TRect{});
  DrawPaneWithAlpha(FPicture, const_cast<TBitmap&>(*FPane.Image), FPane.Alpha ? *FPane.Alpha : none,
                    FPane.ChipWidth, FPane.ChipHeight, FPane.Selection ? &selection : nullptr);
  // A drawing without lines still shares the document's pixels, which would make the document's next change
  // copy its whole picture.
  if (FPicture.SharesImageWith(*FPane.Image)) FPicture.Bits();
  return FPicture;
}

void TImageView::PictureChanged() {
  TPaneContent own;
  own.Image = &FPicture;
  FPane = own;
  Relayout();
}

void TImageView::PictureChanged(const TRect& R) {
  RepaintPictureArea(R);
}

int TImageView::PictureHeight() const {
  return FPane.Image ? FPane.Image->Height() : 0;
}

void TImageView::ShowPane(const TPaneContent& Pane) {
  FPane = Pane;
  Relayout();
}

bool TImageView::ShowsPane(const TPaneContent& Pane) const {
  return FPane == Pane && (!Pane.Image || FShownSize == QSize(Pane.Image->Width(), Pane.Image->Height()));
}

void TImageView::SetSelection(const std::optional<TRect>& Selection) {
  if (FPane.Selection == Selection) return;
  const std::optional<TRect> old = FPane.Selection;
  FPane.Selection = Selection;
  if (!FPane.Image) return;
  for (const std::optional<TRect>& area : {old, Selection})
    if (area) RepaintPictureArea(PaneArea(*area, *FPane.Image));
}

void TImageView::SetGridColor(const TGridColor& Grid) {
  if (FPane.Grid == Grid) return;
  FPane.Grid = Grid;
  update();
}

TPaneGeometry TImageView::Geometry() const {
  const double ratio = devicePixelRatioF();
  return {DeviceScale(FZoom, ratio), ratio};
}

void TImageView::SetZoom(int Zoom) {
  QRect visible = rect();
  if (const QAbstractScrollArea* area = ScrollArea())
    visible &= QRect(mapFrom(area->viewport(), QPoint(0, 0)), area->viewport()->size());
  SetZoom(Zoom, visible.isEmpty() ? QPointF(0, 0) : QRectF(visible).center());
}

void TImageView::SetZoom(int Zoom, QPointF Anchor) {
  const int zoom = std::clamp(Zoom, MinZoom, MaxZoom);
  if (zoom == FZoom) return;
  const TPaneGeometry before = Geometry();
  const QPointF picturePoint(before.ViewToImageCoord(Anchor.x()), before.ViewToImageCoord(Anchor.y()));
  const QPointF onScreen = Anchor + pos();  // in the scroll area's viewport
  FZoom = zoom;
  Relayout();
  if (QAbstractScrollArea* area = ScrollArea()) {
    // The scroll bars know the new size already: the scroll area follows the view's resize at once.
    const TPaneGeometry after = Geometry();
    area->horizontalScrollBar()->setValue(
        static_cast<int>(std::lround(after.ImageToViewCoord(picturePoint.x()) - onScreen.x())));
    area->verticalScrollBar()->setValue(
        static_cast<int>(std::lround(after.ImageToViewCoord(picturePoint.y()) - onScreen.y())));
  }
  emit ZoomChanged(FZoom);
}

void TImageView::StepZoom(int Steps) {
  SetZoom(::StepZoom(FZoom, Steps));
}

QAbstractScrollArea* TImageView::ScrollArea() const {
  QWidget* viewport = parentWidget();
  auto* area = viewport ? qobject_cast<QAbstractScrollArea*>(viewport->parentWidget()) : nullptr;
  return area && area->viewport() == viewport ? area : nullptr;
}

void TImageView::Relayout() {
  const TPaneGeometry geometry = Geometry();
  FShownSize = FPane.Image ? QSize(FPane.Image->Width(), FPane.Image->Height()) : QSize();
  setFixedSize(HeldWidgetSize(geometry.ViewLength(FShownSize.width())),
               HeldWidgetSize(geometry.ViewLength(FShownSize.height())));
  update();
}

void TImageView::RepaintPictureArea(const TRect& R) {
  if (R.Right <= R.Left || R.Bottom <= R.Top) return;
  const TPaneGeometry geometry = Geometry();
  update(ToQRect(geometry.DeviceToView(geometry.ImageToDevice(R))));
}

void TImageView::paintEvent(QPaintEvent* Event) {
  QPainter painter(this);
  const TPaneGeometry geometry = Geometry();
  const QColor back = palette().color(backgroundRole());
  const TColor background = RGB(static_cast<uint8_t>(back.red()), static_cast<uint8_t>(back.green()),
                                static_cast<uint8_t>(back.blue()));
  // Each exposed rectangle on its own, rendered for its device pixels alone.
  for (const QRect& area : Event->region()) {
    const TRect device = geometry.ViewToDevice(ToTRect(area & rect()));
    if (device.Right <= device.Left || device.Bottom <= device.Top) continue;
    if (FBuffer.width() < device.Width() || FBuffer.height() < device.Height())
      FBuffer = QImage(std::max(FBuffer.width(), device.Width()), std::max(FBuffer.height(), device.Height()),
                       QImage::Format_RGB32);
    const int64_t stride = FBuffer.bytesPerLine() / 4;
    const auto words = reinterpret_cast<uint32_t*>(FBuffer.bits());
    RenderPane(FPane,
               TPaneRaster{std::span<uint32_t>(words, static_cast<size_t>(stride * device.Height())), stride,
                           device, geometry.Scale},
               background);
    QImage piece(FBuffer.constBits(), device.Width(), device.Height(), FBuffer.bytesPerLine(),
                 QImage::Format_RGB32);
    piece.setDevicePixelRatio(geometry.Ratio);
    painter.drawImage(QPointF(device.Left / geometry.Ratio, device.Top / geometry.Ratio), piece);
  }
}

void TImageView::Report(const TMouseEvent& Handler, QMouseEvent* Event, TMouseButton Button,
                        TShiftState Extra) {
  if (!Handler) return;
  const QPointF at = Event->position();
  const TPoint pixel = Geometry().ViewToImage(at.x(), at.y());
  Handler(this, Button, ShiftOf(*Event) | Extra, pixel.X, pixel.Y);
}

void TImageView::mousePressEvent(QMouseEvent* Event) {
  emit Used();
  if (const std::optional<TMouseButton> button = ButtonOf(Event->button()))
    Report(OnMouseDown, Event, *button, 0);
}

void TImageView::mouseDoubleClickEvent(QMouseEvent* Event) {
  if (const std::optional<TMouseButton> button = ButtonOf(Event->button()))
    Report(OnMouseDown, Event, *button, ssDouble);
}

void TImageView::mouseReleaseEvent(QMouseEvent* Event) {
  // Only the left button keeps the mouse: other buttons released away from the view are not this view's.
  const bool captured = Event->button() == Qt::LeftButton || (Event->buttons() & Qt::LeftButton);
  if (!captured && !rect().contains(Event->position().toPoint())) return;
  if (const std::optional<TMouseButton> button = ButtonOf(Event->button()))
    Report(OnMouseUp, Event, *button, 0);
}

void TImageView::mouseMoveEvent(QMouseEvent* Event) {
  emit Used();
  Report(OnMouseMove, Event, mbLeft, 0);
}

void TImageView::enterEvent(QEnterEvent* Event) {
  emit Used();
  QWidget::enterEvent(Event);
}

void TImageView::wheelEvent(QWheelEvent* Event) {
  if (!WheelZoom(Event, Event->position())) Event->ignore();  // plain turns scroll the scroll area
}

bool TImageView::WheelZoom(QWheelEvent* Event, QPointF Position) {
  emit Used();
  if (!(Event->modifiers() & Qt::ControlModifier)) return false;
  const int turn = Event->angleDelta().y();
  if (turn != 0 && (turn > 0) != (FWheelRest > 0)) FWheelRest = 0;  // a turn the other way starts afresh
  FWheelRest += turn;
  const int steps = FWheelRest / WheelStep;
  FWheelRest -= steps * WheelStep;
  if (steps != 0) SetZoom(::StepZoom(FZoom, steps), Position);
  Event->accept();
  return true;
}

bool TImageView::event(QEvent* Event) {
  switch (Event->type()) {
    case QEvent::ParentChange:
      // Ctrl + wheel over the empty part of the scroll area zooms too: the viewport's events are watched.
      if (FWatched) FWatched->removeEventFilter(this);
      FWatched = parentWidget();
      if (FWatched) FWatched->installEventFilter(this);
      break;
    case QEvent::ScreenChangeInternal:
      Relayout();  // another device pixel ratio
      break;
    default:
      break;
  }
  return QWidget::event(Event);
}

bool TImageView::eventFilter(QObject* Watched, QEvent* Event) {
  if (Watched == FWatched && ScrollArea()) {
    if (Event->type() == QEvent::Enter) emit Used();
    if (Event->type() == QEvent::Wheel) {
      auto* wheel = static_cast<QWheelEvent*>(Event);
      if (WheelZoom(wheel, mapFrom(FWatched, wheel->position()))) return true;
    }
  }
  return QWidget::eventFilter(Watched, Event);
}
