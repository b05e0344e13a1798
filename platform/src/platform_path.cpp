#include <string>

#include "flash_folder.h"
#include "platform/cestring.h"

namespace {

constexpr std::string_view kFlashRoot = "/residentflash";

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    if (lower(text[i]) != lower(prefix[i])) return false;
  }
  return true;
}

}  // namespace

std::string MapPlatformPath(std::u16string_view path) {
  std::string mapped = Utf16ToUtf8(path);
  for (char& c : mapped) {
    if (c == '\\') c = '/';
  }
  // The device's flash folder: its files land in a real folder made on first use, so a
  // caller may hand the mapped path straight to open. A refused folder maps to nothing.
  if (StartsWithNoCase(mapped, kFlashRoot) &&
      (mapped.size() == kFlashRoot.size() || mapped[kFlashRoot.size()] == '/')) {
    const std::string folder = platform_internal::FlashFolder();
    return folder.empty() ? std::string() : folder + mapped.substr(kFlashRoot.size());
  }
  return mapped;
}
