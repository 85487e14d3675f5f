// TImageView: shows its picture unscaled at its top-left, sizes itself to it, and reports mouse presses and
// releases with the button, the shift state and the position in picture pixels.
#pragma once

#include <QWidget>
#include <functional>

#include "Graphics.h"

enum TMouseButton { mbLeft, mbRight, mbMiddle };

// The modifier keys and mouse buttons held at the moment of an event.
enum TShiftFlag : unsigned {
  ssShift = 1,
  ssAlt = 2,
  ssCtrl = 4,
  ssLeft = 8,
  ssRight = 16,
  ssMiddle = 32,
  ssDouble = 64,
};
using TShiftState = unsigned;

using TMouseEvent =
    std::function<void(QObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y)>;

class TImageView : public QWidget {
  Q_OBJECT

 public:
  explicit TImageView(QWidget* Owner = nullptr);

  // The picture's bitmap. After changing it, call PictureChanged.
  TBitmap& Picture() { return FPicture; }
  const TBitmap& Picture() const { return FPicture; }
  // Sizes the view to the picture and repaints it whole.
  void PictureChanged();
  // Repaints the rectangle R of the picture only (the picture's size is unchanged).
  void PictureChanged(const TRect& R);

  // A press of any button (a double click reports its second press with ssDouble); a release of the left
  // button wherever it happens, of the others only over the view.
  TMouseEvent OnMouseDown;
  TMouseEvent OnMouseUp;
  // Every move over the view and, while the left button is held, wherever the mouse goes. Button is mbLeft
  // and means nothing; Shift carries the modifiers and the buttons held.
  TMouseEvent OnMouseMove;

 protected:
  void paintEvent(QPaintEvent* Event) override;
  void mousePressEvent(QMouseEvent* Event) override;
  void mouseDoubleClickEvent(QMouseEvent* Event) override;
  void mouseReleaseEvent(QMouseEvent* Event) override;
  void mouseMoveEvent(QMouseEvent* Event) override;

 private:
  void Report(const TMouseEvent& Handler, QMouseEvent* Event, TShiftState Extra);
  TBitmap FPicture;
};
