// Exceptions, checked size arithmetic, paths and the clock: the small system services every layer uses.
#pragma once

#include <algorithm>
#include <cstdint>
#include <new>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <utility>

// Root of every class that is passed around as a sender or an assignment source.
class TObject {
 public:
  virtual ~TObject() = default;
  // The class name as messages show it ("TBitmap", "TDibGraphic", ...).
  virtual const char* ClassName() const { return "TObject"; }
};

// Base of every exception raised by Tilora's code; carries one message.
class Exception : public std::runtime_error {
 public:
  explicit Exception(const std::string& message) : std::runtime_error(message) {}
  std::string Message() const { return what(); }
};

#define TILORA_EXCEPTION(Name, Base)                             \
  class Name : public Base {                                     \
   public:                                                       \
    explicit Name(const std::string& message) : Base(message) {} \
  }

TILORA_EXCEPTION(EStreamError, Exception);
TILORA_EXCEPTION(EReadError, EStreamError);
TILORA_EXCEPTION(EWriteError, EStreamError);
TILORA_EXCEPTION(EFOpenError, EStreamError);
TILORA_EXCEPTION(EFCreateError, EStreamError);
TILORA_EXCEPTION(EOutOfMemory, Exception);
TILORA_EXCEPTION(EOutOfResources, Exception);
TILORA_EXCEPTION(EInvalidGraphic, Exception);
TILORA_EXCEPTION(EConvertError, Exception);
TILORA_EXCEPTION(EAssertionFailed, Exception);
TILORA_EXCEPTION(EListError, Exception);

// Standard message texts of the platform's errors.
inline constexpr const char* SReadError = "Stream read error";
inline constexpr const char* SWriteError = "Stream write error";
inline constexpr const char* SOutOfResources = "Out of system resources";
inline constexpr const char* SOutOfMemory = "Out of memory";
inline constexpr const char* SInvalidBitmap = "Bitmap image is not valid";
inline constexpr const char* SInvalidImageSize = "Invalid image size";
inline constexpr const char* SListIndexError = "List index out of bounds (%d)";

// Raises EAssertionFailed with the library's own text when the condition does not hold; never aborts.
inline void Assert(bool condition, const char* message) {
  if (!condition) throw EAssertionFailed(message);
}

// Runs an allocation and returns what it gives. A heap that cannot give the memory (std::bad_alloc, or a null
// result from an allocation that reports failure that way) raises EOutOfMemory with Message.
template <class TAllocate>
auto AllocateOrRaise(TAllocate&& Allocate, const char* Message = SOutOfMemory) {
  using TResult = decltype(Allocate());
  try {
    if constexpr (std::is_void_v<TResult>) {
      Allocate();
    } else {
      TResult result = Allocate();
      if constexpr (std::is_constructible_v<bool, const TResult&>) {
        if (!result) throw EOutOfMemory(Message);
      }
      return result;
    }
  } catch (const std::bad_alloc&) {
    throw EOutOfMemory(Message);
  }
}

// A protected block's clean-up: runs Cleanup when the guard goes out of scope, on every way out. Cleanup
// must not raise.
template <class TCleanup>
class TScopeGuard {
 public:
  explicit TScopeGuard(TCleanup Cleanup) : FCleanup(std::move(Cleanup)) {}
  ~TScopeGuard() { FCleanup(); }
  TScopeGuard(const TScopeGuard&) = delete;
  TScopeGuard& operator=(const TScopeGuard&) = delete;

 private:
  TCleanup FCleanup;
};

// A 64-bit value held at the limits of int32.
inline int32_t ClampToInt32(int64_t Value) {
  return static_cast<int32_t>(std::clamp<int64_t>(Value, INT32_MIN, INT32_MAX));
}

// Largest pixel memory, in bytes, of a bitmap or DIB: the libraries' sizes are 32-bit.
inline constexpr int64_t MaxPixelBytes = INT32_MAX;

// Row stride of a DIB-layout row: rows are padded to whole 32-bit words. Computed in 64 bits.
constexpr int64_t DibRowBytes(int64_t width, int64_t bitCount) {
  return ((width * bitCount + 31) / 32) * 4;
}

// Bytes of pixel memory for a DIB-layout image, or -1 when the size is negative or exceeds MaxPixelBytes.
inline int64_t DibImageBytes(int64_t width, int64_t height, int64_t bitCount) {
  if (width < 0 || height < 0 || bitCount <= 0 || bitCount > 64) return -1;
  if (width > (int64_t{1} << 40) || height > (int64_t{1} << 40)) return -1;
  const int64_t stride = DibRowBytes(width, bitCount);
  if (height != 0 && stride > MaxPixelBytes / height) return -1;
  return stride * height;
}

// Paths. A path component ends at '/' (and at '\\' and ':' as well, so Windows-style names split the same
// way).
std::string ExtractFilePath(const std::string& fileName);  // directory part, delimiter included
std::string ExtractFileName(const std::string& fileName);  // last component
std::string ExtractFileExt(const std::string& fileName);   // from the last '.' of the last component, or ""
bool FileExists(const std::string& fileName);              // a regular file exists at the path
std::string ExecutableFileName();                          // full path of the running executable
inline constexpr char PathDelim = '/';

// The system clock in UTC.
struct TSystemTime {
  uint16_t wYear, wMonth, wDayOfWeek, wDay, wHour, wMinute, wSecond, wMilliseconds;
};
TSystemTime GetSystemTime();

// Formats like the toolkit's Format for the few "%d" and "%s" messages the platform needs.
std::string FormatMessage(const char* pattern, const std::string& argument);
