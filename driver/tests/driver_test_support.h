// Test harness for the driver: the in-process driver stands in for "VELMAR.DLL", so the
// USB host and the device manager call the very code the tests inspect. Cameras are
// emulated and plugged through the USB host.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "emucam/emulated_camera.h"
#include "usbhost/usbhost.h"
#include "device/vlm_device.h"

namespace drvtest {

// Every record that an active key under "\Drivers\Active" points to.
std::vector<VlmDevice*> ActiveRecords();

// Number of subkeys under "\Drivers\Active".
size_t ActiveKeyCount();

// Deletes Port1..Port9 under "VELMAR\Ports".
void ClearPortNames();
void SetPortName(int number, const std::u16string& deviceName);
// The text of Port<number>, or empty when the value does not exist.
std::u16string PortName(int number);

// A REG_SZ value of a key under HKEY_LOCAL_MACHINE; empty when missing.
std::u16string RegistryText(const std::u16string& keyPath, const std::u16string& valueName);

// One emulated camera, plugged for the object's lifetime (or until Unplug).
class PluggedCamera {
 public:
  explicit PluggedCamera(const std::string& options);
  ~PluggedCamera();
  PluggedCamera(const PluggedCamera&) = delete;
  PluggedCamera& operator=(const PluggedCamera&) = delete;

  emucam::EmulatedCamera& Emu() { return *camera_; }
  // The record the driver made for this camera, null when it did not take it.
  VlmDevice* Device() const { return device_; }
  // "VLMn:" as the device manager named it; empty when not taken.
  const std::u16string& StreamName() const { return streamName_; }

  void Unplug();

  // The request log in the register notation, sensor accesses folded.
  std::string Log() const;
  std::vector<emucam::LoggedRequest> RawLog() const { return camera_->RequestLog(); }
  void ClearLog() { camera_->ClearRequestLog(); }

 private:
  std::shared_ptr<emucam::EmulatedCamera> camera_;
  usbhost::DeviceId id_ = 0;
  VlmDevice* device_ = nullptr;
  std::u16string streamName_;
};

// Opens "VLMn:" through the device manager, as a program does.
HANDLE OpenStream(const std::u16string& name);

}  // namespace drvtest
