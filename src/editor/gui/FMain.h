// TOrvMain: the program's main window. It owns the chip document, the material list and the selection on the
// material; every user action is one of its event handlers, run inside the error guard.
#pragma once

#include <QMainWindow>
#include <QPoint>
#include <QRect>
#include <QStringList>
#include <functional>
#include <map>
#include <memory>
#include <optional>

#include "Classes.h"
#include "OrvAlpha.h"
#include "OrvCui.h"
#include "OrvEdit.h"
#include "OrvPane.h"
#include "OrvProject.h"
#include "OrvSave.h"
#include "OrvZoom.h"
#include "QtDialogs.h"
#include "QtImageView.h"
#include "QtSettings.h"

class QAction;
class QActionGroup;
class QComboBox;
class QFileSystemWatcher;
class QGroupBox;
class QLabel;
class QMenu;
class QPushButton;
class QScrollArea;
class QSettings;
class QSplitter;
class QTimer;
class QToolBar;
class THistoryStack;
class TSizeForm;

// The tools of the edit pane.
enum class TEditTool { Stamp, Erase, Select };

// The file named on the command line ("tilora FILE"): the first argument after the program's name that is not
// an option, or any argument after "--"; made absolute. Empty when there is none.
QString EditImageArgument(const QStringList& Arguments);
// A file name as the document's file operations take it.
std::string DocumentPath(const QString& FileName);

// Where a window frame designed at Frame goes on a screen whose available area is Available: at its place
// when it fits there whole, otherwise moved just enough to fit; a frame larger than the area keeps its
// top-left corner in it.
QPoint FittedWindowPosition(const QRect& Frame, const QRect& Available);

class TOrvMain : public QMainWindow {
  Q_OBJECT

 public:
  // Creates the controls and runs FormCreate (reading the material list from Settings).
  TOrvMain(TDialogs& Dialogs, TSettingsFile Settings, QWidget* Owner = nullptr);
  ~TOrvMain() override;

  QWidget* Panel1;
  QGroupBox* GroupBox1;
  QPushButton* Button1;
  QPushButton* Button2;
  QPushButton* Button3;
  QPushButton* Button4;
  QGroupBox* GroupBox2;
  QPushButton* Button5;
  QComboBox* ComboBox1;
  QPushButton* Button6;
  QPushButton* Button7;
  QScrollArea* ScrollBox1;
  TImageView* Image1;
  QSplitter* Splitter1;
  QScrollArea* ScrollBox2;
  TImageView* Image2;
  TPictureDialog OpenPictureDialog1;
  TPictureDialog OpenPictureDialog2;
  TPictureDialog SavePictureDialog1;
  TPictureDialog SaveAsPictureDialog;  // Save As: "名前を付けて保存"
  TPictureDialog OpenProjectDialog;    // "プロジェクトを開く"
  TPictureDialog SaveProjectDialog;    // "プロジェクトを保存"
  // The View menu: zoom in, zoom out and back to 1x, acting on ZoomPane().
  QMenu* ViewMenu;
  QAction* ZoomInAction;
  QAction* ZoomOutAction;
  QAction* ActualSizeAction;

  // Full paths of the material files, in the order they were added; entry i is item i of ComboBox1.
  std::unique_ptr<TStringList> MaterialFiles;
  // The selection on the material, in material pixels, right and bottom exclusive.
  TRect Selection;
  std::unique_ptr<TOrvDatas> Document;
  // The program's size dialog, created after this window and reused by every command that shows it.
  TSizeForm* SizeForm = nullptr;
  // Every change of the edit image goes through the editor, whose history the undo stack mirrors.
  std::unique_ptr<TSheetEditor> Editor;
  THistoryStack* History = nullptr;

  // The editing window around the designed one (BuildEditing): menus, the tool bar and the status bar.
  QMenu* FileMenu = nullptr;
  QMenu* RecentMenu = nullptr;
  QMenu* EditMenu = nullptr;
  QMenu* ToolMenu = nullptr;
  QToolBar* ToolBar1 = nullptr;
  QAction* NewAction = nullptr;
  QAction* OpenAction = nullptr;
  QAction* SaveAction = nullptr;
  QAction* SaveAsAction = nullptr;
  QAction* OpenProjectAction = nullptr;
  QAction* SaveProjectAction = nullptr;
  QAction* SaveProjectAsAction = nullptr;
  QAction* AddMaterialAction = nullptr;
  QAction* ExitAction = nullptr;
  QAction* UndoAction = nullptr;
  QAction* RedoAction = nullptr;
  QAction* CutAction = nullptr;
  QAction* CopyAction = nullptr;
  QAction* PasteAction = nullptr;
  QAction* DeleteAction = nullptr;
  QAction* SelectAllAction = nullptr;
  QAction* DeselectAction = nullptr;
  QAction* UseAsStampAction = nullptr;
  QAction* ChipSizeAction = nullptr;
  QAction* StampToolAction = nullptr;
  QAction* EraseToolAction = nullptr;
  QAction* SelectToolAction = nullptr;
  QAction* FlipHorizontalAction = nullptr;
  QAction* FlipVerticalAction = nullptr;
  QAction* RotateAction = nullptr;
  QAction* ResetTransformAction = nullptr;
  QAction* PreferencesAction = nullptr;
  QLabel* TransformLabel = nullptr;
  QLabel* PositionLabel = nullptr;
  QLabel* SelectionLabel = nullptr;
  QLabel* ZoomLabel = nullptr;
  QLabel* FileLabel = nullptr;
  QLabel* ColorBudgetLabel = nullptr;
  // Transparency, the save choices and export, duplicate chips (FMainExport.cpp).
  QAction* NewTransparentAction = nullptr;
  QAction* IndexZeroAction = nullptr;  // the chosen material's palette index 0 is transparent
  QAction* MarkDuplicatesAction = nullptr;
  QAction* DuplicateTransformsAction = nullptr;
  QLabel* DuplicatesLabel = nullptr;
  // The preference that keeps the materials read with palette index 0 transparent (their paths).
  static constexpr const char* IndexZeroMaterialsKey = "materials/indexZeroTransparent";

  // The selection on the edit image (chip-aligned, clipped to the image); empty when there is none.
  TRect EditSelection;
  // The files of the recent edit images, the latest first; the file the edit image came from or was last
  // saved to (empty when none).
  QStringList RecentFiles;
  QString CurrentFile;
  static constexpr const char* RecentFilesKey = "recentFiles";  // the preference that keeps RecentFiles

  void FormCreate();
  // The window closes: the material list is written to the settings file, always.
  void FormDestroy();
  void Button1Click();  // New
  // New with the size dialog: the designed white sheet, or (Transparent) a fully transparent one.
  void NewSheet(bool Transparent);
  void Button2Click();  // Load edit image
  void Button3Click();  // Save
  void Button4Click();  // Resize (chip size)
  void Button5Click();  // Add material
  void Button6Click();  // Discard material
  void Button7Click();  // Exit
  void ComboBox1Change();
  void Image1MouseDown(QObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void Image1MouseUp(QObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void Image2MouseDown(QObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  // While a button that selects is held, the material pane shows the selection a release there would make;
  // with the editing window, the status bar shows the pixel and chip under the cursor.
  void Image1MouseMove(QObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);

  void FillMaterialCombo();
  void RedrawMaterial();
  void RedrawEdit();

  // The zoom of each pane (MinZoom to MaxZoom) and the grid colour of both panes.
  int MaterialZoom() const { return Image1->Zoom(); }
  void SetMaterialZoom(int Zoom) { Image1->SetZoom(Zoom); }
  int EditZoom() const { return Image2->Zoom(); }
  void SetEditZoom(int Zoom) { Image2->SetZoom(Zoom); }
  const TGridColor& GridColor() const { return FGridColor; }
  void SetGridColor(const TGridColor& Grid);
  // The status bar's colour budget in the window's language ("143色 → 8ビット (32色に統合)").
  static QString ColorBudgetText(const std::optional<TColorBudget>& Budget);

  // The pane the View menu acts on: the one the mouse is over or was last used in, as long as it is shown;
  // otherwise, and at first, the edit pane.
  TImageView* ZoomPane() const { return FZoomPane->isVisible() ? FZoomPane : Image2; }

  // Adds the editing window around the designed one: the menu bar, the tool bar, the status bar, the keys,
  // the tools of the edit pane, the unsaved-changes question, drag and drop, and the preferences kept in
  // Preferences (window geometry, splitter, zoom, tool, grid colour, recent files), which it restores.
  // Without a preferences file the window opens as designed, its designed client area framed by the new bars.
  void BuildEditing(QSettings& Preferences);
  bool Editing() const { return FPreferences != nullptr; }
  // Keeps the preferences of the window (at its close).
  void StorePreferences();
  // Applies the preferences the preferences dialog keeps (the grid colour).
  void ApplyPreferences();

  // Save (Ctrl+S): to CurrentFile, or as Save As when there is none. Save As (Ctrl+Shift+S): asks for a file.
  // Both true when the edit image was written.
  bool SaveClick();
  bool SaveAsClick();
  // Loads FileName as the edit image as the designed Load does after its file dialog: the chip-size question,
  // then the load. Load, a drop on the edit pane and a recent file ask the unsaved-changes question first.
  void OpenEditImage(const QString& FileName);
  // Adds files to the material list and chooses the first of them.
  void AddMaterials(const QStringList& Files);
  // Asks whether to save unsaved changes of the edit image; true when the command may go on.
  bool ConfirmUnsavedChanges();
  // Starts a new history bounded by MemoryLimit bytes (the old steps are forgotten).
  void ResetHistory(size_t MemoryLimit);

  // Projects (FMainProject.cpp). Opening one rebuilds its sheet from its materials as one undoable step (kind
  // Rebuild), adds its materials to the list and watches their files; its sheet file is the one Save writes,
  // with the project's save settings, and Save and Save As write the project too. Materials that are missing
  // or whose chips no longer fit are named with their cells in a warning.
  void OpenProjectClick();
  void OpenProject(const QString& FileName);
  // Save project: to ProjectFile, or as Save project as when there is none; Save project as asks for a file.
  // Both true when the project was written.
  bool SaveProjectClick();
  bool SaveProjectAsClick();
  // Rebuilds the sheet from its recipe with the materials as their files are now, as one undoable step.
  void RebuildProject();
  // Looks at the watched materials now (the watch does so a moment after a file changes): when one differs
  // from what the sheet was last built from, asks whether to rebuild.
  void CheckMaterialChanges();
  // The open project's file (empty when none) and what it holds beyond the recipe.
  QString ProjectFile;
  std::optional<TProject> Project;
  // The material files the watch follows.
  QStringList WatchedMaterials() const;
  // The choices of the save dialog, kept in the preferences; the next save and the colour budget follow
  // them. Without the editing window, the designed save.
  const TSaveChoices& SaveChoices() const { return FSaveChoices; }
  void SetSaveChoices(const TSaveChoices& Choices);
  // How a material file is read: with palette index 0 transparent when that is kept for its path.
  TMaterialReadOptions MaterialReadOptions(const std::string& Path) const;
  // Keeps the choice for the chosen material and reads it again with it.
  void SetIndexZeroTransparent(bool Transparent);
  // The status bar's count of duplicate chips and the marks on the edit pane, after a change.
  void UpdateDuplicates();

  TEditTool Tool() const { return FTool; }
  void SetTool(TEditTool Tool);
  // The flip or rotation the stamp source is stamped with.
  TChipTransform Transform() const { return FTransform; }
  void TransformStampSource(TChipTransform Step);
  // The edit selection becomes the stamp source (the sheet is its own material) and the stamp tool is chosen.
  void UseSelectionAsStamp();
  // Clipboard and selection commands of the edit pane.
  void CutClick();
  void CopyClick();
  void PasteClick();
  void DeleteClick();
  void SelectAllClick();
  void DeselectClick();
  void UndoClick();
  void RedoClick();
  void Image2MouseMove(QObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void Image2MouseUp(QObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);

  // Runs an event handler inside the error guard.
  void Guarded(const std::function<void()>& Handler) { RunGuarded(FDialogs, Handler); }

 protected:
  void closeEvent(QCloseEvent* Event) override;
  void dragEnterEvent(QDragEnterEvent* Event) override;
  void dragMoveEvent(QDragMoveEvent* Event) override;
  void dropEvent(QDropEvent* Event) override;
  // The window opens at its designed place, moved as far as it must to fit on the screen.
  void showEvent(QShowEvent* Event) override;
  bool eventFilter(QObject* Watched, QEvent* Event) override;

 private:
  void BuildControls();
  void FitOnScreen();
  bool MaterialShown() const;
  // The View menu, the pane it acts on and the material pane's selection while dragging.
  void BuildPaneControls();
  // What the panes show of the document.
  TPaneContent MaterialPane() const;
  TPaneContent EditPane() const;
  // Shows Shown as the material pane's selection, nothing else changed.
  void ShowMaterialSelection(const TRect& Shown);
  // The redraws after a release on the material and a stamp on the edit image: only the changed areas when
  // the pane shows the document as it is, otherwise the full redraw.
  void RedrawSelectionChange();
  void RedrawEditArea(const TRect& Area);

  // A drag on the edit pane in progress.
  struct TDrag {
    enum TKind { None, Stamp, Erase, Select, Move };
    TKind Kind = None;
    TPoint Anchor;         // where the button went down
    TPoint Cell;           // the chip origin stamped or erased last
    bool HasStep = false;  // the drag made a step of the history, which later changes join
    TChipBlock Block;      // the stamp, cut and turned once per drag
    TStampOrigin Origin;
    TRect Area;   // the selection being moved
    TRect Shown;  // where the move would put it
  };
  // The stamp source when it is a part of the sheet rather than the material's selection.
  struct TSheetSource {
    TChipBlock Block;
    TRect Area;
  };

  // Every change of the edit image: through the history, then redrawn and shown in the status bar.
  TEditChange RecordEdit(const std::function<TEditChange()>& Edit);
  void ShowEditChange(const TEditChange& Change);
  // The edit image starts a new document: loaded from FileName, or made by New (no file).
  void StartDocument(const QString& FileName);
  // Designed: the designed 保存 button's save, whatever project is open.
  void SaveTo(const QString& FileName, bool Designed = false);
  // Appends files to the material list and the combo box (Add material).
  void AppendMaterials(const QStringList& Files);
  // The pane under At (window coordinates) that takes dropped files; null when none.
  QWidget* DropPane(const QPoint& At) const;
  void AddRecentFile(const QString& FileName);
  void RecentFilesChanged();
  void FillRecentMenu();
  void OpenRecentFile(const QString& FileName);
  bool EditImageShown() const;

  void BuildActions();
  void BuildMenus();
  // The transparency, save and duplicate-chip additions to the menus and the status bar.
  void BuildAlphaExport();
  void UpdateAlphaExportActions();
  // The file dialog of Save (the designed 保存 or Save As): with the editing window, the save choices too.
  bool AskSaveFile(const TPictureDialog& Dialog, QString& FileName);
  // Writes the edit image to FileName as the save choices say; the save's warnings.
  TSaveResult SaveSheet(const QString& FileName);
  TDuplicateOptions DuplicateOptions() const;
  void BuildToolBar();
  void BuildStatusBar();
  void RestorePreferences();
  void UpdateActions();
  void UpdateDocumentStatus();
  void UpdateSelectionStatus();
  // The pixel and chip under the cursor at (X, Y) of a pane showing Picture.
  void ShowPosition(const TBitmap& Picture, int X, int Y);
  void ClearPosition();

  // The tools.
  TEditChange StampAt(int X, int Y, bool Join);
  TEditChange EraseAt(int X, int Y, bool Join);
  TChipBlock StampBlock(TStampOrigin& Origin) const;
  void EndDrag();
  void StampSourceChanged();
  // Whether the stamp source, as it is turned now, may be turned a quarter (it stays on the chip grid).
  bool StampSourceTurns() const;
  // The selection on the edit pane as drawn: EditSelection, or where a move would put it while it is dragged.
  void ShowEditSelection(const TRect& Shown);
  void SetEditSelection(const TRect& Selection);
  TRect ShownEditSelection() const;
  bool ClipboardHasImage() const;

  void UpdateZoomStatus();

  // Projects.
  void BuildMaterialWatch();
  void SaveProjectTo(const QString& FileName);
  // No project is open any more (New, Load).
  void CloseProject();
  // Follows the files of the open project's materials and of those chosen since.
  void WatchMaterial(const std::string& Path);
  void ShowReplayProblems(const std::vector<TReplayProblem>& Problems);

  TDialogs& FDialogs;
  TSettingsFile FSettings;
  TGridColor FGridColor;
  TImageView* FZoomPane = nullptr;
  bool FFitted = false;  // the window was fitted on the screen at its first exposure

  QSettings* FPreferences = nullptr;  // set by BuildEditing
  QActionGroup* FToolGroup = nullptr;
  TEditTool FTool = TEditTool::Stamp;
  TChipTransform FTransform = TChipTransform::Identity;
  std::optional<TSheetSource> FSheetSource;
  std::string FMaterialPath;  // the file the document's material was loaded from
  TDrag FDrag;
  // The materials as the open project describes them (their sizes tell which chips no longer fit), and the
  // digest of each watched file as the sheet was last built from it or the user last declined to rebuild.
  std::vector<TProjectMaterial> FProjectMaterials;
  std::map<std::string, std::string> FSeenDigests;
  QFileSystemWatcher* FMaterialWatch = nullptr;
  QTimer* FMaterialTimer = nullptr;
  bool FAskingRebuild = false;
  TSaveChoices FSaveChoices;
  bool FMaterialIndexZero = false;  // the document's material was read with palette index 0 transparent
  std::shared_ptr<TChipMarks> FDuplicateMarks = std::make_shared<TChipMarks>();
};
