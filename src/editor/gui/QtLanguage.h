// The window's language: Japanese, its own (the source texts), or English (a translation shipped beside the
// program). The language follows the locale of the system's messages unless the preferences choose one.
#pragma once

#include <QString>

class QCoreApplication;
class QSettings;

enum class TLanguage { Japanese, English };

// The preference: "system" (the default, also for any unknown value), "ja" or "en".
inline const char* const LanguagePreferenceKey = "language";

// Japanese for a locale name of the Japanese language ("ja", "ja_JP.UTF-8", ...) and for the C/POSIX locale
// (also when no locale is set); English for every other.
TLanguage LanguageOfLocale(const QString& LocaleName);
// The language for a preference value and the system's locale name.
TLanguage ChosenLanguage(const QString& Preference, const QString& LocaleName);
// The locale of the system's messages as the C library chooses it: LC_ALL, else LC_MESSAGES, else LANG (the
// first that is set and not empty); empty when none is.
QString SystemMessagesLocale();
// The language the program starts in: the preference kept in Preferences and the system's locale.
TLanguage StartLanguage(const QSettings& Preferences);

// The file name of the program's translation into Language ("tilora_en.qm"); empty for Japanese.
QString TranslationFileName(TLanguage Language);
// Where the program's translations are: "../share/tilora/translations" from the executable's folder in an
// installed tree, else "translations" beside the executable (a build tree or a portable copy).
QString TranslationsFolder(const QString& ExecutableDir);

// Installs the translators for Language into the application: the program's own from Folder and Qt's own
// texts (its standard dialogs) where Qt's translations are installed. Japanese needs no translation of the
// program. False when the program's translation is missing or does not load; the texts then stay Japanese.
bool InstallLanguage(QCoreApplication& Application, TLanguage Language, const QString& Folder);
