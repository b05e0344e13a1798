// "usbd.dll": the registration functions a client driver looks up by name. Each returns
// a Boolean and leaves a Win32 error code as the thread's last error on failure.
#include <array>
#include <optional>
#include <string_view>
#include <utility>

#include "client_registry.h"
#include "platform/builtin_modules.h"
#include "platform/winbase.h"
#include "wide_text.h"

namespace usbhost {
namespace {

BOOL Report(DWORD error) {
  if (error == ERROR_SUCCESS) return TRUE;
  SetLastError(error);
  return FALSE;
}

std::optional<std::u16string> OptionalKey(LPCWSTR key) {
  if (!key) return std::nullopt;
  return std::u16string(key);
}

BOOL RegisterClientDriverID(LPCWSTR uniqueDriverId) { return Report(Clients().AddDriverId(WideView(uniqueDriverId))); }

BOOL UnRegisterClientDriverID(LPCWSTR uniqueDriverId) {
  return Report(Clients().RemoveDriverId(WideView(uniqueDriverId)));
}

BOOL RegisterClientSettings(LPCWSTR driverLibraryFile, LPCWSTR uniqueDriverId, LPCWSTR key,
                            LPCUSB_DRIVER_SETTINGS settings) {
  if (!settings) return Report(ERROR_INVALID_PARAMETER);
  ClientRegistration registration{std::u16string(WideView(driverLibraryFile)), std::u16string(WideView(uniqueDriverId)),
                                  OptionalKey(key), *settings};
  return Report(Clients().AddSettings(std::move(registration)));
}

BOOL UnRegisterClientSettings(LPCWSTR uniqueDriverId, LPCWSTR key, LPCUSB_DRIVER_SETTINGS settings) {
  if (!settings) return Report(ERROR_INVALID_PARAMETER);
  return Report(Clients().RemoveSettings(WideView(uniqueDriverId), OptionalKey(key), *settings));
}

FARPROC LookupUsbdExport(std::string_view procName) {
  const std::array<std::pair<std::string_view, FARPROC>, 4> exports{{
      {"RegisterClientDriverID", reinterpret_cast<FARPROC>(&RegisterClientDriverID)},
      {"RegisterClientSettings", reinterpret_cast<FARPROC>(&RegisterClientSettings)},
      {"UnRegisterClientSettings", reinterpret_cast<FARPROC>(&UnRegisterClientSettings)},
      {"UnRegisterClientDriverID", reinterpret_cast<FARPROC>(&UnRegisterClientDriverID)},
  }};
  for (const auto& [name, function] : exports) {
    if (name == procName) return function;
  }
  return nullptr;
}

// Makes the functions reachable through LoadLibraryW(u"usbd.dll") as soon as the
// platform library is loaded.
[[maybe_unused]] const bool registered = [] {
  RegisterBuiltinModule(u"usbd.dll", &LookupUsbdExport);
  return true;
}();

}  // namespace
}  // namespace usbhost
