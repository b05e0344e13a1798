#include "camera_test_environment.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "testing/booted_system.h"

CameraTestEnvironment::CameraTestEnvironment(std::string programName) : programName_(std::move(programName)) {
  argv_[0] = programName_.data();
}

CameraTestEnvironment::CameraTestEnvironment(std::string programName, QSize screenSize)
    : CameraTestEnvironment(std::move(programName)) {
  screenSize_ = screenSize;
}

void CameraTestEnvironment::SelectOffscreenPlatform() {
  if (!screenSize_.isValid()) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    return;
  }
  // The offscreen platform reads its screens from a configuration file.
  screenConfig_ =
      (std::filesystem::temp_directory_path() / (programName_ + "-screen-" + std::to_string(getpid()) + ".json"))
          .string();
  std::ofstream(screenConfig_) << R"({"screens": [{"name": "test", "x": 0, "y": 0, "width": )" << screenSize_.width()
                               << R"(, "height": )" << screenSize_.height()
                               << R"(, "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})";
  setenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + screenConfig_).c_str(), 1);
}

void CameraTestEnvironment::SetUp() {
  SelectOffscreenPlatform();
  // The tests plug their own cameras, to keep hold of them.
  vtest::BootForTests();
  application_ = std::make_unique<QApplication>(argc_, argv_);
}

void CameraTestEnvironment::TearDown() {
  application_.reset();
  vtest::ShutDownAfterTests();
  if (!screenConfig_.empty()) std::filesystem::remove(screenConfig_);
}
