// Where the settings file Tilora.ini lives: beside the executable when that folder is writable, otherwise in
// the user's configuration folder. Reading takes the first of the two that exists; writing goes to the chosen
// one.
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
// The settings file of the running program (QStandardPaths::AppConfigLocation as the configuration folder).
TSettingsFile DefaultSettingsFile();
