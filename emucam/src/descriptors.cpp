#include "descriptors.h"

namespace emucam {

usbhost::DeviceModel BuildDeviceModel(const CameraOptions& options) {
  usbhost::DeviceModel model{};
  model.device = {sizeof(USB_DEVICE_DESCRIPTOR),
                  USB_DEVICE_DESCRIPTOR_TYPE,
                  0x0110,  // full speed
                  0xFF,
                  0xFF,
                  0xFF,
                  8,
                  options.vendorId,
                  options.productId,
                  0x0100,
                  0,
                  0,
                  0,  // no string descriptors
                  1};
  model.configuration = {
      sizeof(USB_CONFIGURATION_DESCRIPTOR), USB_CONFIGURATION_DESCRIPTOR_TYPE, 0, 1, 1, 0, 0x80, 250};

  uint16_t totalLength = sizeof(USB_CONFIGURATION_DESCRIPTOR);
  for (uint8_t setting = 0; setting < kAlternateSettings; ++setting) {
    usbhost::InterfaceModel interface {};
    const bool hasEndpoint = options.endpointOnlyInSettingZero ? setting == 0 : setting > 0;
    if (hasEndpoint) {
      const uint16_t packetSize = setting == 0 ? options.packetSizes.back() : options.packetSizes[setting - 1];
      interface.endpoints.push_back({sizeof(USB_ENDPOINT_DESCRIPTOR), USB_ENDPOINT_DESCRIPTOR_TYPE, kStreamingEndpoint,
                                     USB_ENDPOINT_TYPE_ISOCHRONOUS, packetSize, 1});
    }
    interface.descriptor = {sizeof(USB_INTERFACE_DESCRIPTOR),
                            USB_INTERFACE_DESCRIPTOR_TYPE,
                            0,
                            setting,
                            static_cast<BYTE>(interface.endpoints.size()),
                            0xFF,
                            0xFF,
                            0xFF,
                            0};
    totalLength = static_cast<uint16_t>(totalLength + sizeof(USB_INTERFACE_DESCRIPTOR) +
                                        interface.endpoints.size() * sizeof(USB_ENDPOINT_DESCRIPTOR));
    model.interfaces.push_back(std::move(interface));
  }
  model.configuration.wTotalLength = totalLength;
  return model;
}

}  // namespace emucam
