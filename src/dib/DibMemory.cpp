// Pixel memory: heap blocks for small pictures, anonymous mappings for large ones and for UseFMO storages.
#include <sys/mman.h>

#include <cstdlib>
#include <utility>

#include "DibImage.h"

namespace {

// Blocks from this size on are mapped directly rather than taken from the heap.
constexpr int64_t LargeBlock = int64_t{1} << 21;

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
  std::swap(FShared, Other.FShared);
}

TDibMemory GetMemory(int64_t Size, bool UseFMO) {
  Assert(Size >= 0 && Size <= MaxPixelBytes, "GetMemory: Invalid Size");
  TDibMemory memory;
  // A block of at least one byte, so that even an empty picture has an address.
  const int64_t bytes = Size > 0 ? Size : 1;
  if (UseFMO || bytes >= LargeBlock) {
    // An anonymous mapping: zero pages from the system, touched only as the pixels are written. Large
    // pictures ask for huge pages, which makes filling fresh pixel memory several times cheaper.
    void* view =
        mmap(nullptr, static_cast<size_t>(bytes), PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (view == MAP_FAILED) {
      if (UseFMO) throw EOutOfResources("GetMemory: Cannot Make File Mapping Object");
      throw EOutOfMemory(SOutOfMemory);
    }
    if (bytes >= LargeBlock) madvise(view, static_cast<size_t>(bytes), MADV_HUGEPAGE);
    memory.FBits = static_cast<uint8_t*>(view);
    memory.FMappedSize = bytes;
    memory.FMapped = true;
    memory.FShared = UseFMO;
  } else {
    memory.FBits =
        AllocateOrRaise([&] { return static_cast<uint8_t*>(std::calloc(static_cast<size_t>(bytes), 1)); });
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
