#include <cstdlib>
#include <mutex>
#include <new>
#include <unordered_set>

#include "platform/winbase.h"

// Blocks are tracked so that LocalFree can refuse a pointer it never handed out (or one
// freed already) with the Win32 failure result instead of corrupting the heap.

namespace {

struct LocalBlocks {
  std::mutex mutex;
  std::unordered_set<void*> live;
};

LocalBlocks& Blocks() {
  static auto* blocks = new LocalBlocks;
  return *blocks;
}

}  // namespace

HLOCAL LocalAlloc(UINT flags, SIZE_T bytes) {
  if ((flags & ~LPTR) != 0) {  // movable and discardable memory do not exist here
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  const size_t size = bytes == 0 ? 1 : bytes;  // a zero-byte request still yields a block
  void* block = (flags & LMEM_ZEROINIT) != 0 ? std::calloc(1, size) : std::malloc(size);
  if (block == nullptr) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  try {
    auto& blocks = Blocks();
    std::lock_guard lock(blocks.mutex);
    blocks.live.insert(block);
  } catch (const std::bad_alloc&) {
    std::free(block);
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  return block;
}

HLOCAL LocalFree(HLOCAL memory) {
  if (memory == nullptr) return nullptr;
  {
    auto& blocks = Blocks();
    std::lock_guard lock(blocks.mutex);
    if (blocks.live.erase(memory) == 0) {
      SetLastError(ERROR_INVALID_HANDLE);
      return memory;
    }
  }
  std::free(memory);
  return nullptr;
}
