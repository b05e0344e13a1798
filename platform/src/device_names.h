// The stream device names in use ("PPPn:", n from 1 to 9 per prefix). A name is
// reserved while its device initialises and published once PPP_Init succeeded;
// only published devices can be opened.
#pragma once

#include <memory>
#include <string>

namespace platform_internal {

class StreamDevice;

// The lowest free number for `prefix`, reserved; 0 when 1 to 9 are all taken.
int ReserveDeviceNumber(const std::u16string& prefix);
void PublishDevice(const std::u16string& name, std::shared_ptr<StreamDevice> device);
void ReleaseDeviceName(const std::u16string& name);
// The published device of that name (any letter case), or null.
std::shared_ptr<StreamDevice> FindDevice(const std::u16string& name);

std::u16string DeviceName(const std::u16string& prefix, int number);

}  // namespace platform_internal
