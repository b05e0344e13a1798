// System start-up and shut-down for every program: the first call in main and the
// last before it returns.
#pragma once

#include <string>

// Installs the client drivers named by VELMAR_DRIVERS (default "VELMAR.DLL") and plugs
// the devices named by VELMAR_DEVICES (default "emu": one emulated camera), returning
// once they are attached and their stream devices initialised. False with `error` set
// when a driver or a device cannot be brought up.
bool BootSystem(std::string& error);

// Unplugs every device and uninstalls the drivers, in that order.
void ShutdownSystem();
