#include "client_drivers.h"

#include <algorithm>
#include <mutex>
#include <vector>

#include "platform/cestring.h"
#include "platform/library_search.h"
#include "platform/winbase.h"
#include "usbhost/usbhost.h"
#include "wide_text.h"

namespace usbhost {
namespace {

struct InstalledDriver {
  std::u16string libraryName;
  HMODULE module;
};

struct InstalledDrivers {
  std::mutex mutex;  // held across USBInstallDriver, so two threads cannot both install one library
  std::vector<InstalledDriver> drivers;
};

InstalledDrivers& Installed() {
  static auto* installed = new InstalledDrivers;
  return *installed;
}

std::string Describe(std::u16string_view libraryName) { return "client driver '" + Utf16ToUtf8(libraryName) + "'"; }

}  // namespace

bool InstallClientDriver(std::u16string_view libraryName, std::string& error) {
  if (libraryName.empty()) {
    error = "no client driver library named";
    return false;
  }
  InstalledDrivers& installed = Installed();
  std::lock_guard lock(installed.mutex);
  const bool known = std::ranges::any_of(installed.drivers, [&](const InstalledDriver& driver) {
    return WideEqualNoCase(driver.libraryName, libraryName);
  });
  if (known) return true;

  const std::u16string name(libraryName);
  HMODULE module = LoadLibraryW(name.c_str());
  if (!module) {
    error =
        Describe(name) + " cannot be loaded: " + LastLoadFailure() + " (VELMAR_DLL_PATH names more folders to search)";
    return false;
  }
  auto install = reinterpret_cast<LPUSB_INSTALL_DRIVER>(GetProcAddressW(module, u"USBInstallDriver"));
  if (!install) {
    error = Describe(name) + " has no USBInstallDriver";
  } else if (!install(name.c_str())) {
    error = "USBInstallDriver of " + Describe(name) + " failed";
  } else {
    installed.drivers.push_back({name, module});
    return true;
  }
  FreeLibrary(module);
  return false;
}

void UninstallClientDrivers() {
  std::vector<InstalledDriver> drivers;
  {
    std::lock_guard lock(Installed().mutex);
    drivers.swap(Installed().drivers);
  }
  for (auto it = drivers.rbegin(); it != drivers.rend(); ++it) {
    auto uninstall = reinterpret_cast<LPUSB_UNINSTALL_DRIVER>(GetProcAddressW(it->module, u"USBUnInstallDriver"));
    if (uninstall) uninstall();
    FreeLibrary(it->module);
  }
}

}  // namespace usbhost
