#include "QtImageView.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <cmath>
#include <optional>

#include "QtBitmap.h"

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

}  // namespace

TImageView::TImageView(QWidget* Owner) : QWidget(Owner) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMouseTracking(true);
  PictureChanged();
}

void TImageView::PictureChanged() {
  setFixedSize(FPicture.Width(), FPicture.Height());
  update();
}

void TImageView::PictureChanged(const TRect& R) {
  if (R.Right > R.Left && R.Bottom > R.Top) update(QRect(R.Left, R.Top, R.Width(), R.Height()));
}

void TImageView::paintEvent(QPaintEvent* Event) {
  QPainter painter(this);
  // Each exposed rectangle on its own, so a repaint costs what it shows, not the whole picture.
  for (const QRect& area : Event->region()) {
    const QImage image = BitmapToQImage(FPicture, area);
    if (!image.isNull()) painter.drawImage(area.topLeft(), image);
  }
}

void TImageView::Report(const TMouseEvent& Handler, QMouseEvent* Event, TShiftState Extra) {
  const std::optional<TMouseButton> button =
      Event->type() == QEvent::MouseMove ? std::optional(mbLeft) : ButtonOf(Event->button());
  if (!button || !Handler) return;
  const QPointF at = Event->position();
  Handler(this, *button, ShiftOf(*Event) | Extra, static_cast<int>(std::floor(at.x())),
          static_cast<int>(std::floor(at.y())));
}

void TImageView::mousePressEvent(QMouseEvent* Event) {
  Report(OnMouseDown, Event, 0);
}

void TImageView::mouseDoubleClickEvent(QMouseEvent* Event) {
  Report(OnMouseDown, Event, ssDouble);
}

void TImageView::mouseReleaseEvent(QMouseEvent* Event) {
  // Only the left button keeps the mouse: other buttons released away from the view are not this view's.
  const bool captured = Event->button() == Qt::LeftButton || (Event->buttons() & Qt::LeftButton);
  if (!captured && !rect().contains(Event->position().toPoint())) return;
  Report(OnMouseUp, Event, 0);
}

void TImageView::mouseMoveEvent(QMouseEvent* Event) {
  // Only the left button keeps the mouse: moves away from the view are reported while it is held.
  if (!(Event->buttons() & Qt::LeftButton) && !rect().contains(Event->position().toPoint())) return;
  Report(OnMouseMove, Event, 0);
}
