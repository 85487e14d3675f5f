// TSizeForm: the modal dialog for the chip size and, when an edit image is made, the image size in chips.
// Created once and reused, so its fields keep the values of the last use, whether it ended with OK or with
// Cancel.
#pragma once

#include <QDialog>
#include <QPointer>
#include <cstdint>

#include "WinSpinEdit.h"

class QGroupBox;
class QLabel;
class QPushButton;

class TSizeForm : public QDialog {
  Q_OBJECT

 public:
  explicit TSizeForm(QWidget* Owner = nullptr);

  QGroupBox* GroupBox1;
  QLabel* Label1;
  TWinSpinEdit* WinSpinEdit1;
  QLabel* Label2;
  TWinSpinEdit* WinSpinEdit2;
  QPushButton* Button1;
  QPushButton* Button2;
  QPushButton* Button3;
  QGroupBox* GroupBox2;
  QLabel* Label3;
  TWinSpinEdit* WinSpinEdit3;
  QLabel* Label4;
  TWinSpinEdit* WinSpinEdit4;
  QPushButton* Button4;
  QPushButton* Button5;
  QPushButton* Button6;

  // Show the image-size group (or hide it), run the dialog modally; true when it closed with OK.
  bool ExecuteWithImageSize();
  bool ExecuteChipSize();
  // Make the group visible or not and put the focus where the next show should have it, without showing.
  void PrepareShow(bool WithImageSize);

  int64_t EnteredChipWidth() { return WinSpinEdit1->Value(); }
  int64_t EnteredChipHeight() { return WinSpinEdit2->Value(); }
  int64_t EnteredColumns() { return WinSpinEdit3->Value(); }
  int64_t EnteredRows() { return WinSpinEdit4->Value(); }

  // Presets: chip 32 x 32, 24 x 32, 16 x 16; image 16 x 16 chips.
  void Button1Click();
  void Button2Click();
  void Button3Click();
  void Button4Click();

  void done(int Result) override;

 private:
  // The control that had the focus when the dialog last closed.
  QPointer<QWidget> FLastFocus;
};
