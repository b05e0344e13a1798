#include "usbreal/device_list.h"

#include <algorithm>
#include <tuple>

#include "usb_context.h"
#include "usb_errors.h"

namespace usbreal {

std::string SpeedName(int libusbSpeed) {
  switch (libusbSpeed) {
    case LIBUSB_SPEED_LOW: return "low (1.5 Mbit/s)";
    case LIBUSB_SPEED_FULL: return "full (12 Mbit/s)";
    case LIBUSB_SPEED_HIGH: return "high (480 Mbit/s)";
    case LIBUSB_SPEED_SUPER: return "super (5 Gbit/s)";
    case LIBUSB_SPEED_SUPER_PLUS: return "super+ (10 Gbit/s)";
    default: return "unknown";
  }
}

std::optional<std::vector<ListedDevice>> ListDevices(uint16_t vendor, std::string& error) {
  const std::shared_ptr<UsbContext> context = UsbContext::Get(error);
  if (!context) return std::nullopt;
  libusb_device** list = nullptr;
  const ssize_t count = libusb_get_device_list(context->get(), &list);
  if (count < 0) {
    error = std::string("libusb cannot list the USB devices: ") + libusb_strerror(static_cast<int>(count));
    return std::nullopt;
  }
  std::vector<ListedDevice> listed;
  for (ssize_t i = 0; i < count; ++i) {
    libusb_device_descriptor descriptor{};
    if (libusb_get_device_descriptor(list[i], &descriptor) != LIBUSB_SUCCESS || descriptor.idVendor != vendor) continue;
    ListedDevice device;
    device.bus = libusb_get_bus_number(list[i]);
    device.address = libusb_get_device_address(list[i]);
    device.vendor = descriptor.idVendor;
    device.product = descriptor.idProduct;
    device.speed = SpeedName(libusb_get_device_speed(list[i]));
    libusb_device_handle* handle = nullptr;
    if (const int result = libusb_open(list[i], &handle); result != LIBUSB_SUCCESS) {
      device.problem = OpenAdvice(result);
    } else {
      device.openable = true;
      device.kernelDriver = libusb_kernel_driver_active(handle, 0) == 1;
      libusb_close(handle);
    }
    listed.push_back(std::move(device));
  }
  libusb_free_device_list(list, 1);
  std::ranges::sort(listed, {}, [](const ListedDevice& d) { return std::tuple(d.bus, d.address); });
  return listed;
}

}  // namespace usbreal
