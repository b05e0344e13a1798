// The USB_FUNCS table handed to every client driver's USBDeviceAttach.
#pragma once

#include "usbhost/usbdi.h"

namespace usbhost {

const USB_FUNCS& HostFunctions();

}  // namespace usbhost
