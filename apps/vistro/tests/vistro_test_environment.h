// The whole stack in the test process, as the viewer runs on it: the offscreen Qt
// platform, the booted system with the velmar driver, and one emulated camera (VLM1:)
// that the tests can reach to read its request log or unplug it.
#pragma once

#include <memory>

#include "emucam/emulated_camera.h"

// The camera plugged now; null while unplugged.
std::shared_ptr<emucam::EmulatedCamera> TestCamera();
// Unplugs the camera (the driver's removal runs before this returns).
void UnplugTestCamera();
// Plugs a fresh camera unless one is plugged.
void PlugTestCamera();
