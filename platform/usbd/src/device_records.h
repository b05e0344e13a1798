// The USB_DEVICE record tree that GetDeviceInfo hands out, built once from a backend's
// DeviceModel. The records never move after construction, so the pointers inside stay
// valid for as long as the object lives.
#pragma once

#include <vector>

#include "usbhost/usbhost.h"

namespace usbhost {

class DeviceRecords {
 public:
  explicit DeviceRecords(const DeviceModel& model);
  DeviceRecords(const DeviceRecords&) = delete;
  DeviceRecords& operator=(const DeviceRecords&) = delete;

  LPCUSB_DEVICE Device() const { return &device_; }

  // The interface with that number and alternate setting in the active configuration.
  LPCUSB_INTERFACE Find(UCHAR interfaceNumber, UCHAR alternateSetting) const;

  // The endpoint with that address in any alternate setting, or null.
  const USB_ENDPOINT_DESCRIPTOR* FindEndpoint(BYTE endpointAddress) const;

 private:
  USB_DEVICE device_{};
  USB_CONFIGURATION configuration_{};
  std::vector<std::vector<USB_ENDPOINT>> endpoints_;  // per entry of interfaces_
  std::vector<USB_INTERFACE> interfaces_;
};

}  // namespace usbhost
