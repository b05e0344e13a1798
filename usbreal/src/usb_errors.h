// libusb's results in the terms the USB host and its users speak.
#pragma once

#include <libusb.h>

#include <string>

#include "platform/wintypes.h"

namespace usbreal {

// The USB error a completed control transfer reports to the host (USB_NO_ERROR,
// USB_STALL_ERROR, USB_DEVICE_NOT_RESPONDING_ERROR, USB_CANCELED_ERROR).
DWORD UsbErrorOf(libusb_transfer_status status);

// The same for a transfer libusb refused to start (a libusb_error code).
DWORD UsbErrorOfSubmit(int libusbError);

// What a user should do when a device cannot be opened or claimed (a libusb_error code).
std::string OpenAdvice(int libusbError);

}  // namespace usbreal
