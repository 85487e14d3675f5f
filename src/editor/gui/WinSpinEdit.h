// TWinSpinEdit: a one-line numeric field holding a signed 64-bit integer as its text, with an up-down button
// pair at its right edge, arrow-key stepping, a filter on typed characters and a range enforced when the
// focus leaves.
#pragma once

#include <QBasicTimer>
#include <QLineEdit>
#include <cstdint>
#include <functional>
#include <optional>

class QString;

// Which half of an up-down control reported a step.
enum TUDBtnType { btNext, btPrev };

// The up-down button pair: two arrow halves with a position of their own in Min..Max, one step per click and
// repeated while a half is held. A step is reported only when the position moves, so one press can repeat at
// most up to the end of the range.
class TUpDown : public QWidget {
  Q_OBJECT

 public:
  explicit TUpDown(QWidget* Owner);

  int Min = -32768;
  int Max = 32767;
  int Position() const { return FPosition; }
  void SetPosition(int Value) { FPosition = Value; }

  // A step: btNext when the position rose, btPrev when it fell.
  std::function<void(QObject* Sender, TUDBtnType Button)> OnClick;
  // The mouse button that pressed a half was released.
  std::function<void()> OnMouseUp;

  // One repeat of the held half, as the repeat timer gives it.
  void RepeatStep();
  // The half held down, if any.
  std::optional<TUDBtnType> HeldButton() const { return FHeld; }

 protected:
  void paintEvent(QPaintEvent* Event) override;
  void mousePressEvent(QMouseEvent* Event) override;
  void mouseReleaseEvent(QMouseEvent* Event) override;
  void timerEvent(QTimerEvent* Event) override;

 private:
  void Step(TUDBtnType Button);
  int FPosition = 0;
  std::optional<TUDBtnType> FHeld;
  QBasicTimer FRepeat;
};

// Parses text as the platform's integer conversion does: leading blanks, an optional sign, then decimal
// digits or hexadecimal digits after "$", "x" or "0x", and nothing after them. Empty on failure or overflow.
std::optional<int64_t> TryStrToInt64(const QString& Text);

class TWinSpinEdit : public QLineEdit {
  Q_OBJECT

 public:
  explicit TWinSpinEdit(QWidget* Owner = nullptr);

  // The range is active only when the ends differ.
  int64_t MinValue = 0;
  int64_t MaxValue = 0;
  int64_t Increment = 1;
  // Whether the text may be edited by typing, cutting and pasting (the buttons and arrow keys step
  // regardless).
  bool EditorEnabled = true;
  // Select the whole text when the field gains the focus other than by a click, and after an unparsable read.
  bool AutoSelect = true;

  TUpDown* UpDown() const { return FUpDown; }

  // Reading parses the text; an unparsable text is replaced by MinValue (selected when AutoSelect and the
  // left button is not held on the field), which is returned. Writing replaces the text and never clamps.
  int64_t Value();
  void SetValue(int64_t NewValue);
  int64_t ClampValue(int64_t NewValue) const;

  virtual bool KeyAllowed(QChar Key) const;
  virtual void StepClick(QObject* Sender, TUDBtnType Button);

  // Keeps the text left of the buttons.
  void UpdateEditRect();
  // The smallest height at which the text shows whole.
  int MinimumHeight() const;
  void ResetUpDownPosition();

 signals:
  // The default beep sounded: a refused character, or a step on a read-only field.
  void Beeped();

 protected:
  void keyPressEvent(QKeyEvent* Event) override;
  void keyReleaseEvent(QKeyEvent* Event) override;
  void focusInEvent(QFocusEvent* Event) override;
  void focusOutEvent(QFocusEvent* Event) override;
  void resizeEvent(QResizeEvent* Event) override;
  void changeEvent(QEvent* Event) override;
  void mousePressEvent(QMouseEvent* Event) override;
  void mouseReleaseEvent(QMouseEvent* Event) override;
  void contextMenuEvent(QContextMenuEvent* Event) override;

 private:
  void Beep();
  bool EditsAllowed() const { return EditorEnabled && !isReadOnly(); }
  TUpDown* FUpDown;
  bool FLeftDown = false;  // the left button was pressed on the field and not yet released
};
