// The string list and its text-file rules, and the atomic replacement of files.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>

#include "Classes.h"

const std::string& TStringList::operator[](int Index) const {
  if (Index < 0 || Index >= Count()) throw EListError(FormatMessage(SListIndexError, std::to_string(Index)));
  return FItems[static_cast<size_t>(Index)];
}

std::string& TStringList::operator[](int Index) {
  if (Index < 0 || Index >= Count()) throw EListError(FormatMessage(SListIndexError, std::to_string(Index)));
  return FItems[static_cast<size_t>(Index)];
}

int TStringList::Add(const std::string& S) {
  FItems.push_back(S);
  return Count() - 1;
}

void TStringList::Insert(int Index, const std::string& S) {
  if (Index < 0 || Index > Count()) throw EListError(FormatMessage(SListIndexError, std::to_string(Index)));
  FItems.insert(FItems.begin() + Index, S);
}

void TStringList::Delete(int Index) {
  if (Index < 0 || Index >= Count()) throw EListError(FormatMessage(SListIndexError, std::to_string(Index)));
  FItems.erase(FItems.begin() + Index);
}

int TStringList::IndexOf(const std::string& S) const {
  for (int i = 0; i < Count(); ++i)
    if (FItems[static_cast<size_t>(i)] == S) return i;
  return -1;
}

void TStringList::SetText(const std::string& Text) {
  FItems.clear();
  const size_t end = std::min(Text.find('\0'), Text.size());
  size_t i = 0;
  while (i < end) {
    size_t j = i;
    while (j < end && Text[j] != '\r' && Text[j] != '\n') ++j;
    FItems.push_back(Text.substr(i, j - i));
    if (j < end) j += (Text[j] == '\r' && j + 1 < end && Text[j + 1] == '\n') ? 2 : 1;
    i = j;
  }
}

std::string TStringList::Text() const {
  std::string text;
  for (const auto& s : FItems) {
    text += s;
    text += "\r\n";
  }
  return text;
}

void TStringList::LoadFromStream(TStream& Stream) {
  const int64_t size = Stream.Size() - Stream.Position();
  std::string text(static_cast<size_t>(std::max<int64_t>(size, 0)), '\0');
  Stream.ReadBuffer(text.data(), static_cast<int64_t>(text.size()));
  SetText(text);
}

void TStringList::SaveToStream(TStream& Stream) const {
  const std::string text = Text();
  Stream.WriteBuffer(text.data(), static_cast<int64_t>(text.size()));
}

void TStringList::LoadFromFile(const std::string& FileName) {
  TFileStream file(FileName, fmOpenRead);
  LoadFromStream(file);
}

void TStringList::SaveToFile(const std::string& FileName) const {
  SaveFileAtomically(FileName, [this](TStream& stream) { SaveToStream(stream); });
}

void TStringList::Assign(TPersistent* Source) {
  if (auto* list = dynamic_cast<TStringList*>(Source)) {
    FItems = list->FItems;
    return;
  }
  TPersistent::Assign(Source);
}

namespace {

// The file that a write to FileName writes: FileName itself, or the end of the chain of symbolic links that
// starts there (a relative link counts from the folder of the link).
std::string LinkTarget(const std::string& FileName) {
  namespace fs = std::filesystem;
  fs::path path(FileName);
  for (int links = 0; links < 40; ++links) {
    std::error_code error;
    if (!fs::is_symlink(fs::symlink_status(path, error))) return path.string();
    const fs::path link = fs::read_symlink(path, error);
    if (error) throw CreateFileError(FileName, error.value());
    path = link.is_absolute() ? link : path.parent_path() / link;
  }
  throw CreateFileError(FileName, ELOOP);
}

}  // namespace

void SaveFileAtomically(const std::string& FileName, const std::function<void(TStream& Stream)>& Write) {
  const std::string target = LinkTarget(FileName);
  // An existing file is replaced only when a direct write could open it; the rename alone would replace a
  // file that the user may not write.
  const int probe = ::open(target.c_str(), O_RDWR | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (probe >= 0) {
    ::close(probe);
  } else if (const int error = errno; error != ENOENT) {
    throw CreateFileError(FileName, error);
  }

  std::random_device random;
  char suffix[32];
  std::snprintf(suffix, sizeof suffix, ".%d-%08x.tmp", static_cast<int>(::getpid()), random());
  const std::string temp = ExtractFilePath(target) + "." + ExtractFileName(target) + suffix;
  const int handle = ::open(temp.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (handle < 0) throw CreateFileError(FileName, errno);
  try {
    {
      TFileStream stream(temp, TFileStream::THandle{handle});
      // The replacement keeps the permissions of the file it replaces.
      struct stat old {};
      if (::stat(target.c_str(), &old) == 0) ::fchmod(handle, old.st_mode & 07777);
      Write(stream);
    }
    if (std::rename(temp.c_str(), target.c_str()) != 0) throw CreateFileError(FileName, errno);
  } catch (...) {
    std::remove(temp.c_str());
    throw;
  }
}
