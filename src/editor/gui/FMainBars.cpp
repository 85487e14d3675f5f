// The editing window around the designed one: its actions and keys, the menu bar, the tool bar, the status
// bar and the preferences it keeps between runs.
#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QClipboard>
#include <QEvent>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QSettings>
#include <QSplitter>
#include <QStatusBar>
#include <QToolBar>

#include "FMain.h"
#include "FPreferences.h"
#include "FSaveOptions.h"
#include "OrvTools.h"
#include "QtHistory.h"

namespace {

const char* const GeometryKey = "window/geometry";
const char* const SplitterKey = "window/splitter";
const char* const EditZoomKey = "zoom/edit";
const char* const MaterialZoomKey = "zoom/material";
const char* const ToolKey = "tool";

const std::pair<TEditTool, const char*> ToolNames[] = {
    {TEditTool::Stamp, "stamp"}, {TEditTool::Erase, "erase"}, {TEditTool::Select, "select"}};

QString TransformText(TChipTransform Transform) {
  switch (Transform) {
    case TChipTransform::Identity:
      return TOrvMain::tr("そのまま");
    case TChipTransform::FlipHorizontal:
      return TOrvMain::tr("左右反転");
    case TChipTransform::FlipVertical:
      return TOrvMain::tr("上下反転");
    case TChipTransform::Rotate180:
      return TOrvMain::tr("180°回転");
    case TChipTransform::Rotate90:
      return TOrvMain::tr("右に90°回転");
    case TChipTransform::Rotate270:
      return TOrvMain::tr("左に90°回転");
    case TChipTransform::Transpose:
      return TOrvMain::tr("左右反転して左に90°回転");
    case TChipTransform::AntiTranspose:
      return TOrvMain::tr("左右反転して右に90°回転");
  }
  return {};
}

}  // namespace

void TOrvMain::BuildEditing(QSettings& Preferences) {
  FPreferences = &Preferences;
  BuildActions();
  BuildMaterialWatch();
  BuildMenus();
  BuildToolBar();
  BuildStatusBar();
  BuildAlphaExport();

  using TMouseHandler = void (TOrvMain::*)(QObject*, TMouseButton, TShiftState, int, int);
  const auto guardedMouse = [this](TMouseHandler Handler) {
    return [this, Handler](QObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y) {
      Guarded([&] { (this->*Handler)(Sender, Button, Shift, X, Y); });
    };
  };
  Image2->OnMouseMove = guardedMouse(&TOrvMain::Image2MouseMove);
  Image2->OnMouseUp = guardedMouse(&TOrvMain::Image2MouseUp);
  Image1->installEventFilter(this);
  Image2->installEventFilter(this);
  setAcceptDrops(true);
  connect(History, &THistoryStack::Changed, this, [this] {
    Guarded([this] {
      UpdateActions();
      UpdateDocumentStatus();
    });
  });
  // The zoom shown is that of the pane the View menu acts on.
  for (TImageView* view : {Image1, Image2}) {
    connect(view, &TImageView::ZoomChanged, this, [this] { UpdateZoomStatus(); });
    connect(view, &TImageView::Used, this, [this] { UpdateZoomStatus(); });
  }
  connect(QApplication::clipboard(), &QClipboard::dataChanged, this,
          [this] { Guarded([this] { UpdateActions(); }); });

  // The designed client area, with the new bars around it.
  resize(width(), 446 + menuBar()->sizeHint().height() + ToolBar1->sizeHint().height() +
                      statusBar()->sizeHint().height());
  RestorePreferences();
  UpdateActions();
  UpdateDocumentStatus();
}

void TOrvMain::BuildActions() {
  const auto newAction = [this](const QString& Text, const QKeySequence& Key, std::function<void()> Handler) {
    auto* action = new QAction(Text, this);
    if (!Key.isEmpty()) action->setShortcut(Key);
    connect(action, &QAction::triggered, this, [this, Handler = std::move(Handler)] { Guarded(Handler); });
    // The keys work wherever the focus is in the window.
    addAction(action);
    return action;
  };
  NewAction = newAction(tr("新規作成(&N)..."), QKeySequence::New, [this] { Button1Click(); });
  OpenAction = newAction(tr("開く(&O)..."), QKeySequence::Open, [this] { Button2Click(); });
  SaveAction = newAction(tr("上書き保存(&S)"), QKeySequence::Save, [this] { SaveClick(); });
  SaveAsAction = newAction(tr("名前を付けて保存(&A)..."), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S),
                           [this] { SaveAsClick(); });
  OpenProjectAction = newAction(tr("プロジェクトを開く(&J)..."), {}, [this] { OpenProjectClick(); });
  SaveProjectAction = newAction(tr("プロジェクトを上書き保存(&K)"), {}, [this] { SaveProjectClick(); });
  SaveProjectAsAction =
      newAction(tr("プロジェクトに名前を付けて保存(&L)..."), {}, [this] { SaveProjectAsClick(); });
  AddMaterialAction = newAction(tr("素材を追加(&M)..."), {}, [this] { Button5Click(); });
  ExitAction = newAction(tr("終了(&X)"), QKeySequence(Qt::CTRL | Qt::Key_Q), [this] { close(); });
  UndoAction = newAction(tr("元に戻す"), QKeySequence(Qt::CTRL | Qt::Key_Z), [this] { UndoClick(); });
  RedoAction =
      newAction(tr("やり直し"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), [this] { RedoClick(); });
  RedoAction->setShortcuts(
      {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});
  CutAction = newAction(tr("切り取り(&T)"), QKeySequence(Qt::CTRL | Qt::Key_X), [this] { CutClick(); });
  CopyAction = newAction(tr("コピー(&C)"), QKeySequence(Qt::CTRL | Qt::Key_C), [this] { CopyClick(); });
  PasteAction = newAction(tr("貼り付け(&P)"), QKeySequence(Qt::CTRL | Qt::Key_V), [this] { PasteClick(); });
  DeleteAction = newAction(tr("削除(&D)"), QKeySequence(Qt::Key_Delete), [this] { DeleteClick(); });
  SelectAllAction =
      newAction(tr("すべて選択(&A)"), QKeySequence(Qt::CTRL | Qt::Key_A), [this] { SelectAllClick(); });
  DeselectAction = newAction(tr("選択の解除(&E)"), QKeySequence(Qt::Key_Escape), [this] { DeselectClick(); });
  UseAsStampAction = newAction(tr("選択範囲をスタンプに使う(&S)"), {}, [this] { UseSelectionAsStamp(); });
  ChipSizeAction = newAction(tr("チップサイズの変更(&Z)..."), {}, [this] { Button4Click(); });
  StampToolAction =
      newAction(tr("スタンプ(&S)"), QKeySequence(Qt::Key_S), [this] { SetTool(TEditTool::Stamp); });
  EraseToolAction = newAction(tr("消去(&E)"), QKeySequence(Qt::Key_E), [this] { SetTool(TEditTool::Erase); });
  SelectToolAction =
      newAction(tr("選択(&M)"), QKeySequence(Qt::Key_M), [this] { SetTool(TEditTool::Select); });
  FToolGroup = new QActionGroup(this);
  for (QAction* tool : {StampToolAction, EraseToolAction, SelectToolAction}) {
    tool->setCheckable(true);
    FToolGroup->addAction(tool);
  }
  FlipHorizontalAction = newAction(tr("左右反転(&H)"), QKeySequence(Qt::Key_H),
                                   [this] { TransformStampSource(TChipTransform::FlipHorizontal); });
  FlipVerticalAction = newAction(tr("上下反転(&V)"), QKeySequence(Qt::Key_V),
                                 [this] { TransformStampSource(TChipTransform::FlipVertical); });
  RotateAction = newAction(tr("90°回転(&R)"), QKeySequence(Qt::Key_R),
                           [this] { TransformStampSource(TChipTransform::Rotate90); });
  ResetTransformAction = newAction(tr("反転・回転の解除(&O)"), {}, [this] {
    FTransform = TChipTransform::Identity;
    UpdateActions();
  });
  PreferencesAction = newAction(tr("設定(&P)..."), QKeySequence(Qt::CTRL | Qt::Key_Comma), [this] {
    TPreferencesForm form(this);
    if (form.Execute(*FPreferences)) ApplyPreferences();
  });

  // Short texts for the tool bar, and tool tips that name the keys.
  const std::pair<QAction*, QString> bar[] = {
      {UndoAction, tr("元に戻す")},
      {RedoAction, tr("やり直し")},
      {StampToolAction, tr("スタンプ")},
      {EraseToolAction, tr("消去")},
      {SelectToolAction, tr("選択")},
      {FlipHorizontalAction, tr("左右反転", "tool bar")},
      {FlipVerticalAction, tr("上下反転", "tool bar")},
      {RotateAction, tr("90°回転", "tool bar")},
  };
  for (const auto& [action, text] : bar) {
    action->setIconText(text);
    const QKeySequence key = action->shortcut();
    action->setToolTip(
        key.isEmpty() ? text : QStringLiteral("%1 (%2)").arg(text, key.toString(QKeySequence::NativeText)));
  }
}

// ファイル and 編集 come before the View menu of the designed window, ツール after it.
void TOrvMain::BuildMenus() {
  FileMenu = new QMenu(tr("ファイル(&F)"), this);
  menuBar()->insertMenu(ViewMenu->menuAction(), FileMenu);
  FileMenu->addActions({NewAction, OpenAction});
  RecentMenu = FileMenu->addMenu(tr("最近使ったファイル(&R)"));
  FileMenu->addSeparator();
  FileMenu->addActions({SaveAction, SaveAsAction});
  FileMenu->addSeparator();
  FileMenu->addActions({OpenProjectAction, SaveProjectAction, SaveProjectAsAction});
  FileMenu->addSeparator();
  FileMenu->addAction(AddMaterialAction);
  FileMenu->addSeparator();
  FileMenu->addAction(ExitAction);

  EditMenu = new QMenu(tr("編集(&E)"), this);
  menuBar()->insertMenu(ViewMenu->menuAction(), EditMenu);
  EditMenu->addActions({UndoAction, RedoAction});
  EditMenu->addSeparator();
  EditMenu->addActions({CutAction, CopyAction, PasteAction, DeleteAction});
  EditMenu->addSeparator();
  EditMenu->addActions({SelectAllAction, DeselectAction, UseAsStampAction});
  EditMenu->addSeparator();
  EditMenu->addAction(ChipSizeAction);

  ToolMenu = menuBar()->addMenu(tr("ツール(&T)"));
  ToolMenu->addActions({StampToolAction, EraseToolAction, SelectToolAction});
  ToolMenu->addSeparator();
  ToolMenu->addActions({FlipHorizontalAction, FlipVerticalAction, RotateAction, ResetTransformAction});
  ToolMenu->addSeparator();
  ToolMenu->addAction(PreferencesAction);
}

void TOrvMain::BuildToolBar() {
  ToolBar1 = addToolBar(tr("ツールバー"));
  ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
  ToolBar1->setMovable(false);
  ToolBar1->setToolButtonStyle(Qt::ToolButtonTextOnly);
  // New, Load and Save have their designed buttons below the panes.
  ToolBar1->addActions({UndoAction, RedoAction});
  ToolBar1->addSeparator();
  ToolBar1->addActions({StampToolAction, EraseToolAction, SelectToolAction});
  ToolBar1->addSeparator();
  ToolBar1->addActions({FlipHorizontalAction, FlipVerticalAction, RotateAction});
  TransformLabel = new QLabel(ToolBar1);
  TransformLabel->setObjectName(QStringLiteral("TransformLabel"));
  TransformLabel->setContentsMargins(4, 0, 4, 0);
  ToolBar1->addWidget(TransformLabel);
}

void TOrvMain::BuildStatusBar() {
  const auto newLabel = [this](const char* Name, int Stretch) {
    auto* label = new QLabel(this);
    label->setObjectName(QString::fromLatin1(Name));
    statusBar()->addWidget(label, Stretch);
    return label;
  };
  PositionLabel = newLabel("PositionLabel", 1);
  SelectionLabel = newLabel("SelectionLabel", 0);
  ZoomLabel = newLabel("ZoomLabel", 0);
  FileLabel = newLabel("FileLabel", 0);
  ColorBudgetLabel = newLabel("ColorBudgetLabel", 0);
  PositionLabel->setToolTip(
      tr("カーソルの位置 (ピクセル) と、その下のチップの列、行、番号 (左上から読む順)"));
  SelectionLabel->setToolTip(tr("選択範囲の大きさ (チップ数、横×縦)"));
  ZoomLabel->setToolTip(tr("表示倍率"));
  ColorBudgetLabel->setToolTip(tr("保存するときの色数とビット数"));
}

// ---------------------------------------------------------------------------------------------------------------
// Preferences

void TOrvMain::RestorePreferences() {
  const QSettings& preferences = *FPreferences;
  if (preferences.contains(QLatin1String(GeometryKey)))
    restoreGeometry(preferences.value(QLatin1String(GeometryKey)).toByteArray());
  if (preferences.contains(QLatin1String(SplitterKey)))
    Splitter1->restoreState(preferences.value(QLatin1String(SplitterKey)).toByteArray());
  SetEditZoom(preferences.value(QLatin1String(EditZoomKey), MinZoom).toInt());
  SetMaterialZoom(preferences.value(QLatin1String(MaterialZoomKey), MinZoom).toInt());
  const QString tool = preferences.value(QLatin1String(ToolKey)).toString();
  for (const auto& [value, name] : ToolNames)
    if (tool == QLatin1String(name)) FTool = value;
  RecentFiles = preferences.value(QLatin1String(RecentFilesKey)).toStringList();
  FillRecentMenu();
  ApplyPreferences();
}

void TOrvMain::StorePreferences() {
  QSettings& preferences = *FPreferences;
  preferences.setValue(QLatin1String(GeometryKey), saveGeometry());
  preferences.setValue(QLatin1String(SplitterKey), Splitter1->saveState());
  preferences.setValue(QLatin1String(EditZoomKey), EditZoom());
  preferences.setValue(QLatin1String(MaterialZoomKey), MaterialZoom());
  for (const auto& [value, name] : ToolNames)
    if (FTool == value) preferences.setValue(QLatin1String(ToolKey), QLatin1String(name));
  preferences.sync();
}

void TOrvMain::ApplyPreferences() {
  const std::optional<QColor> grid = GridColorPreference(*FPreferences);
  SetGridColor(
      grid ? TGridColor{false, RGB(static_cast<uint8_t>(grid->red()), static_cast<uint8_t>(grid->green()),
                                   static_cast<uint8_t>(grid->blue()))}
           : TGridColor{});
  SetSaveChoices(SaveChoicesPreference(*FPreferences));
}

void TOrvMain::UpdateZoomStatus() {
  if (Editing()) ZoomLabel->setText(QStringLiteral("%1%").arg(ZoomPane()->Zoom() * 100));
}

// ---------------------------------------------------------------------------------------------------------------
// What the bars show

void TOrvMain::UpdateActions() {
  if (!Editing()) return;
  const bool image = !Document->EditImage->Empty();
  const bool shown = EditImageShown();
  const bool selection = image && EditSelection != TRect{};
  const QString undo = History->UndoText(), redo = History->RedoText();
  UndoAction->setText(undo.isEmpty() ? tr("元に戻す") : tr("元に戻す: %1").arg(undo));
  UndoAction->setEnabled(!undo.isEmpty());
  RedoAction->setText(redo.isEmpty() ? tr("やり直し") : tr("やり直し: %1").arg(redo));
  RedoAction->setEnabled(!redo.isEmpty());
  for (QAction* action : {SaveAction, SaveAsAction, ChipSizeAction, SaveProjectAction, SaveProjectAsAction})
    action->setEnabled(shown);
  for (QAction* action : {CutAction, CopyAction, DeleteAction, DeselectAction, UseAsStampAction})
    action->setEnabled(selection);
  SelectAllAction->setEnabled(image);
  PasteAction->setEnabled(image && ClipboardHasImage());
  RotateAction->setEnabled(StampSourceTurns());
  ResetTransformAction->setEnabled(FTransform != TChipTransform::Identity);
  TransformLabel->setText(tr("向き: %1").arg(TransformText(FTransform)));
  UpdateAlphaExportActions();
  (FTool == TEditTool::Stamp   ? StampToolAction
   : FTool == TEditTool::Erase ? EraseToolAction
                               : SelectToolAction)
      ->setChecked(true);
}

QString TOrvMain::ColorBudgetText(const std::optional<TColorBudget>& Budget) {
  if (!Budget) return {};
  QString text = tr("%1色 → %2ビット").arg(Budget->Colors).arg(Budget->Bits);
  if (Budget->Kept < Budget->Colors) text += tr(" (%1色に統合)").arg(Budget->Kept);
  return text;
}

void TOrvMain::UpdateDocumentStatus() {
  if (!Editing()) return;
  if (Document->EditImage->Empty()) {
    FileLabel->clear();
  } else {
    const QString name = CurrentFile.isEmpty() ? tr("無題") : QFileInfo(CurrentFile).fileName();
    FileLabel->setText(History->IsClean() ? name : name + QStringLiteral(" *"));
  }
  FileLabel->setToolTip(CurrentFile);
  ColorBudgetLabel->setText(ColorBudgetText(Editor->ColorBudgetFigures(FSaveChoices.Save)));
  UpdateDuplicates();
  UpdateZoomStatus();
  UpdateSelectionStatus();
}

void TOrvMain::UpdateSelectionStatus() {
  if (!Editing()) return;
  // The selection on the edit image, or else the stamp source on the material.
  const TRect& selection = EditSelection != TRect{} ? EditSelection : Selection;
  const TChipCount chips = ChipsIn(selection, Document->ChipWidth, Document->ChipHeight);
  SelectionLabel->setText(chips.Columns == 0 ? QString()
                                             : tr("選択 %1×%2").arg(chips.Columns).arg(chips.Rows));
}

void TOrvMain::ShowPosition(const TBitmap& Picture, int X, int Y) {
  if (!Editing()) return;
  const std::optional<TChipPosition> chip =
      ChipAtPixel(X, Y, Picture.Width(), Picture.Height(), Document->ChipWidth, Document->ChipHeight);
  if (!chip) return ClearPosition();
  PositionLabel->setText(
      chip->Index
          ? tr("%1, %2　チップ %3, %4 #%5").arg(X).arg(Y).arg(chip->Column).arg(chip->Row).arg(*chip->Index)
          : tr("%1, %2　チップ %3, %4").arg(X).arg(Y).arg(chip->Column).arg(chip->Row));
}

void TOrvMain::ClearPosition() {
  if (PositionLabel) PositionLabel->clear();
}
