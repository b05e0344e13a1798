// Modules that live inside the platform library itself ("usbd.dll"): LoadLibraryW
// hands out a handle for them and GetProcAddressW asks their lookup routine.
#pragma once

#include <string_view>

#include "wintypes.h"

using BuiltinExportLookup = FARPROC (*)(std::string_view procName);

// Registers a built-in module under a case-insensitive name. Called from a static
// initialiser of the module's own source file.
void RegisterBuiltinModule(std::u16string_view name, BuiltinExportLookup lookup);
