// The device manager: stream-interface drivers, their active keys and the routing of
// file calls on "PPPn:" names to the driver's PPP_ entry points.
//
// ActivateDevice reads "Dll" and "Prefix" from the driver key, loads the library,
// finds PPP_Init .. PPP_PowerDown, picks the lowest free device number 1-9 for the
// prefix, creates "\Drivers\Active\<nn>" with "Name" = "PPPn:" (REG_SZ),
// "ClientInfo" (REG_QWORD: the full 64-bit value, never truncated) and "Key" (the
// driver key), then calls PPP_Init with the active key's path. A zero PPP_Init result
// undoes it all and gives 0.
// DeactivateDevice calls PPP_Deinit and removes the active key. Handles that are still
// open afterwards stay safe: their calls fail with ERROR_INVALID_HANDLE (ReadFile,
// DeviceIoControl) and CloseHandle still reaches PPP_Close once; the library stays
// loaded until the last of them is closed.
//
// PPP_Init and PPP_Deinit are required (ActivateDevice fails with ERROR_PROC_NOT_FOUND
// without them); a file call whose entry point is missing fails with
// ERROR_NOT_SUPPORTED. All nine numbers of a prefix in use: ERROR_NO_MORE_ITEMS.
// DeactivateDevice waits for the entry points running on the device to return before
// it calls PPP_Deinit, so it must not be called from inside one of them. There is no
// power management and no file seek here, so PPP_PowerUp, PPP_PowerDown and PPP_Seek
// are never called.
#pragma once

#include "wintypes.h"

#define DEVLOAD_DLLNAME_VALNAME u"Dll"
#define DEVLOAD_PREFIX_VALNAME u"Prefix"
#define DEVLOAD_CLIENTINFO_VALNAME u"ClientInfo"
#define DEVLOAD_DEVNAME_VALNAME u"Name"
#define DEVLOAD_DEVKEY_VALNAME u"Key"
#define DEVLOAD_ACTIVE_KEY u"\\Drivers\\Active"

HANDLE ActivateDevice(LPCWSTR registryPath, DWORD_PTR clientInfo);
BOOL DeactivateDevice(HANDLE activation);

// Entry point shapes that the device manager calls (PPP_ is the driver's prefix).
using PFN_DEV_INIT = DWORD_PTR (*)(LPCWSTR activeKeyPath);
using PFN_DEV_DEINIT = BOOL (*)(DWORD_PTR device);
using PFN_DEV_OPEN = DWORD_PTR (*)(DWORD_PTR device, DWORD access, DWORD shareMode);
using PFN_DEV_CLOSE = BOOL (*)(DWORD_PTR open);
using PFN_DEV_READ = DWORD (*)(DWORD_PTR open, LPVOID buffer, DWORD count);
using PFN_DEV_WRITE = DWORD (*)(DWORD_PTR open, LPCVOID buffer, DWORD count);
using PFN_DEV_SEEK = DWORD (*)(DWORD_PTR open, long distance, DWORD method);
using PFN_DEV_IOCONTROL = BOOL (*)(DWORD_PTR open, DWORD code, PBYTE inBuffer, DWORD inSize, PBYTE outBuffer,
                                   DWORD outSize, PDWORD bytesReturned);
using PFN_DEV_POWER = void (*)(DWORD_PTR device);
