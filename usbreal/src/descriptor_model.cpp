#include "descriptor_model.h"

#include <memory>

namespace usbreal {
namespace {

USB_ENDPOINT_DESCRIPTOR EndpointOf(const libusb_endpoint_descriptor& endpoint) {
  return {endpoint.bLength,      endpoint.bDescriptorType, endpoint.bEndpointAddress,
          endpoint.bmAttributes, endpoint.wMaxPacketSize,  endpoint.bInterval};
}

usbhost::InterfaceModel InterfaceOf(const libusb_interface_descriptor& setting) {
  usbhost::InterfaceModel model{{setting.bLength, setting.bDescriptorType, setting.bInterfaceNumber,
                                 setting.bAlternateSetting, setting.bNumEndpoints, setting.bInterfaceClass,
                                 setting.bInterfaceSubClass, setting.bInterfaceProtocol, setting.iInterface},
                                {}};
  for (int e = 0; e < setting.bNumEndpoints; ++e) model.endpoints.push_back(EndpointOf(setting.endpoint[e]));
  return model;
}

}  // namespace

std::optional<usbhost::DeviceModel> ReadDeviceModel(libusb_device* device, std::string& error) {
  libusb_device_descriptor descriptor{};
  if (const int result = libusb_get_device_descriptor(device, &descriptor); result != LIBUSB_SUCCESS) {
    error = std::string("no device descriptor: ") + libusb_strerror(result);
    return std::nullopt;
  }
  libusb_config_descriptor* raw = nullptr;
  // A device whose configuration is not set yet (0) is described by its first one.
  if (libusb_get_active_config_descriptor(device, &raw) != LIBUSB_SUCCESS) {
    if (const int result = libusb_get_config_descriptor(device, 0, &raw); result != LIBUSB_SUCCESS) {
      error = std::string("no configuration descriptor: ") + libusb_strerror(result);
      return std::nullopt;
    }
  }
  const std::unique_ptr<libusb_config_descriptor, decltype(&libusb_free_config_descriptor)> config(
      raw, libusb_free_config_descriptor);

  usbhost::DeviceModel model{};
  model.device = {descriptor.bLength,         descriptor.bDescriptorType,   descriptor.bcdUSB,
                  descriptor.bDeviceClass,    descriptor.bDeviceSubClass,   descriptor.bDeviceProtocol,
                  descriptor.bMaxPacketSize0, descriptor.idVendor,          descriptor.idProduct,
                  descriptor.bcdDevice,       descriptor.iManufacturer,     descriptor.iProduct,
                  descriptor.iSerialNumber,   descriptor.bNumConfigurations};
  model.configuration = {config->bLength,
                         config->bDescriptorType,
                         config->wTotalLength,
                         config->bNumInterfaces,
                         config->bConfigurationValue,
                         config->iConfiguration,
                         config->bmAttributes,
                         config->MaxPower};
  for (int i = 0; i < config->bNumInterfaces; ++i) {
    const libusb_interface& interface = config->interface[i];
    for (int a = 0; a < interface.num_altsetting; ++a) model.interfaces.push_back(InterfaceOf(interface.altsetting[a]));
  }
  return model;
}

}  // namespace usbreal
