// Makes "emu" device entries of the configuration string ("emu:sensor=12,fps=15")
// known to the USB host: each one plugs one emulated camera.
#pragma once

namespace emucam {

// Registers the "emu" scheme with usbhost::RegisterBackendFactory. Idempotent.
void RegisterBackendFactory();

}  // namespace emucam
