// The state in which a device acts on its callers' requests.
#pragma once

#include "device/vlm_device.h"

// A live record with its signature, open, and not unplugged.
inline bool IsOpenAndPresent(const VlmDevice* device) {
  return IsValidDevice(device) && device->open && !device->removed;
}
