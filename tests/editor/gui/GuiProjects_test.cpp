// Projects in the window: a saved project opens in another window as the same sheet; a material changed on
// disk is named and a rebuild offered, which is one undoable step; missing materials are named with their
// cells.
#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QMenu>
#include <QPushButton>
#include <QTest>

#include "GuiTest.h"
#include "GuiTestWindow.h"
#include "QtHistory.h"

namespace {

using TSizes = std::array<int64_t, 4>;

// The colour of every pixel of the edit image.
std::vector<TColor> SheetColors(const TOrvMain& Window) {
  std::vector<TColor> colors;
  const TBitmap& image = *Window.Document->EditImage;
  for (int y = 0; y < image.Height(); ++y)
    for (int x = 0; x < image.Width(); ++x) colors.push_back(image.GetPixel(x, y));
  return colors;
}

// A sheet of 4 x 2 chips of 16 x 16 made in the window: the chips (0, 0) and (1, 0) of the material stamped
// at cell (1, 0), and its chip (2, 1) flipped at cell (0, 1).
struct TProjectFixture : TEditingFixture {
  std::string Material = Path("m.bmp");
  std::string ProjectPath = Path("town.tilora");

  TOrvMain& MakeSheet() {
    TOrvMain& w = OpenEditing();
    WriteBmp(Material, 64, 32, Pattern);
    Dialogs.SizeAnswers.push_back(TSizes{16, 16, 4, 2});
    w.Button1->click();
    w.AddMaterials({QString::fromStdString(Material)});
    QTest::mousePress(w.Image1, Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseRelease(w.Image1, Qt::LeftButton, {}, QPoint(20, 5));
    QTest::mouseClick(w.Image2, Qt::LeftButton, {}, QPoint(20, 5));
    QTest::mousePress(w.Image1, Qt::LeftButton, {}, QPoint(40, 20));
    QTest::mouseRelease(w.Image1, Qt::LeftButton, {}, QPoint(40, 20));
    w.FlipHorizontalAction->trigger();
    QTest::mouseClick(w.Image2, Qt::LeftButton, {}, QPoint(5, 20));
    return w;
  }
  void SaveProject() {
    Dialogs.FileAnswers.push_back(ProjectPath);
    Window->SaveProjectAsAction->trigger();
  }
};

// Another window that opens Project.
TOrvMain& OpenInAnotherWindow(TEditingFixture& Other, const std::string& Project) {
  TOrvMain& w = Other.OpenEditing();
  Other.Dialogs.FileAnswers.push_back(Project);
  w.OpenProjectAction->trigger();
  return w;
}

}  // namespace

class ProjectsTest : public QObject {
  Q_OBJECT

 private slots:
  void ASavedProjectOpensAsTheSheet() {
    TProjectFixture f;
    TOrvMain& w = f.MakeSheet();
    f.Dialogs.FileAnswers.push_back(f.Path("town.png"));
    w.SaveAsAction->trigger();
    f.SaveProject();
    QVERIFY(f.Dialogs.Errors.empty());
    QCOMPARE(f.Dialogs.FileCalls.back().Title, QString("プロジェクトを保存"));
    QCOMPARE(f.Dialogs.FileCalls.back().Filter, QString("Tilora プロジェクト (*.tilora)|*.tilora"));
    QCOMPARE(w.ProjectFile, QString::fromStdString(f.ProjectPath));

    TEditingFixture g;
    TOrvMain& opened = OpenInAnotherWindow(g, f.ProjectPath);
    QVERIFY(g.Dialogs.Errors.empty() && g.Dialogs.Notices.empty());
    QVERIFY(SheetColors(opened) == SheetColors(w));
    QVERIFY(SameColors(opened.Image2->Picture(), w.Image2->Picture()));
    // Saved where the project says, with the material at hand and watched; opening is one undoable step.
    QCOMPARE(opened.CurrentFile, QString::fromStdString(f.Path("town.png")));
    QCOMPARE(opened.ComboBox1->count(), 1);
    QCOMPARE(opened.WatchedMaterials(), QStringList{QString::fromStdString(f.Material)});
    QCOMPARE(opened.UndoAction->text(), QString("元に戻す: 再構築"));
    QCOMPARE(opened.FileMenu->actions().contains(opened.OpenProjectAction), true);

    // Save writes the sheet and the project with it.
    opened.ComboBox1->setCurrentIndex(0);
    emit opened.ComboBox1->activated(0);
    QTest::mousePress(opened.Image1, Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseRelease(opened.Image1, Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseClick(opened.Image2, Qt::LeftButton, {}, QPoint(50, 20));
    opened.SaveAction->trigger();
    QVERIFY(opened.History->IsClean());
    QCOMPARE(ReadProject(f.ProjectPath).Operations.size(), size_t{3});

    // New starts a sheet of no project.
    g.Dialogs.SizeAnswers.push_back(TSizes{16, 16, 1, 1});
    opened.Button1->click();
    QVERIFY(opened.ProjectFile.isEmpty());
    QVERIFY(opened.WatchedMaterials().isEmpty());
  }

  void AChangedMaterialIsNamedAndItsRebuildIsOneStep() {
    TProjectFixture f;
    TOrvMain& w = f.MakeSheet();
    f.SaveProject();
    const std::vector<TColor> before = SheetColors(w);

    // Another program writes the material anew: the window asks, and rebuilds.
    const auto other = [](int X, int Y) { return Pattern(X + 3, Y); };
    f.Dialogs.QuestionAnswers = {true};
    WriteBmp(f.Material, 64, 32, other);
    QTRY_COMPARE_WITH_TIMEOUT(f.Dialogs.Questions.size(), size_t{1}, 5000);
    QCOMPARE(f.Dialogs.Questions[0], QString("素材が変更されました: m.bmp\nシートを再構築しますか？"));
    QCOMPARE(w.Document->EditImage->GetPixel(16, 0), other(0, 0));
    QCOMPARE(w.Document->EditImage->GetPixel(0, 16), other(47, 16));
    QCOMPARE(w.Document->EditImage->GetPixel(60, 20), clWhite);
    QCOMPARE(w.UndoAction->text(), QString("元に戻す: 再構築"));
    const std::vector<TColor> rebuilt = SheetColors(w);
    w.UndoAction->trigger();
    QVERIFY(SheetColors(w) == before);
    w.RedoAction->trigger();
    QVERIFY(SheetColors(w) == rebuilt);

    // Declined: the sheet stays, and the same file is not asked about again.
    f.Dialogs.QuestionAnswers = {false};
    WriteBmp(f.Material, 64, 32, Pattern);
    QTRY_COMPARE_WITH_TIMEOUT(f.Dialogs.Questions.size(), size_t{2}, 5000);
    QVERIFY(SheetColors(w) == rebuilt);
    w.CheckMaterialChanges();
    QCOMPARE(f.Dialogs.Questions.size(), size_t{2});
  }

  void MissingMaterialsAreNamedWithTheirCells() {
    TProjectFixture f;
    f.MakeSheet();
    f.SaveProject();
    QVERIFY(QFile::remove(QString::fromStdString(f.Material)));

    TEditingFixture g;
    TOrvMain& opened = OpenInAnotherWindow(g, f.ProjectPath);
    QCOMPARE(g.Dialogs.Notices.size(), size_t{1});
    QCOMPARE(
        g.Dialogs.Notices[0],
        QString("シートを素材から組み立て直せない部分があります。\n\n素材「m.bmp」が見つかりません。セル (1, "
                "0)、(2, 0)、(0, 1) は元のままです。"));
    QVERIFY(SheetColors(opened) == std::vector<TColor>(64 * 32, clWhite));
  }
};

TILORA_GUI_TEST(ProjectsTest, "Projects");

#include "GuiProjects_test.moc"
