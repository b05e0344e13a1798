#include "usb_errors.h"

#include "usbhost/usbdi.h"

namespace usbreal {

DWORD UsbErrorOf(libusb_transfer_status status) {
  switch (status) {
    case LIBUSB_TRANSFER_COMPLETED: return USB_NO_ERROR;
    case LIBUSB_TRANSFER_STALL: return USB_STALL_ERROR;
    case LIBUSB_TRANSFER_CANCELLED: return USB_CANCELED_ERROR;
    // A device that is gone, timed out, overflowed or answered garbage: to the driver
    // all of these are a device that did not respond properly.
    case LIBUSB_TRANSFER_ERROR:
    case LIBUSB_TRANSFER_TIMED_OUT:
    case LIBUSB_TRANSFER_NO_DEVICE:
    case LIBUSB_TRANSFER_OVERFLOW: return USB_DEVICE_NOT_RESPONDING_ERROR;
  }
  return USB_DEVICE_NOT_RESPONDING_ERROR;
}

DWORD UsbErrorOfSubmit(int libusbError) {
  return libusbError == LIBUSB_ERROR_PIPE ? USB_STALL_ERROR : USB_DEVICE_NOT_RESPONDING_ERROR;
}

std::string OpenAdvice(int libusbError) {
  switch (libusbError) {
    case LIBUSB_ERROR_ACCESS:
      return "permission denied: install usbreal/udev/60-velmar-camera.rules and join the plugdev group "
             "(see \"Using a real camera\" in README.md), or run as root";
    case LIBUSB_ERROR_BUSY: return "busy: another program holds the camera; close it and plug the camera again";
    case LIBUSB_ERROR_NO_DEVICE: return "the device went away before it could be opened";
    case LIBUSB_ERROR_NOT_SUPPORTED: return "libusb cannot drive this device here";
    default: return std::string("libusb: ") + libusb_strerror(libusbError);
  }
}

}  // namespace usbreal
