// The window's modal dialogs and message boxes, reached through one interface that tests replace, and the
// guard that turns an exception escaping an event handler into the error box.
#pragma once

#include <QImage>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <string>

#include "OrvExport.h"

class QFileDialog;
class QMessageBox;
class QWidget;
class TSizeForm;

// A file dialog of the window: open or save, its title, its filter ("description|patterns|..." with patterns
// separated by ";") and the extension added to a name typed without one.
struct TPictureDialog {
  enum TKind { Open, Save };
  TKind Kind = Open;
  QString Title;
  QString Filter;
  QString DefaultExt;
  bool Preview = true;  // a pane beside the file list shows the highlighted picture
};

// The choices of the editing window's save dialog beyond the file name, kept between runs (FSaveOptions.h).
struct TSaveChoices {
  // The profile, exact colours and the key colour (-1: automatic), which is also Tiled's trans.
  TSaveOptions Save;
  // The tileset files written beside the image and named after it.
  bool Tsx = false;
  bool Tsj = false;
  bool Tres = false;
  // Spacing, margin, extrusion and the copies left out of the Godot tile list; the chip size and the key
  // colour come from the sheet and Save.
  TExportOptions Export;
  // Whether a save writes anything beside the image: a tileset, or the laid-out image of a padded export.
  bool Exports() const {
    return Tsx || Tsj || Tres || Export.Spacing > 0 || Export.Margin > 0 || Export.Extrusion > 0;
  }
};

// The answers to the question before unsaved changes of the edit image would be lost.
enum class TSaveChangesAnswer { Save, Discard, Cancel };

class TDialogs {
 public:
  virtual ~TDialogs() = default;
  // Runs the size dialog with or without its image-size group; true when it closed with OK.
  virtual bool ExecuteSizeForm(TSizeForm& Form, bool WithImageSize) = 0;
  // Runs a file dialog; true, with the chosen files as full paths, when a file was chosen.
  virtual bool ExecutePictureDialog(const TPictureDialog& Dialog, QStringList& Files) = 0;
  // The warning message box with the buttons Yes and No; true for Yes.
  virtual bool WarningYesNo(const QString& Text) = 0;
  // The question whether to save the edit image's changes first: save, discard them, or cancel the command.
  virtual TSaveChangesAnswer AskSaveChanges(const QString& Text) = 0;
  // The error box of the application, with the message as shown (see ErrorBoxText).
  virtual void ShowError(const QString& Message) = 0;
  // A question with the buttons Yes and No; true for Yes.
  virtual bool AskYesNo(const QString& Text) = 0;
  // A warning that does not stop the command (something it could not do).
  virtual void ShowWarning(const QString& Text) = 0;
  // The editing window's save dialog: a file dialog with the save choices under its file list, showing
  // Choices and, when a file was chosen, leaving the choices made there. By default the plain file dialog,
  // the choices as they were.
  virtual bool ExecuteSaveDialog(const TPictureDialog& Dialog, TSaveChoices& Choices, QStringList& Files) {
    (void)Choices;
    return ExecutePictureDialog(Dialog, Files);
  }
};

// The dialogs as the program shows them, owned by the given window.
class TQtDialogs : public TDialogs {
 public:
  explicit TQtDialogs(QWidget* Owner = nullptr) : FOwner(Owner) {}
  void SetOwner(QWidget* Owner) { FOwner = Owner; }
  bool ExecuteSizeForm(TSizeForm& Form, bool WithImageSize) override;
  bool ExecutePictureDialog(const TPictureDialog& Dialog, QStringList& Files) override;
  bool WarningYesNo(const QString& Text) override;
  TSaveChangesAnswer AskSaveChanges(const QString& Text) override;
  void ShowError(const QString& Message) override;
  bool AskYesNo(const QString& Text) override;
  void ShowWarning(const QString& Text) override;
  bool ExecuteSaveDialog(const TPictureDialog& Dialog, TSaveChoices& Choices, QStringList& Files) override;

 private:
  QWidget* FOwner;
};

// The application's title: the error box's caption.
inline const char* const ApplicationTitle = "Tilora";

// Qt's own file dialog for a picture dialog: the title, the filter entries with their descriptions as given
// (the first one chosen), the default extension, one file, no question before replacing a file, and a preview
// pane unless the dialog has none.
std::unique_ptr<QFileDialog> CreatePictureDialog(const TPictureDialog& Dialog, QWidget* Owner);
// The warning box: caption "警告", the text, the buttons "はい(&Y)" (the default) and "いいえ(&N)" (also what
// Escape and the close box give).
std::unique_ptr<QMessageBox> CreateWarningBox(const QString& Text, QWidget* Owner);
// The unsaved-changes question: caption "Tilora", the text, the buttons "保存する(&S)" (the default),
// "保存しない(&N)" and "キャンセル" (also what Escape and the close box give).
std::unique_ptr<QMessageBox> CreateSaveChangesBox(const QString& Text, QWidget* Owner);
// The answer a closed unsaved-changes box gives.
TSaveChangesAnswer SaveChangesAnswer(const QMessageBox& Box);
// The error box: caption "Tilora" and the message.
std::unique_ptr<QMessageBox> CreateErrorBox(const QString& Message, QWidget* Owner);
// A question: caption "Tilora", the text, the buttons "はい(&Y)" (the default) and "いいえ(&N)" (also what
// Escape and the close box give).
std::unique_ptr<QMessageBox> CreateQuestionBox(const QString& Text, QWidget* Owner);
// A warning: caption "Tilora", the warning icon, the text and OK.
std::unique_ptr<QMessageBox> CreateNoticeBox(const QString& Text, QWidget* Owner);

// The preview of a picture file, decoded through the picture-format registry by its extension and drawn to
// fit MaxSize (never enlarged), with the picture's own size in PictureSize; a null image when no format is
// registered for the extension or the file does not decode.
QImage PicturePreview(const QString& FileName, QSize MaxSize, QSize* PictureSize = nullptr);

// Registers the platform bitmap for ".bmp" in the picture-format registry (the previews open BMP files
// through it), unless a class is registered for it already; Unregister removes it again.
void RegisterBitmapFileFormat();
void UnregisterBitmapFileFormat();

// An error message as the error box shows it (ShownErrorMessage).
QString ErrorBoxText(const std::string& Message);

// Runs an event handler; an exception escaping it ends it and is shown in the error box, and the caller goes
// on.
void RunGuarded(TDialogs& Dialogs, const std::function<void()>& Handler);
