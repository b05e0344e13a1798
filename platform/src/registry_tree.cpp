#include "registry_tree.h"

#include <algorithm>
#include <chrono>

namespace platform_internal {

namespace {

// Win32 file times count 100 ns intervals since 1601-01-01.
constexpr uint64_t kUnixEpochAsFileTime = 116444736000000000ULL;

std::shared_ptr<RegistryNode>& Root() {
  static auto* root = new std::shared_ptr<RegistryNode>(std::make_shared<RegistryNode>());
  return *root;
}

}  // namespace

std::shared_mutex& RegistryLock() {
  static auto* lock = new std::shared_mutex;
  return *lock;
}

std::u16string FoldCase(std::u16string_view name) {
  std::u16string folded(name);
  for (char16_t& c : folded) {
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
  }
  return folded;
}

RegistryValue* RegistryNode::FindValue(std::u16string_view valueName) {
  const std::u16string folded = FoldCase(valueName);
  auto found = std::find_if(values.begin(), values.end(),
                            [&](const RegistryValue& value) { return FoldCase(value.name) == folded; });
  return found == values.end() ? nullptr : &*found;
}

void RegistryNode::Touch() {
  const auto sinceUnixEpoch = std::chrono::system_clock::now().time_since_epoch();
  const uint64_t ticks =
      static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(sinceUnixEpoch).count() / 100) +
      kUnixEpochAsFileTime;
  lastWrite.dwLowDateTime = static_cast<DWORD>(ticks);
  lastWrite.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
}

LONG ResolveKey(HKEY key, std::shared_ptr<RegistryNode>& node) {
  if (key == HKEY_LOCAL_MACHINE) {
    node = Root();
    return ERROR_SUCCESS;
  }
  auto open = std::dynamic_pointer_cast<OpenRegistryKey>(LookupHandle(key));
  if (!open) return ERROR_INVALID_HANDLE;
  if (open->node->deleted) return ERROR_KEY_DELETED;
  node = open->node;
  return ERROR_SUCCESS;
}

LONG SplitKeyPath(LPCWSTR path, std::vector<std::u16string>& segments) {
  segments.clear();
  if (path == nullptr) return ERROR_SUCCESS;
  std::u16string_view rest(path);
  if (!rest.empty() && rest.front() == u'\\') rest.remove_prefix(1);
  if (rest.empty()) return ERROR_SUCCESS;
  for (;;) {
    const size_t separator = rest.find(u'\\');
    const std::u16string_view segment = rest.substr(0, separator);
    if (segment.empty()) return ERROR_BAD_PATHNAME;
    segments.emplace_back(segment);
    if (separator == std::u16string_view::npos) return ERROR_SUCCESS;
    rest.remove_prefix(separator + 1);
  }
}

LONG CopyValueData(const std::vector<BYTE>& bytes, LPBYTE data, LPDWORD dataSize) {
  if (data != nullptr && dataSize == nullptr) return ERROR_INVALID_PARAMETER;
  if (dataSize == nullptr) return ERROR_SUCCESS;
  const auto size = static_cast<DWORD>(bytes.size());
  const DWORD room = *dataSize;
  *dataSize = size;
  if (data == nullptr) return ERROR_SUCCESS;
  if (room < size) return ERROR_MORE_DATA;
  std::copy(bytes.begin(), bytes.end(), data);
  return ERROR_SUCCESS;
}

LONG CopyName(std::u16string_view name, LPWSTR buffer, LPDWORD length) {
  if (buffer == nullptr || length == nullptr) return ERROR_INVALID_PARAMETER;
  const auto needed = static_cast<DWORD>(name.size() + 1);
  if (*length < needed) {
    *length = needed;
    return ERROR_MORE_DATA;
  }
  std::copy(name.begin(), name.end(), buffer);
  buffer[name.size()] = u'\0';
  *length = static_cast<DWORD>(name.size());
  return ERROR_SUCCESS;
}

}  // namespace platform_internal
