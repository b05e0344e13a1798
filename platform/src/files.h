// Ordinary files behind CreateFileW.
#pragma once

#include <string>

#include "wintypes.h"

// Opens `path` (already a POSIX path) with Win32 access and creation semantics;
// INVALID_HANDLE_VALUE with the last error set on failure.
HANDLE OpenFileHandle(const std::string& path, DWORD access, DWORD creation);
