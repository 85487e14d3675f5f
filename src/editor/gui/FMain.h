// TOrvMain: the program's main window. It owns the chip document, the material list and the selection on the
// material; every user action is one of its event handlers, run inside the error guard.
#pragma once

#include <QMainWindow>
#include <QPoint>
#include <QRect>
#include <functional>
#include <memory>

#include "Classes.h"
#include "OrvCui.h"
#include "OrvPane.h"
#include "QtDialogs.h"
#include "QtImageView.h"
#include "QtSettings.h"

class QAction;
class QComboBox;
class QGroupBox;
class QMenu;
class QPushButton;
class QScrollArea;
class QSplitter;
class TSizeForm;

// Where a window frame designed at Frame goes on a screen whose available area is Available: at its place
// when it fits there whole, otherwise moved just enough to fit; a frame larger than the area keeps its
// top-left corner in it.
QPoint FittedWindowPosition(const QRect& Frame, const QRect& Available);

class TOrvMain : public QMainWindow {
  Q_OBJECT

 public:
  // Creates the controls and runs FormCreate (reading the material list from Settings).
  TOrvMain(TDialogs& Dialogs, TSettingsFile Settings, QWidget* Owner = nullptr);
  ~TOrvMain() override;

  QWidget* Panel1;
  QGroupBox* GroupBox1;
  QPushButton* Button1;
  QPushButton* Button2;
  QPushButton* Button3;
  QPushButton* Button4;
  QGroupBox* GroupBox2;
  QPushButton* Button5;
  QComboBox* ComboBox1;
  QPushButton* Button6;
  QPushButton* Button7;
  QScrollArea* ScrollBox1;
  TImageView* Image1;
  QSplitter* Splitter1;
  QScrollArea* ScrollBox2;
  TImageView* Image2;
  TPictureDialog OpenPictureDialog1;
  TPictureDialog OpenPictureDialog2;
  TPictureDialog SavePictureDialog1;
  // The View menu: zoom in, zoom out and back to 1x, acting on ZoomPane().
  QMenu* ViewMenu;
  QAction* ZoomInAction;
  QAction* ZoomOutAction;
  QAction* ActualSizeAction;

  // Full paths of the material files, in the order they were added; entry i is item i of ComboBox1.
  std::unique_ptr<TStringList> MaterialFiles;
  // The selection on the material, in material pixels, right and bottom exclusive.
  TRect Selection;
  std::unique_ptr<TOrvDatas> Document;
  // The program's size dialog, created after this window and reused by every command that shows it.
  TSizeForm* SizeForm = nullptr;

  void FormCreate();
  // The window closes: the material list is written to the settings file, always.
  void FormDestroy();
  void Button1Click();  // New
  void Button2Click();  // Load edit image
  void Button3Click();  // Save
  void Button4Click();  // Resize (chip size)
  void Button5Click();  // Add material
  void Button6Click();  // Discard material
  void Button7Click();  // Exit
  void ComboBox1Change();
  void Image1MouseDown(QObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void Image1MouseUp(QObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void Image2MouseDown(QObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  // While a button that selects is held, the material pane shows the selection a release there would make.
  void Image1MouseMove(QObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);

  void FillMaterialCombo();
  void RedrawMaterial();
  void RedrawEdit();

  // The zoom of each pane (MinZoom to MaxZoom) and the grid colour of both panes.
  int MaterialZoom() const { return Image1->Zoom(); }
  void SetMaterialZoom(int Zoom) { Image1->SetZoom(Zoom); }
  int EditZoom() const { return Image2->Zoom(); }
  void SetEditZoom(int Zoom) { Image2->SetZoom(Zoom); }
  const TGridColor& GridColor() const { return FGridColor; }
  void SetGridColor(const TGridColor& Grid);
  // The pane the View menu acts on: the one the mouse is over or was last used in, as long as it is shown;
  // otherwise, and at first, the edit pane.
  TImageView* ZoomPane() const { return FZoomPane->isVisible() ? FZoomPane : Image2; }

  // Runs an event handler inside the error guard.
  void Guarded(const std::function<void()>& Handler) { RunGuarded(FDialogs, Handler); }

 protected:
  void closeEvent(QCloseEvent* Event) override;
  // The window opens at its designed place, moved as far as it must to fit on the screen.
  void showEvent(QShowEvent* Event) override;
  bool eventFilter(QObject* Watched, QEvent* Event) override;

 private:
  void BuildControls();
  void FitOnScreen();
  // Sets the document's chip size to the one entered in the size dialog.
  void ApplyEnteredChipSize();
  bool MaterialShown() const;
  // The View menu, the pane it acts on and the material pane's selection while dragging.
  void BuildPaneControls();
  // What the panes show of the document.
  TPaneContent MaterialPane() const;
  TPaneContent EditPane() const;
  // Shows Shown as the material pane's selection, nothing else changed.
  void ShowMaterialSelection(const TRect& Shown);
  // The redraws after a release on the material and a stamp on the edit image: only the changed areas when
  // the pane shows the document as it is, otherwise the full redraw.
  void RedrawSelectionChange();
  void RedrawEditArea(const TRect& Area);

  TDialogs& FDialogs;
  TSettingsFile FSettings;
  TGridColor FGridColor;
  TImageView* FZoomPane = nullptr;
  bool FFitted = false;  // the window was fitted on the screen at its first exposure
};
