// The entry points of the velmar driver library (libvelmar.so, "VELMAR.DLL"): the USB
// client entry points USBD calls and the stream entry points the device manager calls.
// Programs never call them directly; they go through the platform's file calls.
#pragma once

#include "platform/wintypes.h"
#include "usbhost/usbdi.h"

#define VELMAR_EXPORT __attribute__((visibility("default")))

extern "C" {

VELMAR_EXPORT BOOL USBInstallDriver(LPCWSTR driverLibraryFile);
VELMAR_EXPORT BOOL USBUnInstallDriver();
VELMAR_EXPORT BOOL USBDeviceAttach(USB_HANDLE device, LPCUSB_FUNCS funcs, LPCUSB_INTERFACE interface,
                                   LPCWSTR uniqueDriverId, LPBOOL acceptControl, LPCUSB_DRIVER_SETTINGS settings,
                                   DWORD reserved);

VELMAR_EXPORT DWORD_PTR VLM_Init(LPCWSTR activeKeyPath);
VELMAR_EXPORT BOOL VLM_Deinit(DWORD_PTR device);
VELMAR_EXPORT DWORD_PTR VLM_Open(DWORD_PTR device, DWORD access, DWORD shareMode);
VELMAR_EXPORT BOOL VLM_Close(DWORD_PTR open);
VELMAR_EXPORT DWORD VLM_Read(DWORD_PTR open, LPVOID buffer, DWORD count);
VELMAR_EXPORT DWORD VLM_Write(DWORD_PTR open, LPCVOID buffer, DWORD count);
VELMAR_EXPORT DWORD VLM_Seek(DWORD_PTR open, long distance, DWORD method);
VELMAR_EXPORT void VLM_PowerUp(DWORD_PTR device);
VELMAR_EXPORT void VLM_PowerDown(DWORD_PTR device);
VELMAR_EXPORT BOOL VLM_IOControl(DWORD_PTR open, DWORD code, PBYTE inBuffer, DWORD inSize, PBYTE outBuffer,
                                 DWORD outSize, PDWORD bytesReturned);

}  // extern "C"
