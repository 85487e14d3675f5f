#include "FSize.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

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
  return field;
}

QPushButton* NewButton(QWidget* Owner, const char* Caption, int Width, int Height) {
  auto* button = new QPushButton(QString::fromUtf8(Caption), Owner);
  button->setMinimumSize(Width, Height);
  return button;
}

// The row "幅 [field] ×　高さ [field]" of a group.
void AddSizeRow(QGridLayout* Grid, QLabel* WidthLabel, TWinSpinEdit* WidthField, QLabel* HeightLabel,
                TWinSpinEdit* HeightField) {
  auto* row = new QHBoxLayout;
  row->setSpacing(6);
  row->addWidget(WidthLabel);
  row->addWidget(WidthField);
  row->addWidget(HeightLabel);
  row->addWidget(HeightField);
  row->addStretch();
  Grid->addLayout(row, 0, 0);
}

}  // namespace

TSizeForm::TSizeForm(QWidget* Owner) : QDialog(Owner) {
  setObjectName(QStringLiteral("SizeForm"));
  setWindowTitle(QString::fromUtf8("サイズとか"));
  move(180, 52);

  GroupBox1 = new QGroupBox(QString::fromUtf8("チップサイズ"), this);
  Label1 = new QLabel(QString::fromUtf8("幅"), GroupBox1);
  WinSpinEdit1 = NewField(GroupBox1, 32);
  Label2 = new QLabel(QString::fromUtf8("×　高さ"), GroupBox1);
  WinSpinEdit2 = NewField(GroupBox1, 32);
  Button1 = NewButton(GroupBox1, "32×32　(Ruvola標準)", 217, 21);
  Button2 = NewButton(GroupBox1, "24×32　(RPGツクール2000 イベント標準)", 217, 21);
  Button3 = NewButton(GroupBox1, "16×16　(RPGツクール2000 マップ標準)", 217, 21);
  auto* grid1 = new QGridLayout(GroupBox1);
  AddSizeRow(grid1, Label1, WinSpinEdit1, Label2, WinSpinEdit2);
  grid1->addWidget(Button1, 1, 0);
  grid1->addWidget(Button2, 2, 0);
  grid1->addWidget(Button3, 3, 0);
  GroupBox1->setMinimumSize(233, 129);

  GroupBox2 = new QGroupBox(QString::fromUtf8("画像サイズ"), this);
  Label3 = new QLabel(QString::fromUtf8("幅"), GroupBox2);
  WinSpinEdit3 = NewField(GroupBox2, 16);
  Label4 = new QLabel(QString::fromUtf8("×　高さ"), GroupBox2);
  WinSpinEdit4 = NewField(GroupBox2, 16);
  Button4 = NewButton(GroupBox2, "16×16　(Ruvola標準)", 217, 21);
  auto* grid2 = new QGridLayout(GroupBox2);
  AddSizeRow(grid2, Label3, WinSpinEdit3, Label4, WinSpinEdit4);
  grid2->addWidget(Button4, 1, 0);
  GroupBox2->setMinimumSize(233, 78);
  // The dialog keeps its size in both modes; without the group its area stays empty.
  QSizePolicy keep = GroupBox2->sizePolicy();
  keep.setRetainSizeWhenHidden(true);
  GroupBox2->setSizePolicy(keep);

  Button5 = NewButton(this, "OK", 81, 25);
  Button5->setDefault(true);
  Button6 = NewButton(this, "キャンセル", 81, 25);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(Button5);
  buttons->addWidget(Button6);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(4, 0, 4, 4);
  layout->addWidget(GroupBox1);
  layout->addWidget(GroupBox2);
  layout->addStretch();
  layout->addLayout(buttons);
  setFixedSize(layout->sizeHint().expandedTo(QSize(238, 246)));

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
