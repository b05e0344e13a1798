// The client drivers known to the host: their unique ids and the settings under which
// each wants to be offered devices, with the library that holds USBDeviceAttach.
#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "usbhost/usbhost.h"

namespace usbhost {

struct ClientRegistration {
  std::u16string libraryFile;
  std::u16string driverId;
  std::optional<std::u16string> key;  // interface-specific key, if the driver gave one
  USB_DRIVER_SETTINGS settings{};
};

// A registration whose settings select a device, with the interface it is offered.
struct ClientOffer {
  std::shared_ptr<const ClientRegistration> registration;
  std::optional<UCHAR> interfaceNumber;
};

class ClientRegistry {
 public:
  // Each returns ERROR_SUCCESS or the Win32 error that the exported call reports.
  DWORD AddDriverId(std::u16string_view driverId);
  DWORD RemoveDriverId(std::u16string_view driverId);  // also drops its settings
  DWORD AddSettings(ClientRegistration registration);  // the same id, key and settings replace the old entry
  DWORD RemoveSettings(std::u16string_view driverId, const std::optional<std::u16string>& key,
                       const USB_DRIVER_SETTINGS& settings);

  // Every registration that selects the device, the most specific settings first and
  // otherwise in registration order.
  std::vector<ClientOffer> OffersFor(const DeviceModel& model) const;

 private:
  bool KnowsDriverId(std::u16string_view driverId) const;

  mutable std::mutex mutex_;
  std::vector<std::u16string> driverIds_;
  std::vector<std::shared_ptr<const ClientRegistration>> registrations_;
};

// The registry that "usbd.dll" serves.
ClientRegistry& Clients();

}  // namespace usbhost
