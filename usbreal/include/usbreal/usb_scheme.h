// Makes "usb" entries of VELMAR_DEVICES known to the USB host: real cameras reached
// through libusb. "usb" plugs every connected device of the camera's vendor and follows
// hot-plug (a camera plugged later is offered to the driver, one pulled out is unplugged
// so the driver's removal runs); "usb:bus=B,address=A" and "usb:vid=0x....,pid=0x...."
// pick one device.
#pragma once

#include <functional>
#include <string>

namespace usbreal {

// Where the lines about devices that cannot be used go (one line each, naming the
// device and what to do). By default, standard error.
using Report = std::function<void(const std::string& line)>;

// Registers the "usb" scheme with usbhost::RegisterMultiBackendFactory. A device libusb
// cannot open is reported and left out; the boot goes on with the others.
void RegisterBackendFactory(Report report = {});

// Stops following hot-plug and drops the events still to come, waiting for one being
// handled. Called before the host shuts down.
void StopHotPlug();

}  // namespace usbreal
