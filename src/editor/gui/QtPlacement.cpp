#include "QtPlacement.h"

#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <algorithm>

int CaptionWidth(const QPushButton* Button) {
  const QStyle* style = Button->style();
  return Button->fontMetrics().horizontalAdvance(Button->text()) +
         style->pixelMetric(QStyle::PM_ButtonMargin) + 2 * style->pixelMetric(QStyle::PM_DefaultFrameWidth);
}

namespace {

int NeededWidth(const QWidget* Control) {
  if (const auto* button = qobject_cast<const QPushButton*>(Control)) return CaptionWidth(button);
  if (const auto* label = qobject_cast<const QLabel*>(Control)) return label->sizeHint().width();
  return Control->minimumWidth();
}

}  // namespace

int PlaceControls(std::initializer_list<TPlace> Row) {
  int grown = 0;
  for (const TPlace& p : Row) {
    const int width = std::max(p.Width, NeededWidth(p.Control));
    const int height =
        std::max(p.Height > 0 ? p.Height : p.Control->sizeHint().height(), p.Control->minimumHeight());
    p.Control->setFixedSize(width, height);
    p.Control->move(p.Left + grown, p.Top);
    grown += width - p.Width;
  }
  return grown;
}
