// Makes "emu" device entries of the configuration string ("emu:sensor=12,fps=15")
// known to the USB host: each one plugs one emulated camera.
#pragma once

namespace emucam {

// Registers the "emu" scheme with usbhost::RegisterBackendFactory. Idempotent. Cameras
// with unplug= (and replug=) in their options go and come back on their schedule.
void RegisterBackendFactory();

// Drops the unplug and re-plug events still to come, waiting for one that is running.
// Called before the host shuts down.
void StopHotPlugSchedule();

}  // namespace emucam
