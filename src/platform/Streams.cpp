// Byte streams: the abstract stream, memory streams and file streams.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>

#include "Classes.h"

// ---------------------------------------------------------------------------------------------------------------
// TStream

int64_t TStream::Size() {
  const int64_t pos = Seek(0, soCurrent);
  const int64_t size = Seek(0, soEnd);
  Seek(pos, soBeginning);
  return size;
}

void TStream::SetSize(int64_t) {
  throw EWriteError(SWriteError);
}

void TStream::ReadBuffer(void* Buffer, int64_t Count) {
  if (Count < 0 || (Count != 0 && Read(Buffer, Count) != Count)) throw EReadError(SReadError);
}

void TStream::WriteBuffer(const void* Buffer, int64_t Count) {
  if (Count < 0 || (Count != 0 && Write(Buffer, Count) != Count)) throw EWriteError(SWriteError);
}

int64_t TStream::CopyFrom(TStream& Source, int64_t Count) {
  if (Count == 0) {
    Source.SetPosition(0);
    Count = Source.Size();
  }
  std::vector<uint8_t> buffer(static_cast<size_t>(std::min<int64_t>(Count, 1 << 16)));
  int64_t left = Count;
  while (left > 0) {
    const int64_t n = std::min<int64_t>(left, static_cast<int64_t>(buffer.size()));
    Source.ReadBuffer(buffer.data(), n);
    WriteBuffer(buffer.data(), n);
    left -= n;
  }
  return Count;
}

// ---------------------------------------------------------------------------------------------------------------
// TMemoryStream

int64_t TMemoryStream::Read(void* Buffer, int64_t Count) {
  const int64_t size = Size();
  if (Count <= 0 || FPosition >= size) return 0;
  const int64_t n = std::min(Count, size - FPosition);
  std::memcpy(Buffer, FData.data() + FPosition, static_cast<size_t>(n));
  FPosition += n;
  return n;
}

int64_t TMemoryStream::Write(const void* Buffer, int64_t Count) {
  if (Count <= 0) return 0;
  if (FPosition > std::numeric_limits<int64_t>::max() - Count) return 0;
  const int64_t end = FPosition + Count;
  if (end > Size()) {
    try {
      FData.resize(static_cast<size_t>(end));
    } catch (const std::bad_alloc&) {
      return 0;
    }
  }
  std::memcpy(FData.data() + FPosition, Buffer, static_cast<size_t>(Count));
  FPosition = end;
  return Count;
}

int64_t TMemoryStream::Seek(int64_t Offset, TSeekOrigin Origin) {
  int64_t base = 0;
  if (Origin == soCurrent) base = FPosition;
  if (Origin == soEnd) base = Size();
  const int64_t pos = base + Offset;
  FPosition = pos < 0 ? 0 : pos;
  return FPosition;
}

void TMemoryStream::SetSize(int64_t NewSize) {
  if (NewSize < 0) NewSize = 0;
  AllocateOrRaise([&] { FData.resize(static_cast<size_t>(NewSize)); });
  if (FPosition > NewSize) FPosition = NewSize;
}

void TMemoryStream::Clear() {
  FData.clear();
  FData.shrink_to_fit();
  FPosition = 0;
}

void TMemoryStream::LoadFromStream(TStream& Stream) {
  Stream.SetPosition(0);
  const int64_t size = Stream.Size();
  SetSize(size);
  Stream.ReadBuffer(FData.data(), size);
  FPosition = 0;
}

void TMemoryStream::LoadFromFile(const std::string& FileName) {
  TFileStream file(FileName, fmOpenRead);
  LoadFromStream(file);
}

void TMemoryStream::SaveToStream(TStream& Stream) {
  Stream.WriteBuffer(FData.data(), Size());
}

void TMemoryStream::SaveToFile(const std::string& FileName) {
  TFileStream file(FileName, fmCreate);
  SaveToStream(file);
}

// ---------------------------------------------------------------------------------------------------------------
// TFileStream

EFCreateError CreateFileError(const std::string& FileName, int Error) {
  return EFCreateError("Cannot create file \"" + FileName + "\". " + std::strerror(Error));
}

TFileStream::TFileStream(const std::string& FileName, int Mode) : FFileName(FileName) {
  if (Mode == fmCreate) {
    FHandle = ::open(FileName.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (FHandle < 0) throw CreateFileError(FileName, errno);
    return;
  }
  const int flags = (Mode & 3) == fmOpenWrite ? O_WRONLY : (Mode & 3) == fmOpenReadWrite ? O_RDWR : O_RDONLY;
  FHandle = ::open(FileName.c_str(), flags | O_CLOEXEC);
  if (FHandle >= 0) {
    struct stat st {};
    if (::fstat(FHandle, &st) == 0 && S_ISDIR(st.st_mode)) {
      ::close(FHandle);
      FHandle = -1;
      errno = EISDIR;
    }
  }
  if (FHandle < 0) throw EFOpenError("Cannot open file \"" + FileName + "\". " + std::strerror(errno));
}

TFileStream::~TFileStream() {
  if (FHandle >= 0) ::close(FHandle);
}

namespace {

// Moves up to Count bytes at Data by repeated calls of Transfer (::read or ::write on one handle), at most 1
// GiB a call, retrying interrupted calls; stops at the first failure or end of file and returns the bytes
// moved.
template <typename TByte, typename TTransfer>
int64_t TransferAll(TByte* Data, int64_t Count, TTransfer Transfer) {
  int64_t done = 0;
  while (done < Count) {
    const ssize_t n = Transfer(Data + done, static_cast<size_t>(std::min<int64_t>(Count - done, 1 << 30)));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += n;
  }
  return done;
}

}  // namespace

int64_t TFileStream::Read(void* Buffer, int64_t Count) {
  return TransferAll(static_cast<uint8_t*>(Buffer), Count,
                     [this](uint8_t* At, size_t Bytes) { return ::read(FHandle, At, Bytes); });
}

int64_t TFileStream::Write(const void* Buffer, int64_t Count) {
  return TransferAll(static_cast<const uint8_t*>(Buffer), Count,
                     [this](const uint8_t* At, size_t Bytes) { return ::write(FHandle, At, Bytes); });
}

int64_t TFileStream::Seek(int64_t Offset, TSeekOrigin Origin) {
  const int whence = Origin == soBeginning ? SEEK_SET : Origin == soCurrent ? SEEK_CUR : SEEK_END;
  const off_t pos = ::lseek(FHandle, static_cast<off_t>(Offset), whence);
  return pos < 0 ? -1 : static_cast<int64_t>(pos);
}

void TFileStream::SetSize(int64_t NewSize) {
  if (::ftruncate(FHandle, static_cast<off_t>(NewSize)) != 0) throw EWriteError(SWriteError);
}
