// Which devices a client driver's USB_DRIVER_SETTINGS select. Every field equal to
// USB_NO_INFO matches any value; the interface fields, when any is given, select an
// interface (its default alternate setting) of the device.
#pragma once

#include <optional>

#include "usbhost/usbhost.h"

namespace usbhost {

struct SettingsMatch {
  bool matches = false;
  // The interface the driver is offered; empty for settings that name no interface.
  std::optional<UCHAR> interfaceNumber;
};

SettingsMatch MatchSettings(const USB_DRIVER_SETTINGS& settings, const DeviceModel& model);

// How many fields the settings pin down: the more, the earlier a driver is offered.
int SettingsSpecificity(const USB_DRIVER_SETTINGS& settings);

}  // namespace usbhost
