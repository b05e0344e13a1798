#include "usbreal/open_device.h"

#include "libusb_device.h"

namespace usbreal {

std::shared_ptr<usbhost::DeviceBackend> OpenDevice(uint8_t bus, uint8_t address, std::string& error) {
  std::shared_ptr<UsbContext> context = UsbContext::Get(error);
  if (!context) return nullptr;
  libusb_device** list = nullptr;
  const ssize_t count = libusb_get_device_list(context->get(), &list);
  std::shared_ptr<usbhost::DeviceBackend> opened;
  error = "no USB device at bus " + std::to_string(bus) + " address " + std::to_string(address);
  for (ssize_t i = 0; i < count; ++i) {
    if (libusb_get_bus_number(list[i]) == bus && libusb_get_device_address(list[i]) == address) {
      opened = LibusbDevice::Open(context, list[i], error);
      break;
    }
  }
  if (count >= 0) libusb_free_device_list(list, 1);
  return opened;
}

}  // namespace usbreal
