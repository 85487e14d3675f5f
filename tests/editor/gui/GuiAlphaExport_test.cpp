// The editing window's transparency, save choices, export and duplicate chips: New with a transparent sheet,
// erasing to transparent and saving it, materials read with palette index 0 transparent, the save dialog's
// profile, exact colours and key colour driving the save (files read back with libpng), its warnings and
// errors, the tilesets and laid-out image written beside the sheet, the choices kept between runs, the colour
// budget that follows them, and the count and marks of duplicate chips through stamps and undo.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>
#include <filesystem>

#include "AlphaPlane.h"
#include "FPreferences.h"
#include "FSaveOptions.h"
#include "GuiTest.h"
#include "GuiTestWindow.h"
#include "LibpngOracle.h"
#include "OrvZoom.h"
#include "TestFiles.h"

namespace {

using TSizes = std::array<int64_t, 4>;

void Click(QPushButton* Button) {
  QTest::mouseClick(Button, Qt::LeftButton);
}

std::vector<uint8_t> Bytes(const std::string& Path) {
  return filestest::ReadFileBytes(Path);
}

QString Text(const std::string& Path) {
  const std::vector<uint8_t> bytes = Bytes(Path);
  return QString::fromUtf8(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()));
}

// A PNG file's chunks but its time stamp, which two saves of one picture need not share.
std::vector<std::pair<std::string, std::vector<uint8_t>>> Untimed(const std::string& Path) {
  std::vector<std::pair<std::string, std::vector<uint8_t>>> chunks;
  for (const pngtest::Chunk& chunk : pngtest::ListChunks(Bytes(Path)))
    if (chunk.Type != "tIME") chunks.emplace_back(chunk.Type, chunk.Data);
  return chunks;
}

// The RGBA of pixel (X, Y) of a PNG file as libpng reads it.
std::array<uint8_t, 4> Rgba(const pngtest::Decoded& File, int X, int Y) {
  const uint8_t* p = &File.Rows[static_cast<size_t>(Y)][static_cast<size_t>(4 * X)];
  return {p[0], p[1], p[2], p[3]};
}

std::array<uint8_t, 4> Rgba(TColor Color, uint8_t Alpha = 255) {
  return {GetRValue(Color), GetGValue(Color), GetBValue(Color), Alpha};
}

// Adds a material, chooses it and selects the chip at Chip (material pixels).
void ChooseMaterial(TEditingFixture& Fixture, const std::string& Path, QPoint Chip = {0, 0}) {
  TOrvMain& w = *Fixture.Window;
  w.AddMaterials({QString::fromStdString(Path)});
  QTest::mousePress(w.Image1, Qt::LeftButton, {}, Chip);
  QTest::mouseRelease(w.Image1, Qt::LeftButton, {}, Chip);
}

void ClickEdit(TOrvMain& Window, QPoint At) {
  QTest::mouseClick(Window.Image2, Qt::LeftButton, {}, At);
}

// Save As with the choices changed by Edit.
void SaveAs(
    TEditingFixture& Fixture, const std::string& Path,
    std::function<void(TSaveChoices&)> Edit = [](TSaveChoices&) {}) {
  Fixture.Dialogs.FileAnswers.push_back(Path);
  Fixture.Dialogs.ChoiceEdits.push_back(std::move(Edit));
  Fixture.Window->SaveAsAction->trigger();
}

// A sheet of 20 x 10 pixels whose 200 pixels are red 0 to 199: the designed reduction merges them.
std::string GradientSheet(const TEditingFixture& Fixture) {
  return WriteBmp(Fixture.Path("gradient.bmp"), 20, 10,
                  [](int X, int Y) { return RGB(static_cast<uint8_t>(X + 20 * Y), 0, 0); });
}

void LoadSheet(TEditingFixture& Fixture, const std::string& Path, int Chip = 16) {
  Fixture.Dialogs.FileAnswers.push_back(Path);
  Fixture.Dialogs.SizeAnswers.push_back(TSizes{Chip, Chip, 1, 1});
  Click(Fixture.Window->Button2);
}

// The device pixels of the edit pane at 1x as the window paints them.
std::vector<uint32_t> RenderEditPane(const TOrvMain& Window) {
  const TBitmap& image = *Window.Document->EditImage;
  std::vector<uint32_t> words(static_cast<size_t>(image.Width()) * static_cast<size_t>(image.Height()));
  RenderPane(Window.Image2->Pane(),
             TPaneRaster{words, image.Width(), Rect(0, 0, image.Width(), image.Height()), 1});
  return words;
}

uint32_t MarkWord() {
  return 0xFF000000u | (uint32_t{GetRValue(ChipMarkColor)} << 16) |
         (uint32_t{GetGValue(ChipMarkColor)} << 8) | GetBValue(ChipMarkColor);
}

}  // namespace

class AlphaExportTest : public QObject {
  Q_OBJECT

 private slots:
  // 新規作成 (透明) beside New makes a transparent sheet shown over the checkerboard; stamps are opaque,
  // erasing clears to transparent again, and the saved PNG carries it all.
  void TransparentNewEraseAndSave() {
    TEditingFixture f;
    TOrvMain& w = f.OpenEditing();
    const QList<QAction*> file = w.FileMenu->actions();
    QCOMPARE(file.indexOf(w.NewTransparentAction), file.indexOf(w.NewAction) + 1);
    f.Dialogs.SizeAnswers.push_back(TSizes{16, 16, 2, 2});
    w.NewTransparentAction->trigger();
    QCOMPARE(f.Dialogs.SizeCalls, std::vector<bool>{true});
    const TBitmap& alpha = w.Document->EditAlpha;
    QVERIFY(IsAlphaPlaneOf(alpha, *w.Document->EditImage));
    QCOMPARE(alpha.ScanLine(31)[31], uint8_t{255});
    QCOMPARE(w.Image2->Picture().GetPixel(0, 0), CheckerLight);
    QCOMPARE(w.Image2->Picture().GetPixel(8, 0), CheckerDark);

    ChooseMaterial(f, WriteBmp(f.Path("m.bmp"), 16, 16, Pattern));
    ClickEdit(w, {20, 4});  // chip (1, 0)
    ClickEdit(w, {4, 20});  // chip (0, 1)
    QCOMPARE(alpha.ScanLine(0)[16], uint8_t{0});
    w.EraseToolAction->trigger();
    ClickEdit(w, {20, 4});
    QCOMPARE(alpha.ScanLine(0)[16], uint8_t{255});
    QCOMPARE(w.UndoAction->text(), QString("元に戻す: 消去"));

    SaveAs(f, f.Path("t.png"));
    QVERIFY(f.Dialogs.Errors.empty());
    const pngtest::Decoded saved = pngtest::LibpngRead(Bytes(f.Path("t.png")), true);
    QCOMPARE(Rgba(saved, 0, 0)[3], uint8_t{0});         // untouched: transparent
    QCOMPARE(Rgba(saved, 20, 4)[3], uint8_t{0});        // erased: transparent again
    QCOMPARE(Rgba(saved, 5, 21), Rgba(Pattern(5, 5)));  // stamped: the material's pixel, opaque
    // Undoing the erase brings the stamp back, alpha and all.
    w.UndoAction->trigger();
    QCOMPARE(alpha.ScanLine(4)[20], uint8_t{0});
    QCOMPARE(w.Document->EditImage->GetPixel(20, 4), Pattern(4, 4));

    // The designed New still adds opaque white (and keeps what was there, as designed).
    f.Dialogs.SaveAnswers = {TSaveChangesAnswer::Discard};
    f.Dialogs.SizeAnswers.push_back(TSizes{16, 16, 3, 3});
    Click(w.Button1);
    QCOMPARE(w.Document->EditImage->GetPixel(40, 40), clWhite);
    QCOMPARE(alpha.ScanLine(40)[40], uint8_t{0});
    QCOMPARE(alpha.ScanLine(0)[0], uint8_t{255});
  }

  // An 8-bit material read with palette index 0 transparent stamps with its transparency; the choice is kept
  // for its path between runs, and a true-colour material has no such choice.
  void MaterialsWithIndexZeroTransparent() {
    TEditingFixture f;
    pngdec::LibpngDesc desc;
    desc.Width = desc.Height = 16;
    desc.ColorType = PNG_COLOR_TYPE_PALETTE;
    desc.Palette = {{255, 0, 255}, {10, 20, 30}};
    std::vector<pngdec::Bytes> rows(16, pngdec::Bytes(16, 1));
    for (auto& row : rows) std::fill(row.begin(), row.begin() + 8, uint8_t{0});  // left half index 0
    const std::string material = f.Path("rpg.png");
    filestest::WriteFileBytes(material, pngdec::LibpngWrite(desc, rows));
    const std::string truecolor = WriteBmp(f.Path("true.bmp"), 16, 16, Pattern);
    {
      TOrvMain& w = f.OpenEditing();
      f.Dialogs.SizeAnswers.push_back(TSizes{16, 16, 2, 1});
      Click(w.Button1);
      ChooseMaterial(f, material);
      w.FileMenu->aboutToShow();
      QVERIFY(w.IndexZeroAction->isEnabled());
      QVERIFY(!w.IndexZeroAction->isChecked());
      QVERIFY(w.Document->MaterialAlpha.Empty());
      w.IndexZeroAction->trigger();
      QVERIFY(w.IndexZeroAction->isChecked());
      QCOMPARE(w.Document->MaterialAlpha.ScanLine(3)[2], uint8_t{255});
      QCOMPARE(w.Document->MaterialAlpha.ScanLine(3)[12], uint8_t{0});
      ClickEdit(w, {20, 4});
      QCOMPARE(w.Document->EditAlpha.ScanLine(3)[16 + 2], uint8_t{255});
      QCOMPARE(w.Document->EditAlpha.ScanLine(3)[16 + 12], uint8_t{0});
      QCOMPARE(w.Document->EditImage->GetPixel(28, 3), RGB(10, 20, 30));
      // A true-colour material has no palette to take index 0 from.
      w.AddMaterials({QString::fromStdString(truecolor)});
      QVERIFY(!w.IndexZeroAction->isEnabled());
      f.Dialogs.SaveAnswers = {TSaveChangesAnswer::Discard};
      w.close();
    }
    f.Window.reset();
    f.OpenPreferences();
    TOrvMain& again = f.OpenEditing();
    again.ComboBox1->setCurrentIndex(0);
    again.ComboBox1Change();
    QVERIFY(again.IndexZeroAction->isChecked());
    QCOMPARE(again.Document->MaterialAlpha.ScanLine(0)[0], uint8_t{255});
    again.IndexZeroAction->trigger();  // off again: read opaque, and no longer kept
    QVERIFY(again.Document->MaterialAlpha.Empty());
    QVERIFY(f.Preferences->value(TOrvMain::IndexZeroMaterialsKey).toStringList().isEmpty());
  }

  // Each choice of the save dialog drives the core's save: the file is the one the core writes with those
  // options, and says so (the palette of exact colours, the key colour at index 0).
  void SaveChoicesDriveTheSave_data() {
    QTest::addColumn<int>("profile");
    QTest::addColumn<bool>("exact");
    QTest::addColumn<int>("key");  // -1: automatic
    QTest::addColumn<int>("paletteSize");
    QTest::addColumn<int>("firstEntry");  // 0x00BBGGRR, -1: not checked
    QTest::addColumn<bool>("warned");
    QTest::newRow("designed") << 0 << false << -1 << -1 << -1 << false;
    QTest::newRow("exact colours") << 0 << true << -1 << 200 << -1 << false;
    QTest::newRow("rpg2000 top-left key") << 1 << false << -1 << 200 << 0 << true;
    QTest::newRow("rpg2000 chosen key") << 1 << false << 0xFF00FF << 201 << 0xFF00FF << true;
  }
  void SaveChoicesDriveTheSave() {
    QFETCH(int, profile);
    QFETCH(bool, exact);
    QFETCH(int, key);
    QFETCH(int, paletteSize);
    QFETCH(int, firstEntry);
    QFETCH(bool, warned);
    TEditingFixture f;
    TOrvMain& w = f.OpenEditing();
    LoadSheet(f, GradientSheet(f));
    TSaveOptions options;
    options.Profile = static_cast<TSaveProfile>(profile);
    options.ExactColors = exact;
    options.KeyColor = key;
    // The designed 保存 button's dialog offers the choices too.
    f.Dialogs.FileAnswers.push_back(f.Path("s.png"));
    f.Dialogs.ChoiceEdits.push_back([&](TSaveChoices& C) { C.Save = options; });
    Click(w.Button3);
    QCOMPARE(f.Dialogs.FileCalls.back().Title, w.SavePictureDialog1.Title);
    QVERIFY(f.Dialogs.Errors.empty());
    w.Document->SaveEditImage(f.Path("direct.png"), options);
    QVERIFY(Untimed(f.Path("s.png")) == Untimed(f.Path("direct.png")));
    const pngtest::Decoded saved = pngtest::LibpngRead(Bytes(f.Path("s.png")), false);
    if (paletteSize >= 0) QCOMPARE(static_cast<int>(saved.Palette.size()), paletteSize);
    if (firstEntry >= 0)
      QCOMPARE(RGB(saved.Palette[0].red, saved.Palette[0].green, saved.Palette[0].blue), TColor{firstEntry});
    // The ChipSet-size warning comes after the save, which went through.
    QCOMPARE(f.Dialogs.Notices.size(), size_t{warned ? 1u : 0u});
    if (warned) QVERIFY(f.Dialogs.Notices[0].contains("480 x 256"));
    QCOMPARE(w.FileLabel->text(), QString("s.png"));
  }

  // More colours than RPG Maker's palette holds is the core's error, naming how many; nothing is written and
  // the sheet stays modified.
  void TooManyColoursForRpgMaker() {
    TEditingFixture f;
    TOrvMain& w = f.OpenEditing();
    LoadSheet(f, WriteBmp(f.Path("many.bmp"), 40, 20, [](int X, int Y) {
                return RGB(static_cast<uint8_t>(X + 40 * Y), static_cast<uint8_t>((X + 40 * Y) >> 8), 9);
              }));
    w.EraseToolAction->trigger();
    ClickEdit(w, {2, 2});  // a change: 800 colours, 256 of them erased to white, the key colour
    SaveAs(f, f.Path("r.png"), [](TSaveChoices& C) { C.Save.Profile = TSaveProfile::Rpg2000; });
    QCOMPARE(f.Dialogs.Errors.size(), size_t{1});
    QVERIFY2(f.Dialogs.Errors[0].contains("the sheet has 544 colours besides the key colour"),
             qPrintable(f.Dialogs.Errors[0]));
    QVERIFY(!std::filesystem::exists(f.Path("r.png")));
    QCOMPARE(w.FileLabel->text(), QString("many.bmp *"));
  }

  // The export choices write the tilesets beside the image, named after it; padding writes the laid-out
  // image beside the sheet, which stays as it is; Save (Ctrl+S) exports again with the same choices; a
  // target that cannot be written is named in the error and nothing is written.
  void ExportBesideTheImage() {
    TEditingFixture f;
    TOrvMain& w = f.OpenEditing();
    f.Dialogs.SizeAnswers.push_back(TSizes{16, 16, 3, 2});
    Click(w.Button1);
    ChooseMaterial(f, WriteBmp(f.Path("m.bmp"), 32, 16, Pattern));
    ClickEdit(w, {2, 2});
    ClickEdit(w, {40, 20});
    SaveAs(f, f.Path("sheet.png"), [](TSaveChoices& C) { C.Tsx = C.Tsj = C.Tres = true; });
    QVERIFY(f.Dialogs.Errors.empty());
    const QString tsx = Text(f.Path("sheet.tsx"));
    QVERIFY2(tsx.contains(R"(name="sheet" tilewidth="16" tileheight="16" tilecount="6" columns="3")"),
             qPrintable(tsx));
    QVERIFY(tsx.contains(R"(<image source="sheet.png" width="48" height="32"/>)"));
    QVERIFY(Text(f.Path("sheet.tsj")).contains(R"("image": "sheet.png")"));
    const QString tres = Text(f.Path("sheet.tres"));
    QVERIFY(tres.contains("0:0/0 = 0\n2:1/0 = 0\n"));  // the two stamped chips; the white ones are empty

    f.Dialogs.ChoiceEdits.clear();
    SaveAs(f, f.Path("sheet.png"), [](TSaveChoices& C) {
      C.Export.Spacing = 2;
      C.Export.Extrusion = 1;
    });
    const pngtest::Decoded sheet = pngtest::LibpngRead(Bytes(f.Path("sheet.png")), true);
    QCOMPARE(sheet.Width, 48u);
    const pngtest::Decoded laidOut = pngtest::LibpngRead(Bytes(f.Path("sheet.export.png")), true);
    QCOMPARE(laidOut.Width, 3u * (16 + 2) + 2u * 2);
    QCOMPARE(Rgba(laidOut, 1, 1), Rgba(sheet, 0, 0));
    QVERIFY(Text(f.Path("sheet.tsx")).contains(R"(spacing="4" margin="1")"));
    QVERIFY(Text(f.Path("sheet.tres")).contains(R"(path="sheet.export.png")"));

    // Ctrl+S: the same choices, no dialog.
    std::filesystem::remove(f.Path("sheet.tres"));
    w.SaveAction->trigger();
    QVERIFY(std::filesystem::exists(f.Path("sheet.tres")));

    std::filesystem::create_directory(f.Path("locked.tsx"));
    SaveAs(f, f.Path("locked.png"));
    QCOMPARE(f.Dialogs.Errors.size(), size_t{1});
    QVERIFY2(f.Dialogs.Errors[0].contains(QString::fromStdString(f.Path("locked.tsx"))),
             qPrintable(f.Dialogs.Errors[0]));
    QVERIFY(!std::filesystem::exists(f.Path("locked.png")));
    QVERIFY(!std::filesystem::exists(f.Path("locked.export.png")));
    QCOMPARE(w.CurrentFile, QString::fromStdString(f.Path("sheet.png")));
  }

  // The choices are kept between runs and shown by the next dialog; the status bar's colour budget follows
  // them, and the preferences dialog's profile and exact colours.
  void ChoicesKeptAndTheColourBudget() {
    TEditingFixture f;
    TSaveChoices chosen;
    {
      TOrvMain& w = f.OpenEditing();
      LoadSheet(f, GradientSheet(f));
      QCOMPARE(w.ColorBudgetLabel->text(), QString("200色 → 8ビット (25色に統合)"));
      QCOMPARE(f.Dialogs.ChoicesShown.size(), size_t{0});
      SaveAs(f, f.Path("g.png"), [&](TSaveChoices& C) {
        C.Save.ExactColors = true;
        C.Save.KeyColor = 0x123456;
        C.Tres = true;
        C.Export.Margin = 3;
        C.Export.SkipDuplicates = C.Export.MatchTransforms = true;
        chosen = C;
      });
      QCOMPARE(w.ColorBudgetLabel->text(), QString("200色 → 8ビット"));
      w.close();
    }
    f.Window.reset();
    f.OpenPreferences();
    TOrvMain& again = f.OpenEditing();
    LoadSheet(f, GradientSheet(f));
    QCOMPARE(again.ColorBudgetLabel->text(), QString("200色 → 8ビット"));
    SaveAs(f, f.Path("g2.png"));
    const TSaveChoices& shown = f.Dialogs.ChoicesShown.back();
    QCOMPARE(shown.Save.ExactColors, true);
    QCOMPARE(shown.Save.KeyColor, TColor{0x123456});
    QVERIFY(shown.Tres && !shown.Tsx && !shown.Tsj);
    QCOMPARE(shown.Export.Margin, 3);
    QVERIFY(shown.Export.SkipDuplicates && shown.Export.MatchTransforms);

    TPreferencesForm form;
    form.Load(*f.Preferences);
    QVERIFY(form.ExactColorsBox->isChecked());
    form.ExactColorsBox->setChecked(false);
    form.ProfileBox->setCurrentIndex(form.ProfileBox->findData("rpg2000"));
    form.Store(*f.Preferences);
    again.ApplyPreferences();
    QCOMPARE(again.SaveChoices().Save.Profile, TSaveProfile::Rpg2000);
    QCOMPARE(again.SaveChoices().Export.Margin, 3);  // the dialog keeps what it does not show
    QCOMPARE(again.ColorBudgetLabel->text(), QString("200色 → 8ビット"));
  }

  // The save dialog as the program shows it: the choices under the file list, shown and read back.
  void SaveDialogPanel() {
    TSaveChoices choices;
    choices.Save.Profile = TSaveProfile::Rpg2000;
    choices.Save.KeyColor = 0x00FF00;
    choices.Tsj = true;
    choices.Export.Extrusion = 2;
    choices.Export.ChipWidth = 7;  // not shown, given back as it was
    const TPictureDialog dialog{TPictureDialog::Save, "画像を保存する", "PNG (*.png)|*.png", "png"};
    const std::unique_ptr<QFileDialog> shown = CreateSaveDialog(dialog, choices, nullptr);
    auto* panel = shown->findChild<TSaveOptionsPanel*>("SaveOptionsPanel");
    QVERIFY(panel);
    QCOMPARE(panel->ProfileBox->currentText(), QString("RPG Maker 2000/2003"));
    QVERIFY(!panel->ExactColorsBox->isEnabled());  // the RPG Maker profile always saves exact colours
    QVERIFY(panel->ChosenKeyButton->isChecked());
    QCOMPARE(panel->KeyColorButton->text(), QString("#00ff00"));
    QVERIFY(panel->TsjBox->isChecked() && !panel->TresBox->isChecked());
    QVERIFY(!panel->SkipDuplicatesBox->isEnabled());
    QCOMPARE(panel->ExtrusionBox->value(), 2);
    panel->ProfileBox->setCurrentIndex(0);
    panel->ExactColorsBox->setChecked(true);
    panel->AutomaticKeyButton->setChecked(true);
    panel->TresBox->setChecked(true);
    panel->SkipDuplicatesBox->setChecked(true);
    panel->SpacingBox->setValue(5);
    const TSaveChoices read = SaveDialogChoices(*shown);
    QCOMPARE(read.Save.Profile, TSaveProfile::Standard);
    QVERIFY(read.Save.ExactColors);
    QCOMPARE(read.Save.KeyColor, TColor{-1});
    QVERIFY(read.Tsj && read.Tres && read.Export.SkipDuplicates);
    QCOMPARE(read.Export.Spacing, 5);
    QCOMPARE(read.Export.Extrusion, 2);
    QCOMPARE(read.Export.ChipWidth, 7);
  }

  // The status bar counts chips that copy another; the view option marks them on the edit pane, and both
  // follow stamps, undo and redo; flipped copies count when the view asks.
  void DuplicateCountAndMarks() {
    TEditingFixture f;
    TOrvMain& w = f.OpenEditing();
    f.Dialogs.SizeAnswers.push_back(TSizes{16, 16, 4, 1});
    Click(w.Button1);
    QCOMPARE(w.DuplicatesLabel->text(), QString("重複 0"));  // white chips are empty, no copies
    ChooseMaterial(f, WriteBmp(f.Path("m.bmp"), 16, 16, Pattern));
    ClickEdit(w, {2, 2});
    ClickEdit(w, {34, 2});
    QCOMPARE(w.DuplicatesLabel->text(), QString("重複 1"));
    w.MarkDuplicatesAction->trigger();
    QVERIFY(f.Preferences->value("view/markDuplicates").toBool());
    std::vector<uint32_t> pane = RenderEditPane(w);
    QCOMPARE(pane[32], MarkWord());  // the copy's corner, over the grid and picture
    QVERIFY(pane[0] != MarkWord());
    w.UndoAction->trigger();
    QCOMPARE(w.DuplicatesLabel->text(), QString("重複 0"));
    pane = RenderEditPane(w);
    QVERIFY(pane[32] != MarkWord());
    w.RedoAction->trigger();
    QCOMPARE(w.DuplicatesLabel->text(), QString("重複 1"));
    QCOMPARE(RenderEditPane(w)[32], MarkWord());

    w.FlipHorizontalAction->trigger();
    ClickEdit(w, {50, 2});
    QCOMPARE(w.DuplicatesLabel->text(), QString("重複 1"));
    w.DuplicateTransformsAction->trigger();
    QCOMPARE(w.DuplicatesLabel->text(), QString("重複 2"));
    QCOMPARE(RenderEditPane(w)[48], MarkWord());
    w.MarkDuplicatesAction->trigger();
    QVERIFY(w.Image2->Pane().Overlays.empty());
    QVERIFY(RenderEditPane(w)[48] != MarkWord());
  }
};

TILORA_GUI_TEST(AlphaExportTest, "AlphaExport");

#include "GuiAlphaExport_test.moc"
