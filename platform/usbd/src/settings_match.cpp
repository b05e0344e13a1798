#include "settings_match.h"

#include <array>

namespace usbhost {
namespace {

bool FieldMatches(DWORD wanted, DWORD actual) { return wanted == USB_NO_INFO || wanted == actual; }

bool NamesInterface(const USB_DRIVER_SETTINGS& settings) {
  return settings.dwInterfaceClass != USB_NO_INFO || settings.dwInterfaceSubClass != USB_NO_INFO ||
         settings.dwInterfaceProtocol != USB_NO_INFO;
}

bool DeviceMatches(const USB_DRIVER_SETTINGS& settings, const USB_DEVICE_DESCRIPTOR& device) {
  return FieldMatches(settings.dwVendorId, device.idVendor) && FieldMatches(settings.dwProductId, device.idProduct) &&
         FieldMatches(settings.dwReleaseNumber, device.bcdDevice) &&
         FieldMatches(settings.dwDeviceClass, device.bDeviceClass) &&
         FieldMatches(settings.dwDeviceSubClass, device.bDeviceSubClass) &&
         FieldMatches(settings.dwDeviceProtocol, device.bDeviceProtocol);
}

bool InterfaceMatches(const USB_DRIVER_SETTINGS& settings, const USB_INTERFACE_DESCRIPTOR& interface) {
  return FieldMatches(settings.dwInterfaceClass, interface.bInterfaceClass) &&
         FieldMatches(settings.dwInterfaceSubClass, interface.bInterfaceSubClass) &&
         FieldMatches(settings.dwInterfaceProtocol, interface.bInterfaceProtocol);
}

}  // namespace

SettingsMatch MatchSettings(const USB_DRIVER_SETTINGS& settings, const DeviceModel& model) {
  if (!DeviceMatches(settings, model.device)) return {};
  if (!NamesInterface(settings)) return {true, std::nullopt};
  for (const InterfaceModel& interface : model.interfaces) {
    if (interface.descriptor.bAlternateSetting == 0 && InterfaceMatches(settings, interface.descriptor)) {
      return {true, interface.descriptor.bInterfaceNumber};
    }
  }
  return {};
}

int SettingsSpecificity(const USB_DRIVER_SETTINGS& settings) {
  const std::array<DWORD, 9> fields{
      settings.dwVendorId,       settings.dwProductId,         settings.dwReleaseNumber,
      settings.dwDeviceClass,    settings.dwDeviceSubClass,    settings.dwDeviceProtocol,
      settings.dwInterfaceClass, settings.dwInterfaceSubClass, settings.dwInterfaceProtocol};
  int given = 0;
  for (DWORD field : fields) given += field != USB_NO_INFO ? 1 : 0;
  return given;
}

}  // namespace usbhost
