// The program entry: the application titled "Tilora", the main window, then the size dialog, and the event
// loop until the main window closes. The picture formats are registered for the run. "--version" and "--help"
// are answered on standard output without opening a window; "tilora FILE" opens FILE as the edit image.
#include <QApplication>
#include <QSettings>
#include <QTimer>
#include <cstdio>
#include <cstring>
#include <memory>

#include "DibImage.h"
#include "FMain.h"
#include "FSize.h"
#include "PngGraphic.h"
#include "QtDialogs.h"
#include "QtLanguage.h"
#include "QtSettings.h"
#include "TiloraVersion.h"

namespace {

// The picture formats of the two libraries and of the platform bitmap, registered while it lives.
struct TPictureFormats {
  TPictureFormats() {
    DibImageInitialize();
    PngGraphicInitialize();
    RegisterBitmapFileFormat();
  }
  ~TPictureFormats() {
    UnregisterBitmapFileFormat();
    PngGraphicFinalize();
    DibImageFinalize();
  }
  TPictureFormats(const TPictureFormats&) = delete;
  TPictureFormats& operator=(const TPictureFormats&) = delete;
};

// The application's name (which names its configuration folder), then its language from the preferences.
std::unique_ptr<QSettings> SetUpApplication(QCoreApplication& Application) {
  QCoreApplication::setApplicationName(QString::fromUtf8(ApplicationTitle));
  QCoreApplication::setApplicationVersion(QString::fromUtf8(TiloraVersion));
  auto preferences = std::make_unique<QSettings>(PreferencesFileName(), QSettings::IniFormat);
  InstallLanguage(Application, StartLanguage(*preferences),
                  TranslationsFolder(QCoreApplication::applicationDirPath()));
  return preferences;
}

bool HasArgument(int argc, char** argv, const char* Argument) {
  for (int i = 1; i < argc; ++i)
    if (std::strcmp(argv[i], Argument) == 0) return true;
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  if (HasArgument(argc, argv, "--version")) {
    std::printf("tilora %s\n", TiloraVersion);
    return 0;
  }
  if (HasArgument(argc, argv, "--help")) {
    QCoreApplication application(argc, argv);
    SetUpApplication(application);
    std::fputs(
        QCoreApplication::translate("main",
                                    "使い方: tilora [オプション] [ファイル]\n"
                                    "\n"
                                    "タイル型ゲーム用のチップ画像を組み立てるエディタです。\n"
                                    "ファイルを指定すると、チップサイズを尋ねてから編集画像として開きます。\n"
                                    "\n"
                                    "  --help     この説明を表示します。\n"
                                    "  --version  プログラム名とバージョンを表示します。\n")
            .toLocal8Bit()
            .constData(),
        stdout);
    return 0;
  }
  QApplication application(argc, argv);
  const std::unique_ptr<QSettings> preferences = SetUpApplication(application);
  const TPictureFormats formats;
  TQtDialogs dialogs;
  TOrvMain orvMain(dialogs, DefaultSettingsFile());
  dialogs.SetOwner(&orvMain);
  TSizeForm sizeForm(&orvMain);
  orvMain.SizeForm = &sizeForm;
  orvMain.BuildEditing(*preferences);
  orvMain.show();
  // The file named on the command line, once the window is up.
  const QString file = EditImageArgument(QCoreApplication::arguments());
  if (!file.isEmpty())
    QTimer::singleShot(0, &orvMain, [&] { orvMain.Guarded([&] { orvMain.OpenEditImage(file); }); });
  return application.exec();
}
