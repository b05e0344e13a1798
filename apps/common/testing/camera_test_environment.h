// The whole stack inside a test process, as a windowed program runs on it: the offscreen
// Qt platform, the system booted with the velmar driver and no device, and emulated
// cameras that each test plugs and unplugs itself.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QSize>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "emucam/emulated_camera.h"
#include "usbhost/usbhost.h"

// Register once per test program:
//   ::testing::AddGlobalTestEnvironment(new CameraTestEnvironment("orbelo_tests"));
class CameraTestEnvironment : public ::testing::Environment {
 public:
  explicit CameraTestEnvironment(std::string programName);
  // The offscreen platform's one screen gets this size instead of Qt's 800 x 800.
  CameraTestEnvironment(std::string programName, QSize screenSize);
  void SetUp() override;
  void TearDown() override;

 private:
  void SelectOffscreenPlatform();

  std::string programName_;
  QSize screenSize_;
  std::string screenConfig_;  // the screen's configuration file, removed at the end
  int argc_ = 1;
  char* argv_[2] = {nullptr, nullptr};
  std::unique_ptr<QApplication> application_;
};

// Emulated cameras plugged for as long as the object lives, in the order given, so the
// first is VLM1: (camera index 0). Each entry is an options text such as "" or
// "source=file:/tmp/x.ppm,fps=1". A camera that cannot be made fails the test.
class PluggedCameras {
 public:
  explicit PluggedCameras(std::initializer_list<std::string_view> options);
  ~PluggedCameras();
  PluggedCameras(const PluggedCameras&) = delete;
  PluggedCameras& operator=(const PluggedCameras&) = delete;

  size_t size() const { return cameras_.size(); }
  emucam::EmulatedCamera& operator[](size_t index) const { return *cameras_.at(index); }
  // Unplugs every camera now (the driver's removal runs before this returns).
  void UnplugAll();

 private:
  std::vector<std::shared_ptr<emucam::EmulatedCamera>> cameras_;
  std::vector<usbhost::DeviceId> ids_;
};
