// The device manager's side of CreateFileW.
#pragma once

#include "platform/wintypes.h"

namespace platform_internal {

// "PPPn:": three letters or digits, a device number and a colon.
bool IsStreamDeviceName(LPCWSTR name);

// Opens an active stream device through its PPP_Open; INVALID_HANDLE_VALUE with
// ERROR_FILE_NOT_FOUND for a name no active device has, or with the driver's error.
HANDLE OpenStreamDevice(LPCWSTR name, DWORD access, DWORD shareMode);

}  // namespace platform_internal
