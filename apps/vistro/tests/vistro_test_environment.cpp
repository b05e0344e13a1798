#include "vistro_test_environment.h"

#include <optional>

#include "camera_test_environment.h"

namespace {

std::optional<vtest::PluggedCamera> camera;

// Plugged after the system has booted, unplugged before it shuts down.
class TestCameraEnvironment : public ::testing::Environment {
 public:
  void SetUp() override { PlugTestCamera(); }
  void TearDown() override { UnplugTestCamera(); }
};

// A landscape screen of 800 x 480, as on the devices the viewer was made for: 320 x 240
// frames show at native size, 640 x 480 frames are scaled to fit below the command bar.
const auto* const kSystem =
    ::testing::AddGlobalTestEnvironment(new CameraTestEnvironment("vistro_tests", QSize(800, 480)));
const auto* const kCamera = ::testing::AddGlobalTestEnvironment(new TestCameraEnvironment);

}  // namespace

emucam::EmulatedCamera& TestCamera() { return camera->Emu(); }

void UnplugTestCamera() { camera.reset(); }

TestCameraWith::TestCameraWith(const std::string& options) {
  camera.reset();
  camera.emplace(options);
}

TestCameraWith::~TestCameraWith() {
  camera.reset();
  camera.emplace();
}

void PlugTestCamera() {
  if (!camera) camera.emplace();
}
