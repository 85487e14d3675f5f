#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

#include "GuiTest.h"
#include "WinSpinEdit.h"

namespace {

// A shown, active window with the field and a second field to take the focus away.
struct THost {
  QWidget Window;
  TWinSpinEdit* Field;
  QLineEdit* Other;
  QSignalSpy Beeps;

  THost(int64_t Min, int64_t Max, int64_t Start)
      : Field(new TWinSpinEdit(&Window)), Other(new QLineEdit(&Window)), Beeps(Field, &TWinSpinEdit::Beeped) {
    auto* layout = new QVBoxLayout(&Window);
    layout->addWidget(Field);
    layout->addWidget(Other);
    Field->MaxValue = Max;
    Field->MinValue = Min;
    Field->SetValue(Start);
    Window.show();
    Window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&Window));
    Field->setFocus(Qt::TabFocusReason);
  }
  // Types the text one key at a time (each release reads the value).
  void Type(const QString& Text) {
    for (QChar c : Text) QTest::keyClick(Field, c.toLatin1());
  }
  void Leave() { Other->setFocus(Qt::TabFocusReason); }
  // One click on a half of the up-down control.
  void ClickButton(TUDBtnType Button) {
    TUpDown* upDown = Field->UpDown();
    const QPoint at(upDown->width() / 2, Button == btNext ? 2 : upDown->height() - 3);
    QTest::mouseClick(upDown, Qt::LeftButton, {}, at);
  }
};

}  // namespace

class SpinEditTest : public QObject {
  Q_OBJECT

 private slots:
  void ReadRule_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<qint64>("value");
    QTest::addColumn<QString>("after");
    QTest::newRow("decimal") << "32" << qint64(32) << "32";
    QTest::newRow("leading blanks") << "  7" << qint64(7) << "  7";
    QTest::newRow("plus") << "+5" << qint64(5) << "+5";
    QTest::newRow("minus") << "-12" << qint64(-12) << "-12";
    QTest::newRow("dollar hex") << "$1F" << qint64(31) << "$1F";
    QTest::newRow("x hex") << "x10" << qint64(16) << "x10";
    QTest::newRow("0x hex") << "0x10" << qint64(16) << "0x10";
    QTest::newRow("negative hex") << "-$10" << qint64(-16) << "-$10";
    QTest::newRow("all-ones hex") << "$FFFFFFFFFFFFFFFF" << qint64(-1) << "$FFFFFFFFFFFFFFFF";
    QTest::newRow("largest") << "9223372036854775807" << qint64(INT64_MAX) << "9223372036854775807";
    QTest::newRow("smallest") << "-9223372036854775808" << qint64(INT64_MIN) << "-9223372036854775808";
    // Unparsable: the text becomes MinValue (5 here).
    QTest::newRow("empty") << "" << qint64(5) << "5";
    QTest::newRow("lone minus") << "-" << qint64(5) << "5";
    QTest::newRow("lone plus") << "+" << qint64(5) << "5";
    QTest::newRow("separator") << "1." << qint64(5) << "5";
    QTest::newRow("trailing blank") << "1 " << qint64(5) << "5";
    QTest::newRow("letter") << "1a" << qint64(5) << "5";
    QTest::newRow("beyond 64 bits") << "9223372036854775808" << qint64(5) << "5";
    QTest::newRow("below 64 bits") << "-9223372036854775809" << qint64(5) << "5";
    QTest::newRow("seventeen hex digits") << "$10000000000000000" << qint64(5) << "5";
    QTest::newRow("bare prefix") << "$" << qint64(5) << "5";
  }
  void ReadRule() {
    QFETCH(QString, text);
    QFETCH(qint64, value);
    QFETCH(QString, after);
    TWinSpinEdit field;
    field.MinValue = 5;
    field.MaxValue = 10;
    field.setText(text);
    QCOMPARE(field.Value(), value);
    QCOMPARE(field.text(), after);
    if (after != text) QCOMPARE(field.selectedText(), after);
  }

  void ConstructionAndWrite() {
    TWinSpinEdit field;
    QCOMPARE(field.text(), QString("0"));
    QCOMPARE(field.Increment, 1);
    QVERIFY(field.EditorEnabled);
    QVERIFY(field.AutoSelect);
    QCOMPARE(field.UpDown()->Position(), 0);
    QCOMPARE(field.UpDown()->parentWidget(), &field);
    // Writing does not clamp; ClampValue only works with an active range.
    field.MinValue = 1;
    field.MaxValue = 65536;
    field.SetValue(-70000);
    QCOMPARE(field.text(), QString("-70000"));
    QCOMPARE(field.ClampValue(0), 1);
    QCOMPARE(field.ClampValue(70000), 65536);
    QCOMPARE(field.ClampValue(300), 300);
    field.MaxValue = 1;
    QCOMPARE(field.ClampValue(-70000), -70000);
  }

  void KeyFilter() {
    THost host(1, 65536, 1);
    host.Field->clear();
    for (const Qt::Key key : {Qt::Key_A, Qt::Key_Space, Qt::Key_Return, Qt::Key_Enter}) {
      QTest::keyClick(host.Field, key);
      host.Field->clear();
    }
    QCOMPARE(host.Beeps.count(), 4);
    QVERIFY(!host.Field->KeyAllowed(QChar(13)));
    QVERIFY(host.Field->KeyAllowed(QChar(27)));
    QVERIFY(host.Field->KeyAllowed(QChar(8)));
    host.Field->clear();
    host.Type("+12");
    QCOMPARE(host.Field->text(), QString("12"));  // "+" alone reads as MinValue ("1"), then "2" follows
    host.Field->clear();
    host.Type("-3");
    QCOMPARE(host.Beeps.count(), 4);
    QCOMPARE(host.Field->text(), QString("3"));
  }

  void DecimalSeparatorIsTypedButDoesNotParse() {
    THost host(1, 65536, 1);
    host.Field->clear();
    host.Type("7");
    const QChar separator = host.Field->locale().decimalPoint().at(0);
    QVERIFY(host.Field->KeyAllowed(separator));
    QTest::keyPress(host.Field, separator.toLatin1());
    QCOMPARE(host.Field->text(), QString("7") + separator);
    QTest::keyRelease(host.Field, separator.toLatin1());
    QCOMPARE(host.Field->text(), QString("1"));
    QCOMPARE(host.Beeps.count(), 0);
  }

  void ClampsOnlyWhenTheFocusLeaves() {
    THost host(1, 65536, 32);
    host.Field->selectAll();
    host.Type("70000");
    QCOMPARE(host.Field->text(), QString("70000"));
    host.Leave();
    QCOMPARE(host.Field->text(), QString("65536"));
    host.Field->setFocus(Qt::TabFocusReason);
    host.Field->selectAll();
    host.Type("0");
    QCOMPARE(host.Field->text(), QString("0"));
    host.Leave();
    QCOMPARE(host.Field->text(), QString("1"));
  }

  void OutOfRangeTextIsRewrittenPlainAtKeyRelease() {
    THost host(1, 65536, 1);
    host.Field->setText("$20000");
    QTest::keyClick(host.Field, Qt::Key_End);
    QCOMPARE(host.Field->text(), QString("131072"));
    host.Field->setText("$20");
    QTest::keyClick(host.Field, Qt::Key_End);
    QCOMPARE(host.Field->text(), QString("$20"));
  }

  void BackspaceToEmptyGivesMinValueSelected() {
    THost host(1, 65536, 5);
    host.Field->end(false);
    QTest::keyClick(host.Field, Qt::Key_Backspace);
    QCOMPARE(host.Field->text(), QString("1"));
    QCOMPARE(host.Field->selectedText(), QString("1"));
    QTest::keyClick(host.Field, Qt::Key_Up);
    QCOMPARE(host.Field->text(), QString("2"));
    host.Field->clear();
    host.Type("-");
    QCOMPARE(host.Field->text(), QString("1"));
  }

  void StepsStopAtTheRangeEnds() {
    THost host(1, 65536, 65536);
    host.ClickButton(btNext);
    QCOMPARE(host.Field->text(), QString("65536"));
    QTest::keyClick(host.Field, Qt::Key_Up);
    QCOMPARE(host.Field->text(), QString("65536"));
    host.Field->SetValue(1);
    host.ClickButton(btPrev);
    QTest::keyClick(host.Field, Qt::Key_Down);
    QCOMPARE(host.Field->text(), QString("1"));
    host.Field->Increment = 10;
    host.ClickButton(btNext);
    QCOMPARE(host.Field->text(), QString("11"));
  }

  void WithoutARangeNothingIsClamped() {
    TWinSpinEdit field;
    field.StepClick(&field, btPrev);
    QCOMPARE(field.text(), QString("-1"));
    field.SetValue(INT64_MAX);
    field.StepClick(&field, btNext);
    QCOMPARE(field.Value(), INT64_MIN);
  }

  void ReadOnlyOnlyBeeps() {
    THost host(1, 65536, 7);
    host.Field->setReadOnly(true);
    host.ClickButton(btNext);
    QTest::keyClick(host.Field, Qt::Key_Up);
    QTest::keyClick(host.Field, Qt::Key_Down);
    QCOMPARE(host.Field->text(), QString("7"));
    QCOMPARE(host.Beeps.count(), 3);
  }

  void EditorDisabledStillSteps() {
    THost host(1, 65536, 7);
    host.Field->EditorEnabled = false;
    QApplication::clipboard()->setText("99");
    host.Field->selectAll();
    host.Type("5");
    QTest::keyClick(host.Field, Qt::Key_Backspace);
    QTest::keyClick(host.Field, Qt::Key_Delete);
    QCOMPARE(host.Beeps.count(), 3);
    QTest::keySequence(host.Field, QKeySequence::Paste);
    QTest::keySequence(host.Field, QKeySequence::Cut);
    QCOMPARE(host.Field->text(), QString("7"));
    QCOMPARE(host.Beeps.count(), 3);
    host.ClickButton(btNext);
    QTest::keyClick(host.Field, Qt::Key_Up);
    QCOMPARE(host.Field->text(), QString("9"));
    // With the editor enabled again, paste works.
    host.Field->EditorEnabled = true;
    host.Field->selectAll();
    QTest::keySequence(host.Field, QKeySequence::Paste);
    QCOMPARE(host.Field->text(), QString("99"));
  }

  void UpDownPositionReturnsToZero() {
    THost host(0, 0, 0);
    for (int i = 0; i < 3; ++i) {
      host.ClickButton(btNext);
      QCOMPARE(host.Field->UpDown()->Position(), 0);
    }
    QCOMPARE(host.Field->text(), QString("3"));
    // One press repeats until the control's own range ends.
    TUpDown* upDown = host.Field->UpDown();
    QTest::mousePress(upDown, Qt::LeftButton, {}, QPoint(upDown->width() / 2, 2));
    for (int i = 0; i < 40000; ++i) upDown->RepeatStep();
    QCOMPARE(upDown->Position(), 32767);
    QCOMPARE(host.Field->text(), QString::number(3 + 32767));
    QTest::mouseRelease(upDown, Qt::LeftButton, {}, QPoint(upDown->width() / 2, 2));
    QCOMPARE(upDown->Position(), 0);
    QTest::mousePress(upDown, Qt::LeftButton, {}, QPoint(upDown->width() / 2, upDown->height() - 3));
    for (int i = 0; i < 40000; ++i) upDown->RepeatStep();
    QCOMPARE(upDown->Position(), -32768);
    QTest::mouseRelease(upDown, Qt::LeftButton, {}, QPoint(upDown->width() / 2, upDown->height() - 3));
    QCOMPARE(host.Field->text(), QString("2"));
  }

  void FocusSelection() {
    THost host(1, 65536, 123);
    host.Leave();
    host.Field->setFocus(Qt::TabFocusReason);
    QCOMPARE(host.Field->selectedText(), QString("123"));
    host.Leave();
    QTest::mouseClick(host.Field, Qt::LeftButton, {}, QPoint(5, host.Field->height() / 2));
    QVERIFY(host.Field->hasFocus());
    QCOMPARE(host.Field->selectedText(), QString());
  }

  void CannotBeLowerThanMinimumHeight() {
    THost host(1, 65536, 1);
    host.Window.layout()->setSizeConstraint(QLayout::SetNoConstraint);
    host.Field->resize(73, 4);
    QVERIFY(host.Field->height() >= host.Field->MinimumHeight());
    QVERIFY(host.Field->minimumHeight() >= host.Field->MinimumHeight());
    // The buttons stay inside the field at its right edge.
    const QRect buttons = host.Field->UpDown()->geometry();
    QVERIFY(host.Field->rect().contains(buttons));
    QVERIFY(buttons.right() >= host.Field->width() - 4);
  }

  void EnterAndEscapeStayWithTheField() {
    QDialog dialog;
    auto* field = new TWinSpinEdit(&dialog);
    QSignalSpy beeps(field, &TWinSpinEdit::Beeped);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    field->setFocus();
    QTest::keyClick(field, Qt::Key_Escape);
    QTest::keyClick(field, Qt::Key_Return);
    QVERIFY(dialog.isVisible());
    QCOMPARE(beeps.count(), 1);
  }
};

TILORA_GUI_TEST(SpinEditTest, "SpinEdit");

#include "GuiSpinEdit_test.moc"
