// The main window's transparency, save choices, export and duplicate chips: New with a transparent sheet,
// materials read with palette index 0 transparent, the save dialog's profile, exact colours, key colour and
// export, the save's warnings, and the count and marks of duplicate chips.
#include <QAction>
#include <QComboBox>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QSettings>
#include <QStatusBar>

#include "FMain.h"
#include "FSaveOptions.h"
#include "OrvExport.h"

void TOrvMain::BuildAlphaExport() {
  const auto newAction = [this](const QString& Text, std::function<void()> Handler) {
    auto* action = new QAction(Text, this);
    connect(action, &QAction::triggered, this, [this, Handler = std::move(Handler)] { Guarded(Handler); });
    addAction(action);
    return action;
  };
  // New (transparent) beside New: the designed New and its size dialog stay as they are.
  NewTransparentAction = newAction(tr("新規作成 (透明)(&T)..."), [this] { NewSheet(true); });
  NewTransparentAction->setToolTip(tr("透明なシートを新しく作ります"));
  FileMenu->insertAction(OpenAction, NewTransparentAction);

  IndexZeroAction = newAction(tr("素材のパレット 0 番を透明にする(&I)"),
                              [this] { SetIndexZeroTransparent(IndexZeroAction->isChecked()); });
  IndexZeroAction->setCheckable(true);
  IndexZeroAction->setToolTip(
      tr("8 ビット以下の素材で、パレットの 0 番の色のピクセルを透明にします (RPG Maker 2000/2003 の素材)"));
  const QList<QAction*> fileActions = FileMenu->actions();
  FileMenu->insertAction(fileActions.value(fileActions.indexOf(AddMaterialAction) + 1), IndexZeroAction);
  // The state of the material may change without a command (its file removed): it is read when the menu
  // opens.
  connect(FileMenu, &QMenu::aboutToShow, this, [this] { UpdateAlphaExportActions(); });

  // View options, kept at once.
  const auto viewOption = [this](const QString& Text, const char* Key) {
    auto* action = new QAction(Text, this);
    action->setCheckable(true);
    action->setChecked(FPreferences->value(QLatin1String(Key), false).toBool());
    connect(action, &QAction::triggered, this, [this, action, Key] {
      Guarded([&] {
        FPreferences->setValue(QLatin1String(Key), action->isChecked());
        UpdateDuplicates();
      });
    });
    return action;
  };
  ViewMenu->addSeparator();
  MarkDuplicatesAction = viewOption(tr("重複したチップに印を付ける(&D)"), "view/markDuplicates");
  DuplicateTransformsAction =
      viewOption(tr("反転・回転したチップも重複に数える(&F)"), "view/duplicateTransforms");
  ViewMenu->addActions({MarkDuplicatesAction, DuplicateTransformsAction});

  DuplicatesLabel = new QLabel(this);
  DuplicatesLabel->setObjectName(QStringLiteral("DuplicatesLabel"));
  DuplicatesLabel->setToolTip(tr("ほかのチップと同じ内容のチップの数 (空のチップは数えません)"));
  statusBar()->addWidget(DuplicatesLabel);
}

void TOrvMain::UpdateAlphaExportActions() {
  if (!IndexZeroAction) return;
  const bool indexed = MaterialShown() && Document->Material->BitCount() <= 8;
  IndexZeroAction->setEnabled(indexed);
  IndexZeroAction->setChecked(indexed && FMaterialIndexZero);
}

// ---------------------------------------------------------------------------------------------------------------
// Materials with palette index 0 transparent

TMaterialReadOptions TOrvMain::MaterialReadOptions(const std::string& Path) const {
  if (!Editing()) return {};
  const QStringList paths = FPreferences->value(QLatin1String(IndexZeroMaterialsKey)).toStringList();
  return {paths.contains(QString::fromStdString(Path))};
}

void TOrvMain::SetIndexZeroTransparent(bool Transparent) {
  if (!Editing() || !MaterialShown()) return UpdateAlphaExportActions();
  const std::string& path = (*MaterialFiles)[ComboBox1->currentIndex()];
  QStringList paths = FPreferences->value(QLatin1String(IndexZeroMaterialsKey)).toStringList();
  paths.removeAll(QString::fromStdString(path));
  if (Transparent) paths << QString::fromStdString(path);
  FPreferences->setValue(QLatin1String(IndexZeroMaterialsKey), paths);
  // Read again with the choice, so that the pane and the next stamp show it; the selection stays.
  Document->LoadMaterial(path, {Transparent});
  FMaterialPath = path;
  FMaterialIndexZero = Transparent;
  RedrawMaterial();
  UpdateAlphaExportActions();
}

// ---------------------------------------------------------------------------------------------------------------
// Saving

void TOrvMain::SetSaveChoices(const TSaveChoices& Choices) {
  FSaveChoices = Choices;
  if (Editing()) UpdateDocumentStatus();
}

bool TOrvMain::AskSaveFile(const TPictureDialog& Dialog, QString& FileName) {
  QStringList files;
  if (!Editing()) {
    if (!FDialogs.ExecutePictureDialog(Dialog, files)) return false;
  } else {
    TSaveChoices choices = FSaveChoices;
    if (!FDialogs.ExecuteSaveDialog(Dialog, choices, files)) return false;
    StoreSaveChoices(*FPreferences, choices);
    SetSaveChoices(choices);
  }
  FileName = files.front();
  return true;
}

TSaveResult TOrvMain::SaveSheet(const QString& FileName) {
  const std::string file = DocumentPath(FileName);
  if (!Editing()) {
    Document->SaveEditImage(file);
    return {};
  }
  if (!FSaveChoices.Exports()) return Document->SaveEditImage(file, FSaveChoices.Save);
  TExportOptions options = FSaveChoices.Export;
  options.ChipWidth = Document->ChipWidth;
  options.ChipHeight = Document->ChipHeight;
  if (FSaveChoices.Save.KeyColor != -1) options.KeyColor = FSaveChoices.Save.KeyColor;
  const QFileInfo info(FileName);
  const auto beside = [&](bool Wanted, const char* Extension) {
    return Wanted ? DocumentPath(info.path() + QLatin1Char('/') + info.completeBaseName() +
                                 QLatin1String(Extension))
                  : std::string();
  };
  return SaveSheetWithExport(*Document, FSaveChoices.Save, options,
                             {file, beside(FSaveChoices.Tsx, ".tsx"), beside(FSaveChoices.Tsj, ".tsj"),
                              beside(FSaveChoices.Tres, ".tres")});
}

// ---------------------------------------------------------------------------------------------------------------
// Duplicate chips

TDuplicateOptions TOrvMain::DuplicateOptions() const {
  return {DuplicateTransformsAction && DuplicateTransformsAction->isChecked(), std::nullopt};
}

// The editor keeps the duplicates up to date for the chips each change touched; the marks follow the chips
// whose state changed, and only those are repainted.
void TOrvMain::UpdateDuplicates() {
  if (!DuplicatesLabel) return;
  if (Document->EditImage->Empty()) {
    DuplicatesLabel->clear();
    return;
  }
  TDuplicateTally& tally = Editor->Duplicates(DuplicateOptions());
  DuplicatesLabel->setText(tr("重複 %1").arg(tally.DuplicateCount()));
  const TDuplicateTally::TChanges changes = tally.TakeChanges();
  TChipMarks& marks = *FDuplicateMarks;
  const bool paneShown = Image2->Pane().Image == Document->EditImage.get();
  if (changes.Whole || marks.Columns != tally.Columns() || marks.Rows != tally.Rows()) {
    marks.Columns = tally.Columns();
    marks.Rows = tally.Rows();
    marks.Marked.assign(static_cast<size_t>(marks.Columns) * static_cast<size_t>(marks.Rows), false);
    for (int32_t row = 0; row < marks.Rows; ++row)
      for (int32_t column = 0; column < marks.Columns; ++column)
        marks.Marked[static_cast<size_t>(row) * marks.Columns + column] = tally.IsDuplicate({column, row});
    if (MarkDuplicatesAction->isChecked()) Image2->update();
  } else {
    for (const TChipCell& cell : changes.Cells) {
      marks.Marked[static_cast<size_t>(cell.Row) * marks.Columns + cell.Column] = tally.IsDuplicate(cell);
      if (MarkDuplicatesAction->isChecked() && paneShown)
        Image2->PictureChanged(Rect(cell.Column * Document->ChipWidth, cell.Row * Document->ChipHeight,
                                    (cell.Column + 1) * Document->ChipWidth,
                                    (cell.Row + 1) * Document->ChipHeight));
    }
  }
  // The marks shown or hidden: the pane with or without them (the edit pane has no other overlay).
  if (paneShown && MarkDuplicatesAction->isChecked() == Image2->Pane().Overlays.empty()) RedrawEdit();
}
