// Client driver libraries installed into this process (USBInstallDriver has run).
#pragma once

namespace usbhost {

// Calls USBUnInstallDriver of every installed driver, newest first, and frees its library.
void UninstallClientDrivers();

}  // namespace usbhost
