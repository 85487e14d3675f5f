// Where the settings file Tilora.ini lives: beside the executable when that folder is writable and not part
// of an installed tree, otherwise in the user's configuration folder. It is read from where it is written; a
// configuration folder without the file yet takes the one beside the executable.
#pragma once

#include <string>
#include <vector>

struct TSettingsFile {
  std::vector<std::string> ReadPaths;  // tried in order; the first existing file is read
  std::string WritePath;
};

inline const char* const SettingsFileName = "Tilora.ini";

// The settings file for an executable folder (ending in a path delimiter), whether that folder is writable,
// and the configuration folder.
TSettingsFile SettingsFileFor(const std::string& ExecutableDir, bool ExecutableDirWritable,
                              const std::string& ConfigDir);
// The same, with the executable folder taken as writable when the running user may write it and it is not the
// "bin" folder of an installed tree (one with "../share/tilora" beside it), which root may write too.
TSettingsFile SettingsFileFor(const std::string& ExecutableDir, const std::string& ConfigDir);
// The settings file of the running program (QStandardPaths::AppConfigLocation as the configuration folder).
TSettingsFile DefaultSettingsFile();

class QString;
// The data folder of an installed tree, "../share/tilora" from the executable's folder; empty when there is
// none (a build tree or a portable copy).
QString InstalledDataFolder(const QString& ExecutableDir);
// The file of the other preferences (QSettings, INI format): "Tilora.conf" in the configuration folder.
QString PreferencesFileName();
