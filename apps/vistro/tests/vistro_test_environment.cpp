#include "vistro_test_environment.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "boot.h"
#include "usbhost.h"

namespace {

std::shared_ptr<emucam::EmulatedCamera> camera;
usbhost::DeviceId cameraId = 0;

// A landscape screen of 800 x 480, as on the devices the viewer was made for: 320 x 240
// frames show at native size, 640 x 480 frames are scaled to fit below the command bar.
void SelectOffscreenScreen() {
  const std::string config = std::filesystem::temp_directory_path() / ("vistro-test-screen-" + std::to_string(getpid()) + ".json");
  std::ofstream(config) << R"({"screens": [{"name": "vistro", "x": 0, "y": 0, "width": 800, "height": 480,)"
                           R"( "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})";
  setenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + config).c_str(), 1);
}

class ViewerEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    SelectOffscreenScreen();
    // The tests plug their own camera, to keep hold of it.
    setenv("VELMAR_DEVICES", "", 1);
    std::string error;
    ASSERT_TRUE(BootSystem(error)) << error;
    application_ = std::make_unique<QApplication>(argc_, argv_);
    PlugTestCamera();
  }
  void TearDown() override {
    UnplugTestCamera();
    application_.reset();
    ShutdownSystem();
  }

 private:
  int argc_ = 1;
  char name_[12] = "vistro_test";
  char* argv_[2] = {name_, nullptr};
  std::unique_ptr<QApplication> application_;
};

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new ViewerEnvironment);

}  // namespace

std::shared_ptr<emucam::EmulatedCamera> TestCamera() { return camera; }

void UnplugTestCamera() {
  if (cameraId != 0) usbhost::UnplugDevice(cameraId);
  cameraId = 0;
  camera.reset();
}

void PlugTestCamera() {
  if (camera) return;
  std::string error;
  camera = emucam::EmulatedCamera::Create(std::string_view(""), error);
  ASSERT_TRUE(camera) << error;
  cameraId = usbhost::PlugDevice(camera);
  ASSERT_NE(cameraId, 0u);
}
