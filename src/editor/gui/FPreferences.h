// TPreferencesForm: the preferences dialog. It holds the window's language; the choice is kept in the
// preferences (QSettings) and takes effect at the next start, when the texts are loaded.
#pragma once

#include <QDialog>

class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QSettings;

class TPreferencesForm : public QDialog {
  Q_OBJECT

 public:
  explicit TPreferencesForm(QWidget* Owner = nullptr);

  QGroupBox* LanguageGroup;
  // "system", "ja" or "en" as item data, in that order.
  QComboBox* LanguageBox;
  QLabel* LanguageNote;
  QPushButton* OkButton;
  QPushButton* CancelButton;

  // Shows the values kept in Preferences (an unknown language as the system's).
  void Load(const QSettings& Preferences);
  // Keeps the values shown in Preferences.
  void Store(QSettings& Preferences) const;
  // Loads, runs the dialog modally and, when it closes with OK, stores; true for OK.
  bool Execute(QSettings& Preferences);
};
