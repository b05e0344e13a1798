// Emulated cameras plugged into the booted system's USB host for a test: the driver's
// attach and stream initialisation have run when a camera is constructed, and its
// removal has run when it is unplugged or destroyed.
#pragma once

#include <chrono>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "emucam/emulated_camera.h"
#include "platform/windows.h"
#include "usbhost/usbhost.h"

namespace vtest {

class PluggedCamera {
 public:
  // `options` as in VELMAR_DEVICES after "emu:" ("sensor=12,fps=0"). A camera that cannot
  // be made or plugged fails the test.
  explicit PluggedCamera(std::string options = "");
  ~PluggedCamera();
  PluggedCamera(const PluggedCamera&) = delete;
  PluggedCamera& operator=(const PluggedCamera&) = delete;

  bool Plugged() const { return id_ != 0; }
  // The model behind the USB host: faults, request log, frame counters.
  emucam::EmulatedCamera& Emu() const { return *camera_; }
  // "VLMn:" as the device manager named the camera's stream device, and its active key
  // ("\Drivers\Active\NN"); empty when no driver took the camera.
  const std::u16string& StreamName() const { return streamName_; }
  const std::u16string& ActiveKey() const { return activeKey_; }

  // The request log in the register notation, sensor accesses folded.
  std::string Log() const;
  void ClearLog() { camera_->ClearRequestLog(); }

  void Unplug();
  // Unplugs (if plugged) and plugs a fresh camera of the same options.
  void Replug();

 private:
  void Plug();

  std::string options_;
  std::shared_ptr<emucam::EmulatedCamera> camera_;
  usbhost::DeviceId id_ = 0;
  std::u16string streamName_;
  std::u16string activeKey_;
};

// Cameras plugged in the order given, so that without earlier cameras the first is VLM1:
// (camera index 0).
class PluggedCameras {
 public:
  explicit PluggedCameras(std::initializer_list<std::string_view> options);
  size_t size() const { return cameras_.size(); }
  emucam::EmulatedCamera& operator[](size_t index) const { return cameras_.at(index)->Emu(); }
  PluggedCamera& Camera(size_t index) const { return *cameras_.at(index); }
  // Unplugs every camera now.
  void UnplugAll();

 private:
  std::vector<std::unique_ptr<PluggedCamera>> cameras_;
};

// The active keys under "\Drivers\Active", in order.
std::vector<std::u16string> ActiveKeyPaths();

// A REG_SZ value of a key under HKEY_LOCAL_MACHINE; empty when missing.
std::u16string RegistryText(const std::u16string& keyPath, const std::u16string& valueName);

// Opens a stream device ("VLM1:") through the device manager, as a program does.
HANDLE OpenStream(const std::u16string& name);

// Polls `condition` until it holds or `limit` has passed.
bool PollUntil(const std::function<bool()>& condition, std::chrono::milliseconds limit = std::chrono::seconds(5));

}  // namespace vtest
