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

class QComboBox;
class QGroupBox;
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

  void FillMaterialCombo();
  void RedrawMaterial();
  void RedrawEdit();

  // Runs an event handler inside the error guard.
  void Guarded(const std::function<void()>& Handler) { RunGuarded(FDialogs, Handler); }

 protected:
  void closeEvent(QCloseEvent* Event) override;
  // The window opens at its designed place, moved as far as it must to fit on the screen.
  void showEvent(QShowEvent* Event) override;
  bool eventFilter(QObject* Watched, QEvent* Event) override;

 private:
  // What a pane's picture was last drawn from, so that a change of a few chips redraws only those.
  struct TViewState {
    bool Valid = false;  // the picture is the full redraw of the document's current image
    int32_t ChipWidth = 0;
    int32_t ChipHeight = 0;
    TRect Selection;  // the selection drawn on the material's picture
  };
  void BuildControls();
  void FitOnScreen();
  // Sets the document's chip size to the one entered in the size dialog.
  void ApplyEnteredChipSize();
  bool MaterialShown() const;
  bool ViewCurrent(const TViewState& State, const TBitmap& View, const TBitmap& Source) const;
  // The redraws after a release on the material and a stamp on the edit image: only the changed areas when
  // the picture is current, otherwise the full redraw.
  void RedrawSelectionChange();
  void RedrawEditArea(const TRect& Area);

  TDialogs& FDialogs;
  TSettingsFile FSettings;
  TViewState FMaterialView;
  TViewState FEditView;
  bool FFitted = false;  // the window was fitted on the screen at its first exposure
};
