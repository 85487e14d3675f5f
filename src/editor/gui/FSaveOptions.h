// TSaveOptionsPanel: the save choices of the editing window's save dialog, under the file list of Qt's own
// file dialog: the save profile, exact colours, the key colour, and the export beside the image (Tiled and
// Godot tilesets, spacing, margin, extrusion, copies left out of the Godot tiles). The window keeps the
// choices in its preferences between runs.
#pragma once

#include <QString>
#include <QWidget>
#include <memory>

#include "QtDialogs.h"

class QCheckBox;
class QComboBox;
class QFileDialog;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QSettings;
class QSpinBox;

// The preferences that keep the choices.
inline const char* const SaveProfileKey = "save/profile";  // a profile's Name: "standard" or "rpg2000"
inline const char* const ExactColorsKey = "save/exactColors";
inline const char* const KeyColorKey = "save/keyColor";  // "#rrggbb"; none: automatic
inline const char* const ExportTsxKey = "export/tsx";
inline const char* const ExportTsjKey = "export/tsj";
inline const char* const ExportTresKey = "export/tres";
inline const char* const ExportSpacingKey = "export/spacing";
inline const char* const ExportMarginKey = "export/margin";
inline const char* const ExportExtrusionKey = "export/extrusion";
inline const char* const ExportSkipDuplicatesKey = "export/skipDuplicates";
inline const char* const ExportMatchTransformsKey = "export/matchTransforms";

// The choices kept in Preferences (the designed save for none), and keeping them.
TSaveChoices SaveChoicesPreference(const QSettings& Preferences);
void StoreSaveChoices(QSettings& Preferences, const TSaveChoices& Choices);

// A profile as the window names it, and the profiles in a combo box (the profile's Name as item data, its
// description as tool tip).
QString ProfileText(TSaveProfile Profile);
void FillProfileBox(QComboBox& Box);

// Limits of spacing, margin and extrusion in the dialog.
inline constexpr int MaxExportPadding = 1024;

class TSaveOptionsPanel : public QWidget {
  Q_OBJECT

 public:
  explicit TSaveOptionsPanel(QWidget* Owner = nullptr);

  QComboBox* ProfileBox;
  QCheckBox* ExactColorsBox;  // for the Standard profile; the RPG Maker profile always keeps exact colours
  QRadioButton* AutomaticKeyButton;
  QRadioButton* ChosenKeyButton;
  QPushButton* KeyColorButton;  // shows the chosen key colour and chooses another
  QGroupBox* ExportGroup;
  QCheckBox* TsxBox;
  QCheckBox* TsjBox;
  QCheckBox* TresBox;
  QSpinBox* SpacingBox;
  QSpinBox* MarginBox;
  QSpinBox* ExtrusionBox;
  QCheckBox* SkipDuplicatesBox;
  QCheckBox* MatchTransformsBox;
  QLabel* ExportNote;

  void SetChoices(const TSaveChoices& Choices);
  TSaveChoices Choices() const;
  // The colour KeyColorButton shows, the key colour when ChosenKeyButton is checked (0x00BBGGRR).
  TColor ChosenKeyColor() const { return FKeyColor; }
  void SetChosenKeyColor(TColor Color);

 private:
  void UpdateControls();
  TSaveChoices FChoices;  // what the panel does not show (the export's chip size) comes back as it was given
  TColor FKeyColor = 0xFF00FF;
};

// Qt's own save dialog (CreatePictureDialog) with a TSaveOptionsPanel, object name "SaveOptionsPanel", under
// its file list, showing Choices; and the choices of such a dialog.
std::unique_ptr<QFileDialog> CreateSaveDialog(const TPictureDialog& Dialog, const TSaveChoices& Choices,
                                              QWidget* Owner);
TSaveChoices SaveDialogChoices(const QFileDialog& Dialog);
