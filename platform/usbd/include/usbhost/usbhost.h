// The USB host behind usbd.dll: device backends plug into it, it offers each device to
// the registered client drivers and tells them when the device goes.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "usbdi.h"

namespace usbhost {

// One (interface number, alternate setting) with its endpoints.
struct InterfaceModel {
  USB_INTERFACE_DESCRIPTOR descriptor;
  std::vector<USB_ENDPOINT_DESCRIPTOR> endpoints;
};

// What a device reports about itself: one configuration, every alternate setting.
struct DeviceModel {
  USB_DEVICE_DESCRIPTOR device;
  USB_CONFIGURATION_DESCRIPTOR configuration;
  std::vector<InterfaceModel> interfaces;
};

// Completion of a control transfer: the USB error (USB_NO_ERROR, USB_STALL_ERROR, ...)
// and the bytes moved in the data stage.
using ControlCompletion = std::function<void(DWORD usbError, DWORD bytesTransferred)>;

// A device as the host drives it. Implementations: the emulated camera (emucam), test
// devices, and later real hardware through libusb. All calls may come from any thread.
class DeviceBackend {
 public:
  virtual ~DeviceBackend() = default;

  virtual DeviceModel Describe() const = 0;

  // Starts a control transfer on the default pipe. `data` is the data stage (wLength
  // bytes, in or out by bmRequestType bit 7) and stays valid until completion or until
  // the host cancels. `complete` runs exactly once, on any thread, possibly before this
  // returns; a device that has stopped answering never calls it, and the host's
  // time-outs and CloseTransfer deal with that.
  virtual void SubmitControl(const USB_DEVICE_REQUEST& setup, std::span<uint8_t> data, ControlCompletion complete) = 0;

  // Called when the host gives up on a pending control transfer (CloseTransfer before
  // completion, unplug). After it returns the backend no longer touches that transfer's
  // data and never calls its completion.
  virtual void CancelControl() {}

  // Selects an alternate setting (SET_INTERFACE). False when the device refuses it.
  virtual bool SelectAlternateSetting(uint8_t interfaceNumber, uint8_t alternateSetting) = 0;

  virtual bool ResetEndpoint(uint8_t /*endpointAddress*/) { return true; }

  // One isochronous IN transfer, blocking until every packet's USB frame has passed:
  // packet i lands at buffer + offset i (the sum of the requested lengths before it) and
  // its actual length goes to actualLengths[i]. False when the endpoint cannot stream
  // (setting 0 selected, unplugged). May throw to model a fault inside the transfer.
  virtual bool IsochIn(uint8_t endpointAddress, std::span<const DWORD> requestedLengths, uint8_t* buffer,
                       std::span<DWORD> actualLengths) = 0;

  // Unplug: every blocked call returns promptly, later calls fail.
  virtual void Disconnect() = 0;
};

using DeviceId = uint32_t;

// Plugs a device in: the host offers it to every client driver whose registered settings
// match (loading the driver's library and calling its USBDeviceAttach) and returns once
// the attach has finished. Returns the id for UnplugDevice; 0 on failure.
DeviceId PlugDevice(std::shared_ptr<DeviceBackend> device);

// Unplugs a device: the backend is disconnected, then the notification routine the
// client registered is called with USB_CLOSE_DEVICE. Returns after it has returned.
// False for an unknown id.
bool UnplugDevice(DeviceId id);

// Ids of the devices plugged in now, in plugging order.
std::vector<DeviceId> PluggedDevices();

// The id of the plugged device that `backend` drives; 0 when it is not plugged. A backend
// whose device goes away by itself (hot-plug) unplugs it with this id.
DeviceId FindDevice(const DeviceBackend* backend);

// Devices a configuration string can name, by scheme: "emu:sensor=2,fps=25" asks the
// factory registered for "emu" with the text after the colon.
using BackendFactory = std::function<std::shared_ptr<DeviceBackend>(std::string_view options, std::string& error)>;
void RegisterBackendFactory(std::string scheme, BackendFactory factory);

// A scheme whose entry stands for any number of devices, none included ("usb": every
// camera connected now): the factory returns them all, or nullopt with `error` set.
using Backends = std::vector<std::shared_ptr<DeviceBackend>>;
using MultiBackendFactory = std::function<std::optional<Backends>(std::string_view options, std::string& error)>;
void RegisterMultiBackendFactory(std::string scheme, MultiBackendFactory factory);

// Plugs every device of a ';'-separated configuration ("emu;emu:sensor=12"). On error
// nothing of that configuration stays plugged and `error` says why.
bool PlugDevicesFromConfig(std::string_view config, std::string& error);

// Loads a client driver's library (LoadLibraryW), calls its USBInstallDriver once per
// process with the library name. False with `error` set when that fails.
bool InstallClientDriver(std::u16string_view libraryName, std::string& error);

// Unplugs every device, then calls USBUnInstallDriver of every installed driver and
// frees the libraries: the process can end cleanly.
void ShutdownHost();

}  // namespace usbhost
