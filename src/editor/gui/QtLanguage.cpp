#include "QtLanguage.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QSettings>
#include <QTranslator>
#include <memory>

#include "QtSettings.h"

TLanguage LanguageOfLocale(const QString& LocaleName) {
  // The language is the part before territory, codeset and modifier: "ja" in "ja_JP.UTF-8@x".
  const QString language = LocaleName.section(QLatin1Char('.'), 0, 0)
                               .section(QLatin1Char('@'), 0, 0)
                               .section(QLatin1Char('_'), 0, 0);
  if (language.isEmpty() || language == QLatin1String("C") || language == QLatin1String("POSIX") ||
      language == QLatin1String("ja"))
    return TLanguage::Japanese;
  return TLanguage::English;
}

TLanguage ChosenLanguage(const QString& Preference, const QString& LocaleName) {
  if (Preference == QLatin1String("ja")) return TLanguage::Japanese;
  if (Preference == QLatin1String("en")) return TLanguage::English;
  return LanguageOfLocale(LocaleName);
}

QString SystemMessagesLocale() {
  for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const QString value = qEnvironmentVariable(variable);
    if (!value.isEmpty()) return value;
  }
  return {};
}

TLanguage StartLanguage(const QSettings& Preferences) {
  return ChosenLanguage(Preferences.value(LanguagePreferenceKey).toString(), SystemMessagesLocale());
}

QString TranslationFileName(TLanguage Language) {
  return Language == TLanguage::English ? QStringLiteral("tilora_en.qm") : QString();
}

QString TranslationsFolder(const QString& ExecutableDir) {
  const QString installed = InstalledDataFolder(ExecutableDir);
  if (!installed.isEmpty()) return installed + QStringLiteral("/translations");
  return QDir(ExecutableDir).filePath(QStringLiteral("translations"));
}

namespace {

// Loads a translation and installs it for the application's lifetime; false when it does not load.
bool InstallTranslator(QCoreApplication& Application, const QString& FileName, const QString& Folder) {
  auto translator = std::make_unique<QTranslator>();
  if (!translator->load(FileName, Folder)) return false;
  translator->setParent(&Application);
  QCoreApplication::installTranslator(translator.release());
  return true;
}

}  // namespace

bool InstallLanguage(QCoreApplication& Application, TLanguage Language, const QString& Folder) {
  // Qt's texts are English in its sources; only other languages need its translation, when it is installed.
  if (Language != TLanguage::English)
    InstallTranslator(Application, QStringLiteral("qtbase_ja"),
                      QLibraryInfo::path(QLibraryInfo::TranslationsPath));
  const QString file = TranslationFileName(Language);
  return file.isEmpty() || InstallTranslator(Application, file, Folder);
}
