// Persistent objects, byte streams, string lists and the atomic file replacement.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "SysUtils.h"

using TNotifyEvent = std::function<void(TObject* Sender)>;

// Object that can copy itself from another: Assign asks the source to AssignTo this object when it does not
// know the source's class itself; the default AssignTo raises EConvertError
// "Cannot assign a <source class> to a <destination class>" ("nil" for a missing source).
class TPersistent : public TObject {
 public:
  const char* ClassName() const override { return "TPersistent"; }
  virtual void Assign(TPersistent* Source);
  virtual void AssignTo(TPersistent* Dest);

 protected:
  [[noreturn]] void AssignError(const TPersistent* Source);
};

enum TSeekOrigin { soBeginning, soCurrent, soEnd };

// Byte stream. Read and Write transfer what they can and return the count; ReadBuffer and WriteBuffer raise
// EReadError "Stream read error" or EWriteError "Stream write error" on a short transfer.
class TStream : public TObject {
 public:
  const char* ClassName() const override { return "TStream"; }
  virtual int64_t Read(void* Buffer, int64_t Count) = 0;
  virtual int64_t Write(const void* Buffer, int64_t Count) = 0;
  virtual int64_t Seek(int64_t Offset, TSeekOrigin Origin) = 0;
  virtual int64_t Size();
  virtual void SetSize(int64_t NewSize);

  int64_t Position() { return Seek(0, soCurrent); }
  void SetPosition(int64_t Pos) { Seek(Pos, soBeginning); }
  void ReadBuffer(void* Buffer, int64_t Count);
  void WriteBuffer(const void* Buffer, int64_t Count);
  // Copies Count bytes (all from the start when Count is 0) from Source; returns the bytes copied.
  int64_t CopyFrom(TStream& Source, int64_t Count);
};

// Stream over a growable block of memory; Memory() allows reading in place.
class TMemoryStream : public TStream {
 public:
  const char* ClassName() const override { return "TMemoryStream"; }
  int64_t Read(void* Buffer, int64_t Count) override;
  int64_t Write(const void* Buffer, int64_t Count) override;
  int64_t Seek(int64_t Offset, TSeekOrigin Origin) override;
  int64_t Size() override { return static_cast<int64_t>(FData.size()); }
  void SetSize(int64_t NewSize) override;

  uint8_t* Memory() { return FData.data(); }
  const uint8_t* Memory() const { return FData.data(); }
  void Clear();
  void LoadFromStream(TStream& Stream);
  void LoadFromFile(const std::string& FileName);
  void SaveToStream(TStream& Stream);
  void SaveToFile(const std::string& FileName);
  std::vector<uint8_t>& Data() { return FData; }

 private:
  std::vector<uint8_t> FData;
  int64_t FPosition = 0;
};

// EFCreateError 'Cannot create file "<FileName>". <text of the system error Error>'.
EFCreateError CreateFileError(const std::string& FileName, int Error);

// File open modes of TFileStream.
enum TFileMode {
  fmOpenRead = 0x0000,       // read only; others may read but not write
  fmOpenWrite = 0x0001,      // write an existing file
  fmOpenReadWrite = 0x0002,  // read and write an existing file
  fmCreate = 0xFF00,         // create the file anew (truncate when it exists)
};

// Stream over a file. Opening raises EFOpenError 'Cannot open file "<name>". <reason>' and creating raises
// EFCreateError 'Cannot create file "<name>". <reason>'.
class TFileStream : public TStream {
 public:
  TFileStream(const std::string& FileName, int Mode);
  ~TFileStream() override;
  TFileStream(const TFileStream&) = delete;
  TFileStream& operator=(const TFileStream&) = delete;
  const char* ClassName() const override { return "TFileStream"; }
  int64_t Read(void* Buffer, int64_t Count) override;
  int64_t Write(const void* Buffer, int64_t Count) override;
  int64_t Seek(int64_t Offset, TSeekOrigin Origin) override;
  void SetSize(int64_t NewSize) override;
  const std::string& FileName() const { return FFileName; }

 private:
  friend void SaveFileAtomically(const std::string& FileName,
                                 const std::function<void(TStream& Stream)>& Write);
  struct THandle {
    int Value;
  };
  // Takes over an open file handle, which the stream closes.
  TFileStream(std::string FileName, THandle Handle) : FFileName(std::move(FileName)), FHandle(Handle.Value) {}

  std::string FFileName;
  int FHandle = -1;
};

// Ordered list of strings, neither sorted nor free of duplicates.
// Text files are read with these line rules: a line ends at CR, at LF or at CR LF (counted once); reading
// stops at the first NUL byte; a last line without an ending is still a line; an empty line is an empty
// string. Written files end every line, the last one too, with CR LF; an empty list is an empty file.
class TStringList : public TPersistent {
 public:
  const char* ClassName() const override { return "TStringList"; }
  int Count() const { return static_cast<int>(FItems.size()); }
  const std::string& operator[](int Index) const;
  std::string& operator[](int Index);
  int Add(const std::string& S);
  void Insert(int Index, const std::string& S);
  void Delete(int Index);  // EListError "List index out of bounds (<i>)" for a bad index
  void Clear() { FItems.clear(); }
  int IndexOf(const std::string& S) const;

  void SetText(const std::string& Text);  // parses with the line rules above
  std::string Text() const;               // every line followed by CR LF
  void LoadFromStream(TStream& Stream);
  void SaveToStream(TStream& Stream) const;
  void LoadFromFile(const std::string& FileName);
  // Replaces the file atomically (SaveFileAtomically), so a failure never leaves a half-written list.
  void SaveToFile(const std::string& FileName) const;

  void Assign(TPersistent* Source) override;
  const std::vector<std::string>& Items() const { return FItems; }

 private:
  std::vector<std::string> FItems;
};

// Writes a file by way of a temporary file in the same folder, renamed over FileName only after Write
// returned. On any failure the temporary is removed, the old file stays as it was and the exception passes
// on. A symbolic link is followed: the file it points to is replaced, with its permission bits, and the link
// stays. An existing file that a direct write could not open (one the user may not write, a folder) is
// refused before anything is written, with the EFCreateError of that write. Every error that names a file
// names FileName, never the temporary.
void SaveFileAtomically(const std::string& FileName, const std::function<void(TStream& Stream)>& Write);
