#include "device_config.h"

namespace usbhost {
namespace {

std::string_view Trim(std::string_view text) {
  constexpr std::string_view kBlanks = " \t\r\n";
  const size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

}  // namespace

std::optional<std::vector<DeviceEntry>> ParseDeviceConfig(std::string_view config, std::string& error) {
  std::vector<DeviceEntry> entries;
  while (!config.empty()) {
    const size_t end = config.find(';');
    const std::string_view entry = Trim(config.substr(0, end));
    config = end == std::string_view::npos ? std::string_view() : config.substr(end + 1);
    if (entry.empty()) continue;

    const size_t colon = entry.find(':');
    const std::string_view scheme = Trim(entry.substr(0, colon));
    if (scheme.empty()) {
      error = "device entry '" + std::string(entry) + "' has no scheme";
      return std::nullopt;
    }
    const std::string_view options = colon == std::string_view::npos ? std::string_view() : entry.substr(colon + 1);
    entries.push_back({std::string(entry), std::string(scheme), std::string(options)});
  }
  return entries;
}

}  // namespace usbhost
