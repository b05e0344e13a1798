#include "usb/streaming_interface.h"

#include "usb/usb_descriptors.h"

BOOL OpenStreamingInterface(VlmDevice* device, BYTE alternateSetting) {
  if (!IsValidDevice(device)) return FALSE;
  LPCUSB_FUNCS funcs = device->usbFuncs;
  LPCUSB_DEVICE info = funcs->GetDeviceInfo(device->usbDevice);
  if (info == nullptr) return FALSE;
  LPCUSB_INTERFACE interface = funcs->FindInterface(info, kStreamingInterface, alternateSetting);
  if (interface == nullptr) return FALSE;

  USB_TRANSFER selection =
      funcs->SetInterface(device->usbDevice, nullptr, nullptr, 0, interface->Descriptor.bInterfaceNumber,
                          interface->Descriptor.bAlternateSetting);
  if (selection == nullptr) return FALSE;

  BOOL result = FALSE;
  if (LPCUSB_ENDPOINT endpoint = FindStreamingEndpoint(interface)) {
    device->streamingPipe = funcs->OpenPipe(device->usbDevice, &endpoint->Descriptor);
    if (device->streamingPipe != nullptr) {
      device->streamingEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
      if (device->streamingEvent != nullptr) {
        device->streamingEndpointAddress = endpoint->Descriptor.bEndpointAddress;
        device->streamingPacketSize = endpoint->Descriptor.wMaxPacketSize;
        result = TRUE;
      }
    }
  }
  funcs->CloseTransfer(selection);
  return result;
}
