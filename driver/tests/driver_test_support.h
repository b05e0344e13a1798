// Test harness for the driver: the in-process driver stands in for "VELMAR.DLL", so the
// USB host and the device manager call the very code the tests inspect. Cameras are
// emulated and plugged through the USB host (velmar::testing).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "device/vlm_device.h"
#include "testing/plugged_camera.h"

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

using vtest::OpenStream;
using vtest::RegistryText;

// One emulated camera, plugged for the object's lifetime (or until Unplug), with the
// record the in-process driver made for it.
class PluggedCamera : public vtest::PluggedCamera {
 public:
  explicit PluggedCamera(const std::string& options);
  // The record the driver made for this camera, null when it did not take it.
  VlmDevice* Device() const { return device_; }
  std::vector<emucam::LoggedRequest> RawLog() const { return Emu().RequestLog(); }

 private:
  VlmDevice* device_ = nullptr;
};

}  // namespace drvtest
