// The program entry: the application titled "Tilora", the main window, then the size dialog, and the event
// loop until the main window closes. The picture formats are registered for the run.
#include <QApplication>

#include "DibImage.h"
#include "FMain.h"
#include "FSize.h"
#include "PngGraphic.h"
#include "QtDialogs.h"
#include "QtSettings.h"

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

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QApplication::setApplicationName(QString::fromUtf8(ApplicationTitle));
  const TPictureFormats formats;
  TQtDialogs dialogs;
  TOrvMain orvMain(dialogs, DefaultSettingsFile());
  dialogs.SetOwner(&orvMain);
  TSizeForm sizeForm(&orvMain);
  orvMain.SizeForm = &sizeForm;
  orvMain.show();
  return application.exec();
}
