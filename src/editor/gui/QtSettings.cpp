#include "QtSettings.h"

#include <QFileInfo>
#include <QStandardPaths>

#include "SysUtils.h"

TSettingsFile SettingsFileFor(const std::string& ExecutableDir, bool ExecutableDirWritable,
                              const std::string& ConfigDir) {
  const std::string beside = ExecutableDir + SettingsFileName;
  const std::string config = ConfigDir + PathDelim + SettingsFileName;
  return {{beside, config}, ExecutableDirWritable ? beside : config};
}

TSettingsFile DefaultSettingsFile() {
  const std::string dir = ExtractFilePath(ExecutableFileName());
  const QFileInfo info(QString::fromStdString(dir));
  return SettingsFileFor(dir, info.isDir() && info.isWritable(),
                         QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation).toStdString());
}
