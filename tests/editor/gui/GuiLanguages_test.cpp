#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QTest>
#include <QTimer>
#include <QTranslator>
#include <vector>

#include "FPreferences.h"
#include "GuiTest.h"
#include "GuiTestWindow.h"
#include "QtLanguage.h"

namespace {

// The language's translators installed into the application while it lives.
struct TLanguageScope {
  bool Installed;
  explicit TLanguageScope(TLanguage Language, const QString& Folder = TILORA_TRANSLATIONS)
      : Installed(InstallLanguage(*QCoreApplication::instance(), Language, Folder)) {}
  ~TLanguageScope() {
    for (QTranslator* translator : QCoreApplication::instance()->findChildren<QTranslator*>()) {
      QCoreApplication::removeTranslator(translator);
      delete translator;
    }
  }
  TLanguageScope(const TLanguageScope&) = delete;
  TLanguageScope& operator=(const TLanguageScope&) = delete;
};

// An environment variable set (or removed, for a null value) while it lives.
struct TEnvironmentScope {
  const char* Name;
  QByteArray Old;
  bool Had;
  TEnvironmentScope(const char* Variable, const char* Value)
      : Name(Variable), Old(qgetenv(Variable)), Had(qEnvironmentVariableIsSet(Variable)) {
    Value ? qputenv(Name, Value) : qunsetenv(Name);
  }
  ~TEnvironmentScope() { Had ? qputenv(Name, Old) : qunsetenv(Name); }
  TEnvironmentScope(const TEnvironmentScope&) = delete;
  TEnvironmentScope& operator=(const TEnvironmentScope&) = delete;
};

struct TCaption {
  QString Shown;
  const char* Japanese;
  const char* English;
};

}  // namespace

Q_DECLARE_METATYPE(TLanguage)

class LanguagesTest : public QObject {
  Q_OBJECT

 private slots:
  void ChosenLanguage_data() {
    QTest::addColumn<QString>("preference");
    QTest::addColumn<QString>("locale");
    QTest::addColumn<TLanguage>("language");
    const auto row = [](const char* Name, const char* Preference, const char* Locale, TLanguage Language) {
      QTest::newRow(Name) << QString(Preference) << QString(Locale) << Language;
    };
    row("Japanese locale", "", "ja_JP.UTF-8", TLanguage::Japanese);
    row("Japanese, language only", "system", "ja", TLanguage::Japanese);
    row("C locale", "", "C", TLanguage::Japanese);
    row("C.UTF-8", "", "C.UTF-8", TLanguage::Japanese);
    row("POSIX", "", "POSIX", TLanguage::Japanese);
    row("no locale set", "", "", TLanguage::Japanese);
    row("English locale", "", "en_US.UTF-8", TLanguage::English);
    row("German with modifier", "system", "de_DE@euro", TLanguage::English);
    row("Javanese is not Japanese", "", "jv_ID", TLanguage::English);
    row("preference ja over English", "ja", "en_GB.UTF-8", TLanguage::Japanese);
    row("preference en over Japanese", "en", "ja_JP.UTF-8", TLanguage::English);
    row("preference en over C", "en", "C", TLanguage::English);
    row("unknown preference follows the locale", "fr", "ja_JP.eucJP", TLanguage::Japanese);
  }
  void ChosenLanguage() {
    QFETCH(QString, preference);
    QFETCH(QString, locale);
    QFETCH(TLanguage, language);
    QCOMPARE(::ChosenLanguage(preference, locale), language);
  }

  void StartLanguageFromPreferencesAndEnvironment() {
    const TEnvironmentScope all("LC_ALL", ""), messages("LC_MESSAGES", "en_US.UTF-8"),
        lang("LANG", "ja_JP.UTF-8");
    // LC_ALL is set but empty, so LC_MESSAGES decides before LANG.
    QCOMPARE(SystemMessagesLocale(), QString("en_US.UTF-8"));
    QTemporaryDir dir;
    QSettings preferences(dir.filePath("Tilora.conf"), QSettings::IniFormat);
    QCOMPARE(StartLanguage(preferences), TLanguage::English);
    preferences.setValue(LanguagePreferenceKey, "ja");
    QCOMPARE(StartLanguage(preferences), TLanguage::Japanese);
    const TEnvironmentScope none("LC_MESSAGES", nullptr), noLang("LANG", nullptr);
    QCOMPARE(SystemMessagesLocale(), QString());
  }

  void TranslationsFolderOfBuildAndInstalledTrees() {
    QTemporaryDir dir;
    QVERIFY(QDir().mkpath(dir.filePath("build")) && QDir().mkpath(dir.filePath("usr/bin")));
    QCOMPARE(TranslationsFolder(dir.filePath("build")), dir.filePath("build/translations"));
    QVERIFY(QDir().mkpath(dir.filePath("usr/share/tilora/translations")));
    QCOMPARE(TranslationsFolder(dir.filePath("usr/bin")), dir.filePath("usr/share/tilora/translations"));
    // An installed tree keeps its settings in the configuration folder even where its user may write "bin".
    const TSettingsFile settings = SettingsFileFor(dir.filePath("usr/bin/").toStdString(), "/cfg");
    QCOMPARE(settings.WritePath, std::string("/cfg/Tilora.ini"));
  }

  void PreferencesKeepTheLanguage() {
    QTemporaryDir dir;
    QSettings preferences(dir.filePath("Tilora.conf"), QSettings::IniFormat);
    TPreferencesForm form;
    const auto shown = [&](const char* Value) {
      preferences.setValue(LanguagePreferenceKey, Value);
      form.Load(preferences);
      return form.LanguageBox->currentData().toString();
    };
    QCOMPARE(shown("en"), QString("en"));
    QCOMPARE(shown("ja"), QString("ja"));
    QCOMPARE(shown("klingon"), QString("system"));
    form.LanguageBox->setCurrentIndex(2);
    form.Store(preferences);
    QCOMPARE(preferences.value(LanguagePreferenceKey).toString(), QString("en"));
    QCOMPARE(StartLanguage(preferences), TLanguage::English);
    // Cancel keeps what was kept.
    QTimer::singleShot(0, &form, [&] {
      form.LanguageBox->setCurrentIndex(1);
      QTest::mouseClick(form.CancelButton, Qt::LeftButton);
    });
    QVERIFY(!form.Execute(preferences));
    QCOMPARE(preferences.value(LanguagePreferenceKey).toString(), QString("en"));
    QTimer::singleShot(0, &form, [&] {
      form.LanguageBox->setCurrentIndex(1);
      QTest::mouseClick(form.OkButton, Qt::LeftButton);
    });
    QVERIFY(form.Execute(preferences));
    QCOMPARE(preferences.value(LanguagePreferenceKey).toString(), QString("ja"));
  }

  void MissingTranslationKeepsJapanese() {
    QTemporaryDir dir;
    const TLanguageScope scope(TLanguage::English, dir.path());
    QVERIFY(!scope.Installed);
    TWindowFixture f;
    QCOMPARE(f.SizeForm.Button6->text(), QString::fromUtf8("キャンセル"));
  }

  // The designed controls' captions in each language: Japanese exactly as designed, English from the shipped
  // translation.
  void Captions_data() {
    QTest::addColumn<TLanguage>("language");
    QTest::newRow("Japanese") << TLanguage::Japanese;
    QTest::newRow("English") << TLanguage::English;
  }
  void Captions() {
    QFETCH(TLanguage, language);
    const TLanguageScope scope(language);
    QVERIFY(scope.Installed);
    TWindowFixture f;
    TOrvMain& w = f.Open();
    const TSizeForm& s = f.SizeForm;
    const TPreferencesForm p;
    f.Dialogs.FileAnswers = {f.Path("a.png")};
    f.Dialogs.WarningAnswers = {false};
    QTest::mouseClick(w.Button5, Qt::LeftButton);
    w.ComboBox1->setCurrentIndex(0);
    QTest::mouseClick(w.Button6, Qt::LeftButton);
    QCOMPARE(f.Dialogs.Warnings.size(), size_t{1});
    const std::unique_ptr<QMessageBox> warning = CreateWarningBox(f.Dialogs.Warnings[0], nullptr);
    const QList<QAbstractButton*> answers = warning->buttons();
    QCOMPARE(answers.size(), 2);

    const std::vector<TCaption> captions = {
        {w.windowTitle(), "Tilora", "Tilora"},
        {w.GroupBox1->title(), "編集", "Edit"},
        {w.Button1->text(), "新規", "New"},
        {w.Button2->text(), "読込", "Load"},
        {w.Button3->text(), "保存", "Save"},
        {w.Button4->text(), "サイズ変更", "Resize"},
        {w.GroupBox2->title(), "素材", "Material"},
        {w.Button5->text(), "読込", "Add"},
        {w.Button6->text(), "破棄", "Discard"},
        {w.Button7->text(), "終了", "Exit"},
        {w.OpenPictureDialog1.Title, "素材を開く", "Open Material"},
        {w.OpenPictureDialog2.Title, "ファイルを開く", "Open File"},
        {w.SavePictureDialog1.Title, "画像を保存する", "Save Image"},
        {w.SavePictureDialog1.Filter,
         "すべてのファイル (*.bmp;*.png)|*.bmp;*.png|ビットマップ (*.bmp)|*.bmp|PNG イメージファイル "
         "(*.png)|*.png",
         "All files (*.bmp;*.png)|*.bmp;*.png|Bitmaps (*.bmp)|*.bmp|PNG image files (*.png)|*.png"},
        {f.Dialogs.Warnings[0], "このグラフィックを破棄していいですか？",
         "Discard this material from the list?"},
        {warning->windowTitle(), "警告", "Warning"},
        {answers[0]->text(), "はい(&Y)", "&Yes"},
        {answers[1]->text(), "いいえ(&N)", "&No"},
        {s.windowTitle(), "サイズとか", "Size"},
        {s.GroupBox1->title(), "チップサイズ", "Chip size"},
        {s.Label1->text(), "幅", "Width"},
        {s.Label2->text(), "×　高さ", "× Height"},
        {s.Button1->text(), "32×32　(Ruvola標準)", "32×32 (Ruvola standard)"},
        {s.Button2->text(), "24×32　(RPGツクール2000 イベント標準)", "24×32 (RPG Maker 2000 events)"},
        {s.Button3->text(), "16×16　(RPGツクール2000 マップ標準)", "16×16 (RPG Maker 2000 maps)"},
        {s.GroupBox2->title(), "画像サイズ", "Image size in chips"},
        {s.Label3->text(), "幅", "Width"},
        {s.Label4->text(), "×　高さ", "× Height"},
        {s.Button4->text(), "16×16　(Ruvola標準)", "16×16 (Ruvola standard)"},
        {s.Button5->text(), "OK", "OK"},
        {s.Button6->text(), "キャンセル", "Cancel"},
        {p.windowTitle(), "設定", "Preferences"},
        {p.LanguageGroup->title(), "言語", "Language"},
        {p.LanguageBox->itemText(0), "システムに合わせる", "Same as the system"},
        {p.LanguageBox->itemText(1), "日本語", "日本語"},
        {p.LanguageBox->itemText(2), "English", "English"},
        {p.LanguageNote->text(), "言語の変更は次の起動から有効になります。",
         "A new language takes effect at the next start."},
        {p.OkButton->text(), "OK", "OK"},
        {p.CancelButton->text(), "キャンセル", "Cancel"},
        {TOrvMain::ColorBudgetText(TColorBudget{200, 8, 25}), "200色 → 8ビット (25色に統合)",
         "200 colours → 8 bits (merged into 25)"},
    };
    for (const TCaption& caption : captions)
      QCOMPARE(caption.Shown,
               QString::fromUtf8(language == TLanguage::Japanese ? caption.Japanese : caption.English));
    // Every English caption fits its control: the controls grow where a caption needs more room.
    for (const QPushButton* button : {w.Button1, w.Button2, w.Button3, w.Button4, w.Button5, w.Button6,
                                      w.Button7, s.Button1, s.Button2, s.Button3, s.Button4, s.Button6})
      QVERIFY2(button->width() >= button->fontMetrics().horizontalAdvance(button->text()),
               qPrintable(button->text()));
    w.close();
  }
};

TILORA_GUI_TEST(LanguagesTest, "Languages");

#include "GuiLanguages_test.moc"
