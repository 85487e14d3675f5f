#include "QtSettings.h"

#include <QFileInfo>
#include <QStandardPaths>

#include "SysUtils.h"

TSettingsFile SettingsFileFor(const std::string& ExecutableDir, bool ExecutableDirWritable,
                              const std::string& ConfigDir) {
  const std::string beside = ExecutableDir + SettingsFileName;
  const std::string config = ConfigDir + PathDelim + SettingsFileName;
  if (ExecutableDirWritable) return {{beside}, beside};
  return {{config, beside}, config};
}

TSettingsFile SettingsFileFor(const std::string& ExecutableDir, const std::string& ConfigDir) {
  const QFileInfo info(QString::fromStdString(ExecutableDir));
  return SettingsFileFor(ExecutableDir, info.isDir() && info.isWritable(), ConfigDir);
}

TSettingsFile DefaultSettingsFile() {
  return SettingsFileFor(ExtractFilePath(ExecutableFileName()),
                         QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation).toStdString());
}
