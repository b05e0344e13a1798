// Vendor control requests on the camera's default pipe, issued synchronously with the
// device's control event and a time-out, and runs of register tables.
#pragma once

#include "device/vlm_device.h"
#include "usb/register_table.h"
#include "usbhost/usbdi.h"

inline constexpr DWORD kVendorWriteTimeoutMs = 200;
inline constexpr DWORD kVendorReadTimeoutMs = 250;
inline constexpr DWORD kVendorWriteFlags = USB_SHORT_TRANSFER_OK;                   // 0x200
inline constexpr DWORD kVendorReadFlags = USB_SHORT_TRANSFER_OK | USB_IN_TRANSFER;  // 0x280
inline constexpr BYTE kVendorWriteRequestType = 0x40;                               // host to device, vendor, device
inline constexpr BYTE kVendorReadRequestType = 0xC0;                                // device to host, vendor, device
// Reported through the USB error output when the transfer's status cannot be read.
inline constexpr DWORD kUnknownTransferStatus = USB_NOT_COMPLETE_ERROR;

// Completion routine handed to USBD: signals the event given as context. 0, or the
// last error when the event cannot be set; ERROR_INVALID_HANDLE for a null context.
DWORD TransferCompleteNotify(LPVOID context);

// Issues one vendor transfer and waits for it at most `timeoutMs`. Returns 0 or a Win32
// error code (also left as the thread's last error): ERROR_INVALID_PARAMETER for a
// missing argument, the platform's error when no transfer is made, ERROR_TIMEOUT,
// ERROR_GEN_FAILURE for a failed wait or a USB error. The transfer is always closed.
DWORD IssueVendorTransferAndWait(LPCUSB_FUNCS funcs, USB_HANDLE device, LPTRANSFER_NOTIFY_ROUTINE routine, HANDLE event,
                                 DWORD flags, const USB_DEVICE_REQUEST* setup, LPVOID buffer, ULONG physicalAddress,
                                 LPDWORD bytesTransferred, DWORD timeoutMs, LPDWORD usbError);

// Host-to-device and device-to-host vendor requests; TRUE only when the transfer
// completed in time without a USB error. One request per device at a time.
BOOL VendorWrite(VlmDevice* device, DWORD request, WORD value, DWORD index, LPVOID buffer, WORD length);
BOOL VendorRead(VlmDevice* device, DWORD request, WORD value, DWORD index, LPVOID buffer, WORD length);

// Controller register access: a write of one byte, a read whose byte lands in the low
// byte of a cleared word.
BOOL WriteControllerRegister(VlmDevice* device, WORD reg, BYTE value);
BOOL ReadControllerRegister(VlmDevice* device, WORD reg, DWORD* value);

// Sends every entry of a terminated table; the AND of all results. A failed entry does
// not stop the run.
BOOL RunRegisterTable(VlmDevice* device, const RegisterEntry* table);
