// TPreferencesForm: the preferences dialog. It holds the window's language, kept in the preferences
// (QSettings) and taking effect at the next start, when the texts are loaded, the colour of the panes' chip
// grid, and the save profile and exact colours that the save dialog offers too.
#pragma once

#include <QColor>
#include <QDialog>
#include <optional>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QSettings;

// The preference of the grid colour ("#rrggbb"); none for the panes' own choice, which keeps the grid visible
// on dark and light chips alike.
inline const char* const GridColorPreferenceKey = "gridColor";
std::optional<QColor> GridColorPreference(const QSettings& Preferences);

class TPreferencesForm : public QDialog {
  Q_OBJECT

 public:
  explicit TPreferencesForm(QWidget* Owner = nullptr);

  QGroupBox* LanguageGroup;
  // "system", "ja" or "en" as item data, in that order.
  QComboBox* LanguageBox;
  QLabel* LanguageNote;
  QGroupBox* GridGroup;
  QPushButton* GridColorButton;  // shows the colour and chooses another
  QPushButton* GridDefaultButton;
  // The grid colour shown; none for the panes' own.
  std::optional<QColor> GridColor;
  void SetGridColor(const std::optional<QColor>& Color);
  // The save profile and exact colours, the choices of the save dialog kept between runs.
  QGroupBox* SaveGroup;
  QComboBox* ProfileBox;
  QCheckBox* ExactColorsBox;
  QPushButton* OkButton;
  QPushButton* CancelButton;

  // Shows the values kept in Preferences (an unknown language as the system's).
  void Load(const QSettings& Preferences);
  // Keeps the values shown in Preferences.
  void Store(QSettings& Preferences) const;
  // Loads, runs the dialog modally and, when it closes with OK, stores; true for OK.
  bool Execute(QSettings& Preferences);
};
