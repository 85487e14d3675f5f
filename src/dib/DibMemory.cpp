// Pixel memory: heap blocks, or anonymous shared mappings for storages made with UseFMO.
#include <sys/mman.h>

#include <cstdlib>
#include <utility>

#include "DibImage.h"

namespace {

// Returns a block without checking; the destructor's path, where nothing may be raised.
bool ReturnBlock(uint8_t* bits, int64_t mappedSize, bool mapped) {
  if (bits == nullptr) return true;
  if (mapped) return munmap(bits, static_cast<size_t>(mappedSize)) == 0;
  std::free(bits);
  return true;
}

}  // namespace

TDibMemory::~TDibMemory() {
  ReturnBlock(FBits, FMappedSize, FMapped);
}

void TDibMemory::Swap(TDibMemory& Other) noexcept {
  std::swap(FBits, Other.FBits);
  std::swap(FSize, Other.FSize);
  std::swap(FMappedSize, Other.FMappedSize);
  std::swap(FMapped, Other.FMapped);
}

TDibMemory GetMemory(int64_t Size, bool UseFMO) {
  Assert(Size >= 0 && Size <= MaxPixelBytes, "GetMemory: Invalid Size");
  TDibMemory memory;
  // A block of at least one byte, so that even an empty picture has an address.
  const int64_t bytes = Size > 0 ? Size : 1;
  if (UseFMO) {
    void* view =
        mmap(nullptr, static_cast<size_t>(bytes), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (view == MAP_FAILED) throw EOutOfResources("GetMemory: Cannot Make File Mapping Object");
    memory.FBits = static_cast<uint8_t*>(view);
    memory.FMappedSize = bytes;
    memory.FMapped = true;
  } else {
    memory.FBits = static_cast<uint8_t*>(std::calloc(static_cast<size_t>(bytes), 1));
    if (memory.FBits == nullptr) throw EOutOfMemory(SOutOfMemory);
  }
  memory.FSize = Size;
  return memory;
}

void ReleaseMemory(TDibMemory& Memory) {
  TDibMemory block(std::move(Memory));
  const bool released = ReturnBlock(block.FBits, block.FMappedSize, block.FMapped);
  block.FBits = nullptr;
  Assert(released, "ReleaseMemory: Failed To Unmap View of File map");
}
