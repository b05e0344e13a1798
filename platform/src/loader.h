// Internals shared by the loader's files.
#pragma once

#include <string>
#include <string_view>

#include "platform/builtin_modules.h"
#include "platform/wintypes.h"

// Lower case, with ".dll" appended when the name has no extension (as Win32 does).
std::u16string NormaliseModuleName(std::u16string_view name);

// The running executable's absolute POSIX path (empty if it cannot be read).
std::string ExecutablePath();

// The file behind a module handle; false with ERROR_INVALID_HANDLE set for a bad handle.
bool ModulePath(HMODULE module, std::string& path);
