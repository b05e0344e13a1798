#include "device/vlm_device.h"

#include <cstring>
#include <mutex>
#include <new>
#include <unordered_set>

#include "usb/usb_attach.h"

namespace {

// Every record the driver has handed out and not yet freed. Handles come back from the
// device manager and the registry as plain numbers; they are only dereferenced once
// found here.
struct LiveDevices {
  std::mutex lock;
  std::unordered_set<const VlmDevice*> records;
};

LiveDevices& Live() {
  static LiveDevices live;
  return live;
}

}  // namespace

VlmDevice* AllocateDeviceContext() {
  auto* device = new (std::nothrow) VlmDevice();
  if (device == nullptr) return nullptr;
  try {
    LiveDevices& live = Live();
    std::lock_guard guard(live.lock);
    live.records.insert(device);
  } catch (...) {
    delete device;
    return nullptr;
  }
  std::memcpy(device->signature, kVlmSignature, sizeof device->signature);
  InitializeCriticalSection(&device->deviceLock);
  InitializeCriticalSection(&device->vendorRequestLock);
  device->references = 1;
  device->attachmentHeld = TRUE;
  return device;
}

bool IsValidDevice(const VlmDevice* device) {
  if (device == nullptr) return false;
  LiveDevices& live = Live();
  std::lock_guard guard(live.lock);
  return live.records.count(device) != 0 &&
         std::memcmp(device->signature, kVlmSignature, sizeof device->signature) == 0;
}

VlmDevice* DeviceFromHandle(DWORD_PTR handle) {
  auto* device = reinterpret_cast<VlmDevice*>(handle);
  return IsValidDevice(device) ? device : nullptr;
}

void AddDeviceReference(VlmDevice* device) { device->references.fetch_add(1); }

void ReleaseDeviceReference(VlmDevice* device) {
  if (device->references.fetch_sub(1) == 1) FreeDeviceContext(device);
}

void DeleteDeviceRecord(VlmDevice* device) {
  {
    LiveDevices& live = Live();
    std::lock_guard guard(live.lock);
    live.records.erase(device);
  }
  delete device;
}
