#include "camera_test_environment.h"

#include <cstdlib>

#include "boot.h"

CameraTestEnvironment::CameraTestEnvironment(std::string programName) : programName_(std::move(programName)) {
  argv_[0] = programName_.data();
}

void CameraTestEnvironment::SetUp() {
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  // The tests plug their own cameras, to keep hold of them.
  setenv("VELMAR_DEVICES", "", 1);
  std::string error;
  ASSERT_TRUE(BootSystem(error)) << error;
  application_ = std::make_unique<QApplication>(argc_, argv_);
}

void CameraTestEnvironment::TearDown() {
  application_.reset();
  ShutdownSystem();
}

PluggedCameras::PluggedCameras(std::initializer_list<std::string_view> options) {
  for (const std::string_view text : options) {
    std::string error;
    auto camera = emucam::EmulatedCamera::Create(text, error);
    if (!camera) {
      ADD_FAILURE() << "emulated camera \"" << text << "\": " << error;
      continue;
    }
    const usbhost::DeviceId id = usbhost::PlugDevice(camera);
    if (id == 0) {
      ADD_FAILURE() << "emulated camera \"" << text << "\" was not plugged";
      continue;
    }
    cameras_.push_back(std::move(camera));
    ids_.push_back(id);
  }
}

PluggedCameras::~PluggedCameras() { UnplugAll(); }

void PluggedCameras::UnplugAll() {
  for (const usbhost::DeviceId id : ids_) usbhost::UnplugDevice(id);
  ids_.clear();
}
