// A device plugged into the host: its backend, the records GetDeviceInfo hands out, its
// default pipe, and what its client driver left behind (notification routine, library).
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <utility>

#include "control_queue.h"
#include "device_records.h"
#include "usbhost/usbhost.h"

namespace usbhost {

struct DeviceNotification {
  LPDEVICE_NOTIFY_ROUTINE routine = nullptr;
  LPVOID parameter = nullptr;
};

class HostDevice {
 public:
  HostDevice(std::shared_ptr<DeviceBackend> backend, const DeviceModel& model)
      : backend_(std::move(backend)),
        records_(std::make_shared<const DeviceRecords>(model)),
        control_(std::make_shared<ControlQueue>(backend_)),
        model_(model) {}

  DeviceBackend& Backend() const { return *backend_; }
  const DeviceModel& Model() const { return model_; }
  const std::shared_ptr<const DeviceRecords>& Records() const { return records_; }
  const std::shared_ptr<ControlQueue>& Control() const { return control_; }

  bool IsPlugged() const { return !unplugging_.load(); }
  // True for the one caller that gets to unplug the device.
  bool BeginUnplug() { return !unplugging_.exchange(true); }

  void SetNotification(DeviceNotification notification) {
    std::lock_guard lock(mutex_);
    notification_ = notification;
  }
  DeviceNotification Notification() const {
    std::lock_guard lock(mutex_);
    return notification_;
  }

  // The library of the driver that took the device; it stays loaded until unplug.
  void SetOwnerModule(HMODULE module) {
    std::lock_guard lock(mutex_);
    ownerModule_ = module;
  }
  HMODULE OwnerModule() const {
    std::lock_guard lock(mutex_);
    return ownerModule_;
  }

  // Held while the device is offered to drivers and while its driver is told of the
  // unplug, so that an unplug during attach waits for the attach to finish. Recursive:
  // a driver may unplug its own device from inside its attach.
  std::recursive_mutex& Lifecycle() { return lifecycle_; }

 private:
  const std::shared_ptr<DeviceBackend> backend_;
  const std::shared_ptr<const DeviceRecords> records_;
  const std::shared_ptr<ControlQueue> control_;
  const DeviceModel model_;
  std::atomic<bool> unplugging_{false};
  std::recursive_mutex lifecycle_;
  mutable std::mutex mutex_;
  DeviceNotification notification_;
  HMODULE ownerModule_ = nullptr;
};

}  // namespace usbhost
