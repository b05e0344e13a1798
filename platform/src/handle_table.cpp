#include "handle_table.h"

#include <mutex>
#include <new>
#include <unordered_map>

namespace platform_internal {

namespace {

// Ids grow by 4 and are never reused, so a closed handle can never name a newer
// object; they stay clear of null, INVALID_HANDLE_VALUE and the predefined registry keys.
constexpr uintptr_t kHandleStep = 4;

struct HandleTable {
  std::mutex mutex;
  std::unordered_map<uintptr_t, std::shared_ptr<KernelObject>> objects;
  uintptr_t lastId = 0;
};

// Never destroyed: detached threads may still close handles while the process exits.
HandleTable& Table() {
  static auto* table = new HandleTable;
  return *table;
}

uintptr_t IdOf(HANDLE handle) { return reinterpret_cast<uintptr_t>(handle); }

}  // namespace

HANDLE InsertHandle(std::shared_ptr<KernelObject> object) {
  auto& table = Table();
  try {
    std::lock_guard lock(table.mutex);
    const uintptr_t id = table.lastId + kHandleStep;
    table.objects.emplace(id, std::move(object));
    table.lastId = id;
    return reinterpret_cast<HANDLE>(id);
  } catch (const std::bad_alloc&) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
}

std::shared_ptr<KernelObject> LookupHandle(HANDLE handle) {
  auto& table = Table();
  std::lock_guard lock(table.mutex);
  auto found = table.objects.find(IdOf(handle));
  return found == table.objects.end() ? nullptr : found->second;
}

std::shared_ptr<KernelObject> TakeHandle(HANDLE handle, bool (*accept)(const KernelObject&)) {
  auto& table = Table();
  std::lock_guard lock(table.mutex);
  auto found = table.objects.find(IdOf(handle));
  if (found == table.objects.end() || !accept(*found->second)) return nullptr;
  auto object = std::move(found->second);
  table.objects.erase(found);
  return object;
}

}  // namespace platform_internal
