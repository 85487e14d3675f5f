// TImageView: shows a pane (a picture with its chip grid, selection and transparency, OrvZoom.h) enlarged by
// a whole zoom factor, or a picture of its own; sizes itself to it; reports the mouse in picture pixels. It
// paints only what is exposed, rendered for that area alone, so its cost follows the visible area.
#pragma once

#include <QImage>
#include <QWidget>
#include <functional>
#include <optional>

#include "Graphics.h"
#include "OrvZoom.h"

class QAbstractScrollArea;

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

  // The view's own picture: change it, then call PictureChanged to show it. While the view shows a pane
  // instead, this is the pane's unzoomed drawing with the black grid (DrawPaneWithAlpha), drawn afresh at
  // every call, for checks; the view never paints from it.
  TBitmap& Picture();
  const TBitmap& Picture() const;
  // Shows the view's own picture (a pane shown is dropped), sized to it, and repaints it whole.
  void PictureChanged();
  // Repaints the picture's rectangle R only (the picture's size is unchanged): its device pixels at the zoom.
  void PictureChanged(const TRect& R);
  // The height of the picture shown; 0 when there is none.
  int PictureHeight() const;

  // Shows Pane, whose pictures must stay alive while it is shown. The view sizes itself to the picture at its
  // zoom and repaints what is visible.
  void ShowPane(const TPaneContent& Pane);
  const TPaneContent& Pane() const { return FPane; }
  // Whether the view shows Pane as it is now: the same content, its picture still of the size shown.
  bool ShowsPane(const TPaneContent& Pane) const;
  // Changes the hatched selection of the pane shown, repainting the old and the new one.
  void SetSelection(const std::optional<TRect>& Selection);
  void SetGridColor(const TGridColor& Grid);

  int Zoom() const { return FZoom; }
  // Sets the zoom (held at MinZoom..MaxZoom). The picture point at Anchor (view coordinates) stays where it
  // is on the screen: the scroll area holding the view scrolls. Without an anchor, the centre of the visible
  // part of the view stays.
  void SetZoom(int Zoom);
  void SetZoom(int Zoom, QPointF Anchor);
  // Steps along StepZoom, keeping the centre of the visible part.
  void StepZoom(int Steps);
  // Where the picture lies on the screen at the zoom and the screen's device pixel ratio.
  TPaneGeometry Geometry() const;

  // A press of any button (a double click reports its second press with ssDouble); a release of the left
  // button wherever it happens, of the others only over the view; every move over the view and, while a
  // button is held, wherever the mouse goes (Button is mbLeft and means nothing, Shift holds the buttons).
  // Positions are picture pixels: the view position divided by the zoom, rounded down.
  TMouseEvent OnMouseDown;
  TMouseEvent OnMouseUp;
  TMouseEvent OnMouseMove;

 signals:
  void ZoomChanged(int Zoom);
  // The mouse entered the view or the scroll area around it, or was pressed, moved or turned there.
  void Used();

 protected:
  bool event(QEvent* Event) override;
  bool eventFilter(QObject* Watched, QEvent* Event) override;
  void paintEvent(QPaintEvent* Event) override;
  void mousePressEvent(QMouseEvent* Event) override;
  void mouseDoubleClickEvent(QMouseEvent* Event) override;
  void mouseReleaseEvent(QMouseEvent* Event) override;
  void mouseMoveEvent(QMouseEvent* Event) override;
  void wheelEvent(QWheelEvent* Event) override;
  void enterEvent(QEnterEvent* Event) override;

 private:
  void Report(const TMouseEvent& Handler, QMouseEvent* Event, TMouseButton Button, TShiftState Extra);
  // Sizes the view to the picture at the zoom and repaints it.
  void Relayout();
  void RepaintPictureArea(const TRect& R);
  // Ctrl + wheel at Position (view coordinates); false when the event is not one.
  bool WheelZoom(QWheelEvent* Event, QPointF Position);
  QAbstractScrollArea* ScrollArea() const;

  mutable TBitmap FPicture;
  TPaneContent FPane;
  QSize FShownSize;  // the picture's size the view was last sized to
  int FZoom = 1;
  int FWheelRest = 0;  // wheel turns short of one step
  QImage FBuffer;      // rendered device pixels, reused from paint to paint
  QWidget* FWatched = nullptr;
};
