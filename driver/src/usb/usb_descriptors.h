// What the driver looks for in the camera's descriptors.
#pragma once

#include "usbhost/usbdi.h"

inline constexpr WORD kCameraVendorId = 0x0AC8;
inline constexpr WORD kMaxStreamingPacketSize = 1023;
inline constexpr BYTE kStreamingInterface = 0;
inline constexpr BYTE kHighestAlternateSetting = 7;

// An isochronous IN endpoint whose packets fit below 1024 bytes.
constexpr bool IsStreamingEndpoint(const USB_ENDPOINT_DESCRIPTOR& endpoint) {
  return (endpoint.bEndpointAddress & USB_ENDPOINT_DIRECTION_MASK) != 0 &&
         (endpoint.bmAttributes & USB_ENDPOINT_TYPE_MASK) == USB_ENDPOINT_TYPE_ISOCHRONOUS &&
         endpoint.wMaxPacketSize <= kMaxStreamingPacketSize;
}

// The first streaming endpoint of an interface in descriptor order, or null.
inline LPCUSB_ENDPOINT FindStreamingEndpoint(LPCUSB_INTERFACE interface) {
  if (interface == nullptr || interface->lpEndpoints == nullptr) return nullptr;
  for (BYTE i = 0; i < interface->Descriptor.bNumEndpoints; ++i) {
    if (IsStreamingEndpoint(interface->lpEndpoints[i].Descriptor)) return &interface->lpEndpoints[i];
  }
  return nullptr;
}
