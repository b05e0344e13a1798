#include "host_state.h"

#include <algorithm>

namespace usbhost {

void RecordsArchive::Keep(std::shared_ptr<const DeviceRecords> records) {
  std::lock_guard lock(mutex_);
  records_.push_back(std::move(records));
}

const DeviceRecords* RecordsArchive::Find(LPCUSB_DEVICE device) const {
  std::lock_guard lock(mutex_);
  auto it = std::ranges::find_if(records_, [&](const auto& records) { return records->Device() == device; });
  return it == records_.end() ? nullptr : it->get();
}

void RecordsArchive::Clear() {
  std::lock_guard lock(mutex_);
  records_.clear();
}

HostState& Host() {
  // Never destroyed: backend and driver threads may still call in while the process exits.
  static auto* state = new HostState;
  return *state;
}

}  // namespace usbhost
