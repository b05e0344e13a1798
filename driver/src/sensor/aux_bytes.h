// One-byte access to the small memory behind the controller's auxiliary window.
#pragma once

#include "device/vlm_device.h"

inline constexpr DWORD kAuxReadFailed = 0xFFFFFFFF;

// 304=00 303=address 301=02, read 302 and 306: the byte from 306, or kAuxReadFailed when
// any of the five requests failed.
DWORD ReadAuxByte(VlmDevice* device, DWORD address);

// 304=00 303=address 305=byte 301=01, read 302 and 306; the AND of all six.
BOOL WriteAuxByte(VlmDevice* device, DWORD address, DWORD byte);
