#include <mutex>
#include <new>

#include "registry_tree.h"

using namespace platform_internal;

namespace {

LONG NewKeyHandle(std::shared_ptr<RegistryNode> node, PHKEY result) {
  HANDLE handle = InsertHandle(std::make_shared<OpenRegistryKey>(std::move(node)));
  if (handle == nullptr) return ERROR_NOT_ENOUGH_MEMORY;
  *result = static_cast<HKEY>(handle);
  return ERROR_SUCCESS;
}

// Walks existing sub-keys; ERROR_FILE_NOT_FOUND at the first missing one.
LONG FindNode(std::shared_ptr<RegistryNode> node, const std::vector<std::u16string>& segments,
              std::shared_ptr<RegistryNode>& found) {
  for (const auto& segment : segments) {
    auto next = node->subkeys.find(FoldCase(segment));
    if (next == node->subkeys.end()) return ERROR_FILE_NOT_FOUND;
    node = next->second;
  }
  found = std::move(node);
  return ERROR_SUCCESS;
}

}  // namespace

LONG RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD, REGSAM, PHKEY result) {
  if (result == nullptr) return ERROR_INVALID_PARAMETER;
  std::vector<std::u16string> segments;
  if (LONG status = SplitKeyPath(subKey, segments); status != ERROR_SUCCESS) return status;
  try {
    std::shared_lock lock(RegistryLock());
    std::shared_ptr<RegistryNode> node;
    if (LONG status = ResolveKey(key, node); status != ERROR_SUCCESS) return status;
    if (LONG status = FindNode(node, segments, node); status != ERROR_SUCCESS) return status;
    return NewKeyHandle(std::move(node), result);
  } catch (const std::bad_alloc&) {
    return ERROR_NOT_ENOUGH_MEMORY;
  }
}

LONG RegCreateKeyExW(HKEY key, LPCWSTR subKey, DWORD, LPWSTR, DWORD, REGSAM, LPSECURITY_ATTRIBUTES, PHKEY result,
                     LPDWORD disposition) {
  if (result == nullptr) return ERROR_INVALID_PARAMETER;
  std::vector<std::u16string> segments;
  if (LONG status = SplitKeyPath(subKey, segments); status != ERROR_SUCCESS) return status;
  try {
    std::unique_lock lock(RegistryLock());
    std::shared_ptr<RegistryNode> node;
    if (LONG status = ResolveKey(key, node); status != ERROR_SUCCESS) return status;
    bool created = false;
    for (const auto& segment : segments) {
      auto& child = node->subkeys[FoldCase(segment)];
      if (!child) {
        child = std::make_shared<RegistryNode>();
        child->name = segment;
        child->Touch();
        node->Touch();
        created = true;
      }
      node = child;
    }
    if (disposition != nullptr) *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    return NewKeyHandle(std::move(node), result);
  } catch (const std::bad_alloc&) {
    return ERROR_NOT_ENOUGH_MEMORY;
  }
}

LONG RegCloseKey(HKEY key) {
  if (key == HKEY_LOCAL_MACHINE) return ERROR_SUCCESS;  // predefined: never really open
  return TakeObject<OpenRegistryKey>(key) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

LONG RegDeleteKeyW(HKEY key, LPCWSTR subKey) {
  std::vector<std::u16string> segments;
  if (LONG status = SplitKeyPath(subKey, segments); status != ERROR_SUCCESS) return status;
  if (segments.empty()) return ERROR_INVALID_PARAMETER;  // a key is deleted through its parent
  try {
    std::unique_lock lock(RegistryLock());
    std::shared_ptr<RegistryNode> parent;
    if (LONG status = ResolveKey(key, parent); status != ERROR_SUCCESS) return status;
    const std::u16string leaf = FoldCase(segments.back());
    segments.pop_back();
    if (LONG status = FindNode(parent, segments, parent); status != ERROR_SUCCESS) return status;
    auto victim = parent->subkeys.find(leaf);
    if (victim == parent->subkeys.end()) return ERROR_FILE_NOT_FOUND;
    if (!victim->second->subkeys.empty()) return ERROR_ACCESS_DENIED;
    victim->second->deleted = true;
    parent->subkeys.erase(victim);
    parent->Touch();
    return ERROR_SUCCESS;
  } catch (const std::bad_alloc&) {
    return ERROR_NOT_ENOUGH_MEMORY;
  }
}
