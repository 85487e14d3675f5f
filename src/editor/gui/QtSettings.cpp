#include "QtSettings.h"

#include <QDir>
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
  const bool installed = !InstalledDataFolder(QString::fromStdString(ExecutableDir)).isEmpty();
  return SettingsFileFor(ExecutableDir, info.isDir() && info.isWritable() && !installed, ConfigDir);
}

TSettingsFile DefaultSettingsFile() {
  return SettingsFileFor(ExtractFilePath(ExecutableFileName()),
                         QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation).toStdString());
}

QString PreferencesFileName() {
  return QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation) + QStringLiteral("/Tilora.conf");
}

QString InstalledDataFolder(const QString& ExecutableDir) {
  const QString folder = QDir::cleanPath(QDir(ExecutableDir).filePath(QStringLiteral("../share/tilora")));
  return QFileInfo(folder).isDir() ? folder : QString();
}
