// The registry's in-memory tree, shared by the files of the registry calls. One
// reader/writer lock guards the whole tree; open keys hold their node, so a key that
// is deleted while open answers ERROR_KEY_DELETED instead of touching freed memory.
#pragma once

#include <map>
#include <memory>
#include <shared_mutex>
#include <string>
#include <string_view>
#include <vector>

#include "handle_table.h"
#include "platform/winreg.h"

namespace platform_internal {

struct RegistryValue {
  std::u16string name;
  DWORD type = REG_NONE;
  std::vector<BYTE> data;
};

struct RegistryNode {
  std::u16string name;                                              // as created (enumeration reports this spelling)
  std::map<std::u16string, std::shared_ptr<RegistryNode>> subkeys;  // by folded name: sorted enumeration
  std::vector<RegistryValue> values;                                // in the order first set
  bool deleted = false;
  FILETIME lastWrite{};

  RegistryValue* FindValue(std::u16string_view valueName);
  void Touch();  // records a change now
};

// An open key handle (RegCloseKey releases it, CloseHandle does not).
class OpenRegistryKey final : public KernelObject {
 public:
  explicit OpenRegistryKey(std::shared_ptr<RegistryNode> opened) : node(std::move(opened)) {}
  bool ClosedByCloseHandle() const override { return false; }
  const std::shared_ptr<RegistryNode> node;
};

std::shared_mutex& RegistryLock();

// Key and value names compare without regard to ASCII case.
std::u16string FoldCase(std::u16string_view name);

// The node behind a key handle (HKEY_LOCAL_MACHINE is the root): ERROR_SUCCESS,
// ERROR_INVALID_HANDLE or ERROR_KEY_DELETED. Call with the registry lock held.
LONG ResolveKey(HKEY key, std::shared_ptr<RegistryNode>& node);

// Splits "a\b\c" (one leading '\' allowed; null or empty: no segments). An empty
// segment ("a\\b", "a\") gives ERROR_BAD_PATHNAME.
LONG SplitKeyPath(LPCWSTR path, std::vector<std::u16string>& segments);

// Copies `bytes` to `data` by the Win32 rules: a null data pointer asks for the size,
// a buffer too small gives ERROR_MORE_DATA; *dataSize receives the size either way.
LONG CopyValueData(const std::vector<BYTE>& bytes, LPBYTE data, LPDWORD dataSize);

// Copies a name into a buffer of *length characters (terminator included); on success
// *length is the name's length, on ERROR_MORE_DATA the size it needs.
LONG CopyName(std::u16string_view name, LPWSTR buffer, LPDWORD length);

}  // namespace platform_internal
