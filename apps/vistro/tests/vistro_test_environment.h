// The viewer's tests run on the shared camera test environment (offscreen platform on an
// 800 x 480 landscape screen, booted system) with one emulated camera, VLM1:, that stays
// plugged between tests; a test may unplug it and plug a fresh one.
#pragma once

#include <string>

#include "emucam/emulated_camera.h"

// The camera plugged now.
emucam::EmulatedCamera& TestCamera();
// Unplugs the camera (the driver's removal runs before this returns).
void UnplugTestCamera();
// Plugs a fresh camera unless one is plugged.
void PlugTestCamera();
// Replaces the camera with one of these emulated-camera options ("fps=10"); for the
// scope of a test: the destructor puts a default camera back.
class TestCameraWith {
 public:
  explicit TestCameraWith(const std::string& options);
  ~TestCameraWith();
};
