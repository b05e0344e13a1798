// How the driver is known to USBD, the registry and the device manager.
#pragma once

#include "usb/usb_descriptors.h"
#include "usbhost/usbdi.h"

inline constexpr const WCHAR* kUniqueDriverId = u"VELMAR";
inline constexpr const WCHAR* kDriverKeyPath = u"Drivers\\USB\\ClientDrivers\\VELMAR";
inline constexpr const WCHAR* kDriverLibraryName = u"VELMAR.DLL";
inline constexpr const WCHAR* kStreamPrefix = u"VLM";
inline constexpr const WCHAR* kUsbdLibraryName = u"usbd.dll";

// Every device of the camera controller's vendor; nothing else is examined.
inline constexpr USB_DRIVER_SETTINGS kDriverSettings{sizeof(USB_DRIVER_SETTINGS),
                                                     kCameraVendorId,
                                                     USB_NO_INFO,
                                                     USB_NO_INFO,
                                                     USB_NO_INFO,
                                                     USB_NO_INFO,
                                                     USB_NO_INFO,
                                                     USB_NO_INFO,
                                                     USB_NO_INFO,
                                                     USB_NO_INFO};
static_assert(sizeof(USB_DRIVER_SETTINGS) == 40);
