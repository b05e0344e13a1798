#include "device/port_names.h"

#include <algorithm>
#include <mutex>

#include "device/registry_key.h"
#include "platform/cestring.h"
#include "platform/devload.h"

namespace {

constexpr const WCHAR* kPortsKeyPath = u"VELMAR\\Ports";
constexpr DWORD kDeviceNameBytes = 32;
constexpr DWORD kPortValueBytes = 520;
constexpr size_t kComparedNameChars = 16;

// One lock for every device of the driver: the search for a free Port<n> and its claim
// are one step, so two cameras initialised at the same time never take the same slot.
std::mutex& PortsLock() {
  static std::mutex lock;
  return lock;
}

bool SameName(const WCHAR* a, const WCHAR* b) {
  for (size_t i = 0; i < kComparedNameChars; ++i) {
    if (a[i] != b[i]) return false;
    if (a[i] == 0) return true;
  }
  return true;
}

}  // namespace

BOOL AssignPortName(LPCWSTR activeKeyPath, WCHAR (&portValueName)[kPortValueNameChars]) {
  if (activeKeyPath == nullptr) return FALSE;
  RegistryKey active;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, activeKeyPath, 0, KEY_READ, active.Out()) != ERROR_SUCCESS) return FALSE;
  // One spare character keeps the name terminated whatever the value holds.
  WCHAR deviceName[kDeviceNameBytes / sizeof(WCHAR) + 1] = {};
  DWORD size = kDeviceNameBytes;
  DWORD type = 0;
  if (RegQueryValueExW(active.Get(), DEVLOAD_DEVNAME_VALNAME, nullptr, &type, reinterpret_cast<BYTE*>(deviceName),
                       &size) != ERROR_SUCCESS ||
      type != REG_SZ) {
    return FALSE;
  }

  std::lock_guard serialised(PortsLock());
  RegistryKey ports;
  DWORD disposition = 0;
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kPortsKeyPath, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                      ports.Out(), &disposition) != ERROR_SUCCESS) {
    return FALSE;
  }

  WCHAR valueName[kPortValueNameChars] = {};
  bool free = false;
  bool ours = false;
  for (DWORD n = 1; n <= kPortSlotCount && !free && !ours; ++n) {
    FormatWide(valueName, kPortValueNameChars, u"Port%d", static_cast<int>(n));
    WCHAR holder[kPortValueBytes / sizeof(WCHAR) + 1] = {};
    DWORD holderSize = kPortValueBytes;
    const LONG status =
        RegQueryValueExW(ports.Get(), valueName, nullptr, nullptr, reinterpret_cast<BYTE*>(holder), &holderSize);
    if (status == ERROR_FILE_NOT_FOUND)
      free = true;
    else if (status == ERROR_SUCCESS && SameName(holder, deviceName))
      ours = true;
  }
  if (!free && !ours) return FALSE;

  if (free) {
    const auto bytes = static_cast<DWORD>((WideLength(deviceName) + 1) * sizeof(WCHAR));
    if (RegSetValueExW(ports.Get(), valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(deviceName), bytes) !=
        ERROR_SUCCESS) {
      return FALSE;
    }
  }
  std::copy(std::begin(valueName), std::end(valueName), portValueName);
  return TRUE;
}

BOOL ReleasePortName(LPCWSTR portValueName) {
  if (portValueName == nullptr || portValueName[0] == 0) return FALSE;
  std::lock_guard serialised(PortsLock());
  RegistryKey ports;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kPortsKeyPath, 0, KEY_ALL_ACCESS, ports.Out()) != ERROR_SUCCESS) return FALSE;
  return RegDeleteValueW(ports.Get(), portValueName) == ERROR_SUCCESS ? TRUE : FALSE;
}
