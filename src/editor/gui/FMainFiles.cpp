// The main window's files beyond the designed commands: Save and Save As, the question before unsaved changes
// are lost, the recent edit images, files dropped on the panes and the file named on the command line.
#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMenu>
#include <QMimeData>
#include <QScrollArea>
#include <QSettings>
#include <QTimer>
#include <QUrl>

#include "FMain.h"
#include "QtHistory.h"

namespace {

constexpr qsizetype MaxRecentFiles = 10;

// The picture files of a drag (local files named .png or .bmp in any letter case); the other local files in
// Others.
QStringList DraggedPictures(const QMimeData* Data, QStringList* Others = nullptr) {
  QStringList pictures;
  if (!Data || !Data->hasUrls()) return pictures;
  for (const QUrl& url : Data->urls()) {
    if (!url.isLocalFile()) continue;
    const QString file = url.toLocalFile();
    const QString suffix = QFileInfo(file).suffix().toLower();
    if (suffix == QLatin1String("png") || suffix == QLatin1String("bmp"))
      pictures << file;
    else if (Others)
      *Others << QDir::toNativeSeparators(file);
  }
  return pictures;
}

}  // namespace

QString EditImageArgument(const QStringList& Arguments) {
  bool options = true;
  for (qsizetype i = 1; i < Arguments.size(); ++i) {
    const QString& argument = Arguments[i];
    if (options && argument == QLatin1String("--")) {
      options = false;
      continue;
    }
    if (options && argument.startsWith(QLatin1Char('-'))) continue;
    return QFileInfo(argument).absoluteFilePath();
  }
  return {};
}

// ---------------------------------------------------------------------------------------------------------------
// Saving and the unsaved-changes question

bool TOrvMain::EditImageShown() const {
  return Image2->PictureHeight() != 0;
}

bool TOrvMain::SaveClick() {
  if (!EditImageShown()) return false;
  if (CurrentFile.isEmpty()) return SaveAsClick();
  SaveTo(CurrentFile);
  return true;
}

bool TOrvMain::SaveAsClick() {
  if (!EditImageShown()) return false;
  QString file;
  if (!AskSaveFile(SaveAsPictureDialog, file)) return false;
  SaveTo(file);
  return true;
}

void TOrvMain::SaveTo(const QString& FileName, bool Designed) {
  // With a project open, Save and Save As write the project too (its save settings are the window's save
  // choices while it is open), so that what the unsaved-changes question calls saved is saved in both.
  const TSaveResult result = SaveSheet(FileName);
  CurrentFile = FileName;
  if (Project && !Designed) SaveProjectTo(ProjectFile);
  History->SetClean();
  AddRecentFile(FileName);
  // The save went through; what it has to say comes after.
  if (!result.Warnings.empty()) {
    QStringList warnings;
    for (const std::string& warning : result.Warnings) warnings << QString::fromStdString(warning);
    FDialogs.ShowWarning(tr("保存しました。次の点に注意してください:") + QStringLiteral("\n\n") +
                         warnings.join(QLatin1Char('\n')));
  }
}

void TOrvMain::StartDocument(const QString& FileName) {
  CloseProject();
  CurrentFile = FileName;
  History->SetClean();
  if (!FileName.isEmpty()) AddRecentFile(FileName);
  SetEditSelection(TRect{});
}

bool TOrvMain::ConfirmUnsavedChanges() {
  if (!Editing() || History->IsClean() || !EditImageShown()) return true;
  const QString name = CurrentFile.isEmpty() ? tr("無題") : QFileInfo(CurrentFile).fileName();
  switch (FDialogs.AskSaveChanges(tr("「%1」への変更内容を保存しますか？").arg(name))) {
    case TSaveChangesAnswer::Save:
      return SaveClick();
    case TSaveChangesAnswer::Discard:
      return true;
    case TSaveChangesAnswer::Cancel:
      break;
  }
  return false;
}

void TOrvMain::ResetHistory(size_t MemoryLimit) {
  EndDrag();
  Editor = std::make_unique<TSheetEditor>(*Document, MemoryLimit);
  History->Reset(*Editor);
}

// ---------------------------------------------------------------------------------------------------------------
// Recent edit images

void TOrvMain::AddRecentFile(const QString& FileName) {
  const QString file = QFileInfo(FileName).absoluteFilePath();
  RecentFiles.removeAll(file);
  RecentFiles.prepend(file);
  while (RecentFiles.size() > MaxRecentFiles) RecentFiles.removeLast();
  RecentFilesChanged();
}

void TOrvMain::RecentFilesChanged() {
  // Kept at once, so that a program that ends without closing its window keeps the list too.
  if (FPreferences) FPreferences->setValue(QLatin1String(RecentFilesKey), RecentFiles);
  FillRecentMenu();
}

void TOrvMain::FillRecentMenu() {
  if (!RecentMenu) return;
  RecentMenu->clear();
  for (qsizetype i = 0; i < RecentFiles.size(); ++i) {
    const QString file = RecentFiles[i];
    const QString number = i < 9 ? QStringLiteral("&%1").arg(i + 1) : QString::number(i + 1);
    // An "&" of the path is shown as it is, not taken for a mnemonic.
    QAction* entry =
        RecentMenu->addAction(number + QLatin1Char(' ') +
                              QDir::toNativeSeparators(file).replace(QLatin1Char('&'), QStringLiteral("&&")));
    connect(entry, &QAction::triggered, this, [this, file] { Guarded([&] { OpenRecentFile(file); }); });
  }
  RecentMenu->addSeparator();
  QAction* clear = RecentMenu->addAction(tr("一覧を消去(&C)"));
  connect(clear, &QAction::triggered, this, [this] {
    RecentFiles.clear();
    RecentFilesChanged();
  });
  RecentMenu->setEnabled(!RecentFiles.isEmpty());
}

void TOrvMain::OpenRecentFile(const QString& FileName) {
  if (!ConfirmUnsavedChanges()) return;
  if (!QFileInfo::exists(FileName)) {
    // A file that is gone leaves the list.
    RecentFiles.removeAll(FileName);
    RecentFilesChanged();
    FDialogs.ShowError(ErrorBoxText(
        tr("ファイルが見つかりません: %1").arg(QDir::toNativeSeparators(FileName)).toStdString()));
    return;
  }
  OpenEditImage(FileName);
}

// ---------------------------------------------------------------------------------------------------------------
// Files dropped on the panes

void TOrvMain::AddMaterials(const QStringList& Files) {
  if (Files.isEmpty()) return;
  const int first = ComboBox1->count();
  AppendMaterials(Files);
  ComboBox1->setCurrentIndex(first);
  ComboBox1Change();
}

QWidget* TOrvMain::DropPane(const QPoint& At) const {
  for (QScrollArea* pane : {ScrollBox1, ScrollBox2})
    if (pane->isVisible() && QRect(pane->mapTo(this, QPoint(0, 0)), pane->size()).contains(At)) return pane;
  return nullptr;
}

void TOrvMain::dragEnterEvent(QDragEnterEvent* Event) {
  if (Editing() && DropPane(Event->position().toPoint()) && !DraggedPictures(Event->mimeData()).isEmpty())
    Event->acceptProposedAction();
  else
    Event->ignore();
}

void TOrvMain::dragMoveEvent(QDragMoveEvent* Event) {
  if (DropPane(Event->position().toPoint()) && !DraggedPictures(Event->mimeData()).isEmpty())
    Event->acceptProposedAction();
  else
    Event->ignore();
}

// The drop is taken at once; its work (which may show dialogs) runs after the drag has ended.
void TOrvMain::dropEvent(QDropEvent* Event) {
  QWidget* pane = DropPane(Event->position().toPoint());
  QStringList others;
  const QStringList pictures = DraggedPictures(Event->mimeData(), &others);
  if (!Editing() || !pane || pictures.isEmpty()) return Event->ignore();
  Event->acceptProposedAction();
  QTimer::singleShot(0, this, [this, material = pane == ScrollBox1, pictures, others] {
    Guarded([&] {
      if (material) {
        AddMaterials(pictures);
      } else {
        if (!ConfirmUnsavedChanges()) return;
        OpenEditImage(pictures.front());
      }
    });
    if (!others.isEmpty())
      FDialogs.ShowError(ErrorBoxText(tr("BMP または PNG ではないファイルは開けません: %1")
                                          .arg(others.join(QStringLiteral(", ")))
                                          .toStdString()));
  });
}
