#include "device/registry_values.h"

#include "device/registry_key.h"
#include "platform/cestring.h"

namespace {

// Bytes of the value's data, terminators included; 0 for a type the table cannot hold.
DWORD ValueDataSize(const RegistryValue& value) {
  switch (value.type) {
    case REG_SZ: return static_cast<DWORD>((WideLength(static_cast<LPCWSTR>(value.data)) + 1) * sizeof(WCHAR));
    case REG_DWORD: return sizeof(DWORD);
    case REG_MULTI_SZ: {
      size_t characters = 0;
      for (auto text = static_cast<LPCWSTR>(value.data); text != nullptr && *text != 0;) {
        const size_t length = WideLength(text) + 1;
        characters += length;
        text += length;
      }
      return static_cast<DWORD>((characters + 1) * sizeof(WCHAR));
    }
    default: return 0;
  }
}

}  // namespace

BOOL WriteRegistryValues(LPCWSTR keyPath, const RegistryValue* table, BOOL overwrite) {
  if (keyPath == nullptr || table == nullptr) return FALSE;
  {
    RegistryKey existing;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_READ, existing.Out()) == ERROR_SUCCESS && !overwrite) {
      return TRUE;
    }
  }
  RegistryKey key;
  DWORD disposition = 0;
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, keyPath, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                      key.Out(), &disposition) != ERROR_SUCCESS) {
    return FALSE;
  }
  for (const RegistryValue* value = table; value->name != nullptr; ++value) {
    const DWORD size = ValueDataSize(*value);
    if (size == 0 || value->data == nullptr ||
        RegSetValueExW(key.Get(), value->name, 0, value->type, static_cast<const BYTE*>(value->data), size) !=
            ERROR_SUCCESS) {
      return FALSE;
    }
  }
  return TRUE;
}
