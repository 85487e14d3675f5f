// The main window under test: the dialogs scripted through the seam, the settings file and the picture files
// in a temporary folder.
#pragma once

#include <QApplication>
#include <QFile>
#include <QFont>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <array>
#include <cstring>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "FMain.h"
#include "FSize.h"

// Answers the window's dialogs from queues and records every call. A call with nothing queued fails the test
// and is answered as cancelled.
class TScriptedDialogs : public TDialogs {
 public:
  // The size dialog: the values typed (chip width, chip height, columns, rows) and OK, or Cancel (nullopt).
  std::deque<std::optional<std::array<int64_t, 4>>> SizeAnswers;
  // A file dialog: the chosen file, or Cancel (nullopt).
  std::deque<std::optional<std::string>> FileAnswers;
  std::deque<bool> WarningAnswers;
  std::deque<TSaveChangesAnswer> SaveAnswers;
  std::deque<bool> QuestionAnswers;

  // The editing window's save dialog answers from FileAnswers; when one is chosen, the next of ChoiceEdits
  // (if any) changes the choices the dialog showed, as a user would.
  std::deque<std::function<void(TSaveChoices&)>> ChoiceEdits;

  std::vector<bool> SizeCalls;  // WithImageSize of each call
  std::vector<TPictureDialog> FileCalls;
  std::vector<QString> Warnings;
  std::vector<QString> SaveQuestions;
  std::vector<QString> Errors;
  std::vector<QString> Questions;
  std::vector<QString> Notices;  // the warnings that do not stop a command (a save's warnings among them)
  std::vector<TSaveChoices> ChoicesShown;  // by each save dialog

  bool ExecuteSizeForm(TSizeForm& Form, bool WithImageSize) override {
    SizeCalls.push_back(WithImageSize);
    Form.PrepareShow(WithImageSize);
    if (SizeAnswers.empty()) return Unexpected("size dialog");
    const auto answer = SizeAnswers.front();
    SizeAnswers.pop_front();
    if (!answer) return false;
    TWinSpinEdit* fields[] = {Form.WinSpinEdit1, Form.WinSpinEdit2, Form.WinSpinEdit3, Form.WinSpinEdit4};
    for (size_t i = 0; i < 4; ++i) fields[i]->SetValue((*answer)[i]);
    return true;
  }
  bool ExecutePictureDialog(const TPictureDialog& Dialog, QStringList& Files) override {
    FileCalls.push_back(Dialog);
    if (FileAnswers.empty()) return Unexpected("file dialog");
    const auto answer = FileAnswers.front();
    FileAnswers.pop_front();
    if (!answer) return false;
    Files = QStringList{QString::fromStdString(*answer)};
    return true;
  }
  bool WarningYesNo(const QString& Text) override {
    Warnings.push_back(Text);
    if (WarningAnswers.empty()) return Unexpected("warning box");
    const bool yes = WarningAnswers.front();
    WarningAnswers.pop_front();
    return yes;
  }
  TSaveChangesAnswer AskSaveChanges(const QString& Text) override {
    SaveQuestions.push_back(Text);
    if (SaveAnswers.empty()) {
      Unexpected("unsaved-changes question");
      return TSaveChangesAnswer::Cancel;
    }
    const TSaveChangesAnswer answer = SaveAnswers.front();
    SaveAnswers.pop_front();
    return answer;
  }
  void ShowError(const QString& Message) override { Errors.push_back(Message); }
  bool AskYesNo(const QString& Text) override {
    Questions.push_back(Text);
    if (QuestionAnswers.empty()) return Unexpected("question");
    const bool yes = QuestionAnswers.front();
    QuestionAnswers.pop_front();
    return yes;
  }
  void ShowWarning(const QString& Text) override { Notices.push_back(Text); }
  bool ExecuteSaveDialog(const TPictureDialog& Dialog, TSaveChoices& Choices, QStringList& Files) override {
    ChoicesShown.push_back(Choices);
    if (!ExecutePictureDialog(Dialog, Files)) return false;
    if (!ChoiceEdits.empty()) {
      ChoiceEdits.front()(Choices);
      ChoiceEdits.pop_front();
    }
    return true;
  }

 private:
  static bool Unexpected(const char* What) {
    QTest::qFail((std::string("unexpected ") + What).c_str(), __FILE__, __LINE__);
    return false;
  }
};

struct TWindowFixture {
  QTemporaryDir Dir;
  TScriptedDialogs Dialogs;
  TSizeForm SizeForm;
  std::unique_ptr<TOrvMain> Window;

  std::string Path(const std::string& Name) const { return (Dir.path() + "/").toStdString() + Name; }
  TSettingsFile Settings() const {
    return {{Path("Tilora.ini"), Path("config/Tilora.ini")}, Path("Tilora.ini")};
  }
  // Creates and shows the window (FormCreate reads the settings file).
  TOrvMain& Open() { return Open(Settings()); }
  TOrvMain& Open(TSettingsFile SettingsFile) {
    Window = std::make_unique<TOrvMain>(Dialogs, std::move(SettingsFile));
    Window->SizeForm = &SizeForm;
    Window->show();
    (void)QTest::qWaitForWindowExposed(Window.get());
    return *Window;
  }
};

// The window with its editing additions (menus, tool bar, status bar, tools), the preferences file in the
// fixture's folder. The window is active, so that its keys reach it.
struct TEditingFixture : TWindowFixture {
  std::unique_ptr<QSettings> Preferences;

  TEditingFixture() { OpenPreferences(); }
  ~TEditingFixture() { Window.reset(); }
  TEditingFixture(const TEditingFixture&) = delete;
  TEditingFixture& operator=(const TEditingFixture&) = delete;

  QString PreferencesPath() const { return QString::fromStdString(Path("Tilora.conf")); }
  void OpenPreferences() {
    Preferences = std::make_unique<QSettings>(PreferencesPath(), QSettings::IniFormat);
  }
  TOrvMain& OpenEditing() {
    Window = std::make_unique<TOrvMain>(Dialogs, Settings());
    Window->SizeForm = &SizeForm;
    Window->BuildEditing(*Preferences);
    Window->show();
    Window->activateWindow();
    (void)QTest::qWaitForWindowActive(Window.get());
    return *Window;
  }
};

// A small application font while it lives, in which every caption fits its designed control, so that the
// designed places and sizes are exact.
struct TSmallFont {
  QFont Old = QApplication::font();
  TSmallFont() {
    QFont small = Old;
    small.setPixelSize(9);
    QApplication::setFont(small);
  }
  ~TSmallFont() { QApplication::setFont(Old); }
  TSmallFont(const TSmallFont&) = delete;
  TSmallFont& operator=(const TSmallFont&) = delete;
};

// A display-format bitmap whose pixels follow Color(x, y) (0x00BBGGRR).
template <class F>
std::unique_ptr<TBitmap> MakeBitmap(int Width, int Height, F Color) {
  auto bitmap = std::make_unique<TBitmap>();
  bitmap->SetSize(Width, Height);
  for (int y = 0; y < Height; ++y) {
    uint8_t* row = bitmap->ScanLine(y);
    for (int x = 0; x < Width; ++x) {
      const TColor c = Color(x, y);
      row[4 * x] = GetBValue(c);
      row[4 * x + 1] = GetGValue(c);
      row[4 * x + 2] = GetRValue(c);
      row[4 * x + 3] = 0;
    }
  }
  return bitmap;
}

// A BMP file written by the platform bitmap; returns its path.
template <class F>
std::string WriteBmp(const std::string& Path, int Width, int Height, F Color) {
  MakeBitmap(Width, Height, Color)->SaveToFile(Path);
  return Path;
}

// A colourful pattern that tells every pixel of a chip from its neighbours'.
inline TColor Pattern(int X, int Y) {
  return RGB(static_cast<uint8_t>(X * 7 + 1), static_cast<uint8_t>(Y * 5 + 2),
             static_cast<uint8_t>((X ^ Y) * 3));
}

// Same size and colour at every pixel.
inline bool SameColors(const TBitmap& A, const TBitmap& B) {
  if (A.Width() != B.Width() || A.Height() != B.Height()) return false;
  for (int y = 0; y < A.Height(); ++y)
    for (int x = 0; x < A.Width(); ++x)
      if (A.GetPixel(x, y) != B.GetPixel(x, y)) return false;
  return true;
}

// Same size, format and pixel bytes (padding excluded).
inline bool SamePixels(const TBitmap& A, const TBitmap& B) {
  if (A.Width() != B.Width() || A.Height() != B.Height() || A.PixelFormat() != B.PixelFormat()) return false;
  const int64_t bytes = (int64_t{A.Width()} * A.BitCount() + 7) / 8;
  for (int y = 0; y < A.Height(); ++y)
    if (std::memcmp(A.ScanLine(y), B.ScanLine(y), static_cast<size_t>(bytes)) != 0) return false;
  return true;
}

inline void WriteFile(const std::string& Path, const QByteArray& Bytes) {
  QFile file(QString::fromStdString(Path));
  QVERIFY(file.open(QIODevice::WriteOnly));
  file.write(Bytes);
}
