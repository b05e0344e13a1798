// Port numbers 1 to 9 handed to stream devices by name under "VELMAR\Ports", so that a
// camera plugged in again gets its old number back.
#pragma once

#include "device/vlm_device.h"

inline constexpr DWORD kPortSlotCount = 9;

// Reads the device name from the active key and finds or claims its Port<n> value;
// the value name goes to `portValueName`. FALSE when all nine slots belong to others.
BOOL AssignPortName(LPCWSTR activeKeyPath, WCHAR (&portValueName)[kPortValueNameChars]);

// Deletes the Port<n> value; FALSE when the key or the value cannot be removed.
BOOL ReleasePortName(LPCWSTR portValueName);
