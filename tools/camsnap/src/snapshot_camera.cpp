#include "camsnap/snapshot_camera.h"

#include <thread>

#include "camclient/camclient.h"
#include "camsnap/snapshot_options.h"
#include "platform/cestring.h"
#include "velmar/vlm_ioctl.h"

namespace {

constexpr size_t kFrameBytes = 131072;
constexpr std::chrono::milliseconds kPollPeriod{5};
constexpr size_t kVersionCharacters = 60;  // the driver's 120 bytes

std::string Camera(int index) { return "camera " + std::to_string(index); }

std::string DriverVersion(int index) {
  char16_t version[kVersionCharacters + 1] = {};
  if (GetDriverVersion(index, version, kVersionCharacters * 2) <= 0) return "(no version)";
  return Utf16ToUtf8(std::u16string_view(version));
}

}  // namespace

SnapshotCamera::~SnapshotCamera() {
  if (streaming_) StopCapture(camera_);
  if (camera_ >= 0) CloseCamera(camera_);
}

bool SnapshotCamera::Start(const SnapshotOptions& options, std::string& error) {
  const int cameras = CountCameras();
  if (cameras <= 0) {
    error = "no camera (VELMAR_DEVICES names the devices)";
    return false;
  }
  if (OpenCamera(options.camera) < 0) {
    error = Camera(options.camera) + " cannot be opened (" + std::to_string(cameras) + " camera" +
            (cameras == 1 ? "" : "s") + " found; --list shows them)";
    return false;
  }
  camera_ = options.camera;
  frame_.resize(kFrameBytes);
  if (SetVideoFormat(camera_, VLM_FORMAT_JPEG, options.sizeIndex) != 0) {
    error = Camera(camera_) + " refused JPEG images at " + (options.sizeIndex == 0 ? "640x480" : "320x240");
    return false;
  }
  if (options.lightMode && SetLightMode(camera_, *options.lightMode) != 0) {
    error = Camera(camera_) + " refused light mode " + std::to_string(*options.lightMode);
    return false;
  }
  if (StartCapture(camera_) != 0) {
    error = Camera(camera_) + " cannot start streaming" +
            (options.lightMode ? " with light mode " + std::to_string(*options.lightMode) : std::string());
    return false;
  }
  streaming_ = true;
  if (options.exposure) {
    const bool automatic = *options.exposure == 0;
    if (SetExposure(camera_, automatic ? 1 : 0, automatic ? 0 : *options.exposure) != 0) {
      error = Camera(camera_) + " refused exposure " + std::to_string(*options.exposure);
      return false;
    }
  }
  return true;
}

std::span<const uint8_t> SnapshotCamera::NextFrame(std::string& error) {
  const auto deadline = std::chrono::steady_clock::now() + kFrameTimeout;
  while (!interrupted_.load()) {
    const int length = ReadFrame(camera_, frame_.data(), static_cast<DWORD>(frame_.size()));
    if (length > 0) return std::span<const uint8_t>(frame_.data(), static_cast<size_t>(length));
    if (length < 0) {
      error = Camera(camera_) + " is gone (unplugged?)";
      return {};
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      error = "no frame from " + Camera(camera_) + " within " + std::to_string(kFrameTimeout.count() / 1000) + " s";
      return {};
    }
    std::this_thread::sleep_for(kPollPeriod);
  }
  error = "interrupted";
  return {};
}

std::vector<std::string> ListCameras() {
  std::vector<std::string> lines;
  for (int index = 0; index < kCameraSlots; ++index) {
    const bool wasOpen = IsCameraOpen(index);
    if (OpenCamera(index) < 0) continue;
    lines.push_back(std::to_string(index) + "  VLM" + std::to_string(index + 1) + ":  " + DriverVersion(index));
    if (!wasOpen) CloseCamera(index);
  }
  return lines;
}
