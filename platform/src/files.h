// Ordinary files behind CreateFileW.
#pragma once

#include <string>

#include "platform/wintypes.h"

namespace platform_internal {

// Opens `path` (already a POSIX path) with Win32 access and creation semantics;
// INVALID_HANDLE_VALUE with the last error set on failure.
HANDLE OpenFileHandle(const std::string& path, DWORD access, DWORD creation);

}  // namespace platform_internal
