// Devices named by a configuration string, made by the factory registered for each scheme.
#include <map>
#include <mutex>

#include "device_config.h"
#include "usbhost/usbhost.h"

namespace usbhost {
namespace {

class FactoryRegistry {
 public:
  void Set(std::string scheme, MultiBackendFactory factory) {
    std::lock_guard lock(mutex_);
    factories_[std::move(scheme)] = std::move(factory);
  }
  MultiBackendFactory Get(const std::string& scheme) const {
    std::lock_guard lock(mutex_);
    auto it = factories_.find(scheme);
    return it == factories_.end() ? nullptr : it->second;
  }

 private:
  mutable std::mutex mutex_;
  std::map<std::string, MultiBackendFactory> factories_;
};

FactoryRegistry& Factories() {
  static auto* factories = new FactoryRegistry;
  return *factories;
}

// Plugs the devices of one entry, appending their ids to `plugged`; false with `error`
// set when the entry is wrong or one of its devices cannot be made or plugged.
bool PlugEntry(const DeviceEntry& entry, std::vector<DeviceId>& plugged, std::string& error) {
  const MultiBackendFactory factory = Factories().Get(entry.scheme);
  if (!factory) {
    error = "unknown device scheme '" + entry.scheme + "' in '" + entry.text + "'";
    return false;
  }
  std::string reason;
  std::optional<Backends> backends = factory(entry.options, reason);
  if (!backends) {
    error = "device '" + entry.text + "': " + (reason.empty() ? "cannot be made" : reason);
    return false;
  }
  for (std::shared_ptr<DeviceBackend>& backend : *backends) {
    const DeviceId id = PlugDevice(std::move(backend));
    if (id == 0) {
      error = "device '" + entry.text + "' cannot be plugged in";
      return false;
    }
    plugged.push_back(id);
  }
  return true;
}

}  // namespace

void RegisterBackendFactory(std::string scheme, BackendFactory factory) {
  RegisterMultiBackendFactory(
      std::move(scheme),
      [factory = std::move(factory)](std::string_view options, std::string& error) -> std::optional<Backends> {
        std::shared_ptr<DeviceBackend> backend = factory(options, error);
        if (!backend) return std::nullopt;
        return Backends{std::move(backend)};
      });
}

void RegisterMultiBackendFactory(std::string scheme, MultiBackendFactory factory) {
  Factories().Set(std::move(scheme), std::move(factory));
}

bool PlugDevicesFromConfig(std::string_view config, std::string& error) {
  const auto entries = ParseDeviceConfig(config, error);
  if (!entries) return false;
  std::vector<DeviceId> plugged;
  for (const DeviceEntry& entry : *entries) {
    if (!PlugEntry(entry, plugged, error)) {
      for (auto it = plugged.rbegin(); it != plugged.rend(); ++it) UnplugDevice(*it);
      return false;
    }
  }
  return true;
}

}  // namespace usbhost
