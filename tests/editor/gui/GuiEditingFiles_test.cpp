// The editing window's files: the unsaved-changes question, Save, Save As and the designed Save, recent edit
// images, files dropped on the panes, the preferences kept between runs and the file of the command line.
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QScrollArea>
#include <QSplitter>
#include <QTest>
#include <QUrl>

#include "FPreferences.h"
#include "GuiTest.h"
#include "GuiTestWindow.h"

namespace {

using TSizes = std::array<int64_t, 4>;

void Click(QPushButton* Button) {
  QTest::mouseClick(Button, Qt::LeftButton);
}

void Key(TOrvMain& Window, Qt::Key K, Qt::KeyboardModifiers Keys = {}) {
  QTest::keyClick(&Window, K, Keys);
}

QByteArray FileBytes(const std::string& Path) {
  QFile file(QString::fromStdString(Path));
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// Loads Path as the edit image with 16 x 16 chips through the designed Load.
void LoadSheet(TEditingFixture& Fixture, const std::string& Path) {
  Fixture.Dialogs.FileAnswers.push_back(Path);
  Fixture.Dialogs.SizeAnswers.push_back(TSizes{16, 16, 1, 1});
  Click(Fixture.Window->Button2);
}

// Pastes a 4 x 4 square of Color at the top-left: a change to save.
void ChangeSheet(TOrvMain& Window, QRgb Color = qRgb(1, 2, 3)) {
  QImage square(4, 4, QImage::Format_RGB32);
  square.fill(Color);
  QApplication::clipboard()->setImage(square);
  Key(Window, Qt::Key_Escape);
  Key(Window, Qt::Key_V, Qt::ControlModifier);
}

// Drops the files on Pane (a scroll box of the window): the drag enters, and is dropped when it was taken.
bool DropFiles(TOrvMain& Window, QWidget* Pane, const QStringList& Files) {
  QMimeData data;
  QList<QUrl> urls;
  for (const QString& file : Files) urls << QUrl::fromLocalFile(file);
  data.setUrls(urls);
  const QPoint at = Pane->mapTo(&Window, QPoint(10, 10));
  QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&Window, &enter);
  if (!enter.isAccepted()) return false;
  QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&Window, &drop);
  // The work of a drop runs once the drag is over.
  QCoreApplication::processEvents();
  return drop.isAccepted();
}

QStringList RecentEntries(const TOrvMain& Window) {
  QStringList entries;
  for (const QAction* action : Window.RecentMenu->actions())
    if (!action->isSeparator()) entries << action->text();
  return entries;
}

}  // namespace

Q_DECLARE_METATYPE(TSaveChangesAnswer)

class EditingFilesTest : public QObject {
  Q_OBJECT

 private slots:
  // Before New, Load, closing and a drop on the edit pane: save, discard or cancel.
  void UnsavedChangesQuestion_data() {
    QTest::addColumn<QString>("command");
    QTest::addColumn<TSaveChangesAnswer>("answer");
    for (const char* command : {"new", "load", "close", "drop"})
      for (const auto& [answer, name] : {std::pair{TSaveChangesAnswer::Save, "save"},
                                         {TSaveChangesAnswer::Discard, "discard"},
                                         {TSaveChangesAnswer::Cancel, "cancel"}})
        QTest::addRow("%s %s", command, name) << QString(command) << answer;
  }
  void UnsavedChangesQuestion() {
    QFETCH(QString, command);
    QFETCH(TSaveChangesAnswer, answer);
    TEditingFixture f;
    TOrvMain& w = f.OpenEditing();
    const std::string sheet = WriteBmp(f.Path("e.bmp"), 64, 32, Pattern);
    const std::string other = WriteBmp(f.Path("other.bmp"), 20, 20, Pattern);
    LoadSheet(f, sheet);
    const QByteArray original = FileBytes(sheet);
    ChangeSheet(w);
    QCOMPARE(w.FileLabel->text(), QString("e.bmp *"));

    const bool goesOn = answer != TSaveChangesAnswer::Cancel;
    f.Dialogs.SaveAnswers = {answer};
    if (command == "new") {
      if (goesOn) f.Dialogs.SizeAnswers.push_back(TSizes{16, 16, 2, 2});
      Click(w.Button1);
      QCOMPARE(w.Document->EditImage->Width(), goesOn ? 32 : 64);
    } else if (command == "load") {
      if (goesOn) {
        f.Dialogs.FileAnswers.push_back(other);
        f.Dialogs.SizeAnswers.push_back(TSizes{16, 16, 1, 1});
      }
      Click(w.Button2);
      QCOMPARE(w.Document->EditImage->Width(), goesOn ? 20 : 64);
    } else if (command == "close") {
      w.close();
      QCOMPARE(w.isVisible(), !goesOn);
      // The material list is written only when the window really closes.
      QCOMPARE(QFileInfo::exists(QString::fromStdString(f.Path("Tilora.ini"))), goesOn);
    } else {
      if (goesOn) f.Dialogs.SizeAnswers.push_back(TSizes{16, 16, 1, 1});
      QVERIFY(DropFiles(w, w.ScrollBox2, {QString::fromStdString(other)}));
      QCOMPARE(w.Document->EditImage->Width(), goesOn ? 20 : 64);
    }
    QCOMPARE(f.Dialogs.SaveQuestions, std::vector<QString>{"「e.bmp」への変更内容を保存しますか？"});
    // Save writes the file it came from, without asking for a name.
    QCOMPARE(FileBytes(sheet) != original, answer == TSaveChangesAnswer::Save);
    QVERIFY(f.Dialogs.SizeAnswers.empty() && f.Dialogs.FileAnswers.empty());
    QCOMPARE(f.Dialogs.FileCalls.size(), size_t(command == "load" && goesOn ? 2 : 1));
    QVERIFY(f.Dialogs.Errors.empty());
  }

  void NoQuestionWithoutChanges() {
    TEditingFixture f;
    TOrvMain& w = f.OpenEditing();
    LoadSheet(f, WriteBmp(f.Path("e.bmp"), 64, 32, Pattern));
    f.Dialogs.SizeAnswers.push_back(TSizes{16, 16, 2, 2});
    Click(w.Button1);  // a new sheet is not a change yet
    ChangeSheet(w);
    Key(w, Qt::Key_Z, Qt::ControlModifier);  // back where it was
    w.close();
    QVERIFY(!w.isVisible());
    QVERIFY(f.Dialogs.SaveQuestions.empty());
  }

  void SaveSaveAsAndTheDesignedSave() {
    TEditingFixture f;
    TOrvMain& w = f.OpenEditing();
    f.Dialogs.SizeAnswers.push_back(TSizes{16, 16, 2, 2});
    Click(w.Button1);
    QVERIFY(w.SaveAction->isEnabled());
    // Without a file Save asks for one, as Save As; a cancelled dialog leaves the sheet unsaved.
    f.Dialogs.FileAnswers = {std::nullopt, f.Path("a.png")};
    QVERIFY(!w.SaveClick());
    Key(w, Qt::Key_S, Qt::ControlModifier);
    QCOMPARE(f.Dialogs.FileCalls.back().Title, QString("名前を付けて保存"));
    QCOMPARE(f.Dialogs.FileCalls.back().Kind, TPictureDialog::Save);
    QCOMPARE(w.CurrentFile, QString::fromStdString(f.Path("a.png")));
    QCOMPARE(w.FileLabel->text(), QString("a.png"));
    QCOMPARE(QImage(QString::fromStdString(f.Path("a.png"))).pixel(0, 0), qRgb(255, 255, 255));

    // With a file Save writes it without asking.
    ChangeSheet(w);
    QCOMPARE(w.FileLabel->text(), QString("a.png *"));
    const size_t calls = f.Dialogs.FileCalls.size();
    w.SaveAction->trigger();
    QCOMPARE(f.Dialogs.FileCalls.size(), calls);
    QCOMPARE(QImage(QString::fromStdString(f.Path("a.png"))).pixel(0, 0), qRgb(1, 2, 3));
    QCOMPARE(w.FileLabel->text(), QString("a.png"));

    // Save As always asks.
    ChangeSheet(w, qRgb(4, 5, 6));
    f.Dialogs.FileAnswers = {f.Path("b.bmp")};
    Key(w, Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(w.CurrentFile, QString::fromStdString(f.Path("b.bmp")));
    QCOMPARE(QImage(QString::fromStdString(f.Path("b.bmp"))).pixel(0, 0), qRgb(4, 5, 6));
    QCOMPARE(QImage(QString::fromStdString(f.Path("a.png"))).pixel(0, 0), qRgb(1, 2, 3));

    // The designed Save button asks every time, with its own title, and the sheet is then that file's.
    f.Dialogs.FileAnswers = {f.Path("c.bmp"), f.Path("c.bmp")};
    Click(w.Button3);
    Click(w.Button3);
    QCOMPARE(f.Dialogs.FileCalls.back().Title, QString("画像を保存する"));
    QCOMPARE(f.Dialogs.FileCalls.size(), calls + 3);
    QCOMPARE(w.CurrentFile, QString::fromStdString(f.Path("c.bmp")));

    // A save that fails leaves the sheet modified and its file as it was.
    ChangeSheet(w);
    f.Dialogs.FileAnswers = {f.Path("d.gif")};
    w.SaveAsAction->trigger();
    QCOMPARE(f.Dialogs.Errors.size(), size_t{1});
    QCOMPARE(w.CurrentFile, QString::fromStdString(f.Path("c.bmp")));
    QCOMPARE(w.FileLabel->text(), QString("c.bmp *"));
    QVERIFY(!QFileInfo::exists(QString::fromStdString(f.Path("d.gif"))));
  }

  void RecentEditImages() {
    TEditingFixture f;
    TOrvMain& w = f.OpenEditing();
    QVERIFY(!w.RecentMenu->isEnabled());
    const QString a = QString::fromStdString(WriteBmp(f.Path("a.bmp"), 32, 32, Pattern));
    const QString b = QString::fromStdString(WriteBmp(f.Path("b.bmp"), 48, 32, Pattern));
    LoadSheet(f, a.toStdString());
    LoadSheet(f, b.toStdString());
    f.Dialogs.FileAnswers = {f.Path("c.png")};
    w.SaveAsAction->trigger();
    const QString c = QString::fromStdString(f.Path("c.png"));
    LoadSheet(f, a.toStdString());  // back to the top, not twice
    QCOMPARE(w.RecentFiles, QStringList({a, c, b}));
    QCOMPARE(RecentEntries(w), QStringList({"&1 " + a, "&2 " + c, "&3 " + b, "一覧を消去(&C)"}));
    QCOMPARE(f.Preferences->value("recentFiles").toStringList(), w.RecentFiles);

    // An entry opens its file as Load does, with the chip-size question.
    f.Dialogs.SizeAnswers.push_back(TSizes{8, 8, 1, 1});
    w.RecentMenu->actions()[2]->trigger();
    QCOMPARE(w.Document->EditImage->Width(), 48);
    QCOMPARE(w.Document->ChipWidth, 8);
    QCOMPARE(w.CurrentFile, b);
    QCOMPARE(w.RecentFiles.front(), b);

    // A file that is gone leaves the list with a message.
    QVERIFY(QFile::remove(c));
    w.RecentMenu->actions()[2]->trigger();
    QCOMPARE(f.Dialogs.Errors.size(), size_t{1});
    QVERIFY(f.Dialogs.Errors.front().contains(QDir::toNativeSeparators(c)));
    QCOMPARE(w.RecentFiles, QStringList({b, a}));

    // At most ten, the latest first.
    for (int i = 0; i < 11; ++i)
      LoadSheet(f, WriteBmp(f.Path("n" + std::to_string(i) + ".bmp"), 16, 16, Pattern));
    QCOMPARE(w.RecentFiles.size(), 10);
    QCOMPARE(w.RecentFiles.front(), QString::fromStdString(f.Path("n10.bmp")));
    QCOMPARE(RecentEntries(w)[9], "10 " + QString::fromStdString(f.Path("n1.bmp")));
    w.RecentMenu->actions().back()->trigger();
    QVERIFY(w.RecentFiles.isEmpty());
    QVERIFY(!w.RecentMenu->isEnabled());
    QVERIFY(f.Preferences->value("recentFiles").toStringList().isEmpty());
  }

  void DroppedFiles() {
    TEditingFixture f;
    TOrvMain& w = f.OpenEditing();
    const QString a = QString::fromStdString(WriteBmp(f.Path("a.bmp"), 64, 32, Pattern));
    const QString b = QString::fromStdString(WriteBmp(f.Path("B.BMP"), 32, 32, Pattern));
    const QString text = QString::fromStdString(f.Path("notes.txt"));
    WriteFile(text.toStdString(), "text");
    // Nothing to take: the drag is refused.
    QVERIFY(!DropFiles(w, w.ScrollBox1, {text}));
    QVERIFY(!DropFiles(w, w.Panel1, {a}));

    // On the material pane: every picture is added, the first is chosen and shown; the rest is named.
    QVERIFY(DropFiles(w, w.ScrollBox1, {a, text, b}));
    QCOMPARE(w.ComboBox1->count(), 2);
    QCOMPARE(w.ComboBox1->currentIndex(), 0);
    QCOMPARE((*w.MaterialFiles)[1], b.toStdString());
    QVERIFY(w.Image1->isVisible());
    QCOMPARE(w.Image1->Picture().Width(), 64);
    QCOMPARE(f.Dialogs.Errors.size(), size_t{1});
    QVERIFY(f.Dialogs.Errors.front().contains(QDir::toNativeSeparators(text)));

    // On the edit pane: loaded as the edit image after the chip-size question.
    f.Dialogs.SizeAnswers = {std::nullopt, TSizes{16, 8, 1, 1}};
    QVERIFY(DropFiles(w, w.ScrollBox2, {b}));
    QCOMPARE(w.Document->EditImage->Width(), 0);
    QVERIFY(DropFiles(w, w.ScrollBox2, {b, a}));
    QCOMPARE(f.Dialogs.SizeCalls, (std::vector<bool>{false, false}));
    QCOMPARE(w.Document->EditImage->Width(), 32);
    QCOMPARE(w.Document->ChipHeight, 8);
    QCOMPARE(w.CurrentFile, b);
    QCOMPARE(f.Dialogs.Errors.size(), size_t{1});
  }

  void PreferencesKeptBetweenRuns() {
    TEditingFixture f;
    {
      TOrvMain& w = f.OpenEditing();
      w.resize(700, 560);
      w.Splitter1->setSizes({300, 500});
      QCoreApplication::processEvents();
      Key(w, Qt::Key_E);
      LoadSheet(f, WriteBmp(f.Path("a.bmp"), 32, 32, Pattern));
      w.SetEditZoom(4);
      w.SetMaterialZoom(2);
      const QList<int> sizes = w.Splitter1->sizes();
      w.close();
      f.Window.reset();
      f.OpenPreferences();
      TOrvMain& again = f.OpenEditing();
      QCOMPARE(again.Tool(), TEditTool::Erase);
      QVERIFY(again.EraseToolAction->isChecked());
      QCOMPARE(again.size(), QSize(700, 560));
      QCOMPARE(again.Splitter1->sizes(), sizes);
      QCOMPARE(again.RecentFiles, QStringList{QString::fromStdString(f.Path("a.bmp"))});
      QCOMPARE(again.EditZoom(), 4);
      QCOMPARE(again.MaterialZoom(), 2);
    }
    // The grid colour of the preferences dialog: kept as "#rrggbb", none for the panes' own.
    TPreferencesForm form;
    form.Load(*f.Preferences);
    QCOMPARE(form.GridColor, std::nullopt);
    QVERIFY(!form.GridDefaultButton->isEnabled());
    form.SetGridColor(QColor(255, 0, 128));
    form.Store(*f.Preferences);
    QCOMPARE(f.Preferences->value(GridColorPreferenceKey).toString(), QString("#ff0080"));
    QCOMPARE(GridColorPreference(*f.Preferences), QColor(255, 0, 128));
    TPreferencesForm other;
    other.Load(*f.Preferences);
    QCOMPARE(other.GridColor, QColor(255, 0, 128));
    QTest::mouseClick(other.GridDefaultButton, Qt::LeftButton);
    other.Store(*f.Preferences);
    QVERIFY(!f.Preferences->contains(GridColorPreferenceKey));
  }

  void CommandLineFile_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("file");
    const QString here = QDir::currentPath();
    QTest::newRow("none") << QStringList{"tilora"} << QString();
    QTest::newRow("absolute") << QStringList{"tilora", "/x/a.png"} << "/x/a.png";
    QTest::newRow("relative") << QStringList{"tilora", "a.png"} << here + "/a.png";
    QTest::newRow("after options") << QStringList{"tilora", "--flag", "b.bmp", "c.bmp"} << here + "/b.bmp";
    QTest::newRow("after --") << QStringList{"tilora", "--", "-odd.png"} << here + "/-odd.png";
  }
  void CommandLineFile() {
    QFETCH(QStringList, arguments);
    QFETCH(QString, file);
    QCOMPARE(EditImageArgument(arguments), file);
  }

  void CommandLineFileOpensAfterTheChipSizeQuestion() {
    TEditingFixture f;
    TOrvMain& w = f.OpenEditing();
    const QString file = QString::fromStdString(WriteBmp(f.Path("a.bmp"), 48, 16, Pattern));
    f.Dialogs.SizeAnswers = {TSizes{24, 16, 1, 1}};
    w.OpenEditImage(file);
    QCOMPARE(f.Dialogs.SizeCalls, std::vector<bool>{false});
    QVERIFY(f.Dialogs.FileCalls.empty());
    QCOMPARE(w.Document->EditImage->Width(), 48);
    QCOMPARE(w.Document->ChipWidth, 24);
    QCOMPARE(w.CurrentFile, file);
    QCOMPARE(w.FileLabel->text(), QString("a.bmp"));
  }
};

TILORA_GUI_TEST(EditingFilesTest, "EditingFiles");

#include "GuiEditingFiles_test.moc"
