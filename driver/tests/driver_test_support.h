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
using vtest::PollUntil;
using vtest::RegistryText;

// How often the device manager has called VLM_Init since the test program began, and how
// many of those calls returned no record.
struct InitCount {
  int calls = 0;
  int refused = 0;
};
InitCount InitCalls();

// The USB function table of a record, swapped for one that forwards every call to the
// host's table but lets the test watch a few: the flags of each vendor transfer, and the
// capture thread's pipe close held until the test lets it go. One tap at a time; the
// record's own table comes back when the tap goes, if the record still exists.
class UsbTap {
 public:
  explicit UsbTap(VlmDevice* device);
  ~UsbTap();
  UsbTap(const UsbTap&) = delete;
  UsbTap& operator=(const UsbTap&) = delete;

  // Flags of the vendor transfers issued through the tap, in order.
  std::vector<DWORD> VendorFlags() const;
  // The next ClosePipe waits until ReleasePipeClose; PipeCloseWaiting tells once it does.
  void HoldPipeClose();
  bool PipeCloseWaiting() const;
  void ReleasePipeClose();

 private:
  VlmDevice* device_;
  LPCUSB_FUNCS original_;
};

// One emulated camera, plugged for the object's lifetime (or until Unplug), with the
// record the in-process driver made for it.
class PluggedCamera : public vtest::PluggedCamera {
 public:
  explicit PluggedCamera(const std::string& options);
  // The record the driver made for this camera (the latest one after Replug), null when
  // it did not take it.
  VlmDevice* Device() const { return device_; }
  void Replug();
  std::vector<emucam::LoggedRequest> RawLog() const { return Emu().RequestLog(); }

 private:
  VlmDevice* device_ = nullptr;
};

}  // namespace drvtest
