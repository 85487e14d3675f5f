#include "FPreferences.h"

#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QVBoxLayout>

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

  OkButton = new QPushButton(tr("OK"), this);
  OkButton->setDefault(true);
  CancelButton = new QPushButton(tr("キャンセル"), this);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(OkButton);
  buttons->addWidget(CancelButton);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(LanguageGroup);
  layout->addLayout(buttons);

  connect(OkButton, &QPushButton::clicked, this, &QDialog::accept);
  connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

void TPreferencesForm::Load(const QSettings& Preferences) {
  const int index = LanguageBox->findData(Preferences.value(LanguagePreferenceKey).toString());
  LanguageBox->setCurrentIndex(index < 0 ? 0 : index);
}

void TPreferencesForm::Store(QSettings& Preferences) const {
  Preferences.setValue(LanguagePreferenceKey, LanguageBox->currentData().toString());
}

bool TPreferencesForm::Execute(QSettings& Preferences) {
  Load(Preferences);
  if (exec() != QDialog::Accepted) return false;
  Store(Preferences);
  return true;
}
