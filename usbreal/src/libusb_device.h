// A real USB device as a backend of the USB host, through libusb: descriptors as the
// device reports them, control transfers completing on libusb's event thread, the
// interfaces claimed (a kernel driver holding them is detached, and given back when the
// device is let go), isochronous IN transfers, halts cleared.
#pragma once

#include <libusb.h>

#include <memory>
#include <mutex>
#include <set>
#include <shared_mutex>
#include <string>

#include "control_channel.h"
#include "iso_stream.h"
#include "usb_context.h"
#include "usbhost/usbhost.h"

namespace usbreal {

// "bus 1 address 5 (0ac8:ec01)", for messages.
std::string DeviceName(libusb_device* device);

class LibusbDevice final : public usbhost::DeviceBackend {
 public:
  // Opens `device` and claims its interfaces; null with `error` naming the device and
  // what to do when libusb cannot (no permission, busy, gone).
  static std::shared_ptr<LibusbDevice> Open(std::shared_ptr<UsbContext> context, libusb_device* device,
                                            std::string& error);
  ~LibusbDevice() override;

  usbhost::DeviceModel Describe() const override { return model_; }
  void SubmitControl(const USB_DEVICE_REQUEST& setup, std::span<uint8_t> data,
                     usbhost::ControlCompletion complete) override;
  void CancelControl() override { control_->Cancel(); }
  bool SelectAlternateSetting(uint8_t interfaceNumber, uint8_t alternateSetting) override;
  bool ResetEndpoint(uint8_t endpointAddress) override;
  bool IsochIn(uint8_t endpointAddress, std::span<const DWORD> requestedLengths, uint8_t* buffer,
               std::span<DWORD> actualLengths) override;
  // Every transfer is cancelled and a blocked read returns; the interfaces go back to the
  // kernel driver that held them and the device is closed.
  void Disconnect() override;

  libusb_device* device() const { return device_; }
  const std::string& name() const { return name_; }

 private:
  LibusbDevice(std::shared_ptr<UsbContext> context, libusb_device* device, libusb_device_handle* handle,
               usbhost::DeviceModel model);
  bool Claim(uint8_t interfaceNumber, int& result);  // with the handle open
  void Release();

  const std::shared_ptr<UsbContext> context_;  // declared first: it outlives the handle
  libusb_device* const device_;
  const std::string name_;
  const usbhost::DeviceModel model_;
  // Shared by every call that uses the handle, exclusive when it is closed.
  std::shared_mutex handleMutex_;
  libusb_device_handle* handle_;
  std::unique_ptr<ControlChannel> control_;
  std::unique_ptr<IsoStream> iso_;
  std::mutex claimMutex_;
  std::set<uint8_t> claimed_;
};

}  // namespace usbreal
