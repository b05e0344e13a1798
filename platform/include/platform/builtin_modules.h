// Modules that live inside a library the program already has ("usbd.dll" in the USB
// host): LoadLibraryW hands out a handle for them and GetProcAddressW asks their lookup
// routine.
#pragma once

#include <string_view>

#include "platform/wintypes.h"

using BuiltinExportLookup = FARPROC (*)(std::string_view procName);

// Registers (or replaces) a built-in module under a case-insensitive name. Called from
// a static initialiser of the module's own source file, or by tests standing in for a
// library.
void RegisterBuiltinModule(std::u16string_view name, BuiltinExportLookup lookup);

// The lookup routine registered under `name` (any case, ".dll" optional), or null.
BuiltinExportLookup FindBuiltinModule(std::u16string_view name);
