#include "FSaveOptions.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {

QColor ToQColor(TColor Color) {
  return QColor(GetRValue(Color), GetGValue(Color), GetBValue(Color));
}

TColor FromQColor(const QColor& Color) {
  return RGB(static_cast<uint8_t>(Color.red()), static_cast<uint8_t>(Color.green()),
             static_cast<uint8_t>(Color.blue()));
}

QString ProfileDescription(TSaveProfile Profile) {
  switch (Profile) {
    case TSaveProfile::Standard:
      return TSaveOptionsPanel::tr(
          "色数に応じて 8・4・1 ビットに減らして保存します。透明なピクセルがあれば透明度を保ちます。");
    case TSaveProfile::Rpg2000:
      return TSaveOptionsPanel::tr(
          "8 ビットのパレット画像に正確な色で保存し、透過色をパレットの 0 番に置きます (透過色のほかに 255 "
          "色まで)。チップセットは 480×256 ピクセルです。");
  }
  return {};
}

int HeldPadding(const QVariant& Value) {
  return std::clamp(Value.toInt(), 0, MaxExportPadding);
}

}  // namespace

QString ProfileText(TSaveProfile Profile) {
  switch (Profile) {
    case TSaveProfile::Standard:
      return TSaveOptionsPanel::tr("標準");
    case TSaveProfile::Rpg2000:
      return TSaveOptionsPanel::tr("RPG Maker 2000/2003");
  }
  return {};
}

void FillProfileBox(QComboBox& Box) {
  Box.clear();
  for (const TSaveProfileInfo& profile : SaveProfiles()) {
    Box.addItem(ProfileText(profile.Profile), QString::fromLatin1(profile.Name));
    Box.setItemData(Box.count() - 1, ProfileDescription(profile.Profile), Qt::ToolTipRole);
  }
}

TSaveChoices SaveChoicesPreference(const QSettings& Preferences) {
  TSaveChoices choices;
  const TSaveProfileInfo* profile =
      FindSaveProfile(Preferences.value(QLatin1String(SaveProfileKey)).toString().toStdString());
  if (profile) choices.Save.Profile = profile->Profile;
  choices.Save.ExactColors = Preferences.value(QLatin1String(ExactColorsKey), false).toBool();
  const QColor key(Preferences.value(QLatin1String(KeyColorKey)).toString());
  if (key.isValid()) choices.Save.KeyColor = FromQColor(key);
  choices.Tsx = Preferences.value(QLatin1String(ExportTsxKey), false).toBool();
  choices.Tsj = Preferences.value(QLatin1String(ExportTsjKey), false).toBool();
  choices.Tres = Preferences.value(QLatin1String(ExportTresKey), false).toBool();
  choices.Export.Spacing = HeldPadding(Preferences.value(QLatin1String(ExportSpacingKey), 0));
  choices.Export.Margin = HeldPadding(Preferences.value(QLatin1String(ExportMarginKey), 0));
  choices.Export.Extrusion = HeldPadding(Preferences.value(QLatin1String(ExportExtrusionKey), 0));
  choices.Export.SkipDuplicates = Preferences.value(QLatin1String(ExportSkipDuplicatesKey), false).toBool();
  choices.Export.MatchTransforms = Preferences.value(QLatin1String(ExportMatchTransformsKey), false).toBool();
  return choices;
}

void StoreSaveChoices(QSettings& Preferences, const TSaveChoices& Choices) {
  Preferences.setValue(QLatin1String(SaveProfileKey),
                       QString::fromLatin1(SaveProfileInfo(Choices.Save.Profile).Name));
  Preferences.setValue(QLatin1String(ExactColorsKey), Choices.Save.ExactColors);
  if (Choices.Save.KeyColor == -1)
    Preferences.remove(QLatin1String(KeyColorKey));
  else
    Preferences.setValue(QLatin1String(KeyColorKey), ToQColor(Choices.Save.KeyColor).name());
  Preferences.setValue(QLatin1String(ExportTsxKey), Choices.Tsx);
  Preferences.setValue(QLatin1String(ExportTsjKey), Choices.Tsj);
  Preferences.setValue(QLatin1String(ExportTresKey), Choices.Tres);
  Preferences.setValue(QLatin1String(ExportSpacingKey), Choices.Export.Spacing);
  Preferences.setValue(QLatin1String(ExportMarginKey), Choices.Export.Margin);
  Preferences.setValue(QLatin1String(ExportExtrusionKey), Choices.Export.Extrusion);
  Preferences.setValue(QLatin1String(ExportSkipDuplicatesKey), Choices.Export.SkipDuplicates);
  Preferences.setValue(QLatin1String(ExportMatchTransformsKey), Choices.Export.MatchTransforms);
}

// ---------------------------------------------------------------------------------------------------------------
// The panel

TSaveOptionsPanel::TSaveOptionsPanel(QWidget* Owner) : QWidget(Owner) {
  setObjectName(QStringLiteral("SaveOptionsPanel"));

  auto* profileLabel = new QLabel(tr("保存形式:"), this);
  ProfileBox = new QComboBox(this);
  FillProfileBox(*ProfileBox);
  profileLabel->setBuddy(ProfileBox);
  ExactColorsBox = new QCheckBox(tr("正確な色で保存 (似た色をまとめない)"), this);
  ExactColorsBox->setToolTip(
      tr("256 色以下の画像を、色をまとめずにその色のまま 8 ビットまたは 4 ビットで保存します。"));
  auto* profileRow = new QHBoxLayout;
  profileRow->addWidget(profileLabel);
  profileRow->addWidget(ProfileBox);
  profileRow->addSpacing(12);
  profileRow->addWidget(ExactColorsBox);
  profileRow->addStretch();

  auto* keyLabel = new QLabel(tr("透過色:"), this);
  AutomaticKeyButton = new QRadioButton(tr("自動"), this);
  ChosenKeyButton = new QRadioButton(tr("指定:"), this);
  KeyColorButton = new QPushButton(this);
  const QString keyTip = tr(
      "RPG Maker 2000/2003 形式でパレットの 0 番に置く色で、タイルセットには Tiled の透過色 (trans) として"
      "書きます。自動のときは透明なピクセルの色、透明なピクセルがなければ左上のピクセルの色です。標準形式で"
      "自動のときは、タイルセットに透過色を書きません。");
  for (QWidget* control : std::initializer_list<QWidget*>{keyLabel, AutomaticKeyButton, ChosenKeyButton})
    control->setToolTip(keyTip);
  auto* keyRow = new QHBoxLayout;
  keyRow->addWidget(keyLabel);
  keyRow->addWidget(AutomaticKeyButton);
  keyRow->addWidget(ChosenKeyButton);
  keyRow->addWidget(KeyColorButton);
  keyRow->addStretch();

  ExportGroup = new QGroupBox(tr("書き出し"), this);
  TsxBox = new QCheckBox(tr("Tiled (.tsx)"), ExportGroup);
  TsjBox = new QCheckBox(tr("Tiled JSON (.tsj)"), ExportGroup);
  TresBox = new QCheckBox(tr("Godot (.tres)"), ExportGroup);
  const auto newPadding = [this](const QString& Tip) {
    auto* box = new QSpinBox(ExportGroup);
    box->setRange(0, MaxExportPadding);
    box->setSuffix(tr(" px"));
    box->setToolTip(Tip);
    return box;
  };
  SpacingBox = newPadding(tr("チップとチップの間に空けるピクセル数"));
  MarginBox = newPadding(tr("チップ全体のまわりに空けるピクセル数"));
  ExtrusionBox = newPadding(tr("各チップの端のピクセルを外側へ繰り返す幅 (テクスチャのにじみを防ぎます)"));
  SkipDuplicatesBox = new QCheckBox(tr("重複したチップを Godot のタイルから除く"), ExportGroup);
  SkipDuplicatesBox->setToolTip(tr("空のチップはいつも除きます。"));
  MatchTransformsBox = new QCheckBox(tr("反転・回転したコピーも重複とみなす"), ExportGroup);
  ExportNote = new QLabel(
      tr("タイルセットは画像と同じフォルダーに同じ名前で保存します。間隔・余白・押し出しを付けた画像は「名前"
         ".export.png」のように別のファイルに保存し、タイルセットはその画像を指します。"),
      ExportGroup);
  ExportNote->setWordWrap(true);
  auto* files = new QHBoxLayout;
  files->addWidget(TsxBox);
  files->addWidget(TsjBox);
  files->addWidget(TresBox);
  files->addStretch();
  auto* padding = new QHBoxLayout;
  const std::pair<QString, QSpinBox*> paddings[] = {
      {tr("間隔:"), SpacingBox}, {tr("余白:"), MarginBox}, {tr("押し出し:"), ExtrusionBox}};
  for (const auto& [text, box] : paddings) {
    auto* label = new QLabel(text, ExportGroup);
    label->setBuddy(box);
    padding->addWidget(label);
    padding->addWidget(box);
    padding->addSpacing(8);
  }
  padding->addStretch();
  auto* duplicates = new QHBoxLayout;
  duplicates->addWidget(SkipDuplicatesBox);
  duplicates->addWidget(MatchTransformsBox);
  duplicates->addStretch();
  auto* group = new QVBoxLayout(ExportGroup);
  group->addLayout(files);
  group->addLayout(padding);
  group->addLayout(duplicates);
  group->addWidget(ExportNote);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addLayout(profileRow);
  layout->addLayout(keyRow);
  layout->addWidget(ExportGroup);

  connect(ProfileBox, &QComboBox::currentIndexChanged, this, [this] { UpdateControls(); });
  for (QAbstractButton* button :
       std::initializer_list<QAbstractButton*>{ChosenKeyButton, TresBox, SkipDuplicatesBox})
    connect(button, &QAbstractButton::toggled, this, [this] { UpdateControls(); });
  connect(KeyColorButton, &QPushButton::clicked, this, [this] {
    const QColor chosen = QColorDialog::getColor(ToQColor(FKeyColor), this, tr("透過色"));
    if (!chosen.isValid()) return;
    SetChosenKeyColor(FromQColor(chosen));
    ChosenKeyButton->setChecked(true);
  });
  SetChoices({});
}

void TSaveOptionsPanel::SetChosenKeyColor(TColor Color) {
  FKeyColor = Color & 0xFFFFFF;
  QPixmap swatch(24, 12);
  swatch.fill(ToQColor(FKeyColor));
  KeyColorButton->setIcon(QIcon(swatch));
  KeyColorButton->setText(ToQColor(FKeyColor).name());
}

void TSaveOptionsPanel::SetChoices(const TSaveChoices& Choices) {
  FChoices = Choices;
  ProfileBox->setCurrentIndex(
      std::max(0, ProfileBox->findData(QString::fromLatin1(SaveProfileInfo(Choices.Save.Profile).Name))));
  ExactColorsBox->setChecked(Choices.Save.ExactColors);
  const bool chosen = Choices.Save.KeyColor != -1;
  (chosen ? ChosenKeyButton : AutomaticKeyButton)->setChecked(true);
  SetChosenKeyColor(chosen ? Choices.Save.KeyColor : FKeyColor);
  TsxBox->setChecked(Choices.Tsx);
  TsjBox->setChecked(Choices.Tsj);
  TresBox->setChecked(Choices.Tres);
  SpacingBox->setValue(Choices.Export.Spacing);
  MarginBox->setValue(Choices.Export.Margin);
  ExtrusionBox->setValue(Choices.Export.Extrusion);
  SkipDuplicatesBox->setChecked(Choices.Export.SkipDuplicates);
  MatchTransformsBox->setChecked(Choices.Export.MatchTransforms);
  UpdateControls();
}

TSaveChoices TSaveOptionsPanel::Choices() const {
  TSaveChoices choices = FChoices;
  const TSaveProfileInfo* profile = FindSaveProfile(ProfileBox->currentData().toString().toStdString());
  choices.Save.Profile = profile ? profile->Profile : TSaveProfile::Standard;
  choices.Save.ExactColors = ExactColorsBox->isChecked();
  choices.Save.KeyColor = ChosenKeyButton->isChecked() ? FKeyColor : -1;
  choices.Tsx = TsxBox->isChecked();
  choices.Tsj = TsjBox->isChecked();
  choices.Tres = TresBox->isChecked();
  choices.Export.Spacing = SpacingBox->value();
  choices.Export.Margin = MarginBox->value();
  choices.Export.Extrusion = ExtrusionBox->value();
  choices.Export.SkipDuplicates = SkipDuplicatesBox->isChecked();
  choices.Export.MatchTransforms = MatchTransformsBox->isChecked();
  return choices;
}

void TSaveOptionsPanel::UpdateControls() {
  // The RPG Maker profile always saves exact colours; the Godot choices matter only with its tileset.
  ExactColorsBox->setEnabled(ProfileBox->currentData().toString() == QLatin1String("standard"));
  KeyColorButton->setEnabled(ChosenKeyButton->isChecked());
  SkipDuplicatesBox->setEnabled(TresBox->isChecked());
  MatchTransformsBox->setEnabled(TresBox->isChecked() && SkipDuplicatesBox->isChecked());
}

// ---------------------------------------------------------------------------------------------------------------
// The dialog

std::unique_ptr<QFileDialog> CreateSaveDialog(const TPictureDialog& Dialog, const TSaveChoices& Choices,
                                              QWidget* Owner) {
  std::unique_ptr<QFileDialog> dialog = CreatePictureDialog(Dialog, Owner);
  auto* panel = new TSaveOptionsPanel(dialog.get());
  panel->SetChoices(Choices);
  if (auto* grid = qobject_cast<QGridLayout*>(dialog->layout()))
    grid->addWidget(panel, grid->rowCount(), 0, 1, grid->columnCount());
  // The file list keeps the room it has in the plain dialog; the choices come below it.
  dialog->resize(std::max(dialog->width(), panel->sizeHint().width() + 24),
                 dialog->height() + panel->heightForWidth(dialog->width()) + 8);
  return dialog;
}

TSaveChoices SaveDialogChoices(const QFileDialog& Dialog) {
  const auto* panel = Dialog.findChild<const TSaveOptionsPanel*>(QStringLiteral("SaveOptionsPanel"));
  return panel ? panel->Choices() : TSaveChoices{};
}
