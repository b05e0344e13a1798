// The capture thread: one per capturing camera, keeping one isochronous transfer of
// four packets in flight and assembling frames in the frame slots.
#pragma once

#include "device/vlm_device.h"

inline constexpr DWORD kCaptureExitNormal = 0;
inline constexpr DWORD kCaptureExitUnusable = static_cast<DWORD>(-1);
inline constexpr DWORD kCaptureExitNoInterface = static_cast<DWORD>(-2);

inline constexpr DWORD kPacketsPerTransfer = 4;
inline constexpr DWORD kIsochTransferFlags = 0xE80;  // includes USB_IN_TRANSFER
inline constexpr BYTE kHighestStreamingSetting = 7;
// A pass that could not issue a transfer waits about one transfer's time.
inline constexpr DWORD kNoTransferPauseMs = 4;

// Thread routine; the parameter is the VlmDevice. Ends when the keep-running flag is
// cleared (after the transfer in progress) or the device is closed or unplugged (then
// it also sets the open/close event); sets the capture-end event on every way out.
DWORD CaptureThread(LPVOID device);
