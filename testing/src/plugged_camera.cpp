#include "testing/plugged_camera.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "emucam/request_log.h"

namespace vtest {

PluggedCamera::PluggedCamera(std::string options) : options_(std::move(options)) { Plug(); }

PluggedCamera::~PluggedCamera() { Unplug(); }

void PluggedCamera::Plug() {
  std::string error;
  camera_ = emucam::EmulatedCamera::Create(options_, error);
  if (!camera_) {
    ADD_FAILURE() << "emulated camera \"" << options_ << "\": " << error;
    return;
  }
  const std::vector<std::u16string> before = ActiveKeyPaths();
  id_ = usbhost::PlugDevice(camera_);
  if (id_ == 0) {
    ADD_FAILURE() << "emulated camera \"" << options_ << "\" was not plugged";
    return;
  }
  streamName_.clear();
  activeKey_.clear();
  for (const std::u16string& path : ActiveKeyPaths()) {
    if (std::find(before.begin(), before.end(), path) != before.end()) continue;
    activeKey_ = path;
    streamName_ = RegistryText(path, u"Name");
  }
}

void PluggedCamera::Unplug() {
  if (id_ != 0) usbhost::UnplugDevice(id_);
  id_ = 0;
}

void PluggedCamera::Replug() {
  Unplug();
  Plug();
}

std::string PluggedCamera::Log() const { return emucam::FormatRequests(camera_->RequestLog(), true); }

PluggedCameras::PluggedCameras(std::initializer_list<std::string_view> options) {
  for (const std::string_view text : options) {
    auto camera = std::make_unique<PluggedCamera>(std::string(text));
    if (camera->Plugged()) cameras_.push_back(std::move(camera));
  }
}

void PluggedCameras::UnplugAll() {
  for (const auto& camera : cameras_) camera->Unplug();
}

std::vector<std::u16string> ActiveKeyPaths() {
  constexpr const char16_t* kActiveKey = u"\\Drivers\\Active";
  std::vector<std::u16string> paths;
  HKEY active = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kActiveKey, 0, KEY_READ, &active) != ERROR_SUCCESS) return paths;
  for (DWORD i = 0;; ++i) {
    WCHAR name[64] = {};
    DWORD length = 64;
    if (RegEnumKeyExW(active, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    paths.push_back(std::u16string(kActiveKey) + u"\\" + name);
  }
  RegCloseKey(active);
  return paths;
}

std::u16string RegistryText(const std::u16string& keyPath, const std::u16string& valueName) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return {};
  WCHAR text[261] = {};
  DWORD size = sizeof(text) - sizeof(WCHAR);
  DWORD type = 0;
  const LONG status = RegQueryValueExW(key, valueName.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(text), &size);
  RegCloseKey(key);
  return status == ERROR_SUCCESS && type == REG_SZ ? std::u16string(text) : std::u16string();
}

HANDLE OpenStream(const std::u16string& name) {
  return CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
}

bool PollUntil(const std::function<bool()>& condition, std::chrono::milliseconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!condition()) {
    if (std::chrono::steady_clock::now() >= end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

}  // namespace vtest
