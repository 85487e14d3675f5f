#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QPushButton>
#include <QScreen>
#include <QTest>

#include "GuiTest.h"
#include "GuiTestWindow.h"

namespace {

using TSizes = std::array<int64_t, 4>;

void Click(QPushButton* Button) {
  QTest::mouseClick(Button, Qt::LeftButton);
}

void Choose(TOrvMain& Window, int Index) {
  Window.ComboBox1->setCurrentIndex(Index);
  emit Window.ComboBox1->activated(Index);
}

void Drag(TImageView* View, QPoint From, QPoint To, Qt::MouseButton Button = Qt::LeftButton) {
  QTest::mousePress(View, Button, {}, From);
  QTest::mouseRelease(View, Button, {}, To);
}

void Stamp(TOrvMain& Window, QPoint At, Qt::MouseButton Button = Qt::LeftButton) {
  QTest::mousePress(Window.Image2, Button, {}, At);
  QTest::mouseRelease(Window.Image2, Button, {}, At);
}

// The pane picture a full redraw makes of Source.
std::unique_ptr<TBitmap> FullView(const TBitmap& Source, int ChipWidth, int ChipHeight,
                                  const TRect* Selection = nullptr) {
  auto view = std::make_unique<TBitmap>();
  view->Assign(const_cast<TBitmap*>(&Source));
  DrawChipGrid(*view, ChipWidth, ChipHeight, Rect(0, 0, view->Width(), view->Height()));
  if (Selection) DrawSelection(*view, *Selection);
  return view;
}

bool MaterialViewIsFull(const TOrvMain& Window) {
  return SamePixels(Window.Image1->Picture(),
                    *FullView(*Window.Document->Material, Window.Document->ChipWidth,
                              Window.Document->ChipHeight, &Window.Selection));
}

bool EditViewIsFull(const TOrvMain& Window) {
  return SamePixels(
      Window.Image2->Picture(),
      *FullView(*Window.Document->EditImage, Window.Document->ChipWidth, Window.Document->ChipHeight));
}

QByteArray FileBytes(const std::string& Path) {
  QFile file(QString::fromStdString(Path));
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// Adds a material through the file dialog and chooses it.
void AddAndChoose(TWindowFixture& Fixture, const std::string& Path) {
  Fixture.Dialogs.FileAnswers.push_back(Path);
  Click(Fixture.Window->Button5);
  Choose(*Fixture.Window, Fixture.Window->ComboBox1->count() - 1);
}

// New with 32 x 32 chips and 16 x 16 of them.
void NewEditImage(TWindowFixture& Fixture, TSizes Sizes = {32, 32, 16, 16}) {
  Fixture.Dialogs.SizeAnswers.push_back(Sizes);
  Click(Fixture.Window->Button1);
}

bool IsBlack(const TBitmap& Bitmap, int X, int Y) {
  return Bitmap.GetPixel(X, Y) == clBlack;
}

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void FirstStartWithoutSettingsFile() {
    TWindowFixture f;
    TOrvMain& w = f.Open();
    QCOMPARE(w.windowTitle(), QString("Tilora"));
    QCOMPARE(w.ComboBox1->count(), 0);
    QVERIFY(w.Image1->isVisible());
    QCOMPARE(w.Image1->Picture().Height(), 0);
    QCOMPARE(w.Image2->Picture().Height(), 0);
    QCOMPARE(w.Document->ChipWidth, 32);
    QCOMPARE(w.Document->ChipHeight, 32);
    QCOMPARE(w.Selection, TRect{});
    // Save and Resize without an edit image, Discard without a chosen entry: nothing, silently.
    Click(w.Button3);
    Click(w.Button4);
    Click(w.Button6);
    QVERIFY(f.Dialogs.FileCalls.empty() && f.Dialogs.SizeCalls.empty() && f.Dialogs.Warnings.empty());
    QVERIFY(!QFileInfo::exists(QString::fromStdString(f.Path("Tilora.ini"))));
    w.close();
    QCOMPARE(FileBytes(f.Path("Tilora.ini")), QByteArray());
    QVERIFY(f.Dialogs.Errors.empty());
  }

  void SettingsFileLines() {
    TWindowFixture f;
    const std::string a = WriteBmp(f.Path("a.bmp"), 64, 40, Pattern);
    const std::string b = WriteBmp(f.Path("b.bmp"), 40, 64, Pattern);
    const std::string missing = f.Path("missing.bmp");
    // Only the second place has a file: LF line ends, a blank line, no ending after the last line.
    QVERIFY(QDir().mkpath(QString::fromStdString(f.Path("config"))));
    WriteFile(f.Path("config/Tilora.ini"), QByteArray::fromStdString(a + "\n" + missing + "\n\n" + b));
    TOrvMain& w = f.Open();
    QCOMPARE(w.ComboBox1->count(), 4);
    const char* names[] = {"a.bmp", "missing.bmp", "", "b.bmp"};
    for (int i = 0; i < 4; ++i) QCOMPARE(w.ComboBox1->itemText(i), QString(names[i]));
    QCOMPARE(w.ComboBox1->currentIndex(), -1);
    QCOMPARE(w.Image1->Picture().Height(), 0);
    QCOMPARE(w.Image2->Picture().Height(), 0);

    Choose(w, 3);
    QVERIFY(w.Image1->isVisible());
    QCOMPARE(w.Image1->Picture().Width(), 40);
    QCOMPARE(w.Image1->size(), QSize(40, 64));
    Drag(w.Image1, {1, 1}, {1, 1});
    QCOMPARE(w.Selection, Rect(0, 0, 32, 32));
    Choose(w, 1);  // the file does not exist: the view hides and the selection empties
    QVERIFY(!w.Image1->isVisible());
    QCOMPARE(w.Selection, TRect{});
    Choose(w, 2);  // the blank entry
    QVERIFY(!w.Image1->isVisible());

    w.close();
    // Written where writing goes, every line with CR LF, the blank line kept.
    QCOMPARE(FileBytes(f.Path("Tilora.ini")),
             QByteArray::fromStdString(a + "\r\n" + missing + "\r\n\r\n" + b + "\r\n"));
    QVERIFY(f.Dialogs.Errors.empty());
  }

  void SettingsFileBesideTheExecutableWins() {
    TWindowFixture f;
    QVERIFY(QDir().mkpath(QString::fromStdString(f.Path("config"))));
    WriteFile(f.Path("Tilora.ini"), "first\r\n");
    WriteFile(f.Path("config/Tilora.ini"), "second\r\n");
    TOrvMain& w = f.Open();
    QCOMPARE(w.ComboBox1->count(), 1);
    QCOMPARE(w.ComboBox1->itemText(0), QString("first"));
  }

  void ReadOnlyProgramFolderKeepsTheListInTheConfigFolder() {
    TWindowFixture f;
    const std::string program = f.Path("program/"), config = f.Path("config");
    QVERIFY(QDir().mkpath(QString::fromStdString(program)));
    WriteFile(program + "Tilora.ini", "shipped\r\n");
    const TSettingsFile settings = SettingsFileFor(program, false, config);
    // The configuration folder has no list yet: the one beside the program is taken.
    TOrvMain& first = f.Open(settings);
    QCOMPARE(first.ComboBox1->count(), 1);
    f.Dialogs.FileAnswers = {f.Path("added.png")};
    Click(first.Button5);
    first.close();
    QCOMPARE(FileBytes(config + "/Tilora.ini"),
             QByteArray::fromStdString("shipped\r\n" + f.Path("added.png") + "\r\n"));
    QCOMPARE(FileBytes(program + "Tilora.ini"), QByteArray("shipped\r\n"));
    // The next start reads the list where it was written.
    TOrvMain& second = f.Open(settings);
    QCOMPARE(second.ComboBox1->count(), 2);
    QCOMPARE(second.ComboBox1->itemText(1), QString("added.png"));
    QVERIFY(f.Dialogs.Errors.empty());
  }

  // Frames of the designed client size with a window manager's frame (634 x 471), designed at (562, 460).
  void FittedWindowPosition_data() {
    QTest::addColumn<QRect>("available");
    QTest::addColumn<QPoint>("place");
    QTest::newRow("fits") << QRect(0, 0, 1920, 1080) << QPoint(562, 460);
    QTest::newRow("fits exactly") << QRect(0, 0, 1196, 931) << QPoint(562, 460);
    QTest::newRow("1366 x 768") << QRect(0, 0, 1366, 768) << QPoint(562, 297);
    QTest::newRow("1280 x 900") << QRect(0, 0, 1280, 900) << QPoint(562, 429);
    QTest::newRow("1024 x 768") << QRect(0, 0, 1024, 768) << QPoint(390, 297);
    QTest::newRow("panels left and bottom") << QRect(60, 0, 1306, 740) << QPoint(562, 269);
    QTest::newRow("second screen") << QRect(-1280, 0, 1280, 800) << QPoint(-634, 329);
    QTest::newRow("smaller than the frame") << QRect(10, 20, 600, 400) << QPoint(10, 20);
  }
  void FittedWindowPosition() {
    QFETCH(QRect, available);
    QFETCH(QPoint, place);
    QCOMPARE(::FittedWindowPosition(QRect(562, 460, 634, 471), available), place);
  }

  void OpensFittedOnTheScreen() {
    TWindowFixture f;
    TOrvMain& w = f.Open();
    const QRect available = w.screen()->availableGeometry();
    QTRY_COMPARE(w.frameGeometry().topLeft(),
                 ::FittedWindowPosition(QRect(QPoint(562, 460), w.frameGeometry().size()), available));
    QVERIFY(available.contains(w.frameGeometry()));
  }

  void CommandGroupsKeepTheirSizesAndAnchors() {
    const TSmallFont font;
    TWindowFixture f;
    TOrvMain& w = f.Open();
    for (const int width : {632, 1500}) {
      w.resize(width, 446);
      QTRY_COMPARE(w.Panel1->width(), width);
      QCOMPARE(w.Panel1->geometry(), QRect(0, 446 - 50, width, 50));
      const int right = width - 632;
      QCOMPARE(w.GroupBox1->geometry(), QRect(1, 0, 273, 49));
      QCOMPARE(w.GroupBox2->geometry(), QRect(287 + right, 0, 270, 49));
      QCOMPARE(w.Button7->geometry(), QRect(563 + right, 17, 65, 25));
      const std::pair<QWidget*, QRect> inGroups[] = {
          {w.Button1, {8, 16, 57, 25}},   {w.Button2, {71, 16, 58, 25}}, {w.Button3, {135, 16, 58, 25}},
          {w.Button4, {199, 16, 64, 25}}, {w.Button5, {8, 16, 61, 25}},  {w.Button6, {199, 16, 62, 25}},
      };
      for (const auto& [control, place] : inGroups) QCOMPARE(control->geometry(), place);
      QCOMPARE(w.ComboBox1->pos(), QPoint(75, 18));
      QCOMPARE(w.ComboBox1->width(), 118);
    }
  }

  void NewKeepsOldContentAtTheTopLeft() {
    TWindowFixture f;
    TOrvMain& w = f.Open();
    NewEditImage(f);
    QCOMPARE(f.Dialogs.SizeCalls, std::vector<bool>{true});
    QCOMPARE(w.Document->EditImage->Width(), 512);
    QCOMPARE(w.Document->EditImage->Height(), 512);
    QCOMPARE(w.Image2->size(), QSize(512, 512));
    QVERIFY(EditViewIsFull(w));
    // The grid is on the view only: lines on the last pixel of each chip, none in the document.
    QVERIFY(IsBlack(w.Image2->Picture(), 31, 5) && IsBlack(w.Image2->Picture(), 5, 31));
    QVERIFY(IsBlack(w.Image2->Picture(), 511, 511));
    QCOMPARE(w.Image2->Picture().GetPixel(30, 5), clWhite);
    QCOMPARE(w.Document->EditImage->GetPixel(31, 5), clWhite);

    w.Document->EditImage->Canvas().SetPixel(3, 3, RGB(200, 0, 0));
    NewEditImage(f);  // the same numbers: nothing changes but the redraw
    QCOMPARE(w.Image2->Picture().GetPixel(3, 3), RGB(200, 0, 0));
    NewEditImage(f, {16, 16, 40, 8});
    QCOMPARE(w.Document->EditImage->Width(), 640);
    QCOMPARE(w.Document->EditImage->Height(), 128);
    QCOMPARE(w.Document->EditImage->GetPixel(3, 3), RGB(200, 0, 0));
    QCOMPARE(w.Document->EditImage->GetPixel(600, 10), clWhite);
    QVERIFY(EditViewIsFull(w));
    f.Dialogs.SizeAnswers.push_back(std::nullopt);
    Click(w.Button1);
    QCOMPARE(w.Document->ChipWidth, 16);
    QVERIFY(f.Dialogs.Errors.empty());
  }

  void ResizeChangesOnlyTheGrid() {
    TWindowFixture f;
    TOrvMain& w = f.Open();
    NewEditImage(f);
    w.Document->EditImage->Canvas().SetPixel(40, 40, RGB(0, 0, 200));
    f.Dialogs.SizeAnswers.push_back(TSizes{16, 8, 3, 3});
    Click(w.Button4);
    QCOMPARE(f.Dialogs.SizeCalls.back(), false);  // without the image-size group
    QCOMPARE(w.Document->ChipWidth, 16);
    QCOMPARE(w.Document->ChipHeight, 8);
    QCOMPARE(w.Document->EditImage->Width(), 512);
    QCOMPARE(w.Document->EditImage->GetPixel(40, 40), RGB(0, 0, 200));
    QVERIFY(IsBlack(w.Image2->Picture(), 15, 0) && IsBlack(w.Image2->Picture(), 0, 7));
    QVERIFY(EditViewIsFull(w));
    f.Dialogs.SizeAnswers.push_back(std::nullopt);
    Click(w.Button4);
    QCOMPARE(w.Document->ChipWidth, 16);
  }

  void AddAndDiscardMaterials() {
    TWindowFixture f;
    TOrvMain& w = f.Open();
    const std::string a = WriteBmp(f.Path("a.bmp"), 64, 64, Pattern);
    f.Dialogs.FileAnswers = {a, a, std::nullopt};
    Click(w.Button5);
    Click(w.Button5);
    Click(w.Button5);
    QCOMPARE(w.ComboBox1->count(), 2);
    QCOMPARE(w.ComboBox1->currentIndex(), -1);
    QCOMPARE(w.MaterialFiles->Count(), 2);
    QCOMPARE((*w.MaterialFiles)[1], a);
    QCOMPARE(w.Image1->Picture().Height(), 0);  // nothing loaded, nothing redrawn
    const TPictureDialog& open = f.Dialogs.FileCalls.front();
    QCOMPARE(open.Kind, TPictureDialog::Open);
    QCOMPARE(open.Title, QString::fromUtf8("素材を開く"));

    Choose(w, 1);
    Drag(w.Image1, {33, 1}, {33, 1});
    f.Dialogs.WarningAnswers = {false, true};
    Click(w.Button6);
    QCOMPARE(f.Dialogs.Warnings.front(), QString::fromUtf8("このグラフィックを破棄していいですか？"));
    QCOMPARE(w.ComboBox1->count(), 2);
    QCOMPARE(w.ComboBox1->currentIndex(), 1);
    QVERIFY(w.Image1->isVisible());
    Click(w.Button6);
    QCOMPARE(w.ComboBox1->count(), 1);
    QCOMPARE(w.MaterialFiles->Count(), 1);
    QCOMPARE(w.ComboBox1->currentIndex(), -1);
    QVERIFY(!w.Image1->isVisible());
    QCOMPARE(w.Selection, TRect{});
    QCOMPARE(w.Document->Material->Width(), 64);  // the document keeps the pixels
    QVERIFY(QFileInfo::exists(QString::fromStdString(a)));

    // With the view hidden the selection is empty, so a stamp copies nothing.
    NewEditImage(f);
    Stamp(w, {10, 10});
    QCOMPARE(w.Document->EditImage->GetPixel(10, 10), clWhite);
    QVERIFY(f.Dialogs.Errors.empty());
  }

  void MaterialGridAndSelection() {
    TWindowFixture f;
    TOrvMain& w = f.Open();
    const std::string path = WriteBmp(f.Path("m.bmp"), 100, 70, Pattern);
    AddAndChoose(f, path);
    const TBitmap& view = w.Image1->Picture();
    QCOMPARE(view.Width(), 100);
    for (int y : {0, 40, 69})
      for (int x = 0; x < 100; ++x) QCOMPARE(IsBlack(view, x, y), x == 31 || x == 63 || x == 95);
    for (int x : {0, 50, 99})
      for (int y = 0; y < 70; ++y) QCOMPARE(IsBlack(view, x, y), y == 31 || y == 63);
    // The document's material never carries the grid.
    QVERIFY(SameColors(*w.Document->Material, *MakeBitmap(100, 70, Pattern)));

    Drag(w.Image1, {40, 10}, {5, 80});
    QCOMPARE(w.Selection, Rect(0, 0, 64, 96));
    QVERIFY(MaterialViewIsFull(w));
    // Outline black, the hatch white with the material between its lines.
    QVERIFY(IsBlack(view, 0, 20) && IsBlack(view, 20, 0));
    int white = 0, material = 0;
    for (int x = 1; x < 30; ++x) {
      const TColor c = view.GetPixel(x, 10);
      white += c == clWhite;
      material += c == Pattern(x, 10);
    }
    QVERIFY(white > 0 && material > 0 && white + material == 29);

    // The right button is ignored at its press and at its release.
    Drag(w.Image1, {90, 60}, {90, 60}, Qt::RightButton);
    QCOMPARE(w.Selection, Rect(0, 0, 64, 96));
    // The middle button selects like the left one.
    Drag(w.Image1, {70, 40}, {70, 40}, Qt::MiddleButton);
    QCOMPARE(w.Selection, Rect(64, 32, 96, 64));
    // A left release outside the view (negative position) extends the selection there.
    Drag(w.Image1, {40, 40}, {-40, -1});
    QCOMPARE(w.Selection, Rect(-32, 0, 64, 64));
    QVERIFY(MaterialViewIsFull(w));
    QVERIFY(f.Dialogs.Errors.empty());
  }

  void StampCopiesTheSelection() {
    TWindowFixture f;
    TOrvMain& w = f.Open();
    AddAndChoose(f, WriteBmp(f.Path("m.bmp"), 128, 64, Pattern));
    NewEditImage(f);
    Stamp(w, {300, 300});  // no selection yet: nothing changes
    QVERIFY(SamePixels(*w.Document->EditImage, *MakeBitmap(512, 512, [](int, int) { return clWhite; })));
    Drag(w.Image1, {40, 5}, {70, 5});
    QCOMPARE(w.Selection, Rect(32, 0, 96, 32));
    // A stamp in the last column keeps only the part that fits; the right button stamps too.
    Stamp(w, {500, 40}, Qt::RightButton);
    for (int y = 32; y < 64; ++y)
      for (int x = 448; x < 512; ++x)
        QCOMPARE(w.Document->EditImage->GetPixel(x, y), x < 480 ? clWhite : Pattern(x - 480 + 32, y - 32));
    QVERIFY(EditViewIsFull(w));
  }

  // The redraws after a release and a stamp touch only the changed areas; the result must be the full redraw.
  // The files come at the row's format: the material keeps it, the edit image is held at 24 bits.
  void PartialRedrawsEqualTheFullRedraw_data() {
    QTest::addColumn<int>("fileFormat");
    QTest::newRow("display") << int(pfDevice);
    QTest::newRow("4 bits") << int(pf4bit);
    QTest::newRow("1 bit") << int(pf1bit);
  }
  void PartialRedrawsEqualTheFullRedraw() {
    QFETCH(int, fileFormat);
    const auto format = static_cast<TPixelFormat>(fileFormat);
    TWindowFixture f;
    TOrvMain& w = f.Open();
    // An indexed material, whose pixels share bytes: the partial copy works on whole bytes.
    const auto material = MakeBitmap(200, 150, Pattern);
    material->SetPixelFormat(format);
    material->SaveToFile(f.Path("m.bmp"));
    AddAndChoose(f, f.Path("m.bmp"));
    QCOMPARE(w.Document->Material->PixelFormat(), format == pfDevice ? pf32bit : format);
    if (format == pfDevice) {
      NewEditImage(f, {24, 16, 10, 10});
    } else {
      const auto edit = MakeBitmap(237, 161, Pattern);
      edit->SetPixelFormat(format);
      edit->SaveToFile(f.Path("e.bmp"));
      f.Dialogs.FileAnswers.push_back(f.Path("e.bmp"));
      f.Dialogs.SizeAnswers.push_back(TSizes{13, 11, 1, 1});
      Click(w.Button2);
      QCOMPARE(w.Document->EditImage->PixelFormat(), pf24bit);
    }
    const std::pair<QPoint, QPoint> drags[] = {{{30, 20}, {80, 50}},
                                               {{199, 149}, {250, 170}},
                                               {{100, 100}, {-10, -5}},
                                               {{5, 5}, {5, 5}},
                                               {{60, 40}, {130, 90}}};
    const QPoint stamps[] = {{0, 0}, {239, 159}, {100, 70}, {230, 10}, {50, 150}};
    for (size_t i = 0; i < std::size(drags); ++i) {
      Drag(w.Image1, drags[i].first, drags[i].second);
      QVERIFY(MaterialViewIsFull(w));
      Stamp(w, stamps[i], i % 2 ? Qt::RightButton : Qt::LeftButton);
      QVERIFY(EditViewIsFull(w));
    }
    QVERIFY(f.Dialogs.Errors.empty());
  }

  void SwitchingMaterialsKeepsTheSelection() {
    TWindowFixture f;
    TOrvMain& w = f.Open();
    AddAndChoose(f, WriteBmp(f.Path("a.bmp"), 96, 96, Pattern));
    Drag(w.Image1, {40, 40}, {40, 40});
    AddAndChoose(
        f, WriteBmp(f.Path("b.bmp"), 64, 128, [](int x, int y) { return RGB(0, uint8_t(x), uint8_t(y)); }));
    QCOMPARE(w.Selection, Rect(32, 32, 64, 64));
    QCOMPARE(w.Image1->Picture().Width(), 64);
    QVERIFY(MaterialViewIsFull(w));
  }

  void LoadEditImage() {
    TWindowFixture f;
    TOrvMain& w = f.Open();
    const std::string file = WriteBmp(f.Path("e.bmp"), 100, 50, Pattern);
    f.Dialogs.FileAnswers = {std::nullopt, file, file};
    f.Dialogs.SizeAnswers = {std::nullopt, TSizes{16, 10, 1, 1}};
    Click(w.Button2);  // file dialog cancelled
    QVERIFY(f.Dialogs.SizeCalls.empty());
    Click(w.Button2);  // size dialog cancelled
    QCOMPARE(f.Dialogs.SizeCalls, std::vector<bool>{false});
    QCOMPARE(w.Document->EditImage->Width(), 0);
    Click(w.Button2);
    QCOMPARE(f.Dialogs.FileCalls.back().Title, QString::fromUtf8("ファイルを開く"));
    QCOMPARE(w.Document->ChipWidth, 16);
    QCOMPARE(w.Document->ChipHeight, 10);
    for (int y = 0; y < 50; ++y)
      for (int x = 0; x < 100; ++x) QCOMPARE(w.Document->EditImage->GetPixel(x, y), Pattern(x, y));
    QCOMPARE(w.Image2->size(), QSize(100, 50));
    QVERIFY(EditViewIsFull(w));
    QVERIFY(f.Dialogs.Errors.empty());
  }

  void ErrorsEndTheHandlerAndShowTheErrorBox() {
    TWindowFixture f;
    TOrvMain& w = f.Open();
    NewEditImage(f);
    const std::string bad = f.Path("bad.bmp");
    WriteFile(bad, "XXnot a bitmap at all");
    f.Dialogs.FileAnswers = {bad};
    f.Dialogs.SizeAnswers = {TSizes{16, 16, 1, 1}};
    Click(w.Button2);
    QCOMPARE(f.Dialogs.Errors.size(), size_t{1});
    QCOMPARE(f.Dialogs.Errors.front(), QString(SInvalidBitmap) + ".");
    // The chip size was set before the failing load; the panes were not redrawn; the image is unchanged.
    QCOMPARE(w.Document->ChipWidth, 16);
    QCOMPARE(w.Document->EditImage->Width(), 512);
    QVERIFY(!IsBlack(w.Image2->Picture(), 15, 0));
    // The next event is handled as usual, and its redraw shows the new grid.
    Stamp(w, {5, 5});
    QVERIFY(IsBlack(w.Image2->Picture(), 15, 0));
    QVERIFY(EditViewIsFull(w));
    QCOMPARE(f.Dialogs.Errors.size(), size_t{1});
  }

  void SaveWritesTheEditImage() {
    TWindowFixture f;
    TOrvMain& w = f.Open();
    NewEditImage(f);
    const std::string out = f.Path("out.bmp");
    f.Dialogs.FileAnswers = {std::nullopt, out};
    Click(w.Button3);
    QVERIFY(!QFileInfo::exists(QString::fromStdString(out)));
    Click(w.Button3);
    const TPictureDialog& save = f.Dialogs.FileCalls.back();
    QCOMPARE(save.Kind, TPictureDialog::Save);
    QCOMPARE(save.Title, QString::fromUtf8("画像を保存する"));
    QCOMPARE(save.DefaultExt, QString("bmp"));
    QCOMPARE(save.Filter,
             QString::fromUtf8("すべてのファイル (*.bmp;*.png)|*.bmp;*.png|ビットマップ (*.bmp)|*.bmp|"
                               "PNG イメージファイル (*.png)|*.png"));
    TBitmap saved;
    saved.LoadFromFile(out);
    QCOMPARE(saved.Width(), 512);
    QCOMPARE(saved.GetPixel(31, 0), clWhite);  // no grid in the file
    QVERIFY(f.Dialogs.Errors.empty());
  }

  void ExitWritesTheMaterialList() {
    TWindowFixture f;
    TOrvMain& w = f.Open();
    f.Dialogs.FileAnswers = {f.Path("x.png")};
    Click(w.Button5);
    Click(w.Button7);
    QVERIFY(!w.isVisible());
    QCOMPARE(FileBytes(f.Path("Tilora.ini")), QByteArray::fromStdString(f.Path("x.png") + "\r\n"));
  }
};

TILORA_GUI_TEST(MainWindowTest, "MainWindow");

#include "GuiMainWindow_test.moc"
