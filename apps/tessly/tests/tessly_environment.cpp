// Every test of tessly runs on the booted system with the offscreen Qt platform.
#include "camera_test_environment.h"

namespace {
const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new CameraTestEnvironment("tessly_tests"));
}
