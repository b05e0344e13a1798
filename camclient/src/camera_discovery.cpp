// Counting the driver's cameras: every active device whose "Name" begins with "VLM".
#include "camclient/camclient.h"
#include "platform/cestring.h"
#include "platform/devload.h"
#include "platform/winreg.h"

namespace {

constexpr DWORD kSubKeyNameChars = 260;
constexpr DWORD kNameValueBytes = 520;

bool IsCameraEntry(LPCWSTR subKeyName) {
  WCHAR path[16 + kSubKeyNameChars + 1];
  FormatWide(path, sizeof(path) / sizeof(path[0]), u"%s\\%s", DEVLOAD_ACTIVE_KEY, subKeyName);

  HKEY entry = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &entry) != ERROR_SUCCESS) return false;

  WCHAR name[kNameValueBytes / sizeof(WCHAR)] = {};
  DWORD type = REG_NONE;
  DWORD size = kNameValueBytes;
  const bool read = RegQueryValueExW(entry, DEVLOAD_DEVNAME_VALNAME, nullptr, &type, reinterpret_cast<LPBYTE>(name),
                                     &size) == ERROR_SUCCESS;
  RegCloseKey(entry);
  return read && type == REG_SZ && name[0] == u'V' && name[1] == u'L' && name[2] == u'M';
}

}  // namespace

int CountCameras() {
  HKEY activeKey = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, DEVLOAD_ACTIVE_KEY, 0, KEY_READ, &activeKey) != ERROR_SUCCESS) return 0;

  int count = 0;
  DWORD subKeys = 0;
  if (RegQueryInfoKeyW(activeKey, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, nullptr, nullptr, nullptr,
                       nullptr, nullptr) == ERROR_SUCCESS) {
    for (DWORD i = 0; i < subKeys; ++i) {
      WCHAR subKeyName[kSubKeyNameChars] = {};
      DWORD length = kSubKeyNameChars;
      if (RegEnumKeyExW(activeKey, i, subKeyName, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
      if (IsCameraEntry(subKeyName)) ++count;
    }
  }
  RegCloseKey(activeKey);
  return count;
}
