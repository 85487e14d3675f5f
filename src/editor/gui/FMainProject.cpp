// Sheets as projects in the window: open, save and save as, the watch over the open project's material files
// and the rebuild it offers when one changes. Opening and rebuilding replay the recipe from the materials on
// a copy of the document and put the result in as one step of the history.
#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QMenu>
#include <QTimer>

#include "FMain.h"
#include "FSaveOptions.h"
#include "OrvEncoding.h"
#include "QtHistory.h"

namespace {

// How long the watch waits after a file changed before it looks: a program that saves writes the file in
// several steps, or writes a new file and renames it over the old one.
constexpr int SettleMilliseconds = 300;
// The cells a warning names of one material, at most.
constexpr size_t MaxCellsShown = 12;

QString CellsText(const std::vector<TChipCell>& Cells) {
  QStringList cells;
  for (size_t i = 0; i < Cells.size() && i < MaxCellsShown; ++i)
    cells << QStringLiteral("(%1, %2)").arg(Cells[i].Column).arg(Cells[i].Row);
  QString text = cells.join(TOrvMain::tr("、"));
  if (Cells.size() > MaxCellsShown) text += TOrvMain::tr(" ほか %1 個").arg(Cells.size() - MaxCellsShown);
  return text;
}

// The digest of a file as it is now; empty when it cannot be read.
std::string DigestNow(const std::string& Path) {
  try {
    return FileSha256Hex(Path);
  } catch (const Exception&) {
    return {};
  }
}

}  // namespace

void TOrvMain::BuildMaterialWatch() {
  FMaterialWatch = new QFileSystemWatcher(this);
  FMaterialTimer = new QTimer(this);
  FMaterialTimer->setSingleShot(true);
  FMaterialTimer->setInterval(SettleMilliseconds);
  connect(FMaterialWatch, &QFileSystemWatcher::fileChanged, FMaterialTimer, qOverload<>(&QTimer::start));
  connect(FMaterialTimer, &QTimer::timeout, this, [this] { Guarded([this] { CheckMaterialChanges(); }); });
}

// ---------------------------------------------------------------------------------------------------------------
// Opening and saving

void TOrvMain::OpenProjectClick() {
  if (!ConfirmUnsavedChanges()) return;
  QStringList files;
  if (!FDialogs.ExecutePictureDialog(OpenProjectDialog, files)) return;
  OpenProject(files.front());
}

void TOrvMain::OpenProject(const QString& FileName) {
  TProject project = ReadProject(DocumentPath(QFileInfo(FileName).absoluteFilePath()));
  const TSheetRecipe recipe = ProjectRecipe(project);
  TOrvDatas rebuilt;
  const std::vector<TReplayProblem> problems = ReplayRecipe(recipe, project.Materials, rebuilt);
  EndDrag();
  ShowEditChange(RecordEdit([&] { return Editor->Rebuild(rebuilt, recipe); }));
  CloseProject();

  // The sheet as the project keeps it: saved where and as the project says, its materials at hand.
  ProjectFile = QFileInfo(FileName).absoluteFilePath();
  CurrentFile = QString::fromStdString(project.SheetFile);
  FSaveChoices.Save = project.Save;
  FProjectMaterials = project.Materials;
  Project = std::move(project);
  History->SetClean();
  SetEditSelection(TRect{});
  QStringList missing;
  for (const TProjectMaterial& material : FProjectMaterials) {
    WatchMaterial(material.Path);
    if (MaterialFiles->IndexOf(material.Path) < 0 && !missing.contains(QString::fromStdString(material.Path)))
      missing << QString::fromStdString(material.Path);
  }
  AppendMaterials(missing);
  UpdateActions();
  UpdateDocumentStatus();
  ShowReplayProblems(problems);
}

bool TOrvMain::SaveProjectClick() {
  if (!EditImageShown()) return false;
  if (ProjectFile.isEmpty()) return SaveProjectAsClick();
  SaveProjectTo(ProjectFile);
  return true;
}

bool TOrvMain::SaveProjectAsClick() {
  if (!EditImageShown()) return false;
  QStringList files;
  if (!FDialogs.ExecutePictureDialog(SaveProjectDialog, files)) return false;
  SaveProjectTo(files.front());
  return true;
}

void TOrvMain::SaveProjectTo(const QString& FileName) {
  const QString file = QFileInfo(FileName).absoluteFilePath();
  TProject project = MakeProject(Editor->SheetRecipe(), Project ? &*Project : nullptr);
  const bool timeStamp = project.Save.TimeStamp;
  project.Save = FSaveChoices.Save;
  project.Save.TimeStamp = timeStamp;
  if (!CurrentFile.isEmpty()) project.SheetFile = DocumentPath(QFileInfo(CurrentFile).absoluteFilePath());
  project.ReadText = WriteProject(project, DocumentPath(file));
  ProjectFile = file;
  FProjectMaterials = project.Materials;
  for (const TProjectMaterial& material : FProjectMaterials) {
    WatchMaterial(material.Path);
    FSeenDigests[material.Path] = material.Sha256;
  }
  Project = std::move(project);
}

void TOrvMain::CloseProject() {
  ProjectFile.clear();
  Project.reset();
  FProjectMaterials.clear();
  FSeenDigests.clear();
  // The save choices are the user's own again.
  if (Editing()) SetSaveChoices(SaveChoicesPreference(*FPreferences));
  // The designed window has no projects and no watch.
  if (!FMaterialWatch) return;
  FMaterialTimer->stop();
  if (!FMaterialWatch->files().isEmpty()) FMaterialWatch->removePaths(FMaterialWatch->files());
}

// ---------------------------------------------------------------------------------------------------------------
// The watch and the rebuild

void TOrvMain::WatchMaterial(const std::string& Path) {
  if (ProjectFile.isEmpty() || Path.empty()) return;
  // The file as the sheet was built from it: as it is when the watch begins.
  if (!FSeenDigests.count(Path)) FSeenDigests[Path] = DigestNow(Path);
  const QString file = QString::fromStdString(Path);
  if (QFileInfo::exists(file) && !FMaterialWatch->files().contains(file)) FMaterialWatch->addPath(file);
}

QStringList TOrvMain::WatchedMaterials() const {
  QStringList files;
  for (const auto& [path, digest] : FSeenDigests) files << QString::fromStdString(path);
  return files;
}

void TOrvMain::CheckMaterialChanges() {
  if (ProjectFile.isEmpty()) return;
  // One question at a time; changes made while it is open are looked at after it.
  if (FAskingRebuild) return FMaterialTimer->start();
  std::vector<std::pair<std::string, std::string>> changed;
  for (const auto& [path, digest] : FSeenDigests) {
    // A file written anew under its name (rename over it) has left the watch: follow the new one.
    WatchMaterial(path);
    const std::string now = DigestNow(path);
    if (now != digest) changed.emplace_back(path, now);
  }
  if (changed.empty()) return;
  QStringList names;
  for (const auto& [path, digest] : changed) names << QFileInfo(QString::fromStdString(path)).fileName();
  FAskingRebuild = true;
  bool rebuild = false;
  {
    const TScopeGuard asked([this] { FAskingRebuild = false; });
    rebuild =
        FDialogs.AskYesNo(tr("素材が変更されました: %1\nシートを再構築しますか？").arg(names.join(tr("、"))));
  }
  for (const auto& [path, digest] : changed) FSeenDigests[path] = digest;
  if (rebuild) RebuildProject();
}

void TOrvMain::RebuildProject() {
  if (!EditImageShown()) return;
  EndDrag();
  const TSheetRecipe recipe = Editor->SheetRecipe();
  TOrvDatas rebuilt;
  // The sizes the project knew its materials at tell which chips no longer fit, until it is saved again.
  const std::vector<TReplayProblem> problems = ReplayRecipe(recipe, FProjectMaterials, rebuilt);
  ShowEditChange(RecordEdit([&] { return Editor->Rebuild(rebuilt, recipe); }));
  for (auto& [path, digest] : FSeenDigests) digest = DigestNow(path);
  UpdateDocumentStatus();
  ShowReplayProblems(problems);
}

void TOrvMain::ShowReplayProblems(const std::vector<TReplayProblem>& Problems) {
  if (Problems.empty()) return;
  QStringList lines;
  for (const TReplayProblem& problem : Problems) {
    const QString name =
        ProjectFile.isEmpty()
            ? QString::fromStdString(ExtractFileName(problem.Material))
            : QString::fromStdString(RelativeFileName(problem.Material, DocumentPath(ProjectFile)));
    const QString cells = CellsText(problem.Cells);
    if (problem.Kind == TReplayProblem::TKind::Unfit)
      lines << tr("素材「%1」にセル %2 のチップがなくなりました。これらのセルは元のままです。")
                   .arg(name, cells);
    else if (!problem.Reason.empty())
      lines << (problem.Cells.empty()
                    ? tr("素材「%1」を読み込めません (%2)。").arg(name, ErrorBoxText(problem.Reason))
                    : tr("素材「%1」を読み込めません (%2)。セル %3 は元のままです。")
                          .arg(name, ErrorBoxText(problem.Reason), cells));
    else
      lines << (problem.Cells.empty()
                    ? tr("素材「%1」が見つかりません。").arg(name)
                    : tr("素材「%1」が見つかりません。セル %2 は元のままです。").arg(name, cells));
  }
  FDialogs.ShowWarning(
      tr("シートを素材から組み立て直せない部分があります。\n\n%1").arg(lines.join(QLatin1Char('\n'))));
}
