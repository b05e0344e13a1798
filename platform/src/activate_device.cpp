#include <new>
#include <string>

#include "device_names.h"
#include "platform/cestring.h"
#include "platform/winbase.h"
#include "platform/winreg.h"
#include "stream_device.h"

using namespace platform_internal;

// Activation: driver key -> library and entry points -> device number -> active key
// -> PPP_Init -> published name. No lock is held while the driver runs: PPP_Init may
// use the registry and other devices freely.

namespace {

constexpr int kMaxActiveKeys = 999;

LONG ReadString(HKEY key, LPCWSTR valueName, std::u16string& text) {
  DWORD type = REG_NONE;
  DWORD size = 0;
  LONG status = RegQueryValueExW(key, valueName, nullptr, &type, nullptr, &size);
  if (status != ERROR_SUCCESS) return status;
  if (type != REG_SZ) return ERROR_INVALID_DATA;
  std::u16string buffer(size / sizeof(WCHAR) + 1, u'\0');
  status = RegQueryValueExW(key, valueName, nullptr, nullptr, reinterpret_cast<LPBYTE>(buffer.data()), &size);
  if (status != ERROR_SUCCESS) return status;
  text.assign(buffer.c_str());  // up to the terminator
  return ERROR_SUCCESS;
}

// "Dll" and "Prefix" of the driver key.
LONG ReadDriverKey(LPCWSTR registryPath, std::u16string& dll, std::u16string& prefix) {
  HKEY key = nullptr;
  LONG status = RegOpenKeyExW(HKEY_LOCAL_MACHINE, registryPath, 0, KEY_READ, &key);
  if (status != ERROR_SUCCESS) return status;
  status = ReadString(key, DEVLOAD_DLLNAME_VALNAME, dll);
  if (status == ERROR_SUCCESS) status = ReadString(key, DEVLOAD_PREFIX_VALNAME, prefix);
  RegCloseKey(key);
  return status;
}

bool IsValidPrefix(const std::u16string& prefix) {
  if (prefix.size() != 3) return false;
  for (char16_t c : prefix) {
    const bool letterOrDigit = (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9');
    if (!letterOrDigit) return false;
  }
  return true;
}

template <class Routine>
Routine FindEntry(HMODULE module, const std::u16string& prefix, const char16_t* entry) {
  return reinterpret_cast<Routine>(GetProcAddressW(module, (prefix + u"_" + entry).c_str()));
}

StreamEntryPoints FindEntries(HMODULE module, const std::u16string& prefix) {
  StreamEntryPoints entries;
  entries.init = FindEntry<PFN_DEV_INIT>(module, prefix, u"Init");
  entries.deinit = FindEntry<PFN_DEV_DEINIT>(module, prefix, u"Deinit");
  entries.open = FindEntry<PFN_DEV_OPEN>(module, prefix, u"Open");
  entries.close = FindEntry<PFN_DEV_CLOSE>(module, prefix, u"Close");
  entries.read = FindEntry<PFN_DEV_READ>(module, prefix, u"Read");
  entries.write = FindEntry<PFN_DEV_WRITE>(module, prefix, u"Write");
  entries.ioControl = FindEntry<PFN_DEV_IOCONTROL>(module, prefix, u"IOControl");
  return entries;
}

LONG SetString(HKEY key, LPCWSTR valueName, const std::u16string& text) {
  return RegSetValueExW(key, valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                        static_cast<DWORD>((text.size() + 1) * sizeof(WCHAR)));
}

// Creates a fresh "\Drivers\Active\nn" (never one that exists already) with the
// device's values; its path, or empty with the last error set.
std::u16string CreateActiveKey(const std::u16string& deviceName, DWORD_PTR clientInfo, LPCWSTR driverKey) {
  for (int index = 1; index <= kMaxActiveKeys; ++index) {
    WCHAR path[64];
    FormatWide(path, 64, u"%s\\%02d", DEVLOAD_ACTIVE_KEY, index);
    HKEY key = nullptr;
    DWORD disposition = 0;
    LONG status = RegCreateKeyExW(HKEY_LOCAL_MACHINE, path, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                                  nullptr, &key, &disposition);
    if (status != ERROR_SUCCESS) {
      SetLastError(static_cast<DWORD>(status));
      return {};
    }
    if (disposition != REG_CREATED_NEW_KEY) {
      RegCloseKey(key);
      continue;
    }
    const uint64_t info = clientInfo;  // REG_QWORD: the full pointer, never cut to 32 bits
    status = SetString(key, DEVLOAD_DEVNAME_VALNAME, deviceName);
    if (status == ERROR_SUCCESS) {
      status = RegSetValueExW(key, DEVLOAD_CLIENTINFO_VALNAME, 0, REG_QWORD, reinterpret_cast<const BYTE*>(&info),
                              sizeof info);
    }
    if (status == ERROR_SUCCESS) status = SetString(key, DEVLOAD_DEVKEY_VALNAME, driverKey);
    RegCloseKey(key);
    if (status == ERROR_SUCCESS) return path;
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, path);
    SetLastError(static_cast<DWORD>(status));
    return {};
  }
  SetLastError(ERROR_NO_MORE_ITEMS);
  return {};
}

// Undoes a failed activation from the step that reserved the device number on.
void Unwind(const std::u16string& activeKeyPath, const std::u16string& deviceName, HMODULE module) {
  if (!activeKeyPath.empty()) RegDeleteKeyW(HKEY_LOCAL_MACHINE, activeKeyPath.c_str());
  ReleaseDeviceName(deviceName);
  const DWORD error = GetLastError();  // the caller's reason, not FreeLibrary's
  FreeLibrary(module);
  SetLastError(error);
}

HANDLE Fail(DWORD error) {
  SetLastError(error);
  return nullptr;
}

}  // namespace

HANDLE ActivateDevice(LPCWSTR registryPath, DWORD_PTR clientInfo) {
  if (registryPath == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  std::u16string dll;
  std::u16string prefix;
  if (LONG status = ReadDriverKey(registryPath, dll, prefix); status != ERROR_SUCCESS) {
    return Fail(static_cast<DWORD>(status));
  }
  if (!IsValidPrefix(prefix)) return Fail(ERROR_INVALID_DATA);
  HMODULE module = LoadLibraryW(dll.c_str());
  if (module == nullptr) return nullptr;
  const StreamEntryPoints entries = FindEntries(module, prefix);
  if (entries.init == nullptr || entries.deinit == nullptr) {
    FreeLibrary(module);
    return Fail(ERROR_PROC_NOT_FOUND);
  }
  const int number = ReserveDeviceNumber(prefix);
  if (number == 0) {
    FreeLibrary(module);
    return Fail(ERROR_NO_MORE_ITEMS);
  }
  const std::u16string name = DeviceName(prefix, number);
  const std::u16string activeKeyPath = CreateActiveKey(name, clientInfo, registryPath);
  if (activeKeyPath.empty()) {
    Unwind(activeKeyPath, name, module);
    return nullptr;
  }

  SetLastError(ERROR_SUCCESS);
  const DWORD_PTR context = entries.init(activeKeyPath.c_str());
  if (context == 0) {
    if (GetLastError() == ERROR_SUCCESS) SetLastError(ERROR_GEN_FAILURE);
    Unwind(activeKeyPath, name, module);
    return nullptr;
  }
  std::shared_ptr<StreamDevice> device;
  HANDLE activation = nullptr;
  try {
    device = std::make_shared<StreamDevice>(module, entries, name, activeKeyPath);
    device->context = context;
    activation = InsertHandle(device);
  } catch (const std::bad_alloc&) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  }
  if (activation == nullptr) {
    entries.deinit(context);
    Unwind(activeKeyPath, name, module);
    return nullptr;
  }
  PublishDevice(name, device);
  return activation;
}

BOOL DeactivateDevice(HANDLE activation) {
  auto device = TakeObject<StreamDevice>(activation);
  if (!device) return FALSE;
  device->Deactivate();  // from here on, opens and calls are refused
  RegDeleteKeyW(HKEY_LOCAL_MACHINE, device->activeKeyPath.c_str());
  // Only now may a new device take the number: the old one's PPP_Deinit is done.
  ReleaseDeviceName(device->name);
  return TRUE;
}
