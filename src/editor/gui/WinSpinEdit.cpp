#include "WinSpinEdit.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>
#include <algorithm>

namespace {

constexpr int RepeatDelayMs = 400;
constexpr int RepeatIntervalMs = 50;
// The system's border height, in pixels.
constexpr int BorderHeight = 1;

std::optional<int> DigitValue(char16_t c, int Base) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (Base == 16 && c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (Base == 16 && c >= u'A' && c <= u'F') return c - u'A' + 10;
  return std::nullopt;
}

// The characters a key press types, as the platform's character messages would carry them: backspace, Enter
// and Escape type their control codes, Delete types nothing.
QString TypedChars(const QKeyEvent& Event) {
  switch (Event.key()) {
    case Qt::Key_Backspace:
      return QString(QChar(8));
    case Qt::Key_Return:
    case Qt::Key_Enter:
      return QString(QChar(13));
    case Qt::Key_Escape:
      return QString(QChar(27));
    case Qt::Key_Delete:
      return {};
    default:
      return Event.text();
  }
}

}  // namespace

// ---------------------------------------------------------------------------------------------------------------
// TUpDown

TUpDown::TUpDown(QWidget* Owner) : QWidget(Owner) {
  setFocusPolicy(Qt::NoFocus);
  setCursor(Qt::ArrowCursor);
  resize(15, 17);
}

void TUpDown::Step(TUDBtnType Button) {
  if (Button == btNext) {
    if (FPosition >= Max) return;
    ++FPosition;
  } else {
    if (FPosition <= Min) return;
    --FPosition;
  }
  if (OnClick) OnClick(this, Button);
}

void TUpDown::RepeatStep() {
  if (FHeld) Step(*FHeld);
}

void TUpDown::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const int half = height() / 2;
  const QRect halves[2] = {QRect(0, 0, width(), half), QRect(0, half, width(), height() - half)};
  for (const TUDBtnType button : {btNext, btPrev}) {
    QStyleOption option;
    option.initFrom(this);
    option.rect = halves[button == btNext ? 0 : 1];
    option.state |= FHeld == button ? QStyle::State_Sunken : QStyle::State_Raised;
    style()->drawPrimitive(QStyle::PE_PanelButtonBevel, &option, &painter, this);
    option.rect = option.rect.adjusted(2, 1, -2, -1);
    style()->drawPrimitive(button == btNext ? QStyle::PE_IndicatorArrowUp : QStyle::PE_IndicatorArrowDown,
                           &option, &painter, this);
  }
}

void TUpDown::mousePressEvent(QMouseEvent* Event) {
  if (Event->button() != Qt::LeftButton || FHeld) return;
  FHeld = Event->position().y() < height() / 2 ? btNext : btPrev;
  update();
  Step(*FHeld);
  FRepeat.start(RepeatDelayMs, this);
}

void TUpDown::mouseReleaseEvent(QMouseEvent* Event) {
  if (Event->button() != Qt::LeftButton || !FHeld) return;
  FHeld.reset();
  FRepeat.stop();
  update();
  if (OnMouseUp) OnMouseUp();
}

void TUpDown::timerEvent(QTimerEvent* Event) {
  if (Event->timerId() != FRepeat.timerId()) return QWidget::timerEvent(Event);
  FRepeat.start(RepeatIntervalMs, this);
  RepeatStep();
}

// ---------------------------------------------------------------------------------------------------------------
// Integer conversion

std::optional<int64_t> TryStrToInt64(const QString& Text) {
  const qsizetype n = Text.size();
  qsizetype i = 0;
  while (i < n && Text[i] == u' ') ++i;
  bool negative = false;
  if (i < n && (Text[i] == u'+' || Text[i] == u'-')) {
    negative = Text[i] == u'-';
    ++i;
  }
  int base = 10;
  if (i < n && (Text[i] == u'$' || Text[i] == u'x' || Text[i] == u'X')) {
    base = 16;
    ++i;
  } else if (i + 1 < n && Text[i] == u'0' && (Text[i + 1] == u'x' || Text[i + 1] == u'X')) {
    base = 16;
    i += 2;
  }
  if (i == n) return std::nullopt;
  uint64_t magnitude = 0;
  for (; i < n; ++i) {
    const std::optional<int> digit = DigitValue(Text[i].unicode(), base);
    if (!digit) return std::nullopt;
    if (base == 16) {
      // Sixteen hexadecimal digits give any 64-bit pattern; more overflow.
      if (magnitude >> 60) return std::nullopt;
      magnitude = magnitude * 16 + static_cast<uint64_t>(*digit);
    } else {
      if (magnitude > (UINT64_MAX - static_cast<uint64_t>(*digit)) / 10) return std::nullopt;
      magnitude = magnitude * 10 + static_cast<uint64_t>(*digit);
    }
  }
  if (base == 10 && magnitude > (negative ? uint64_t{1} << 63 : static_cast<uint64_t>(INT64_MAX)))
    return std::nullopt;
  return static_cast<int64_t>(negative ? 0 - magnitude : magnitude);
}

// ---------------------------------------------------------------------------------------------------------------
// TWinSpinEdit

TWinSpinEdit::TWinSpinEdit(QWidget* Owner) : QLineEdit(Owner), FUpDown(new TUpDown(this)) {
  FUpDown->OnClick = [this](QObject* Sender, TUDBtnType Button) { StepClick(Sender, Button); };
  FUpDown->OnMouseUp = [this] { ResetUpDownPosition(); };
  setText(QStringLiteral("0"));
  // Text reaches the field only through the key filter, cut and paste.
  setAcceptDrops(false);
  setAttribute(Qt::WA_InputMethodEnabled, false);
  setMinimumHeight(MinimumHeight());
  UpdateEditRect();
  SetValue(0);
}

int64_t TWinSpinEdit::Value() {
  if (const std::optional<int64_t> parsed = TryStrToInt64(text())) return *parsed;
  SetValue(MinValue);
  if (AutoSelect && !FLeftDown) selectAll();
  return MinValue;
}

void TWinSpinEdit::SetValue(int64_t NewValue) {
  setText(QString::number(NewValue));
}

int64_t TWinSpinEdit::ClampValue(int64_t NewValue) const {
  if (MaxValue == MinValue) return NewValue;
  if (NewValue < MinValue) return MinValue;
  if (NewValue > MaxValue) return MaxValue;
  return NewValue;
}

bool TWinSpinEdit::KeyAllowed(QChar Key) const {
  const char16_t code = Key.unicode();
  const QString separator = locale().decimalPoint();
  bool allowed = code == u'+' || code == u'-' || (code >= u'0' && code <= u'9') ||
                 (separator.size() == 1 && Key == separator[0]) || (code < 32 && code != 13);
  if (allowed && !EditorEnabled && (code >= 32 || code == 8)) allowed = false;
  return allowed;
}

void TWinSpinEdit::StepClick(QObject*, TUDBtnType Button) {
  if (isReadOnly()) {
    Beep();
    return;
  }
  // Two's complement wrap-around at the ends of the 64-bit range.
  const uint64_t value = static_cast<uint64_t>(Value());
  const uint64_t step = static_cast<uint64_t>(Increment);
  SetValue(ClampValue(static_cast<int64_t>(Button == btNext ? value + step : value - step)));
}

void TWinSpinEdit::UpdateEditRect() {
  setTextMargins(0, 0, FUpDown->width() + 1, 0);
}

int TWinSpinEdit::MinimumHeight() const {
  const int h = fontMetrics().height();
  const int s = QFontMetrics(QApplication::font()).height();
  return h + std::min(h, s) / 4 + 4 * BorderHeight + 2;
}

void TWinSpinEdit::ResetUpDownPosition() {
  FUpDown->SetPosition(0);
}

void TWinSpinEdit::Beep() {
  QApplication::beep();
  emit Beeped();
}

void TWinSpinEdit::keyPressEvent(QKeyEvent* Event) {
  if (Event->key() == Qt::Key_Up || Event->key() == Qt::Key_Down) {
    StepClick(this, Event->key() == Qt::Key_Up ? btNext : btPrev);
    QLineEdit::keyPressEvent(Event);
    Event->accept();
    return;
  }
  if (Event->matches(QKeySequence::Cut) || Event->matches(QKeySequence::Paste)) {
    if (EditsAllowed()) QLineEdit::keyPressEvent(Event);
    Event->accept();
    return;
  }
  // Delete edits the text like backspace does.
  if (Event->key() == Qt::Key_Delete && !EditorEnabled) {
    Beep();
    Event->accept();
    return;
  }
  const QString typed = TypedChars(*Event);
  if (std::any_of(typed.begin(), typed.end(), [this](QChar c) { return !KeyAllowed(c); })) {
    Beep();
    Event->accept();
    return;
  }
  QLineEdit::keyPressEvent(Event);
  // Enter and Escape stay with the field and never reach the dialog's buttons.
  if (Event->key() == Qt::Key_Escape || Event->key() == Qt::Key_Return || Event->key() == Qt::Key_Enter)
    Event->accept();
}

void TWinSpinEdit::keyReleaseEvent(QKeyEvent* Event) {
  QLineEdit::keyReleaseEvent(Event);
  if (Event->isAutoRepeat()) return;
  // The read replaces an unparsable text; an out-of-range value is rewritten as it is, in plain decimal form.
  const int64_t value = Value();
  if (ClampValue(value) != value) SetValue(value);
}

void TWinSpinEdit::focusInEvent(QFocusEvent* Event) {
  const bool byClick =
      Event->reason() == Qt::MouseFocusReason && (QGuiApplication::mouseButtons() & Qt::LeftButton);
  QLineEdit::focusInEvent(Event);
  if (AutoSelect && !byClick) selectAll();
}

void TWinSpinEdit::focusOutEvent(QFocusEvent* Event) {
  QLineEdit::focusOutEvent(Event);
  // A context menu borrows the focus without the field being left.
  if (Event->reason() == Qt::PopupFocusReason) return;
  const int64_t value = Value();
  const int64_t clamped = ClampValue(value);
  if (clamped != value) SetValue(clamped);
}

void TWinSpinEdit::resizeEvent(QResizeEvent* Event) {
  QLineEdit::resizeEvent(Event);
  if (height() < MinimumHeight()) {
    resize(width(), MinimumHeight());
    return;
  }
  const int frame = style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, this);
  FUpDown->setGeometry(width() - FUpDown->width() - frame, frame, FUpDown->width(), height() - 2 * frame);
  UpdateEditRect();
}

void TWinSpinEdit::changeEvent(QEvent* Event) {
  QLineEdit::changeEvent(Event);
  if (Event->type() == QEvent::FontChange) setMinimumHeight(MinimumHeight());
}

void TWinSpinEdit::mousePressEvent(QMouseEvent* Event) {
  if (Event->button() == Qt::LeftButton) FLeftDown = true;
  QLineEdit::mousePressEvent(Event);
}

void TWinSpinEdit::mouseReleaseEvent(QMouseEvent* Event) {
  if (Event->button() == Qt::LeftButton) FLeftDown = false;
  // The middle button pastes the selection on some systems.
  if (Event->button() == Qt::MiddleButton && !EditsAllowed()) {
    Event->accept();
    return;
  }
  QLineEdit::mouseReleaseEvent(Event);
}

void TWinSpinEdit::contextMenuEvent(QContextMenuEvent* Event) {
  // The standard menu of a read-only field offers no cut, paste or other edit.
  const bool readOnly = isReadOnly();
  if (!EditorEnabled) setReadOnly(true);
  QMenu* menu = createStandardContextMenu();
  setReadOnly(readOnly);
  menu->setAttribute(Qt::WA_DeleteOnClose);
  menu->popup(Event->globalPos());
}
