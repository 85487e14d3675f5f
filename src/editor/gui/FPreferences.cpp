#include "FPreferences.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QSettings>
#include <QVBoxLayout>

#include "FSaveOptions.h"
#include "QtLanguage.h"

TPreferencesForm::TPreferencesForm(QWidget* Owner) : QDialog(Owner) {
  setObjectName(QStringLiteral("PreferencesForm"));
  setWindowTitle(tr("設定"));

  LanguageGroup = new QGroupBox(tr("言語"), this);
  LanguageBox = new QComboBox(LanguageGroup);
  LanguageBox->addItem(tr("システムに合わせる"), QStringLiteral("system"));
  // Each language is named in itself, so that a user who cannot read the current one finds their own.
  LanguageBox->addItem(QString::fromUtf8("日本語"), QStringLiteral("ja"));
  LanguageBox->addItem(QStringLiteral("English"), QStringLiteral("en"));
  LanguageNote = new QLabel(tr("言語の変更は次の起動から有効になります。"), LanguageGroup);
  auto* group = new QVBoxLayout(LanguageGroup);
  group->addWidget(LanguageBox);
  group->addWidget(LanguageNote);

  GridGroup = new QGroupBox(tr("グリッドの色"), this);
  GridColorButton = new QPushButton(GridGroup);
  GridDefaultButton = new QPushButton(tr("自動に戻す"), GridGroup);
  auto* grid = new QHBoxLayout(GridGroup);
  grid->addWidget(GridColorButton);
  grid->addWidget(GridDefaultButton);
  grid->addStretch();
  connect(GridColorButton, &QPushButton::clicked, this, [this] {
    const QColor chosen = QColorDialog::getColor(GridColor.value_or(Qt::black), this, tr("グリッドの色"));
    if (chosen.isValid()) SetGridColor(chosen);
  });
  connect(GridDefaultButton, &QPushButton::clicked, this, [this] { SetGridColor(std::nullopt); });
  SetGridColor(std::nullopt);

  SaveGroup = new QGroupBox(tr("保存"), this);
  auto* profileLabel = new QLabel(tr("保存形式:"), SaveGroup);
  ProfileBox = new QComboBox(SaveGroup);
  FillProfileBox(*ProfileBox);
  profileLabel->setBuddy(ProfileBox);
  ExactColorsBox = new QCheckBox(tr("正確な色で保存 (似た色をまとめない)"), SaveGroup);
  auto* save = new QGridLayout(SaveGroup);
  save->addWidget(profileLabel, 0, 0);
  save->addWidget(ProfileBox, 0, 1);
  save->addWidget(ExactColorsBox, 1, 0, 1, 2);
  save->setColumnStretch(2, 1);

  OkButton = new QPushButton(tr("OK"), this);
  OkButton->setDefault(true);
  CancelButton = new QPushButton(tr("キャンセル"), this);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(OkButton);
  buttons->addWidget(CancelButton);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(LanguageGroup);
  layout->addWidget(GridGroup);
  layout->addWidget(SaveGroup);
  layout->addLayout(buttons);

  connect(OkButton, &QPushButton::clicked, this, &QDialog::accept);
  connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

std::optional<QColor> GridColorPreference(const QSettings& Preferences) {
  const QColor color(Preferences.value(GridColorPreferenceKey).toString());
  if (!color.isValid()) return std::nullopt;
  return color;
}

void TPreferencesForm::SetGridColor(const std::optional<QColor>& Color) {
  GridColor = Color;
  QPixmap swatch(24, 12);
  swatch.fill(Color.value_or(Qt::transparent));
  GridColorButton->setIcon(Color ? QIcon(swatch) : QIcon());
  GridColorButton->setText(Color ? Color->name() : tr("自動"));
  GridDefaultButton->setEnabled(Color.has_value());
}

void TPreferencesForm::Load(const QSettings& Preferences) {
  const int index = LanguageBox->findData(Preferences.value(LanguagePreferenceKey).toString());
  LanguageBox->setCurrentIndex(index < 0 ? 0 : index);
  SetGridColor(GridColorPreference(Preferences));
  const TSaveChoices choices = SaveChoicesPreference(Preferences);
  ProfileBox->setCurrentIndex(
      std::max(0, ProfileBox->findData(QString::fromLatin1(SaveProfileInfo(choices.Save.Profile).Name))));
  ExactColorsBox->setChecked(choices.Save.ExactColors);
}

void TPreferencesForm::Store(QSettings& Preferences) const {
  Preferences.setValue(LanguagePreferenceKey, LanguageBox->currentData().toString());
  if (GridColor)
    Preferences.setValue(GridColorPreferenceKey, GridColor->name());
  else
    Preferences.remove(GridColorPreferenceKey);
  TSaveChoices choices = SaveChoicesPreference(Preferences);
  const TSaveProfileInfo* profile = FindSaveProfile(ProfileBox->currentData().toString().toStdString());
  choices.Save.Profile = profile ? profile->Profile : TSaveProfile::Standard;
  choices.Save.ExactColors = ExactColorsBox->isChecked();
  StoreSaveChoices(Preferences, choices);
}

bool TPreferencesForm::Execute(QSettings& Preferences) {
  Load(Preferences);
  if (exec() != QDialog::Accepted) return false;
  Store(Preferences);
  return true;
}
