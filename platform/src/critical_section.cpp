#include <mutex>
#include <new>

#include "platform/winbase.h"

// Win32 critical sections are recursive: the owner may enter again and must leave as
// often as it entered. A null or deleted section is refused with
// ERROR_INVALID_PARAMETER instead of crashing.

namespace {

std::recursive_mutex* MutexOf(LPCRITICAL_SECTION section) {
  if (section == nullptr || section->impl == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return static_cast<std::recursive_mutex*>(section->impl);
}

}  // namespace

void InitializeCriticalSection(LPCRITICAL_SECTION section) {
  if (section == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return;
  }
  section->impl = new (std::nothrow) std::recursive_mutex;
  if (section->impl == nullptr) SetLastError(ERROR_NOT_ENOUGH_MEMORY);
}

void DeleteCriticalSection(LPCRITICAL_SECTION section) {
  if (auto* mutex = MutexOf(section)) {
    delete mutex;
    section->impl = nullptr;
  }
}

void EnterCriticalSection(LPCRITICAL_SECTION section) {
  if (auto* mutex = MutexOf(section)) mutex->lock();
}

void LeaveCriticalSection(LPCRITICAL_SECTION section) {
  if (auto* mutex = MutexOf(section)) mutex->unlock();
}

BOOL TryEnterCriticalSection(LPCRITICAL_SECTION section) {
  auto* mutex = MutexOf(section);
  return mutex != nullptr && mutex->try_lock() ? TRUE : FALSE;
}
