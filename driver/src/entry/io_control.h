// The control interface: every request a program makes through the device-control call.
#pragma once

#include "device/vlm_device.h"

// What VLM_IOControl does. FALSE with last error ERROR_INVALID_HANDLE for a handle that is
// not an open, present device and ERROR_NOT_SUPPORTED for an unknown code; a request
// whose checks fail returns FALSE and leaves the last error alone. Nothing is written
// past the lengths the caller gave.
BOOL DispatchControl(DWORD_PTR open, DWORD code, PBYTE inBuffer, DWORD inSize, PBYTE outBuffer, DWORD outSize,
                     PDWORD bytesReturned);
