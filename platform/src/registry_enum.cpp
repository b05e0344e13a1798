#include <algorithm>
#include <iterator>
#include <mutex>

#include "registry_tree.h"

using namespace platform_internal;

LONG RegQueryInfoKeyW(HKEY key, LPWSTR keyClass, LPDWORD classSize, LPDWORD, LPDWORD subKeys, LPDWORD maxSubKeyLength,
                      LPDWORD maxClassLength, LPDWORD values, LPDWORD maxValueNameLength, LPDWORD maxValueLength,
                      LPDWORD securityDescriptor, PFILETIME lastWriteTime) {
  std::shared_lock lock(RegistryLock());
  std::shared_ptr<RegistryNode> node;
  if (LONG status = ResolveKey(key, node); status != ERROR_SUCCESS) return status;
  // Keys have no class and no security descriptor here.
  if (keyClass != nullptr && classSize != nullptr && *classSize > 0) keyClass[0] = u'\0';
  if (classSize != nullptr) *classSize = 0;
  if (maxClassLength != nullptr) *maxClassLength = 0;
  if (securityDescriptor != nullptr) *securityDescriptor = 0;
  size_t longestSubKey = 0;
  for (const auto& entry : node->subkeys) longestSubKey = std::max(longestSubKey, entry.second->name.size());
  size_t longestName = 0;
  size_t largestData = 0;
  for (const auto& value : node->values) {
    longestName = std::max(longestName, value.name.size());
    largestData = std::max(largestData, value.data.size());
  }
  if (subKeys != nullptr) *subKeys = static_cast<DWORD>(node->subkeys.size());
  if (maxSubKeyLength != nullptr) *maxSubKeyLength = static_cast<DWORD>(longestSubKey);
  if (values != nullptr) *values = static_cast<DWORD>(node->values.size());
  if (maxValueNameLength != nullptr) *maxValueNameLength = static_cast<DWORD>(longestName);
  if (maxValueLength != nullptr) *maxValueLength = static_cast<DWORD>(largestData);
  if (lastWriteTime != nullptr) *lastWriteTime = node->lastWrite;
  return ERROR_SUCCESS;
}

LONG RegEnumKeyExW(HKEY key, DWORD index, LPWSTR name, LPDWORD nameLength, LPDWORD, LPWSTR keyClass,
                   LPDWORD classLength, PFILETIME lastWriteTime) {
  if (name == nullptr || nameLength == nullptr) return ERROR_INVALID_PARAMETER;
  std::shared_lock lock(RegistryLock());
  std::shared_ptr<RegistryNode> node;
  if (LONG status = ResolveKey(key, node); status != ERROR_SUCCESS) return status;
  if (index >= node->subkeys.size()) return ERROR_NO_MORE_ITEMS;
  const RegistryNode& subkey = *std::next(node->subkeys.begin(), index)->second;
  if (LONG status = CopyName(subkey.name, name, nameLength); status != ERROR_SUCCESS) return status;
  if (keyClass != nullptr && classLength != nullptr && *classLength > 0) keyClass[0] = u'\0';
  if (classLength != nullptr) *classLength = 0;
  if (lastWriteTime != nullptr) *lastWriteTime = subkey.lastWrite;
  return ERROR_SUCCESS;
}

LONG RegEnumValueW(HKEY key, DWORD index, LPWSTR valueName, LPDWORD valueNameLength, LPDWORD, LPDWORD type, LPBYTE data,
                   LPDWORD dataSize) {
  if (valueName == nullptr || valueNameLength == nullptr) return ERROR_INVALID_PARAMETER;
  if (data != nullptr && dataSize == nullptr) return ERROR_INVALID_PARAMETER;
  std::shared_lock lock(RegistryLock());
  std::shared_ptr<RegistryNode> node;
  if (LONG status = ResolveKey(key, node); status != ERROR_SUCCESS) return status;
  if (index >= node->values.size()) return ERROR_NO_MORE_ITEMS;
  const RegistryValue& value = node->values[index];
  if (LONG status = CopyName(value.name, valueName, valueNameLength); status != ERROR_SUCCESS) return status;
  if (type != nullptr) *type = value.type;
  return CopyValueData(value.data, data, dataSize);
}
