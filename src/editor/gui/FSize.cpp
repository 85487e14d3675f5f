#include "FSize.h"

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <algorithm>

#include "QtPlacement.h"

namespace {

// A field with its range, step and start value, set in that order so the start value is kept exactly.
TWinSpinEdit* NewField(QWidget* Owner, int64_t Start) {
  auto* field = new TWinSpinEdit(Owner);
  field->Increment = 1;
  field->MaxValue = 65536;
  field->MinValue = 1;
  field->SetValue(Start);
  // Room for six digits beside the buttons, and at least the designed width.
  field->setFixedWidth(std::max(
      73, field->fontMetrics().horizontalAdvance(QStringLiteral("000000")) + field->UpDown()->width() + 12));
  field->setMinimumHeight(field->MinimumHeight());
  return field;
}

QPushButton* NewButton(QWidget* Owner, const QString& Caption) {
  return new QPushButton(Caption, Owner);
}

// The row "幅 [field] ×　高さ [field]" of a group, at its designed places; returns how much wider it became.
int PlaceSizeRow(QLabel* WidthLabel, TWinSpinEdit* WidthField, QLabel* HeightLabel,
                 TWinSpinEdit* HeightField) {
  return PlaceControls({{WidthLabel, 10, 23, 18, 0},
                        {WidthField, 28, 20, 73, 22},
                        {HeightLabel, 107, 23, 42, 0},
                        {HeightField, 149, 20, 73, 22}});
}

}  // namespace

TSizeForm::TSizeForm(QWidget* Owner) : QDialog(Owner) {
  setObjectName(QStringLiteral("SizeForm"));
  setWindowTitle(tr("サイズとか"));
  move(180, 52);

  GroupBox1 = new QGroupBox(tr("チップサイズ"), this);
  Label1 = new QLabel(tr("幅"), GroupBox1);
  WinSpinEdit1 = NewField(GroupBox1, 32);
  Label2 = new QLabel(tr("×　高さ"), GroupBox1);
  WinSpinEdit2 = NewField(GroupBox1, 32);
  Button1 = NewButton(GroupBox1, tr("32×32　(Ruvola標準)"));
  Button2 = NewButton(GroupBox1, tr("24×32　(RPGツクール2000 イベント標準)"));
  Button3 = NewButton(GroupBox1, tr("16×16　(RPGツクール2000 マップ標準)"));

  GroupBox2 = new QGroupBox(tr("画像サイズ"), this);
  Label3 = new QLabel(tr("幅"), GroupBox2);
  WinSpinEdit3 = NewField(GroupBox2, 16);
  Label4 = new QLabel(tr("×　高さ"), GroupBox2);
  WinSpinEdit4 = NewField(GroupBox2, 16);
  Button4 = NewButton(GroupBox2, tr("16×16　(Ruvola標準)"));

  Button5 = NewButton(this, tr("OK"));
  Button5->setDefault(true);
  Button6 = NewButton(this, tr("キャンセル"));

  // The designed places and the client size of 238 x 246. Where the system font needs more room the dialog
  // grows only in width: the presets share one width, and the groups and the dialog widen with them, the
  // closing buttons staying at the right. The size is the same in both modes; without GroupBox2 its area
  // stays empty.
  int presetWidth = 217;
  for (const QPushButton* preset : {Button1, Button2, Button3, Button4})
    presetWidth = std::max(presetWidth, CaptionWidth(preset));
  int grown = presetWidth - 217;
  grown = std::max(grown, PlaceSizeRow(Label1, WinSpinEdit1, Label2, WinSpinEdit2));
  grown = std::max(grown, PlaceSizeRow(Label3, WinSpinEdit3, Label4, WinSpinEdit4));
  PlaceControls({{Button1, 8, 48, presetWidth, 21}});
  PlaceControls({{Button2, 8, 75, presetWidth, 21}});
  PlaceControls({{Button3, 8, 102, presetWidth, 21}});
  PlaceControls({{Button4, 8, 48, presetWidth, 21}});
  GroupBox1->setGeometry(4, 0, 233 + grown, 129);
  GroupBox2->setGeometry(4, 135, 233 + grown, 78);
  const int closing =
      PlaceControls({{Button5, 66 + grown, 219, 81, 25}, {Button6, 153 + grown, 219, 81, 25}});
  setFixedSize(238 + grown + closing, 246);

  setTabOrder(WinSpinEdit1, WinSpinEdit2);
  setTabOrder(WinSpinEdit2, Button1);
  setTabOrder(Button1, Button2);
  setTabOrder(Button2, Button3);
  setTabOrder(Button3, WinSpinEdit3);
  setTabOrder(WinSpinEdit3, WinSpinEdit4);
  setTabOrder(WinSpinEdit4, Button4);
  setTabOrder(Button4, Button5);
  setTabOrder(Button5, Button6);

  connect(Button1, &QPushButton::clicked, this, &TSizeForm::Button1Click);
  connect(Button2, &QPushButton::clicked, this, &TSizeForm::Button2Click);
  connect(Button3, &QPushButton::clicked, this, &TSizeForm::Button3Click);
  connect(Button4, &QPushButton::clicked, this, &TSizeForm::Button4Click);
  connect(Button5, &QPushButton::clicked, this, &QDialog::accept);
  connect(Button6, &QPushButton::clicked, this, &QDialog::reject);
}

void TSizeForm::PrepareShow(bool WithImageSize) {
  GroupBox2->setVisible(WithImageSize);
  if (!WithImageSize && FLastFocus && GroupBox2->isAncestorOf(FLastFocus)) FLastFocus = nullptr;
  QWidget* target = FLastFocus ? FLastFocus.data() : WinSpinEdit1;
  target->setFocus(Qt::OtherFocusReason);
}

bool TSizeForm::ExecuteWithImageSize() {
  PrepareShow(true);
  return exec() == QDialog::Accepted;
}

bool TSizeForm::ExecuteChipSize() {
  PrepareShow(false);
  return exec() == QDialog::Accepted;
}

void TSizeForm::done(int Result) {
  FLastFocus = focusWidget();
  QDialog::done(Result);
}

void TSizeForm::Button1Click() {
  WinSpinEdit1->SetValue(32);
  WinSpinEdit2->SetValue(32);
}

void TSizeForm::Button2Click() {
  WinSpinEdit1->SetValue(24);
  WinSpinEdit2->SetValue(32);
}

void TSizeForm::Button3Click() {
  WinSpinEdit1->SetValue(16);
  WinSpinEdit2->SetValue(16);
}

void TSizeForm::Button4Click() {
  WinSpinEdit3->SetValue(16);
  WinSpinEdit4->SetValue(16);
}
