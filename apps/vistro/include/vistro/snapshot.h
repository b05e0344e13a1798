// The viewer's snapshot: the camera's newest JPEG image saved under the date and time.
#pragma once

#include <string>

struct ViewerState;

// Asks the driver for the newest frame as a JPEG image (which leaves the frame to the
// frame worker) and saves it in the snapshot folder. Every failure is silent. Returns
// the file written, empty when none was.
std::string TakeSnapshot(const ViewerState& state);
