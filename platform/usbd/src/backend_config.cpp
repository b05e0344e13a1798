// Devices named by a configuration string, made by the factory registered for each scheme.
#include <map>
#include <mutex>

#include "device_config.h"
#include "usbhost/usbhost.h"

namespace usbhost {
namespace {

class FactoryRegistry {
 public:
  void Set(std::string scheme, BackendFactory factory) {
    std::lock_guard lock(mutex_);
    factories_[std::move(scheme)] = std::move(factory);
  }
  BackendFactory Get(const std::string& scheme) const {
    std::lock_guard lock(mutex_);
    auto it = factories_.find(scheme);
    return it == factories_.end() ? nullptr : it->second;
  }

 private:
  mutable std::mutex mutex_;
  std::map<std::string, BackendFactory> factories_;
};

FactoryRegistry& Factories() {
  static auto* factories = new FactoryRegistry;
  return *factories;
}

// Plugs the device of one entry; 0 with `error` set when it cannot be made.
DeviceId PlugEntry(const DeviceEntry& entry, std::string& error) {
  const BackendFactory factory = Factories().Get(entry.scheme);
  if (!factory) {
    error = "unknown device scheme '" + entry.scheme + "' in '" + entry.text + "'";
    return 0;
  }
  std::string reason;
  std::shared_ptr<DeviceBackend> backend = factory(entry.options, reason);
  if (!backend) {
    error = "device '" + entry.text + "': " + (reason.empty() ? "cannot be made" : reason);
    return 0;
  }
  const DeviceId id = PlugDevice(std::move(backend));
  if (id == 0) error = "device '" + entry.text + "' cannot be plugged in";
  return id;
}

}  // namespace

void RegisterBackendFactory(std::string scheme, BackendFactory factory) {
  Factories().Set(std::move(scheme), std::move(factory));
}

bool PlugDevicesFromConfig(std::string_view config, std::string& error) {
  const auto entries = ParseDeviceConfig(config, error);
  if (!entries) return false;
  std::vector<DeviceId> plugged;
  for (const DeviceEntry& entry : *entries) {
    const DeviceId id = PlugEntry(entry, error);
    if (id == 0) {
      for (auto it = plugged.rbegin(); it != plugged.rend(); ++it) UnplugDevice(*it);
      return false;
    }
    plugged.push_back(id);
  }
  return true;
}

}  // namespace usbhost
