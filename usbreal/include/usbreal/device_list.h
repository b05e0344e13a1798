// The USB devices of a vendor as libusb sees them, for a user checking that a camera
// can be reached before a program takes it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace usbreal {

struct ListedDevice {
  uint8_t bus = 0;
  uint8_t address = 0;
  uint16_t vendor = 0;
  uint16_t product = 0;
  std::string speed;          // "full (12 Mbit/s)"
  bool openable = false;      // this process may open it
  std::string problem;        // why not, and what to do
  bool kernelDriver = false;  // a kernel driver holds interface 0 (detached when a program takes the camera)
};

// Every device of `vendor` in bus and address order; nullopt with `error` set when
// libusb cannot start or list. Opening is only tried, nothing is claimed.
std::optional<std::vector<ListedDevice>> ListDevices(uint16_t vendor, std::string& error);

std::string SpeedName(int libusbSpeed);

}  // namespace usbreal
