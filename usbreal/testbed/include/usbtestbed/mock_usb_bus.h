// USB devices for libusb without hardware: a umockdev testbed holds each device's sysfs
// entry (its descriptors among the attributes) and device node, and an in-process ioctl
// handler answers libusb's usbdevfs requests (claim, set interface, control and
// isochronous URBs submitted, reaped and discarded) from a usbhost::DeviceBackend, such
// as the emulated camera. The process must run under umockdev-wrapper.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "usbhost/usbhost.h"

namespace usbtestbed {

struct MockDeviceOptions {
  uint8_t bus = 1;
  uint8_t address = 0;  // 0: the next free one
  // Raw descriptors for sysfs instead of the backend's own (device, configuration and
  // what follows it), for devices that describe themselves wrongly.
  std::vector<uint8_t> descriptors;
  std::string kernelDriver;    // bound to the interfaces until libusb detaches it
  bool heldByProgram = false;  // another program has claimed the interfaces: busy
  bool withoutNode = false;    // listed in sysfs, but the node is gone: vanished before the open
};

// What the handler saw of one device.
struct MockDeviceCounts {
  int opens = 0;
  int claims = 0;
  int releases = 0;
  int kernelDriverDetaches = 0;
  int kernelDriverReattaches = 0;
  int controlUrbs = 0;
  int isochronousUrbs = 0;
  int discards = 0;
  int clearedHalts = 0;
  int64_t emptyReaps = 0;   // reaps that found nothing finished (libusb polling in vain)
  int unknownRequests = 0;  // usbdevfs requests the handler does not know
};

class MockDevice;

class MockUsbBus {
 public:
  MockUsbBus();
  ~MockUsbBus();
  MockUsbBus(const MockUsbBus&) = delete;
  MockUsbBus& operator=(const MockUsbBus&) = delete;

  // True inside umockdev-wrapper, where libusb sees the testbed instead of the machine.
  static bool Active();

  // Adds a device behind `backend` (its "add" uevent is sent) and returns it.
  std::shared_ptr<MockDevice> Add(std::shared_ptr<usbhost::DeviceBackend> backend, MockDeviceOptions options = {});
  // Pulls the device out: the backend is disconnected, URBs in flight end with ENODEV,
  // the "remove" uevent is sent and libusb no longer lists the device.
  void Remove(const std::shared_ptr<MockDevice>& device);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

class MockDevice {
 public:
  virtual ~MockDevice() = default;
  virtual uint8_t bus() const = 0;
  virtual uint8_t address() const = 0;
  virtual MockDeviceCounts Counts() const = 0;
  // Fails every later isochronous URB with `status` (-EPROTO, -ENOENT...); 0 ends that.
  virtual void FailIsochronousUrbs(int status) = 0;
};

// The descriptors a device reports, as the bytes of its sysfs "descriptors" attribute.
std::vector<uint8_t> DescriptorBytes(const usbhost::DeviceModel& model);

}  // namespace usbtestbed
