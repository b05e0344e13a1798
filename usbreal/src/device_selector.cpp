#include "device_selector.h"

#include <charconv>

namespace usbreal {
namespace {

std::optional<unsigned> Number(std::string_view text, unsigned limit) {
  int base = 10;
  if (text.starts_with("0x") || text.starts_with("0X")) {
    text.remove_prefix(2);
    base = 16;
  }
  unsigned value = 0;
  const auto [end, problem] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  if (text.empty() || problem != std::errc() || end != text.data() + text.size() || value > limit) return std::nullopt;
  return value;
}

}  // namespace

bool DeviceSelector::Matches(uint8_t deviceBus, uint8_t deviceAddress, uint16_t idVendor, uint16_t idProduct) const {
  if (EveryCamera()) return idVendor == kCameraVendor;
  return (!bus || *bus == deviceBus) && (!address || *address == deviceAddress) && (!vendor || *vendor == idVendor) &&
         (!product || *product == idProduct);
}

std::optional<DeviceSelector> ParseDeviceSelector(std::string_view options, std::string& error) {
  DeviceSelector selector;
  while (!options.empty()) {
    const size_t comma = options.find(',');
    const std::string_view item = options.substr(0, comma);
    options = comma == std::string_view::npos ? std::string_view() : options.substr(comma + 1);
    const size_t equals = item.find('=');
    const std::string_view key = item.substr(0, equals);
    const std::string_view text = equals == std::string_view::npos ? std::string_view() : item.substr(equals + 1);
    const bool place = key == "bus" || key == "address";
    const std::optional<unsigned> value = Number(text, place ? 255 : 0xFFFF);
    if (key != "bus" && key != "address" && key != "vid" && key != "pid") {
      error = "unknown key '" + std::string(key) + "' (bus, address, vid, pid)";
      return std::nullopt;
    }
    if (!value) {
      error = "bad value '" + std::string(text) + "' for " + std::string(key);
      return std::nullopt;
    }
    if (key == "bus") selector.bus = static_cast<uint8_t>(*value);
    if (key == "address") selector.address = static_cast<uint8_t>(*value);
    if (key == "vid") selector.vendor = static_cast<uint16_t>(*value);
    if (key == "pid") selector.product = static_cast<uint16_t>(*value);
  }
  if (selector.bus.has_value() != selector.address.has_value()) {
    error = "bus and address go together";
    return std::nullopt;
  }
  return selector;
}

}  // namespace usbreal
