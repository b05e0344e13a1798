// The whole stack inside a test process, as a windowed program runs on it: the offscreen
// Qt platform, the system booted with the velmar driver and no device (velmar::testing),
// and emulated cameras that each test plugs and unplugs itself.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QSize>
#include <memory>
#include <string>

#include "testing/plugged_camera.h"

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

// Emulated cameras plugged for as long as the object lives (velmar::testing).
using vtest::PluggedCameras;
