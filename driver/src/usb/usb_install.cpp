// USB client entry points that register the driver with USBD and remove it again.

#include "device/driver_identity.h"
#include "device/registry_values.h"
#include "entry/entry_guard.h"
#include "platform/winbase.h"
#include "velmar/velmar.h"

namespace {

const RegistryValue kInstallValues[] = {
    {u"Dll", REG_SZ, 0, kDriverLibraryName},
    {u"Prefix", REG_SZ, 0, kStreamPrefix},
    {nullptr, 0, 0, nullptr},
};

// "usbd.dll", loaded for the length of one entry point.
class UsbdLibrary {
 public:
  UsbdLibrary() : module_(LoadLibraryW(kUsbdLibraryName)) {}
  ~UsbdLibrary() {
    if (module_ != nullptr) FreeLibrary(module_);
  }
  UsbdLibrary(const UsbdLibrary&) = delete;
  UsbdLibrary& operator=(const UsbdLibrary&) = delete;

  bool Loaded() const { return module_ != nullptr; }

  template <typename Function>
  Function Find(const WCHAR* name) const {
    return reinterpret_cast<Function>(GetProcAddressW(module_, name));
  }

 private:
  HMODULE module_;
};

BOOL Install(LPCWSTR driverLibraryFile) {
  UsbdLibrary usbd;
  if (!usbd.Loaded()) return FALSE;
  auto registerDriverId = usbd.Find<LPREGISTER_CLIENT_DRIVER_ID>(u"RegisterClientDriverID");
  auto registerSettings = usbd.Find<LPREGISTER_CLIENT_SETTINGS>(u"RegisterClientSettings");
  if (registerDriverId == nullptr || registerSettings == nullptr) return FALSE;
  if (!registerDriverId(kUniqueDriverId)) return FALSE;
  if (!registerSettings(driverLibraryFile, kUniqueDriverId, nullptr, &kDriverSettings)) return FALSE;
  return WriteRegistryValues(kDriverKeyPath, kInstallValues, TRUE);
}

BOOL Uninstall() {
  UsbdLibrary usbd;
  if (!usbd.Loaded()) return FALSE;
  auto unregisterSettings = usbd.Find<LPUN_REGISTER_CLIENT_SETTINGS>(u"UnRegisterClientSettings");
  auto unregisterDriverId = usbd.Find<LPUN_REGISTER_CLIENT_DRIVER_ID>(u"UnRegisterClientDriverID");
  BOOL result = TRUE;
  if (unregisterSettings != nullptr) result = unregisterSettings(kUniqueDriverId, nullptr, &kDriverSettings);
  if (unregisterDriverId != nullptr) result = unregisterDriverId(kUniqueDriverId) && result;
  return result;
}

}  // namespace

extern "C" BOOL USBInstallDriver(LPCWSTR driverLibraryFile) {
  return GuardEntry(FALSE, [&] { return Install(driverLibraryFile); });
}

extern "C" BOOL USBUnInstallDriver() {
  return GuardEntry(FALSE, [] { return Uninstall(); });
}
