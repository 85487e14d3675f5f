#include "FMain.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QSplitter>
#include <QVBoxLayout>
#include <QWindow>
#include <algorithm>

#include "FSize.h"
#include "QtHistory.h"
#include "QtPlacement.h"

namespace {

const char* const PictureFilter = QT_TRANSLATE_NOOP(
    "TOrvMain",
    "すべてのファイル (*.bmp;*.png)|*.bmp;*.png|ビットマップ (*.bmp)|*.bmp|PNG イメージファイル "
    "(*.png)|*.png");

TPictureDialog NewPictureDialog(TPictureDialog::TKind Kind, const QString& Title) {
  return {Kind, Title, QCoreApplication::translate("TOrvMain", PictureFilter), QStringLiteral("bmp")};
}

const char* const ProjectFilter = QT_TRANSLATE_NOOP("TOrvMain", "Tilora プロジェクト (*.tilora)|*.tilora");

TPictureDialog NewProjectDialog(TPictureDialog::TKind Kind, const QString& Title) {
  return {Kind, Title, QCoreApplication::translate("TOrvMain", ProjectFilter), QStringLiteral("tilora"),
          false};
}

QPushButton* NewButton(QWidget* Owner, const QString& Caption) {
  return new QPushButton(Caption, Owner);
}

}  // namespace

std::string DocumentPath(const QString& FileName) {
  return FileName.toStdString();
}

// ---------------------------------------------------------------------------------------------------------------
// Window placement

QPoint FittedWindowPosition(const QRect& Frame, const QRect& Available) {
  const auto fit = [](int Start, int Length, int AreaStart, int AreaLength) {
    return std::max(AreaStart, std::min(Start, AreaStart + AreaLength - Length));
  };
  return {fit(Frame.x(), Frame.width(), Available.x(), Available.width()),
          fit(Frame.y(), Frame.height(), Available.y(), Available.height())};
}

// ---------------------------------------------------------------------------------------------------------------
// The window

TOrvMain::TOrvMain(TDialogs& Dialogs, TSettingsFile Settings, QWidget* Owner)
    : QMainWindow(Owner),
      OpenPictureDialog1(NewPictureDialog(TPictureDialog::Open, tr("素材を開く"))),
      OpenPictureDialog2(NewPictureDialog(TPictureDialog::Open, tr("ファイルを開く"))),
      SavePictureDialog1(NewPictureDialog(TPictureDialog::Save, tr("画像を保存する"))),
      SaveAsPictureDialog(NewPictureDialog(TPictureDialog::Save, tr("名前を付けて保存"))),
      OpenProjectDialog(NewProjectDialog(TPictureDialog::Open, tr("プロジェクトを開く"))),
      SaveProjectDialog(NewProjectDialog(TPictureDialog::Save, tr("プロジェクトを保存"))),
      FDialogs(Dialogs),
      FSettings(std::move(Settings)) {
  BuildControls();
  BuildPaneControls();
  Guarded([this] { FormCreate(); });
}

TOrvMain::~TOrvMain() = default;

void TOrvMain::BuildControls() {
  setObjectName(QStringLiteral("OrvMain"));
  setWindowTitle(QString::fromUtf8(ApplicationTitle));
  move(562, 460);
  resize(632, 446);
  setMinimumWidth(632);

  Image2 = new TImageView;
  ScrollBox2 = new QScrollArea;
  ScrollBox2->setWidget(Image2);
  ScrollBox2->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  ScrollBox2->setFocusPolicy(Qt::NoFocus);
  Image1 = new TImageView;
  ScrollBox1 = new QScrollArea;
  ScrollBox1->setWidget(Image1);
  ScrollBox1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  ScrollBox1->setFocusPolicy(Qt::NoFocus);
  Splitter1 = new QSplitter(Qt::Horizontal);
  Splitter1->addWidget(ScrollBox2);
  Splitter1->addWidget(ScrollBox1);
  Splitter1->setChildrenCollapsible(false);
  Splitter1->setStretchFactor(0, 1);
  Splitter1->setStretchFactor(1, 0);
  Splitter1->setSizes({632 - 349 - Splitter1->handleWidth(), 349});

  // The command row keeps its designed sizes: GroupBox1 at the left, GroupBox2 and Button7 anchored right.
  Panel1 = new QWidget;
  GroupBox1 = new QGroupBox(tr("編集"), Panel1);
  Button1 = NewButton(GroupBox1, tr("新規"));
  Button2 = NewButton(GroupBox1, tr("読込", "edit image"));
  Button3 = NewButton(GroupBox1, tr("保存"));
  Button4 = NewButton(GroupBox1, tr("サイズ変更"));
  const int edit = PlaceControls({{Button1, 8, 16, 57, 25},
                                  {Button2, 71, 16, 58, 25},
                                  {Button3, 135, 16, 58, 25},
                                  {Button4, 199, 16, 64, 25}});
  GroupBox1->setFixedSize(273 + edit, 49);

  GroupBox2 = new QGroupBox(tr("素材"), Panel1);
  Button5 = NewButton(GroupBox2, tr("読込", "material"));
  ComboBox1 = new QComboBox(GroupBox2);
  ComboBox1->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  Button6 = NewButton(GroupBox2, tr("破棄"));
  const int material =
      PlaceControls({{Button5, 8, 16, 61, 25}, {ComboBox1, 75, 18, 118, 0}, {Button6, 199, 16, 62, 25}});
  GroupBox2->setFixedSize(270 + material, 49);

  Button7 = NewButton(Panel1, tr("終了"));
  PlaceControls({{Button7, 0, 0, 65, 25}});
  auto* exit = new QVBoxLayout;
  exit->setContentsMargins(0, 17, 0, 0);
  exit->addWidget(Button7);
  exit->addStretch();
  auto* panel = new QHBoxLayout(Panel1);
  panel->setContentsMargins(1, 0, 4, 1);
  panel->setSpacing(0);
  panel->addWidget(GroupBox1, 0, Qt::AlignTop);
  panel->addStretch(1);
  panel->addWidget(GroupBox2, 0, Qt::AlignTop);
  panel->addSpacing(6);
  panel->addLayout(exit);
  Panel1->setFixedHeight(50);
  Panel1->setMinimumWidth(632 + edit + material + Button7->width() - 65);

  auto* central = new QWidget;
  auto* layout = new QVBoxLayout(central);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(Splitter1, 1);
  layout->addWidget(Panel1);
  setCentralWidget(central);

  QWidget::setTabOrder(Button1, Button2);
  QWidget::setTabOrder(Button2, Button3);
  QWidget::setTabOrder(Button3, Button4);
  QWidget::setTabOrder(Button4, Button5);
  QWidget::setTabOrder(Button5, ComboBox1);
  QWidget::setTabOrder(ComboBox1, Button6);
  QWidget::setTabOrder(Button6, Button7);

  const std::pair<QPushButton*, void (TOrvMain::*)()> clicks[] = {
      {Button1, &TOrvMain::Button1Click}, {Button2, &TOrvMain::Button2Click},
      {Button3, &TOrvMain::Button3Click}, {Button4, &TOrvMain::Button4Click},
      {Button5, &TOrvMain::Button5Click}, {Button6, &TOrvMain::Button6Click},
      {Button7, &TOrvMain::Button7Click}};
  for (const auto& [button, handler] : clicks)
    connect(button, &QPushButton::clicked, this,
            [this, handler = handler] { Guarded([&] { (this->*handler)(); }); });
  connect(ComboBox1, &QComboBox::activated, this, [this] { Guarded([this] { ComboBox1Change(); }); });
  using TMouseHandler = void (TOrvMain::*)(QObject*, TMouseButton, TShiftState, int, int);
  const auto guardedMouse = [this](TMouseHandler Handler) {
    return [this, Handler](QObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y) {
      Guarded([&] { (this->*Handler)(Sender, Button, Shift, X, Y); });
    };
  };
  Image1->OnMouseDown = guardedMouse(&TOrvMain::Image1MouseDown);
  Image1->OnMouseUp = guardedMouse(&TOrvMain::Image1MouseUp);
  Image2->OnMouseDown = guardedMouse(&TOrvMain::Image2MouseDown);
}

void TOrvMain::closeEvent(QCloseEvent* Event) {
  // A save that fails keeps the window open.
  bool close = false;
  Guarded([&] { close = ConfirmUnsavedChanges(); });
  if (!close) return Event->ignore();
  if (Editing()) Guarded([this] { StorePreferences(); });
  Guarded([this] { FormDestroy(); });
  Event->accept();
}

void TOrvMain::showEvent(QShowEvent* Event) {
  QMainWindow::showEvent(Event);
  if (FFitted || !windowHandle()) return;
  // The frame's size is known once the window manager has framed the window, at its first exposure.
  windowHandle()->installEventFilter(this);
}

bool TOrvMain::eventFilter(QObject* Watched, QEvent* Event) {
  if (Event->type() == QEvent::Leave && (Watched == Image1 || Watched == Image2)) ClearPosition();
  if (Event->type() == QEvent::Expose && Watched == windowHandle() && !FFitted &&
      windowHandle()->isExposed()) {
    FFitted = true;
    windowHandle()->removeEventFilter(this);
    FitOnScreen();
  }
  return QMainWindow::eventFilter(Watched, Event);
}

void TOrvMain::FitOnScreen() {
  const QRect frame = frameGeometry();
  const QScreen* display = QGuiApplication::screenAt(frame.topLeft());
  if (!display) display = screen();
  if (!display) return;
  const QPoint place = FittedWindowPosition(frame, display->availableGeometry());
  if (place != frame.topLeft()) move(place);
}

// ---------------------------------------------------------------------------------------------------------------
// Handlers

void TOrvMain::FormCreate() {
  Document = std::make_unique<TOrvDatas>();
  Editor = std::make_unique<TSheetEditor>(*Document);
  History = new THistoryStack(*Editor, this);
  MaterialFiles = std::make_unique<TStringList>();
  for (const std::string& path : FSettings.ReadPaths) {
    if (!FileExists(path)) continue;
    MaterialFiles->LoadFromFile(path);
    FillMaterialCombo();
    break;
  }
}

void TOrvMain::FormDestroy() {
  QDir().mkpath(QFileInfo(QString::fromStdString(FSettings.WritePath)).absolutePath());
  MaterialFiles->SaveToFile(FSettings.WritePath);
}

// New, Load and Resize set the chip size entered in the size dialog, then change the image, through the
// editor, which records both as one step (the chip size alone when the image step fails, and the error goes
// on). The dialog's values are in 1..65536; anything else is held at the 32-bit limits for the document to
// judge.
void TOrvMain::Button1Click() {
  NewSheet(false);
}

void TOrvMain::NewSheet(bool Transparent) {
  if (!ConfirmUnsavedChanges()) return;
  if (!FDialogs.ExecuteSizeForm(*SizeForm, true)) return;
  EndDrag();
  RecordEdit([&] {
    return Editor->NewImage(ClampToInt32(SizeForm->EnteredColumns()), ClampToInt32(SizeForm->EnteredRows()),
                            ClampToInt32(SizeForm->EnteredChipWidth()),
                            ClampToInt32(SizeForm->EnteredChipHeight()), Transparent);
  });
  RedrawMaterial();
  RedrawEdit();
  StartDocument(QString());
}

void TOrvMain::Button2Click() {
  if (!ConfirmUnsavedChanges()) return;
  QStringList files;
  if (!FDialogs.ExecutePictureDialog(OpenPictureDialog2, files)) return;
  OpenEditImage(files.front());
}

void TOrvMain::OpenEditImage(const QString& FileName) {
  if (!FDialogs.ExecuteSizeForm(*SizeForm, false)) return;
  EndDrag();
  RecordEdit([&] {
    return Editor->LoadImage(DocumentPath(FileName), ClampToInt32(SizeForm->EnteredChipWidth()),
                             ClampToInt32(SizeForm->EnteredChipHeight()));
  });
  RedrawMaterial();
  RedrawEdit();
  StartDocument(FileName);
}

void TOrvMain::Button3Click() {
  if (Image2->PictureHeight() == 0) return;
  QString file;
  if (!AskSaveFile(SavePictureDialog1, file)) return;
  SaveTo(file, true);
}

void TOrvMain::Button4Click() {
  if (Image2->PictureHeight() == 0) return;
  // Only the chip size is used, so the dialog comes without its image-size group.
  if (!FDialogs.ExecuteSizeForm(*SizeForm, false)) return;
  EndDrag();
  RecordEdit([this] {
    return Editor->SetChipSize(ClampToInt32(SizeForm->EnteredChipWidth()),
                               ClampToInt32(SizeForm->EnteredChipHeight()));
  });
  RedrawMaterial();
  RedrawEdit();
}

void TOrvMain::Button5Click() {
  QStringList files;
  if (!FDialogs.ExecutePictureDialog(OpenPictureDialog1, files)) return;
  const int chosen = ComboBox1->currentIndex();
  AppendMaterials(files);
  ComboBox1->setCurrentIndex(chosen);
}

void TOrvMain::AppendMaterials(const QStringList& Files) {
  for (const QString& file : Files) {
    MaterialFiles->Add(DocumentPath(file));
    ComboBox1->addItem(QString::fromStdString(ExtractFileName(DocumentPath(file))));
  }
}

void TOrvMain::Button6Click() {
  const int chosen = ComboBox1->currentIndex();
  if (chosen < 0) return;
  if (!FDialogs.WarningYesNo(tr("このグラフィックを破棄していいですか？"))) return;
  MaterialFiles->Delete(chosen);
  ComboBox1->removeItem(chosen);
  ComboBox1->setCurrentIndex(-1);
  RedrawMaterial();
}

void TOrvMain::Button7Click() {
  close();
}

void TOrvMain::ComboBox1Change() {
  const int chosen = ComboBox1->currentIndex();
  if (chosen < 0) return;
  const std::string& path = (*MaterialFiles)[chosen];
  if (FileExists(path)) {
    const TMaterialReadOptions options = MaterialReadOptions(path);
    Document->LoadMaterial(path, options);
    FMaterialPath = path;
    FMaterialIndexZero = options.IndexZeroTransparent;
    if (Editing()) WatchMaterial(path);
  }
  RedrawMaterial();
  UpdateActions();
}

void TOrvMain::Image1MouseDown(QObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y) {
  if (Shift & ssRight) return;
  Document->PressSelection(Selection, X, Y);
  Image1MouseMove(Sender, Button, Shift, X, Y);  // the pressed chip shows as the selection being dragged
}

void TOrvMain::Image1MouseUp(QObject*, TMouseButton Button, TShiftState Shift, int X, int Y) {
  // The right button is ignored at its release as at its press; a selection shown while dragging goes.
  if (Button == mbRight || (Shift & ssRight)) return ShowMaterialSelection(Selection);
  Document->ReleaseSelection(Selection, X, Y);
  RedrawSelectionChange();
  // The material's selection is the stamp source again.
  FSheetSource.reset();
  StampSourceChanged();
}

void TOrvMain::Image1MouseMove(QObject*, TMouseButton, TShiftState Shift, int X, int Y) {
  ShowPosition(*Document->Material, X, Y);
  if (!(Shift & (ssLeft | ssMiddle)) || (Shift & ssRight)) return;
  TRect shown = Selection;
  Document->ReleaseSelection(shown, X, Y);
  ShowMaterialSelection(shown);
}

// ---------------------------------------------------------------------------------------------------------------
// Own operations

void TOrvMain::FillMaterialCombo() {
  ComboBox1->clear();
  for (const std::string& path : MaterialFiles->Items())
    ComboBox1->addItem(QString::fromStdString(ExtractFileName(path)));
  ComboBox1->setCurrentIndex(-1);
}

bool TOrvMain::MaterialShown() const {
  const int chosen = ComboBox1->currentIndex();
  return chosen >= 0 && chosen < MaterialFiles->Count() && FileExists((*MaterialFiles)[chosen]);
}

TPaneContent TOrvMain::MaterialPane() const {
  return PaneOf(Document->Material.get(), &Document->MaterialAlpha, Document->ChipWidth, Document->ChipHeight,
                Selection, FGridColor);
}

TPaneContent TOrvMain::EditPane() const {
  const TRect shown = ShownEditSelection();
  TPaneContent pane =
      PaneOf(Document->EditImage.get(), &Document->EditAlpha, Document->ChipWidth, Document->ChipHeight,
             shown == TRect{} ? std::nullopt : std::optional(shown), FGridColor);
  if (MarkDuplicatesAction && MarkDuplicatesAction->isChecked()) pane.Overlays.push_back(FDuplicateMarks);
  return pane;
}

void TOrvMain::RedrawMaterial() {
  if (!MaterialShown()) {
    Image1->setVisible(false);
    const bool emptied = Selection != TRect{};
    Selection = TRect{};
    Image1->ShowPane({});
    if (emptied && !FSheetSource) StampSourceChanged();
    return;
  }
  Image1->setVisible(true);
  Image1->ShowPane(MaterialPane());
}

void TOrvMain::RedrawEdit() {
  Image2->setVisible(true);
  Image2->ShowPane(EditPane());
}

void TOrvMain::ShowMaterialSelection(const TRect& Shown) {
  if (Image1->Pane().Image) Image1->SetSelection(Shown);
}

void TOrvMain::RedrawSelectionChange() {
  TPaneContent current = MaterialPane();
  current.Selection = Image1->Pane().Selection;
  if (!MaterialShown() || !Image1->ShowsPane(current)) return RedrawMaterial();
  Image1->SetSelection(Selection);
}

void TOrvMain::RedrawEditArea(const TRect& Area) {
  if (!Image2->ShowsPane(EditPane())) return RedrawEdit();
  Image2->PictureChanged(Area);
}

// ---------------------------------------------------------------------------------------------------------------
// Zoom, grid colour and the selection while dragging

void TOrvMain::BuildPaneControls() {
  // The bars go around the designed window: its client area keeps at least the designed height below them.
  centralWidget()->setMinimumHeight(446);
  ViewMenu = menuBar()->addMenu(tr("表示(&V)"));
  ZoomInAction = ViewMenu->addAction(tr("拡大"));
  // Ctrl+= for keyboards whose plus lies on the same key.
  ZoomInAction->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Plus), QKeySequence(Qt::CTRL | Qt::Key_Equal)});
  ZoomOutAction = ViewMenu->addAction(tr("縮小"));
  ZoomOutAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Minus));
  ActualSizeAction = ViewMenu->addAction(tr("等倍"));
  ActualSizeAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_0));
  connect(ZoomInAction, &QAction::triggered, this, [this] { Guarded([this] { ZoomPane()->StepZoom(1); }); });
  connect(ZoomOutAction, &QAction::triggered, this,
          [this] { Guarded([this] { ZoomPane()->StepZoom(-1); }); });
  connect(ActualSizeAction, &QAction::triggered, this,
          [this] { Guarded([this] { ZoomPane()->SetZoom(MinZoom); }); });
  FZoomPane = Image2;
  for (TImageView* view : {Image1, Image2})
    connect(view, &TImageView::Used, this, [this, view] { FZoomPane = view; });
  Image1->OnMouseMove = [this](QObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y) {
    Guarded([&] { Image1MouseMove(Sender, Button, Shift, X, Y); });
  };
}

void TOrvMain::SetGridColor(const TGridColor& Grid) {
  FGridColor = Grid;
  for (TImageView* view : {Image1, Image2}) view->SetGridColor(Grid);
}
