#include "system/boot.h"

#include <cstdlib>
#include <exception>
#include <optional>
#include <string_view>

#include "emucam/backend_factory.h"
#include "emucam/camera_options.h"
#include "platform/cestring.h"
#include "usbhost/usbhost.h"
#include "usbreal/usb_scheme.h"

namespace {

constexpr const char* kDefaultDrivers = "VELMAR.DLL";
constexpr const char* kDefaultDevices = "emu";

// A variable that is set, even to nothing, wins over the default: VELMAR_DEVICES=""
// boots without devices.
std::string Setting(const char* name, const char* fallback) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : fallback;
}

bool InstallDrivers(std::string_view drivers, std::string& error) {
  while (!drivers.empty()) {
    const size_t end = drivers.find(';');
    std::string_view name = drivers.substr(0, end);
    drivers = end == std::string_view::npos ? std::string_view() : drivers.substr(end + 1);
    while (!name.empty() && name.front() == ' ') name.remove_prefix(1);
    while (!name.empty() && name.back() == ' ') name.remove_suffix(1);
    if (name.empty()) continue;
    std::string reason;
    if (!usbhost::InstallClientDriver(Utf8ToUtf16(name), reason)) {
      error = "VELMAR_DRIVERS: " + reason;
      return false;
    }
  }
  return true;
}

bool PlugDevices(const std::string& devices, std::string& error) {
  std::string reason;
  // A device that fails in a way nobody foresaw (out of memory) still gives the one-line
  // error rather than ending the program.
  try {
    const std::optional<std::string> expanded = emucam::ExpandCameraCounts(devices, reason);
    if (expanded && usbhost::PlugDevicesFromConfig(*expanded, reason)) return true;
  } catch (const std::exception& failure) {
    reason = failure.what();
  }
  error = "VELMAR_DEVICES: " + reason;
  return false;
}

}  // namespace

bool BootSystem(std::string& error) {
  emucam::RegisterBackendFactory();
  usbreal::RegisterBackendFactory();
  if (InstallDrivers(Setting("VELMAR_DRIVERS", kDefaultDrivers), error) &&
      PlugDevices(Setting("VELMAR_DEVICES", kDefaultDevices), error)) {
    return true;
  }
  // Nothing half-booted stays behind: drivers already installed are unloaded again.
  ShutdownSystem();
  return false;
}

void ShutdownSystem() {
  emucam::StopHotPlugSchedule();
  usbreal::StopHotPlug();
  usbhost::ShutdownHost();
}
