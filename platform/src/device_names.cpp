#include "device_names.h"

#include <map>
#include <mutex>

#include "platform/cestring.h"
#include "stream_device.h"

namespace platform_internal {

namespace {

constexpr int kHighestDeviceNumber = 9;

struct DeviceNames {
  std::mutex mutex;
  std::map<std::u16string, std::shared_ptr<StreamDevice>> byName;  // upper case; null while reserved
};

DeviceNames& Names() {
  static auto* names = new DeviceNames;
  return *names;
}

std::u16string UpperCase(std::u16string_view text) {
  std::u16string upper(text);
  for (char16_t& c : upper) {
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
  }
  return upper;
}

}  // namespace

std::u16string DeviceName(const std::u16string& prefix, int number) {
  return prefix + static_cast<char16_t>(u'0' + number) + u':';
}

int ReserveDeviceNumber(const std::u16string& prefix) {
  auto& names = Names();
  std::lock_guard lock(names.mutex);
  for (int number = 1; number <= kHighestDeviceNumber; ++number) {
    if (names.byName.try_emplace(UpperCase(DeviceName(prefix, number))).second) return number;
  }
  return 0;
}

void PublishDevice(const std::u16string& name, std::shared_ptr<StreamDevice> device) {
  auto& names = Names();
  std::lock_guard lock(names.mutex);
  names.byName[UpperCase(name)] = std::move(device);
}

void ReleaseDeviceName(const std::u16string& name) {
  auto& names = Names();
  std::lock_guard lock(names.mutex);
  names.byName.erase(UpperCase(name));
}

std::shared_ptr<StreamDevice> FindDevice(const std::u16string& name) {
  auto& names = Names();
  std::lock_guard lock(names.mutex);
  auto found = names.byName.find(UpperCase(name));
  return found == names.byName.end() ? nullptr : found->second;
}

}  // namespace platform_internal
