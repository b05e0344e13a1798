// One USB device by its place on the bus as a backend of the USB host, without the
// "usb" scheme (no hot-plug): for programs and benchmarks that plug it themselves.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "usbhost/usbhost.h"

namespace usbreal {

// Null with `error` naming the device and what to do when there is none at that place or
// libusb cannot open it.
std::shared_ptr<usbhost::DeviceBackend> OpenDevice(uint8_t bus, uint8_t address, std::string& error);

}  // namespace usbreal
