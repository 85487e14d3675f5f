#include "QtDialogs.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QFileDialog>
#include <QGridLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

#include "FSaveOptions.h"
#include "FSize.h"
#include "OrvCuiErrors.h"
#include "QtBitmap.h"

namespace {

constexpr QSize PreviewSize(160, 160);

// The preview pane beside the file list: the highlighted picture scaled to fit, and its size in pixels.
QWidget* NewPreviewPane(QFileDialog& Dialog) {
  auto* pane = new QWidget(&Dialog);
  pane->setObjectName(QStringLiteral("PicturePreview"));
  auto* picture = new QLabel(pane);
  picture->setObjectName(QStringLiteral("PreviewPicture"));
  picture->setFixedSize(PreviewSize + QSize(4, 4));
  picture->setAlignment(Qt::AlignCenter);
  picture->setFrameShape(QFrame::StyledPanel);
  auto* caption = new QLabel(pane);
  caption->setObjectName(QStringLiteral("PreviewCaption"));
  caption->setAlignment(Qt::AlignCenter);
  auto* layout = new QVBoxLayout(pane);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(picture);
  layout->addWidget(caption);
  layout->addStretch();
  QObject::connect(&Dialog, &QFileDialog::currentChanged, pane, [picture, caption](const QString& Path) {
    QSize size;
    const QImage image = PicturePreview(Path, PreviewSize, &size);
    picture->setPixmap(image.isNull() ? QPixmap() : QPixmap::fromImage(image));
    caption->setText(image.isNull() ? QString()
                                    : QStringLiteral("(%1 x %2)").arg(size.width()).arg(size.height()));
  });
  return pane;
}

}  // namespace

std::unique_ptr<QFileDialog> CreatePictureDialog(const TPictureDialog& Dialog, QWidget* Owner) {
  auto dialog = std::make_unique<QFileDialog>(Owner, Dialog.Title);
  dialog->setOption(QFileDialog::DontUseNativeDialog);
  dialog->setOption(QFileDialog::DontConfirmOverwrite);
  const bool save = Dialog.Kind == TPictureDialog::Save;
  dialog->setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog->setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  dialog->setDefaultSuffix(Dialog.DefaultExt);
  // Qt takes a filter's patterns from its last parentheses, separated by blanks: it gets them in that form,
  // and its list then shows the descriptions as they are.
  const QStringList parts = Dialog.Filter.split(QLatin1Char('|'));
  QStringList filters, descriptions;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    descriptions << parts[i];
    filters << parts[i] + QStringLiteral(" (") +
                   QString(parts[i + 1]).replace(QLatin1Char(';'), QLatin1Char(' ')) + QStringLiteral(")");
  }
  dialog->setNameFilters(filters);
  if (auto* combo = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo")))
    for (int i = 0; i < combo->count() && i < descriptions.size(); ++i)
      combo->setItemText(i, descriptions[i]);
  if (auto* grid = qobject_cast<QGridLayout*>(dialog->layout()); grid && Dialog.Preview)
    grid->addWidget(NewPreviewPane(*dialog), 0, grid->columnCount(), grid->rowCount(), 1);
  return dialog;
}

namespace {

// A box with the buttons はい (the default) and いいえ (Escape).
std::unique_ptr<QMessageBox> YesNoBox(QMessageBox::Icon Icon, const QString& Caption, const QString& Text,
                                      QWidget* Owner) {
  auto box = std::make_unique<QMessageBox>(Icon, Caption, Text, QMessageBox::NoButton, Owner);
  QPushButton* yes =
      box->addButton(QCoreApplication::translate("TQtDialogs", "はい(&Y)"), QMessageBox::YesRole);
  QPushButton* no =
      box->addButton(QCoreApplication::translate("TQtDialogs", "いいえ(&N)"), QMessageBox::NoRole);
  box->setDefaultButton(yes);
  box->setEscapeButton(no);
  return box;
}

bool Yes(QMessageBox& Box) {
  Box.exec();
  return Box.clickedButton() && Box.buttonRole(Box.clickedButton()) == QMessageBox::YesRole;
}

}  // namespace

std::unique_ptr<QMessageBox> CreateWarningBox(const QString& Text, QWidget* Owner) {
  return YesNoBox(QMessageBox::Warning, QCoreApplication::translate("TQtDialogs", "警告"), Text, Owner);
}

std::unique_ptr<QMessageBox> CreateQuestionBox(const QString& Text, QWidget* Owner) {
  return YesNoBox(QMessageBox::Question, QString::fromUtf8(ApplicationTitle), Text, Owner);
}

std::unique_ptr<QMessageBox> CreateNoticeBox(const QString& Text, QWidget* Owner) {
  return std::make_unique<QMessageBox>(QMessageBox::Warning, QString::fromUtf8(ApplicationTitle), Text,
                                       QMessageBox::Ok, Owner);
}

std::unique_ptr<QMessageBox> CreateSaveChangesBox(const QString& Text, QWidget* Owner) {
  auto box = std::make_unique<QMessageBox>(QMessageBox::Question, QString::fromUtf8(ApplicationTitle), Text,
                                           QMessageBox::NoButton, Owner);
  QPushButton* save =
      box->addButton(QCoreApplication::translate("TQtDialogs", "保存する(&S)"), QMessageBox::AcceptRole);
  box->addButton(QCoreApplication::translate("TQtDialogs", "保存しない(&N)"), QMessageBox::DestructiveRole);
  QPushButton* cancel =
      box->addButton(QCoreApplication::translate("TQtDialogs", "キャンセル"), QMessageBox::RejectRole);
  box->setDefaultButton(save);
  box->setEscapeButton(cancel);
  return box;
}

TSaveChangesAnswer SaveChangesAnswer(const QMessageBox& Box) {
  QAbstractButton* clicked = Box.clickedButton();
  if (!clicked) return TSaveChangesAnswer::Cancel;
  switch (Box.buttonRole(clicked)) {
    case QMessageBox::AcceptRole:
      return TSaveChangesAnswer::Save;
    case QMessageBox::DestructiveRole:
      return TSaveChangesAnswer::Discard;
    default:
      return TSaveChangesAnswer::Cancel;
  }
}

std::unique_ptr<QMessageBox> CreateErrorBox(const QString& Message, QWidget* Owner) {
  return std::make_unique<QMessageBox>(QMessageBox::Critical, QString::fromUtf8(ApplicationTitle), Message,
                                       QMessageBox::Ok, Owner);
}

QImage PicturePreview(const QString& FileName, QSize MaxSize, QSize* PictureSize) {
  const std::string name = FileName.toStdString();
  const std::unique_ptr<TGraphic> graphic = TPicture::CreateForExtension(ExtractFileExt(name));
  if (!graphic || !FileExists(name)) return {};
  // A file that does not decode simply has no preview while the user browses.
  try {
    graphic->LoadFromFile(name);
    const int64_t width = graphic->Width(), height = graphic->Height();
    if (width <= 0 || height <= 0) return {};
    if (PictureSize) *PictureSize = QSize(static_cast<int>(width), static_cast<int>(height));
    int64_t fitWidth = width, fitHeight = height;
    if (width > MaxSize.width() || height > MaxSize.height()) {
      if (width * MaxSize.height() >= height * MaxSize.width()) {
        fitWidth = MaxSize.width();
        fitHeight = std::max<int64_t>(1, height * MaxSize.width() / width);
      } else {
        fitHeight = MaxSize.height();
        fitWidth = std::max<int64_t>(1, width * MaxSize.height() / height);
      }
    }
    TBitmap preview;
    preview.SetSize(static_cast<int>(fitWidth), static_cast<int>(fitHeight));
    graphic->Draw(preview.Canvas(), Rect(0, 0, static_cast<int>(fitWidth), static_cast<int>(fitHeight)));
    return BitmapToQImage(preview).copy();
  } catch (const std::exception&) {
    return {};
  }
}

void RegisterBitmapFileFormat() {
  if (TPicture::CreateForExtension("bmp")) return;
  TPicture::RegisterFileFormat("bmp", "Bitmaps", "TBitmap", [] { return std::make_unique<TBitmap>(); });
}

void UnregisterBitmapFileFormat() {
  TPicture::UnregisterGraphicClass("TBitmap");
}

bool TQtDialogs::ExecuteSizeForm(TSizeForm& Form, bool WithImageSize) {
  return WithImageSize ? Form.ExecuteWithImageSize() : Form.ExecuteChipSize();
}

bool TQtDialogs::ExecutePictureDialog(const TPictureDialog& Dialog, QStringList& Files) {
  const std::unique_ptr<QFileDialog> dialog = CreatePictureDialog(Dialog, FOwner);
  if (dialog->exec() != QDialog::Accepted) return false;
  Files = dialog->selectedFiles();
  return !Files.isEmpty();
}

bool TQtDialogs::WarningYesNo(const QString& Text) {
  return Yes(*CreateWarningBox(Text, FOwner));
}

bool TQtDialogs::AskYesNo(const QString& Text) {
  return Yes(*CreateQuestionBox(Text, FOwner));
}

void TQtDialogs::ShowWarning(const QString& Text) {
  CreateNoticeBox(Text, FOwner)->exec();
}

TSaveChangesAnswer TQtDialogs::AskSaveChanges(const QString& Text) {
  const std::unique_ptr<QMessageBox> box = CreateSaveChangesBox(Text, FOwner);
  box->exec();
  return SaveChangesAnswer(*box);
}

void TQtDialogs::ShowError(const QString& Message) {
  CreateErrorBox(Message, FOwner)->exec();
}

bool TQtDialogs::ExecuteSaveDialog(const TPictureDialog& Dialog, TSaveChoices& Choices, QStringList& Files) {
  const std::unique_ptr<QFileDialog> dialog = CreateSaveDialog(Dialog, Choices, FOwner);
  if (dialog->exec() != QDialog::Accepted) return false;
  Files = dialog->selectedFiles();
  if (Files.isEmpty()) return false;
  Choices = SaveDialogChoices(*dialog);
  return true;
}

QString ErrorBoxText(const std::string& Message) {
  return QString::fromStdString(ShownErrorMessage(Message));
}

void RunGuarded(TDialogs& Dialogs, const std::function<void()>& Handler) {
  try {
    Handler();
  } catch (const std::exception& error) {
    Dialogs.ShowError(ErrorBoxText(error.what()));
  } catch (...) {
    Dialogs.ShowError(ErrorBoxText("Unknown error"));
  }
}
