// The process-wide handle table. A handle is a small id (never a pointer), so a stale
// or forged handle simply misses the table. Objects are shared: a call that looked a
// handle up keeps its object alive even while another thread closes the handle.
#pragma once

#include <memory>

#include "platform/winbase.h"

namespace platform_internal {

class KernelObject {
 public:
  virtual ~KernelObject() = default;
  // Kinds that CloseHandle may close (registry keys, modules and activations have
  // their own release calls).
  virtual bool ClosedByCloseHandle() const { return true; }
  // Runs once, after the handle has left the table; the result is CloseHandle's.
  virtual BOOL OnClose() { return TRUE; }
};

HANDLE InsertHandle(std::shared_ptr<KernelObject> object);  // null when out of memory
std::shared_ptr<KernelObject> LookupHandle(HANDLE handle);

// Removes the handle if it names an object for which `accept` is true; that object is
// returned, else null (the table is unchanged).
std::shared_ptr<KernelObject> TakeHandle(HANDLE handle, bool (*accept)(const KernelObject&));

// The object behind `handle` if it is a T; otherwise null with ERROR_INVALID_HANDLE set.
template <class T>
std::shared_ptr<T> LookupObject(HANDLE handle);

// Removes and returns the handle's object if it is a T; otherwise null with
// ERROR_INVALID_HANDLE set.
template <class T>
std::shared_ptr<T> TakeObject(HANDLE handle);

// ---- implementation of the templates
template <class T>
std::shared_ptr<T> LookupObject(HANDLE handle) {
  auto object = std::dynamic_pointer_cast<T>(LookupHandle(handle));
  if (!object) SetLastError(ERROR_INVALID_HANDLE);
  return object;
}

template <class T>
std::shared_ptr<T> TakeObject(HANDLE handle) {
  auto object = std::dynamic_pointer_cast<T>(
      TakeHandle(handle, [](const KernelObject& candidate) { return dynamic_cast<const T*>(&candidate) != nullptr; }));
  if (!object) SetLastError(ERROR_INVALID_HANDLE);
  return object;
}

}  // namespace platform_internal
