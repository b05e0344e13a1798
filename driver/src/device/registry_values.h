// Writing a table of registry values under HKEY_LOCAL_MACHINE.
#pragma once

#include "platform/winreg.h"

// One value; a null name ends a table. The size is computed from the data for REG_SZ,
// REG_DWORD and REG_MULTI_SZ (strings, ended by an empty one); other types are refused.
struct RegistryValue {
  LPCWSTR name;
  DWORD type;
  DWORD size;
  const void* data;
};

// Creates the key and writes every value; TRUE only if all were written. An existing key
// is left alone (TRUE) unless `overwrite` is set.
BOOL WriteRegistryValues(LPCWSTR keyPath, const RegistryValue* table, BOOL overwrite);
