#include "appcommon/snapshot_file.h"

#include <cstdio>

#include "platform/cestring.h"
#include "platform/winbase.h"

namespace {
// A folder with this many pictures of one name already is not going to get a free one.
constexpr int kLastSuffix = 9999;
}  // namespace

std::string SnapshotStem(const SYSTEMTIME& time) {
  char stem[32];
  std::snprintf(stem, sizeof stem, "%d%02d%02d%02d%02d%02d", time.wYear, time.wMonth, time.wDay, time.wHour,
                time.wMinute, time.wSecond);
  return stem;
}

HANDLE CreateNewFile(const std::string& folder, const std::string& stem, std::string_view extension,
                     std::string& path) {
  for (int suffix = 1; suffix <= kLastSuffix; ++suffix) {
    std::string candidate = folder + stem;
    if (suffix > 1) candidate.append(1, '-').append(std::to_string(suffix));
    candidate += extension;
    // CREATE_NEW fails on an existing name, so two savers racing for one name cannot
    // both get it.
    HANDLE file = CreateFileW(Utf8ToUtf16(candidate).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      path = std::move(candidate);
      return file;
    }
    if (GetLastError() != ERROR_FILE_EXISTS) break;
  }
  return INVALID_HANDLE_VALUE;
}

std::string WriteNewFile(const std::string& folder, const std::string& stem, std::string_view extension,
                         std::span<const uint8_t> bytes) {
  std::string path;
  HANDLE file = CreateNewFile(folder, stem, extension, path);
  if (file == INVALID_HANDLE_VALUE) return {};
  DWORD written = 0;
  const bool complete =
      WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) && written == bytes.size();
  CloseHandle(file);
  if (!complete) {
    std::remove(path.c_str());
    return {};
  }
  return path;
}

std::string SaveSnapshot(const std::string& folder, std::span<const uint8_t> jpeg) {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  return WriteNewFile(folder, SnapshotStem(now), ".jpg", jpeg);
}
