#include <algorithm>
#include <mutex>
#include <new>

#include "registry_tree.h"

using namespace platform_internal;

// A null value name is the key's unnamed value, as on Win32.

LONG RegQueryValueExW(HKEY key, LPCWSTR valueName, LPDWORD, LPDWORD type, LPBYTE data, LPDWORD dataSize) {
  std::shared_lock lock(RegistryLock());
  std::shared_ptr<RegistryNode> node;
  if (LONG status = ResolveKey(key, node); status != ERROR_SUCCESS) return status;
  const RegistryValue* value = node->FindValue(valueName != nullptr ? valueName : u"");
  if (value == nullptr) return ERROR_FILE_NOT_FOUND;
  if (type != nullptr) *type = value->type;
  return CopyValueData(value->data, data, dataSize);
}

LONG RegSetValueExW(HKEY key, LPCWSTR valueName, DWORD, DWORD type, const BYTE* data, DWORD dataSize) {
  if (data == nullptr && dataSize != 0) return ERROR_INVALID_PARAMETER;
  try {
    std::unique_lock lock(RegistryLock());
    std::shared_ptr<RegistryNode> node;
    if (LONG status = ResolveKey(key, node); status != ERROR_SUCCESS) return status;
    const std::u16string name = valueName != nullptr ? valueName : u"";
    std::vector<BYTE> bytes(data, data + dataSize);
    if (RegistryValue* existing = node->FindValue(name)) {
      existing->type = type;
      existing->data = std::move(bytes);
    } else {
      node->values.push_back(RegistryValue{name, type, std::move(bytes)});
    }
    node->Touch();
    return ERROR_SUCCESS;
  } catch (const std::bad_alloc&) {
    return ERROR_NOT_ENOUGH_MEMORY;
  }
}

LONG RegDeleteValueW(HKEY key, LPCWSTR valueName) {
  std::unique_lock lock(RegistryLock());
  std::shared_ptr<RegistryNode> node;
  if (LONG status = ResolveKey(key, node); status != ERROR_SUCCESS) return status;
  const RegistryValue* value = node->FindValue(valueName != nullptr ? valueName : u"");
  if (value == nullptr) return ERROR_FILE_NOT_FOUND;
  node->values.erase(node->values.begin() + (value - node->values.data()));
  node->Touch();
  return ERROR_SUCCESS;
}
