#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>

#include "FSize.h"
#include "GuiTest.h"
#include "GuiTestWindow.h"

namespace {

// Runs the dialog modally with Script acting inside its modal loop once the dialog is active. A script that
// leaves the dialog open fails the test (and the dialog is cancelled so the test goes on).
bool RunModal(TSizeForm& Form, bool WithImageSize, const std::function<void()>& Script) {
  bool leftOpen = false;
  QTimer::singleShot(0, &Form, [&] {
    if (QTest::qWaitForWindowActive(&Form)) Script();
    if (Form.isVisible()) {
      leftOpen = true;
      Form.reject();
    }
  });
  const bool ok = WithImageSize ? Form.ExecuteWithImageSize() : Form.ExecuteChipSize();
  if (leftOpen) QTest::qFail("the script left the dialog open", __FILE__, __LINE__);
  return ok;
}

void TypeInto(TWinSpinEdit* Field, const QString& Text) {
  Field->setFocus(Qt::TabFocusReason);
  Field->selectAll();
  for (QChar c : Text) QTest::keyClick(Field, c.toLatin1());
}

}  // namespace

class SizeFormTest : public QObject {
  Q_OBJECT

 private slots:
  void FirstUse() {
    TSizeForm form;
    QCOMPARE(form.windowTitle(), QString::fromUtf8("サイズとか"));
    const std::pair<QString, const char*> captions[] = {
        {form.GroupBox1->title(), "チップサイズ"},
        {form.Label1->text(), "幅"},
        {form.Label2->text(), "×　高さ"},
        {form.Button1->text(), "32×32　(Ruvola標準)"},
        {form.Button2->text(), "24×32　(RPGツクール2000 イベント標準)"},
        {form.Button3->text(), "16×16　(RPGツクール2000 マップ標準)"},
        {form.GroupBox2->title(), "画像サイズ"},
        {form.Label3->text(), "幅"},
        {form.Label4->text(), "×　高さ"},
        {form.Button4->text(), "16×16　(Ruvola標準)"},
        {form.Button5->text(), "OK"},
        {form.Button6->text(), "キャンセル"},
    };
    for (const auto& [shown, expected] : captions) QCOMPARE(shown, QString::fromUtf8(expected));
    for (TWinSpinEdit* field : {form.WinSpinEdit1, form.WinSpinEdit2, form.WinSpinEdit3, form.WinSpinEdit4}) {
      QCOMPARE(field->MinValue, 1);
      QCOMPARE(field->MaxValue, 65536);
      QCOMPARE(field->Increment, 1);
    }
    QVERIFY(form.Button5->isDefault());
    // In the system font the dialog keeps its height and widens only as far as the longest caption needs.
    QCOMPARE(form.height(), 246);
    QVERIFY(form.width() >= 238);
    for (QPushButton* button : {form.Button1, form.Button2, form.Button3, form.Button4}) {
      QCOMPARE(button->width(), form.Button2->width());
      QVERIFY(button->fontMetrics().horizontalAdvance(button->text()) < button->width());
    }
    QCOMPARE(form.Button6->geometry().right(), form.width() - 5);

    const bool ok = RunModal(form, true, [&] {
      QVERIFY(form.GroupBox2->isVisible());
      QCOMPARE(QApplication::focusWidget(), form.WinSpinEdit1);
      QCOMPARE(form.WinSpinEdit1->selectedText(), QString("32"));
      QTest::mouseClick(form.Button5, Qt::LeftButton);
    });
    QVERIFY(ok);
    QCOMPARE(form.EnteredChipWidth(), 32);
    QCOMPARE(form.EnteredChipHeight(), 32);
    QCOMPARE(form.EnteredColumns(), 16);
    QCOMPARE(form.EnteredRows(), 16);
  }

  void DesignedPlacesWhereTheFontAllows() {
    const TSmallFont font;
    TSizeForm form;
    QCOMPARE(form.size(), QSize(238, 246));
    const std::pair<QWidget*, QRect> places[] = {
        {form.GroupBox1, {4, 0, 233, 129}},  {form.Button1, {8, 48, 217, 21}},
        {form.Button2, {8, 75, 217, 21}},    {form.Button3, {8, 102, 217, 21}},
        {form.GroupBox2, {4, 135, 233, 78}}, {form.Button4, {8, 48, 217, 21}},
        {form.Button5, {66, 219, 81, 25}},   {form.Button6, {153, 219, 81, 25}},
    };
    for (const auto& [control, place] : places) QCOMPARE(control->geometry(), place);
    const std::pair<QWidget*, QPoint> fields[] = {{form.WinSpinEdit1, {28, 20}},
                                                  {form.WinSpinEdit2, {149, 20}},
                                                  {form.WinSpinEdit3, {28, 20}},
                                                  {form.WinSpinEdit4, {149, 20}}};
    for (const auto& [field, place] : fields) {
      QCOMPARE(field->pos(), place);
      QCOMPARE(field->width(), 73);
    }
    QCOMPARE(form.Label1->pos(), QPoint(10, 23));
    QCOMPARE(form.Label2->pos(), QPoint(107, 23));
    // Without the image-size group the dialog keeps its size.
    form.GroupBox2->hide();
    QCOMPARE(form.size(), QSize(238, 246));
  }

  void CancelKeepsWhatWasTyped() {
    TSizeForm form;
    QVERIFY(!RunModal(form, true, [&] {
      TypeInto(form.WinSpinEdit1, "24");
      QTest::mouseClick(form.Button6, Qt::LeftButton);
    }));
    QVERIFY(RunModal(form, true, [&] {
      QCOMPARE(form.WinSpinEdit1->text(), QString("24"));
      QTest::mouseClick(form.Button5, Qt::LeftButton);
    }));
    QCOMPARE(form.EnteredChipWidth(), 24);
  }

  void ClickingOkClampsTheFieldThatHadTheFocus() {
    TSizeForm form;
    QVERIFY(RunModal(form, true, [&] {
      TypeInto(form.WinSpinEdit3, "0");
      QCOMPARE(form.WinSpinEdit3->text(), QString("0"));
      QTest::mouseClick(form.Button5, Qt::LeftButton);
    }));
    QCOMPARE(form.EnteredColumns(), 1);
    QVERIFY(RunModal(form, true, [&] {
      TypeInto(form.WinSpinEdit4, "70000");
      QTest::mouseClick(form.Button5, Qt::LeftButton);
    }));
    QCOMPARE(form.EnteredRows(), 65536);
  }

  void ChipSizeModeHidesTheGroupButKeepsTheSize() {
    TSizeForm form;
    QSize withGroup, withoutGroup;
    RunModal(form, true, [&] {
      withGroup = form.size();
      form.reject();
    });
    RunModal(form, false, [&] {
      QVERIFY(!form.GroupBox2->isVisible());
      QVERIFY(form.GroupBox1->isVisible());
      withoutGroup = form.size();
      form.reject();
    });
    QCOMPARE(withoutGroup, withGroup);
    QVERIFY(form.GroupBox2->isHidden());  // kept until the next show sets it
  }

  void Presets() {
    TSizeForm form;
    form.WinSpinEdit3->SetValue(5);
    form.WinSpinEdit4->SetValue(6);
    RunModal(form, true, [&] {
      QTest::mouseClick(form.Button2, Qt::LeftButton);
      QVERIFY(form.isVisible());
      QCOMPARE(form.WinSpinEdit1->text(), QString("24"));
      QCOMPARE(form.WinSpinEdit2->text(), QString("32"));
      QCOMPARE(form.WinSpinEdit3->text(), QString("5"));
      QTest::mouseClick(form.Button3, Qt::LeftButton);
      QCOMPARE(form.WinSpinEdit1->text(), QString("16"));
      QCOMPARE(form.WinSpinEdit2->text(), QString("16"));
      QTest::mouseClick(form.Button4, Qt::LeftButton);
      QCOMPARE(form.WinSpinEdit3->text(), QString("16"));
      QCOMPARE(form.WinSpinEdit4->text(), QString("16"));
      QCOMPARE(form.WinSpinEdit1->text(), QString("16"));
      QTest::mouseClick(form.Button1, Qt::LeftButton);
      QCOMPARE(form.WinSpinEdit1->text(), QString("32"));
      QCOMPARE(form.WinSpinEdit2->text(), QString("32"));
      form.reject();
    });
  }

  void TabOrder() {
    TSizeForm form;
    RunModal(form, true, [&] {
      const QWidget* expected[] = {form.WinSpinEdit2, form.Button1,      form.Button2, form.Button3,
                                   form.WinSpinEdit3, form.WinSpinEdit4, form.Button4, form.Button5,
                                   form.Button6,      form.WinSpinEdit1};
      for (const QWidget* next : expected) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), next);
      }
      form.reject();
    });
  }

  void FocusReturnsUnlessItsGroupWasHidden() {
    TSizeForm form;
    const auto closeFrom = [&](QWidget* Focus) {
      Focus->setFocus(Qt::TabFocusReason);
      form.reject();
    };
    RunModal(form, true, [&] { closeFrom(form.WinSpinEdit4); });
    RunModal(form, true, [&] {
      QCOMPARE(QApplication::focusWidget(), form.WinSpinEdit4);
      QCOMPARE(form.WinSpinEdit4->selectedText(), QString("16"));
      closeFrom(form.WinSpinEdit4);
    });
    RunModal(form, false, [&] {
      QCOMPARE(QApplication::focusWidget(), form.WinSpinEdit1);
      closeFrom(form.Button3);
    });
    RunModal(form, true, [&] {
      QCOMPARE(QApplication::focusWidget(), form.Button3);
      form.reject();
    });
  }

  void KeysOnButtons() {
    TSizeForm form;
    // Enter presses the focused button; Escape cancels.
    QVERIFY(!RunModal(form, true, [&] {
      form.Button3->setFocus(Qt::TabFocusReason);
      QTest::keyClick(form.Button3, Qt::Key_Return);
      QVERIFY(form.isVisible());
      QCOMPARE(form.WinSpinEdit1->text(), QString("16"));
      QTest::keyClick(form.Button3, Qt::Key_Escape);
    }));
    QVERIFY(RunModal(form, true, [&] {
      form.Button5->setFocus(Qt::TabFocusReason);
      QTest::keyClick(form.Button5, Qt::Key_Return);
    }));
    // Enter and Escape in a field do not close the dialog.
    QVERIFY(RunModal(form, true, [&] {
      form.WinSpinEdit2->setFocus(Qt::TabFocusReason);
      QTest::keyClick(form.WinSpinEdit2, Qt::Key_Return);
      QTest::keyClick(form.WinSpinEdit2, Qt::Key_Escape);
      QVERIFY(form.isVisible());
      QTest::mouseClick(form.Button5, Qt::LeftButton);
    }));
  }
};

TILORA_GUI_TEST(SizeFormTest, "SizeForm");

#include "GuiSizeForm_test.moc"
