#include <QComboBox>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLabel>
#include <QListView>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "AlphaPlane.h"
#include "GuiTest.h"
#include "GuiTestWindow.h"
#include "PngGraphic.h"
#include "QtBitmap.h"
#include "QtDialogs.h"
#include "QtImageView.h"
#include "QtSettings.h"
#include "Unprivileged.h"

namespace {

TColor ColorOf(QRgb Pixel) {
  return RGB(qRed(Pixel), qGreen(Pixel), qBlue(Pixel));
}

// Whether the image shows the bitmap's colours over R.
bool ShowsBitmap(const QImage& Image, const TBitmap& Bitmap, const QRect& R) {
  if (Image.size() != R.size()) return false;
  for (int y = 0; y < R.height(); ++y)
    for (int x = 0; x < R.width(); ++x)
      if (ColorOf(Image.pixel(x, y)) != Bitmap.GetPixel(R.left() + x, R.top() + y)) return false;
  return true;
}

struct TMouseLog {
  int Calls = 0;
  TMouseButton Button = mbLeft;
  TShiftState Shift = 0;
  int X = 0, Y = 0;
  TMouseEvent Handler() {
    return [this](QObject*, TMouseButton B, TShiftState S, int PX, int PY) {
      ++Calls;
      Button = B;
      Shift = S;
      X = PX;
      Y = PY;
    };
  }
};

}  // namespace

class BridgeTest : public QObject {
  Q_OBJECT

 private slots:
  void BitmapToQImageEveryFormat_data() {
    QTest::addColumn<int>("format");
    QTest::addColumn<bool>("wrapped");
    QTest::newRow("device") << int(pfDevice) << true;
    QTest::newRow("32") << int(pf32bit) << true;
    QTest::newRow("24") << int(pf24bit) << true;
    QTest::newRow("16") << int(pf16bit) << true;
    QTest::newRow("15") << int(pf15bit) << true;
    QTest::newRow("8") << int(pf8bit) << true;
    QTest::newRow("4") << int(pf4bit) << false;
    QTest::newRow("1") << int(pf1bit) << true;
  }
  void BitmapToQImageEveryFormat() {
    QFETCH(int, format);
    QFETCH(bool, wrapped);
    const auto bitmap = MakeBitmap(37, 11, [](int x, int y) {
      return RGB(static_cast<uint8_t>(x * 31), static_cast<uint8_t>(y * 23),
                 static_cast<uint8_t>((x + y) * 8));
    });
    bitmap->SetPixelFormat(static_cast<TPixelFormat>(format));
    const QImage whole = BitmapToQImage(*bitmap);
    QVERIFY(ShowsBitmap(whole, *bitmap, QRect(0, 0, 37, 11)));
    QCOMPARE(whole.constBits() == bitmap->ScanLine(0), wrapped);
    for (const QRect& part : {QRect(3, 2, 9, 5), QRect(8, 0, 29, 11), QRect(30, 9, 20, 20)}) {
      const QRect clipped = part & QRect(0, 0, 37, 11);
      QVERIFY(ShowsBitmap(BitmapToQImage(*bitmap, part), *bitmap, clipped));
    }
    QVERIFY(BitmapToQImage(*bitmap, QRect(40, 0, 5, 5)).isNull());
    QVERIFY(BitmapToQImage(TBitmap()).isNull());
  }

  void ErrorBoxText_data() {
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("shown");
    QTest::newRow("letter") << "Bitmap image is not valid"
                            << "Bitmap image is not valid.";
    QTest::newRow("full stop") << "Done."
                               << "Done.";
    QTest::newRow("below the full stop") << "a-"
                                         << "a-";
    QTest::newRow("closing parenthesis") << "(x)"
                                         << "(x)";
    QTest::newRow("slash") << "a/"
                           << "a/.";
    QTest::newRow("japanese") << QString::fromUtf8("画像") << QString::fromUtf8("画像.");
    QTest::newRow("empty") << ""
                           << "";
  }
  void ErrorBoxText() {
    QFETCH(QString, message);
    QFETCH(QString, shown);
    QCOMPARE(::ErrorBoxText(message.toStdString()), shown);
  }

  void GuardShowsTheErrorAndGoesOn() {
    TScriptedDialogs dialogs;
    int steps = 0;
    RunGuarded(dialogs, [&] {
      ++steps;
      throw EInvalidGraphic("Invalid image size");
    });
    RunGuarded(dialogs, [&] { ++steps; });
    RunGuarded(dialogs, [] { throw 42; });
    QCOMPARE(steps, 2);
    QCOMPARE(dialogs.Errors, (std::vector<QString>{"Invalid image size.", "Unknown error."}));
  }

  void MessageBoxes() {
    const auto warning =
        CreateWarningBox(QString::fromUtf8("このグラフィックを破棄していいですか？"), nullptr);
    QCOMPARE(warning->windowTitle(), QString::fromUtf8("警告"));
    QCOMPARE(warning->text(), QString::fromUtf8("このグラフィックを破棄していいですか？"));
    QCOMPARE(warning->icon(), QMessageBox::Warning);
    const QList<QAbstractButton*> buttons = warning->buttons();
    QCOMPARE(buttons.size(), 2);
    QCOMPARE(warning->defaultButton()->text(), QString::fromUtf8("はい(&Y)"));
    QCOMPARE(warning->escapeButton()->text(), QString::fromUtf8("いいえ(&N)"));
    QCOMPARE(warning->buttonRole(warning->defaultButton()), QMessageBox::YesRole);

    const auto error = CreateErrorBox("Stream read error.", nullptr);
    QCOMPARE(error->windowTitle(), QString("Tilora"));
    QCOMPARE(error->text(), QString("Stream read error."));
    QCOMPARE(error->icon(), QMessageBox::Critical);
  }

  void SaveChangesBox() {
    const QString text = QString::fromUtf8("「a.png」への変更内容を保存しますか？");
    const std::pair<const char*, TSaveChangesAnswer> buttons[] = {
        {"保存する(&S)", TSaveChangesAnswer::Save},
        {"保存しない(&N)", TSaveChangesAnswer::Discard},
        {"キャンセル", TSaveChangesAnswer::Cancel}};
    for (size_t i = 0; i < std::size(buttons); ++i) {
      const auto box = CreateSaveChangesBox(text, nullptr);
      QCOMPARE(box->windowTitle(), QString("Tilora"));
      QCOMPARE(box->text(), text);
      QCOMPARE(box->buttons().size(), 3);
      QCOMPARE(box->defaultButton()->text(), QString::fromUtf8("保存する(&S)"));
      QCOMPARE(box->escapeButton()->text(), QString::fromUtf8("キャンセル"));
      QCOMPARE(SaveChangesAnswer(*box), TSaveChangesAnswer::Cancel);  // closed without an answer
      QAbstractButton* button = nullptr;
      for (QAbstractButton* b : box->buttons())
        if (b->text() == QString::fromUtf8(buttons[i].first)) button = b;
      QVERIFY(button);
      box->show();
      button->click();
      QCOMPARE(SaveChangesAnswer(*box), buttons[i].second);
    }
  }

  // Blocks reach the clipboard as images with their alpha, and images of other programs come back as blocks.
  void BlocksAndImages() {
    TBitmap image, alpha;
    image.SetSize(3, 2);
    image.Canvas().SetPixel(0, 0, RGB(10, 20, 30));
    image.Canvas().SetPixel(2, 1, RGB(200, 100, 0));
    alpha.SetImage(NewAlphaPlaneImage(3, 2));
    alpha.ScanLine(1)[2] = 255 - 77;
    TChipBlock block;
    block.Width = 3;
    block.Height = 2;
    block.Image = std::make_shared<TBitmapImage>(image.Image());
    block.Alpha = std::make_shared<TBitmapImage>(alpha.Image());
    const QImage shown = BlockToQImage(block);
    QCOMPARE(shown.size(), QSize(3, 2));
    QCOMPARE(shown.pixel(0, 0), qRgba(10, 20, 30, 255));
    QCOMPARE(shown.pixel(2, 1), qRgba(200, 100, 0, 77));
    QCOMPARE(shown.pixel(1, 0), qRgba(255, 255, 255, 255));

    const TChipBlock back = QImageToBlock(shown);
    QCOMPARE(back.Width, 3);
    QCOMPARE(back.Height, 2);
    QVERIFY(back.Alpha);
    TBitmap pixels;
    pixels.SetImage(std::make_shared<TBitmapImage>(*back.Image));
    for (int y = 0; y < 2; ++y)
      for (int x = 0; x < 3; ++x) {
        QCOMPARE(pixels.GetPixel(x, y), image.GetPixel(x, y));
        QCOMPARE(back.Alpha->Bits[y * back.Alpha->RowBytes + x], alpha.ScanLine(y)[x]);
      }
    // An opaque image has no plane; a premultiplied one comes back unmultiplied.
    QImage opaque(2, 2, QImage::Format_RGB32);
    opaque.fill(qRgb(1, 2, 3));
    QVERIFY(!QImageToBlock(opaque).Alpha);
    QImage premultiplied(1, 1, QImage::Format_ARGB32_Premultiplied);
    premultiplied.setPixel(0, 0, qPremultiply(qRgba(200, 100, 50, 128)));
    const TChipBlock half = QImageToBlock(premultiplied);
    pixels.SetImage(std::make_shared<TBitmapImage>(*half.Image));
    QVERIFY(std::abs(int(GetRValue(pixels.GetPixel(0, 0))) - 200) <= 1);
    QCOMPARE(half.Alpha->Bits[0], uint8_t{127});
    QVERIFY(BlockToQImage(TChipBlock{}).isNull());
    QVERIFY(QImageToBlock(QImage()).Empty());
  }

  void PictureDialogs() {
    const TPictureDialog desc{
        TPictureDialog::Save, QString::fromUtf8("画像を保存する"),
        QString::fromUtf8("すべてのファイル (*.bmp;*.png)|*.bmp;*.png|ビットマップ (*.bmp)|*.bmp|"
                          "PNG イメージファイル (*.png)|*.png"),
        "bmp"};
    const auto dialog = CreatePictureDialog(desc, nullptr);
    QCOMPARE(dialog->windowTitle(), QString::fromUtf8("画像を保存する"));
    QVERIFY(dialog->testOption(QFileDialog::DontUseNativeDialog));
    QVERIFY(dialog->testOption(QFileDialog::DontConfirmOverwrite));
    QCOMPARE(dialog->acceptMode(), QFileDialog::AcceptSave);
    QCOMPARE(dialog->defaultSuffix(), QString("bmp"));
    auto* combo = dialog->findChild<QComboBox*>("fileTypeCombo");
    QVERIFY(combo);
    QCOMPARE(combo->count(), 3);
    QCOMPARE(combo->itemText(0), QString::fromUtf8("すべてのファイル (*.bmp;*.png)"));
    QCOMPARE(combo->itemText(1), QString::fromUtf8("ビットマップ (*.bmp)"));
    QCOMPARE(combo->itemText(2), QString::fromUtf8("PNG イメージファイル (*.png)"));
    QCOMPARE(combo->currentIndex(), 0);
    // The files listed are those the chosen entry's patterns match.
    auto* model = dialog->findChild<QFileSystemModel*>();
    QVERIFY(model);
    QCOMPARE(model->nameFilters(), (QStringList{"*.bmp", "*.png"}));
    combo->setCurrentIndex(2);
    emit combo->activated(2);
    QCOMPARE(model->nameFilters(), QStringList{"*.png"});
    QVERIFY(dialog->findChild<QWidget*>("PicturePreview"));

    const auto open = CreatePictureDialog({TPictureDialog::Open, "t", "a (*.x)|*.x", "bmp"}, nullptr);
    QCOMPARE(open->acceptMode(), QFileDialog::AcceptOpen);
    QCOMPARE(open->fileMode(), QFileDialog::ExistingFile);
  }

  void PreviewDecodesThroughTheRegistry() {
    RegisterBitmapFileFormat();
    PngGraphicInitialize();
    QTemporaryDir dir;
    const std::string bmp = WriteBmp((dir.path() + "/wide.bmp").toStdString(), 320, 100, Pattern);
    QSize size;
    const QImage preview = PicturePreview(QString::fromStdString(bmp), QSize(160, 160), &size);
    QCOMPARE(size, QSize(320, 100));
    QCOMPARE(preview.size(), QSize(160, 50));
    // Each preview pixel is one of the two by two picture pixels it stands for.
    const TColor shown = ColorOf(preview.pixel(10, 10));
    QVERIFY(shown == Pattern(20, 20) || shown == Pattern(21, 20) || shown == Pattern(20, 21) ||
            shown == Pattern(21, 21));

    // A PNG written by Qt's own writer.
    QImage png(40, 30, QImage::Format_RGB32);
    png.fill(qRgb(10, 200, 30));
    const QString pngPath = dir.path() + "/small.PNG";
    QVERIFY(png.save(pngPath, "PNG"));
    const QImage pngPreview = PicturePreview(pngPath, QSize(160, 160), &size);
    QCOMPARE(size, QSize(40, 30));
    QCOMPARE(pngPreview.size(), QSize(40, 30));
    QCOMPARE(ColorOf(pngPreview.pixel(5, 5)), RGB(10, 200, 30));

    // Not a picture, an unknown extension, no file: no preview.
    WriteFile((dir.path() + "/bad.png").toStdString(), "not a png");
    QVERIFY(PicturePreview(dir.path() + "/bad.png", QSize(160, 160)).isNull());
    QVERIFY(PicturePreview(dir.path() + "/x.gif", QSize(160, 160)).isNull());
    QVERIFY(PicturePreview(dir.path() + "/none.bmp", QSize(160, 160)).isNull());

    // The dialog's preview pane follows the highlighted file.
    const auto dialog = CreatePictureDialog({TPictureDialog::Open, "t", "b (*.bmp)|*.bmp", "bmp"}, nullptr);
    dialog->setDirectory(dir.path());
    dialog->show();
    auto* list = dialog->findChild<QListView*>("listView");
    QVERIFY(list);
    // The file system model fills the list in the background; wait until the file shows.
    const auto findWide = [list] {
      auto* proxy = list->model();
      for (int row = 0; row < proxy->rowCount(list->rootIndex()); ++row)
        if (proxy->index(row, 0, list->rootIndex()).data().toString() == "wide.bmp")
          return proxy->index(row, 0, list->rootIndex());
      return QModelIndex();
    };
    QTRY_VERIFY_WITH_TIMEOUT(findWide().isValid(), 20000);
    const QModelIndex wide = findWide();
    list->setCurrentIndex(wide);
    auto* picture = dialog->findChild<QLabel*>("PreviewPicture");
    auto* caption = dialog->findChild<QLabel*>("PreviewCaption");
    QVERIFY(picture && caption);
    QCOMPARE(picture->pixmap().size(), QSize(160, 50));
    QCOMPARE(caption->text(), QString("(320 x 100)"));
    dialog->hide();
    PngGraphicFinalize();
    UnregisterBitmapFileFormat();
  }

  void SettingsLocation() {
    const TSettingsFile beside = SettingsFileFor("/opt/tilora/", true, "/home/u/.config/Tilora");
    QCOMPARE(beside.ReadPaths, std::vector<std::string>{"/opt/tilora/Tilora.ini"});
    QCOMPARE(beside.WritePath, std::string("/opt/tilora/Tilora.ini"));
    const TSettingsFile config = SettingsFileFor("/opt/tilora/", false, "/home/u/.config/Tilora");
    QCOMPARE(config.ReadPaths,
             (std::vector<std::string>{"/home/u/.config/Tilora/Tilora.ini", "/opt/tilora/Tilora.ini"}));
    QCOMPARE(config.WritePath, std::string("/home/u/.config/Tilora/Tilora.ini"));

    // The program folder's writability as an ordinary user has it (root may write any folder).
    QTemporaryDir dir;
    QVERIFY(QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                  QFileDevice::ExeOwner | QFileDevice::ReadOther |
                                                  QFileDevice::ExeOther));
    const std::string root = dir.path().toStdString() + "/";
    const auto open = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
                      QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther;
    QVERIFY(QDir().mkpath(dir.path() + "/readonly") && QDir().mkpath(dir.path() + "/writable"));
    QVERIFY(QFile::setPermissions(dir.path() + "/readonly",
                                  open & ~(QFileDevice::WriteOwner | QFileDevice::WriteOther)));
    QVERIFY(QFile::setPermissions(dir.path() + "/writable", open));
    const auto writePath = [&](const std::string& Folder) {
      return unprivileged::Run([&] { return SettingsFileFor(root + Folder + "/", "/cfg").WritePath; });
    };
    QCOMPARE(writePath("readonly"), std::optional<std::string>("/cfg/Tilora.ini"));
    QCOMPARE(writePath("writable"), std::optional<std::string>(root + "writable/Tilora.ini"));
  }

  void ImageViewMouse() {
    QWidget window;
    auto* view = new TImageView(&window);
    view->Picture().SetSize(64, 48);
    view->PictureChanged();
    QCOMPARE(view->size(), QSize(64, 48));
    window.resize(200, 200);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    TMouseLog down, up;
    view->OnMouseDown = down.Handler();
    view->OnMouseUp = up.Handler();

    QTest::mousePress(view, Qt::RightButton, Qt::ShiftModifier, QPoint(10, 12));
    QCOMPARE(down.Calls, 1);
    QCOMPARE(down.Button, mbRight);
    QCOMPARE(down.Shift, TShiftState(ssRight | ssShift));
    QCOMPARE(down.X, 10);
    QCOMPARE(down.Y, 12);
    // A button other than the left one is released away from the view: not reported.
    QTest::mouseRelease(view, Qt::RightButton, {}, QPoint(100, 12));
    QCOMPARE(up.Calls, 0);
    QTest::mousePress(view, Qt::MiddleButton, {}, QPoint(1, 1));
    QTest::mouseRelease(view, Qt::MiddleButton, {}, QPoint(2, 3));
    QCOMPARE(up.Calls, 1);
    QCOMPARE(up.Button, mbMiddle);
    QCOMPARE(up.Shift, TShiftState(0));
    // The left button keeps the mouse: its release is reported anywhere, negative positions included.
    QTest::mousePress(view, Qt::LeftButton, {}, QPoint(5, 5));
    QCOMPARE(down.Shift, TShiftState(ssLeft));
    QTest::mouseRelease(view, Qt::LeftButton, {}, QPoint(-40, -3));
    QCOMPARE(up.Calls, 2);
    QCOMPARE(up.X, -40);
    QCOMPARE(up.Y, -3);
    QTest::mouseDClick(view, Qt::LeftButton, {}, QPoint(7, 7));
    QVERIFY(down.Shift & ssDouble);
  }

  // Moves are reported in picture pixels with the modifiers and the buttons held, wherever the mouse goes
  // while a button keeps it.
  void ImageViewMouseMove() {
    QWidget window;
    auto* view = new TImageView(&window);
    view->Picture().SetSize(64, 48);
    view->PictureChanged();
    window.resize(200, 200);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    TMouseLog moves;
    view->OnMouseMove = moves.Handler();
    const auto move = [&](QPoint At, Qt::MouseButtons Buttons, Qt::KeyboardModifiers Keys = {}) {
      QMouseEvent event(QEvent::MouseMove, QPointF(At), QPointF(view->mapToGlobal(At)), Qt::NoButton, Buttons,
                        Keys);
      QApplication::sendEvent(view, &event);
    };
    move({3, 4}, Qt::NoButton, Qt::ControlModifier);
    QCOMPARE(moves.Calls, 1);
    QCOMPARE(moves.Button, mbLeft);
    QCOMPARE(moves.Shift, TShiftState(ssCtrl));
    QCOMPARE(moves.X, 3);
    QCOMPARE(moves.Y, 4);
    move({-20, 70}, Qt::LeftButton | Qt::RightButton);
    QCOMPARE(moves.Calls, 2);
    QCOMPARE(moves.Shift, TShiftState(ssLeft | ssRight));
    QCOMPARE(moves.X, -20);
    QCOMPARE(moves.Y, 70);
  }
};

TILORA_GUI_TEST(BridgeTest, "Bridge");

#include "GuiBridge_test.moc"
