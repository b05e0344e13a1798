#include "libusb_device.h"

#include <cstdio>

#include "descriptor_model.h"
#include "usb_errors.h"

namespace usbreal {

std::string DeviceName(libusb_device* device) {
  libusb_device_descriptor descriptor{};
  libusb_get_device_descriptor(device, &descriptor);
  char text[64];
  std::snprintf(text, sizeof text, "bus %u address %u (%04x:%04x)", libusb_get_bus_number(device),
                libusb_get_device_address(device), descriptor.idVendor, descriptor.idProduct);
  return text;
}

std::shared_ptr<LibusbDevice> LibusbDevice::Open(std::shared_ptr<UsbContext> context, libusb_device* device,
                                                 std::string& error) {
  const std::string name = "USB device " + DeviceName(device);
  std::string reason;
  std::optional<usbhost::DeviceModel> model = ReadDeviceModel(device, reason);
  if (!model) {
    error = name + ": " + reason;
    return nullptr;
  }
  libusb_device_handle* handle = nullptr;
  if (const int result = libusb_open(device, &handle); result != LIBUSB_SUCCESS) {
    error = name + " cannot be opened: " + OpenAdvice(result);
    return nullptr;
  }
  // A kernel driver bound to an interface is detached when it is claimed and bound
  // again when it is released. Not every platform can; the claim then says busy.
  libusb_set_auto_detach_kernel_driver(handle, 1);
  std::shared_ptr<LibusbDevice> opened(new LibusbDevice(std::move(context), device, handle, std::move(*model)));
  // Claimed now, so that a camera another program holds is reported while booting.
  for (uint8_t number = 0; number < opened->model_.configuration.bNumInterfaces; ++number) {
    if (int result = 0; !opened->Claim(number, result)) {
      error = name + " cannot be opened: " + OpenAdvice(result);
      return nullptr;
    }
  }
  return opened;
}

LibusbDevice::LibusbDevice(std::shared_ptr<UsbContext> context, libusb_device* device, libusb_device_handle* handle,
                           usbhost::DeviceModel model)
    : context_(std::move(context)),
      device_(libusb_ref_device(device)),
      name_(DeviceName(device)),
      model_(std::move(model)),
      handle_(handle),
      control_(std::make_unique<ControlChannel>(handle)),
      iso_(std::make_unique<IsoStream>(handle)) {}

LibusbDevice::~LibusbDevice() {
  Release();
  libusb_unref_device(device_);
}

void LibusbDevice::SubmitControl(const USB_DEVICE_REQUEST& setup, std::span<uint8_t> data,
                                 usbhost::ControlCompletion complete) {
  std::shared_lock lock(handleMutex_);
  if (handle_ == nullptr) {
    complete(USB_DEVICE_NOT_RESPONDING_ERROR, 0);
    return;
  }
  control_->Submit(setup, data, std::move(complete));
}

bool LibusbDevice::SelectAlternateSetting(uint8_t interfaceNumber, uint8_t alternateSetting) {
  std::shared_lock lock(handleMutex_);
  if (handle_ == nullptr) return false;
  iso_->Stop();
  int result = 0;
  return Claim(interfaceNumber, result) &&
         libusb_set_interface_alt_setting(handle_, interfaceNumber, alternateSetting) == LIBUSB_SUCCESS;
}

bool LibusbDevice::ResetEndpoint(uint8_t endpointAddress) {
  std::shared_lock lock(handleMutex_);
  if (handle_ == nullptr) return false;
  iso_->Stop();
  return libusb_clear_halt(handle_, endpointAddress) == LIBUSB_SUCCESS;
}

bool LibusbDevice::IsochIn(uint8_t endpointAddress, std::span<const DWORD> requestedLengths, uint8_t* buffer,
                           std::span<DWORD> actualLengths) {
  std::shared_lock lock(handleMutex_);
  if (handle_ == nullptr) return false;
  return iso_->Read(endpointAddress, requestedLengths, buffer, actualLengths);
}

bool LibusbDevice::Claim(uint8_t interfaceNumber, int& result) {
  std::lock_guard lock(claimMutex_);
  if (claimed_.contains(interfaceNumber)) return true;
  result = libusb_claim_interface(handle_, interfaceNumber);
  if (result != LIBUSB_SUCCESS) return false;
  claimed_.insert(interfaceNumber);
  return true;
}

void LibusbDevice::Disconnect() { Release(); }

void LibusbDevice::Release() {
  // First everything in flight ends and blocked calls return, then the handle goes.
  iso_->Close();
  control_->Close();
  std::unique_lock lock(handleMutex_);
  if (handle_ == nullptr) return;
  for (uint8_t number : claimed_) libusb_release_interface(handle_, number);
  claimed_.clear();
  libusb_close(handle_);
  handle_ = nullptr;
}

}  // namespace usbreal
