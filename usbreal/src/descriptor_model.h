// A device's descriptors as libusb reports them, in the host's model: the device
// descriptor and every alternate setting of the active configuration with its endpoints.
#pragma once

#include <libusb.h>

#include <optional>
#include <string>

#include "usbhost/usbhost.h"

namespace usbreal {

// Nullopt with `error` set when libusb cannot read the descriptors.
std::optional<usbhost::DeviceModel> ReadDeviceModel(libusb_device* device, std::string& error);

}  // namespace usbreal
