#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <string>

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

std::string FlashFolder() {
  const char* configured = std::getenv("VELMAR_FLASH_DIR");
  if (configured != nullptr && *configured != '\0') return configured;
  const char* temporary = std::getenv("TMPDIR");
  return std::string(temporary != nullptr && *temporary != '\0' ? temporary : "/tmp") + "/velmar-flash";
}

// Creates `folder` and its parents; failures surface later when the file is opened.
void MakeFolders(const std::string& folder) {
  for (size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
    const std::string part = folder.substr(0, slash);
    if (mkdir(part.c_str(), 0777) != 0 && errno != EEXIST) return;
    if (slash == std::string::npos) return;
  }
}

}  // namespace

std::string MapPlatformPath(std::u16string_view path) {
  std::string mapped = Utf16ToUtf8(path);
  for (char& c : mapped) {
    if (c == '\\') c = '/';
  }
  // The device's flash folder: its files land in a real folder made on first use, so a
  // caller may hand the mapped path straight to fopen.
  if (StartsWithNoCase(mapped, kFlashRoot) &&
      (mapped.size() == kFlashRoot.size() || mapped[kFlashRoot.size()] == '/')) {
    const std::string folder = FlashFolder();
    MakeFolders(folder);
    return folder + mapped.substr(kFlashRoot.size());
  }
  return mapped;
}
