// Plugging and unplugging devices: offering each new device to the client drivers whose
// settings select it, and telling the owning driver when it goes.
#include <algorithm>

#include "client_drivers.h"
#include "client_registry.h"
#include "host_state.h"
#include "platform/winbase.h"
#include "usb_funcs.h"

namespace usbhost {
namespace {

// Loads the driver's library and calls its USBDeviceAttach; on acceptance the library
// stays loaded for the device's lifetime.
bool OfferDevice(DeviceId id, HostDevice& device, const ClientOffer& offer) {
  const ClientRegistration& registration = *offer.registration;
  HMODULE module = LoadLibraryW(registration.libraryFile.c_str());
  if (!module) return false;
  auto attach = reinterpret_cast<LPUSB_DEVICE_ATTACH>(GetProcAddressW(module, u"USBDeviceAttach"));
  BOOL accepted = FALSE;
  if (attach) {
    LPCUSB_INTERFACE interface = offer.interfaceNumber ? device.Records()->Find(*offer.interfaceNumber, 0) : nullptr;
    // The accept flag, not the return value, says whether the driver took the device.
    attach(HandleFromId<USB_HANDLE>(id), &HostFunctions(), interface, registration.driverId.c_str(), &accepted,
           &registration.settings, 0);
  }
  if (!accepted) {
    FreeLibrary(module);
    return false;
  }
  device.SetOwnerModule(module);
  return true;
}

}  // namespace

DeviceId PlugDevice(std::shared_ptr<DeviceBackend> backend) {
  if (!backend) return 0;
  auto device = std::make_shared<HostDevice>(backend, backend->Describe());
  Host().records.Keep(device->Records());
  const auto id = static_cast<DeviceId>(Host().devices.Add(device));

  std::lock_guard lifecycle(device->Lifecycle());
  for (const ClientOffer& offer : Clients().OffersFor(device->Model())) {
    if (!device->IsPlugged() || OfferDevice(id, *device, offer)) break;
  }
  return id;
}

bool UnplugDevice(DeviceId id) {
  auto device = Host().devices.Find(id);
  if (!device || !device->BeginUnplug()) return false;
  device->Backend().Disconnect();
  device->Control()->Abort();
  {
    // No host-wide lock is held here: the routine may block or call back into the host.
    std::lock_guard lifecycle(device->Lifecycle());
    const DeviceNotification notification = device->Notification();
    if (notification.routine) {
      notification.routine(notification.parameter, USB_CLOSE_DEVICE, nullptr, nullptr, nullptr, nullptr);
    }
  }
  Host().devices.Take(id);
  Host().pipes.TakeIf([&](const Pipe& pipe) { return pipe.device == device; });
  if (HMODULE owner = device->OwnerModule()) FreeLibrary(owner);
  return true;
}

std::vector<DeviceId> PluggedDevices() {
  std::vector<DeviceId> ids;
  for (const auto& [id, device] : Host().devices.Snapshot()) {
    if (device->IsPlugged()) ids.push_back(static_cast<DeviceId>(id));
  }
  return ids;
}

DeviceId FindDevice(const DeviceBackend* backend) {
  for (const auto& [id, device] : Host().devices.Snapshot()) {
    if (device->IsPlugged() && &device->Backend() == backend) return static_cast<DeviceId>(id);
  }
  return 0;
}

void ShutdownHost() {
  const std::vector<DeviceId> plugged = PluggedDevices();
  for (auto it = plugged.rbegin(); it != plugged.rend(); ++it) UnplugDevice(*it);
  UninstallClientDrivers();
  // No driver is left that could hold a handle or a record pointer.
  Host().transfers.TakeIf([](const Transfer&) { return true; });
  Host().pipes.TakeIf([](const Pipe&) { return true; });
  Host().records.Clear();
}

}  // namespace usbhost
