// The camera camsnap takes its pictures from, through the camera client library: JPEG
// images at the chosen size, with the light mode and exposure asked for.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

struct SnapshotOptions;

class SnapshotCamera {
 public:
  // How long a picture may take to arrive before it counts as a failure.
  static constexpr std::chrono::milliseconds kFrameTimeout{5000};

  explicit SnapshotCamera(const std::atomic<bool>& interrupted) : interrupted_(interrupted) {}
  // Stops streaming and closes the camera.
  ~SnapshotCamera();
  SnapshotCamera(const SnapshotCamera&) = delete;
  SnapshotCamera& operator=(const SnapshotCamera&) = delete;

  // Opens the camera of `options`, applies its settings and starts JPEG streaming.
  // False with `error` set ("no camera", a refused setting...).
  bool Start(const SnapshotOptions& options, std::string& error);

  // The next new JPEG image, waiting at most kFrameTimeout. Empty with `error` set on a
  // time-out, an interrupt or a camera that is gone.
  std::span<const uint8_t> NextFrame(std::string& error);

 private:
  const std::atomic<bool>& interrupted_;
  int camera_ = -1;
  bool streaming_ = false;
  std::vector<uint8_t> frame_;
};

// One line per camera found: its index, device name and driver version. Empty when
// there is none.
std::vector<std::string> ListCameras();
