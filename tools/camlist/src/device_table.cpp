#include "camlist/device_table.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <optional>
#include <string_view>

namespace {

std::optional<uint16_t> ParseVendor(std::string_view text) {
  if (text.starts_with("0x") || text.starts_with("0X")) text.remove_prefix(2);
  unsigned value = 0;
  const auto [end, failure] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
  if (text.empty() || failure != std::errc() || end != text.data() + text.size() || value > 0xFFFF) return std::nullopt;
  return static_cast<uint16_t>(value);
}

}  // namespace

std::unique_ptr<cli::CommandLine> CamlistCommandLine(CamlistOptions& options) {
  auto line = std::make_unique<cli::CommandLine>(
      "camlist",
      "Lists the USB devices of the camera's vendor with their bus, address, ids and\n"
      "speed, and whether this user can open them (VELMAR_DEVICES=usb uses them).",
      "Exit status: 0 when a device can be opened, 1 when none is found or none can be\n"
      "opened, 2 for bad options.");
  line->Options()
      .add_option_function<std::string>(
          "--vendor", [&options](const std::string& text) { options.vendor = *ParseVendor(text); },
          "USB vendor id in hexadecimal (default 0x0AC8)")
      ->type_name("ID")
      ->check(CLI::Validator(
          [](const std::string& text) -> std::string {
            return ParseVendor(text) ? "" : "wants a 16-bit hexadecimal id such as 0x0AC8, not '" + text + "'";
          },
          ""));
  return line;
}

std::string FormatDeviceTable(const std::vector<usbreal::ListedDevice>& devices, uint16_t vendor) {
  char line[512];
  if (devices.empty()) {
    std::snprintf(line, sizeof line, "No USB device of vendor %04x is connected.\n", vendor);
    return line;
  }
  std::string table = "BUS ADDRESS ID         SPEED              OPEN\n";
  for (const usbreal::ListedDevice& device : devices) {
    const std::string open = device.openable ? device.kernelDriver ? "yes (a kernel driver holds it; it is detached "
                                                                     "while a program uses the camera)"
                                                                   : "yes"
                                             : "no: " + device.problem;
    std::snprintf(line, sizeof line, "%03u %03u     %04x:%04x  %-18s %s\n", device.bus, device.address, device.vendor,
                  device.product, device.speed.c_str(), open.c_str());
    table += line;
  }
  return table;
}

int ListStatus(const std::vector<usbreal::ListedDevice>& devices) {
  return std::ranges::any_of(devices, [](const usbreal::ListedDevice& device) { return device.openable; }) ? 0 : 1;
}
