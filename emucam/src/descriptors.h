// The camera's descriptors: one configuration, interface 0 with alternate settings 0
// to 7, one isochronous IN endpoint in each setting above 0.
#pragma once

#include "emucam/camera_options.h"
#include "usbhost/usbhost.h"

namespace emucam {

inline constexpr uint8_t kStreamingEndpoint = 0x81;

usbhost::DeviceModel BuildDeviceModel(const CameraOptions& options);

}  // namespace emucam
