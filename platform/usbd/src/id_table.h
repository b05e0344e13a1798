// Process-wide tables that turn the opaque USB_HANDLE / USB_PIPE / USB_TRANSFER values
// into objects. Ids are never reused, so a stale value finds nothing instead of a
// stranger's object.
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <utility>
#include <vector>

namespace usbhost {

template <class Object>
class IdTable {
 public:
  uintptr_t Add(std::shared_ptr<Object> object) {
    std::lock_guard lock(mutex_);
    const uintptr_t id = nextId_++;
    objects_.emplace(id, std::move(object));
    return id;
  }

  std::shared_ptr<Object> Find(uintptr_t id) const {
    std::lock_guard lock(mutex_);
    auto it = objects_.find(id);
    return it == objects_.end() ? nullptr : it->second;
  }

  // Removes the entry and hands it over; null when the id is unknown.
  std::shared_ptr<Object> Take(uintptr_t id) {
    std::lock_guard lock(mutex_);
    auto it = objects_.find(id);
    if (it == objects_.end()) return nullptr;
    auto object = std::move(it->second);
    objects_.erase(it);
    return object;
  }

  // Every entry, in the order the ids were given out.
  std::vector<std::pair<uintptr_t, std::shared_ptr<Object>>> Snapshot() const {
    std::vector<std::pair<uintptr_t, std::shared_ptr<Object>>> entries;
    {
      std::lock_guard lock(mutex_);
      entries.reserve(objects_.size());
      for (const auto& [id, object] : objects_) entries.emplace_back(id, object);
    }
    std::ranges::sort(entries, {}, [](const auto& entry) { return entry.first; });
    return entries;
  }

  // Removes every entry the predicate selects; the objects are released outside the lock.
  template <class Predicate>
  std::vector<std::shared_ptr<Object>> TakeIf(Predicate predicate) {
    std::vector<std::shared_ptr<Object>> taken;
    std::lock_guard lock(mutex_);
    for (auto it = objects_.begin(); it != objects_.end();) {
      if (predicate(*it->second)) {
        taken.push_back(std::move(it->second));
        it = objects_.erase(it);
      } else {
        ++it;
      }
    }
    return taken;
  }

 private:
  mutable std::mutex mutex_;
  uintptr_t nextId_ = 1;
  std::unordered_map<uintptr_t, std::shared_ptr<Object>> objects_;
};

template <class Handle>
Handle HandleFromId(uintptr_t id) {
  return reinterpret_cast<Handle>(id);
}

template <class Handle>
uintptr_t IdFromHandle(Handle handle) {
  return reinterpret_cast<uintptr_t>(handle);
}

}  // namespace usbhost
