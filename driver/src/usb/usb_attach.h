// Taking a camera that USBD offers, and letting it go when it is unplugged.
#pragma once

#include "device/vlm_device.h"
#include "usbhost/usbdi.h"

inline constexpr int kCameraSupported = 0;
inline constexpr int kCameraNotSupported = -1;
inline constexpr int kCameraNoDeviceInfo = -2;
inline constexpr DWORD kCloseWaitMs = 500;

// 0 when the device is of the controller's vendor and has an isochronous IN endpoint
// with packets below 1024 bytes in alternate setting 1 to 7 of one of its interfaces;
// -1 when not, -2 without device information.
int IsSupportedCamera(USB_HANDLE device, LPCUSB_FUNCS funcs);

// Notification routine registered at attach; acts on USB_CLOSE_DEVICE only: marks the
// device removed, gives an open handle up to 500 ms to close, deactivates the stream
// device and lets go of the attachment's hold on the record.
BOOL DeviceNotify(LPVOID context, DWORD code, LPDWORD* info1, LPDWORD* info2, LPDWORD* info3, LPDWORD* info4);

// Releases a record and everything it owns. Nothing happens for a null or invalid record
// or one still open.
void FreeDeviceContext(VlmDevice* device);

// The record whose address the device manager stored as "ClientInfo" in the active key;
// null when the key, the value or the record is missing.
VlmDevice* FindContextByActiveKey(LPCWSTR activeKeyPath);
