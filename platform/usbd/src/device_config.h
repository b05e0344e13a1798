// The device configuration text: ';'-separated entries of the form "scheme" or
// "scheme:options" ("emu;emu:sensor=12"). Blanks around entries are ignored, and so are
// empty entries (a trailing ';').
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace usbhost {

struct DeviceEntry {
  std::string text;  // the whole entry, for messages
  std::string scheme;
  std::string options;
};

// The entries in order, or empty with `error` set for an entry without a scheme.
std::optional<std::vector<DeviceEntry>> ParseDeviceConfig(std::string_view config, std::string& error);

}  // namespace usbhost
