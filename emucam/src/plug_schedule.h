// Emulated cameras that unplug themselves and come back on a schedule (the options
// unplug= and replug=), as a camera on a loose cable would, so that whole programs can be
// tested against a camera that goes away.
#pragma once

#include <memory>

#include "emucam/camera_options.h"
#include "emucam/emulated_camera.h"

namespace emucam {

// Unplugs `camera` from the USB host once options.unplugAfter has passed, then plugs a
// fresh camera of the same options (without the schedule) once options.replugAfter has.
void ScheduleHotPlug(const std::shared_ptr<EmulatedCamera>& camera, const CameraOptions& options);

}  // namespace emucam
