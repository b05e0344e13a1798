// Cameras reached through real libusb without hardware: each test camera is an emulated
// camera behind a device of the mock USB bus (umockdev), plugged into the booted system
// through the "usb" scheme, so the driver runs on the libusb backend.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "emucam/emulated_camera.h"
#include "usbhost/usbhost.h"
#include "usbtestbed/mock_usb_bus.h"

namespace usbtest {

// The bus of the test program (made before libusb starts).
usbtestbed::MockUsbBus& Bus();

// The lines the "usb" scheme reported since the last call.
std::vector<std::string> TakeReports();

// The stream device names ("VLM1:") of the active keys now.
std::vector<std::u16string> StreamNames();

// An emulated camera on the mock bus; Plug() brings it in through "usb:bus=..,address=..".
class UsbCamera {
 public:
  explicit UsbCamera(const std::string& cameraOptions, usbtestbed::MockDeviceOptions options = {});
  ~UsbCamera();

  // Plugs the device by its place; true when the driver made a stream device for it.
  bool Plug();
  // Pulls the device out of the bus and waits until the host has unplugged it.
  void Pull();

  emucam::EmulatedCamera& Emu() const { return *camera_; }
  usbtestbed::MockDevice& Mock() const { return *device_; }
  const std::u16string& StreamName() const { return streamName_; }
  usbhost::DeviceId Id() const { return id_; }
  std::string Entry() const;  // "usb:bus=1,address=N"

 private:
  std::shared_ptr<emucam::EmulatedCamera> camera_;
  std::shared_ptr<usbtestbed::MockDevice> device_;
  std::u16string streamName_;
  usbhost::DeviceId id_ = 0;
};

// Mock devices of one kind.
usbtestbed::MockDeviceOptions KernelDriver(std::string name);
usbtestbed::MockDeviceOptions HeldByProgram();
usbtestbed::MockDeviceOptions WithoutNode();
usbtestbed::MockDeviceOptions Descriptors(std::vector<uint8_t> bytes);

// How many devices the USB host has plugged in now.
size_t PluggedCount();

}  // namespace usbtest
