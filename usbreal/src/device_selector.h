// Which devices a "usb" entry of VELMAR_DEVICES names: "usb" every device of the
// camera's vendor (and those plugged later), "usb:bus=B,address=A" one device by its
// place, "usb:vid=0x....,pid=0x...." the first device with those ids.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace usbreal {

inline constexpr uint16_t kCameraVendor = 0x0AC8;

struct DeviceSelector {
  std::optional<uint8_t> bus, address;
  std::optional<uint16_t> vendor, product;

  // The plain "usb": every camera, now and later.
  bool EveryCamera() const { return !bus && !address && !vendor && !product; }
  bool Matches(uint8_t deviceBus, uint8_t deviceAddress, uint16_t idVendor, uint16_t idProduct) const;
};

// Nullopt with `error` naming the key or value that is wrong.
std::optional<DeviceSelector> ParseDeviceSelector(std::string_view options, std::string& error);

}  // namespace usbreal
