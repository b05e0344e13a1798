// The devices the "usb" scheme has opened, and the hot-plug that brings more and takes
// them away. libusb reports hot-plug on its event thread; the plugging and unplugging,
// which run the driver's attach and removal, happen on a thread of their own.
#pragma once

#include <libusb.h>

#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <utility>

#include "device_selector.h"
#include "libusb_device.h"
#include "usb_context.h"
#include "usbhost/usbhost.h"
#include "usbreal/usb_scheme.h"

namespace usbreal {

class UsbCameras {
 public:
  explicit UsbCameras(Report report) : report_(std::move(report)) {}
  ~UsbCameras() { Stop(); }

  // The devices `selector` names, opened; those that cannot be are reported and left out
  // (`entry` is the entry's text, for the report of an entry that matches nothing).
  std::optional<usbhost::Backends> Open(const DeviceSelector& selector, const std::string& entry, std::string& error);
  void Stop();

  using Place = std::pair<uint8_t, uint8_t>;  // bus, address

 private:
  struct Event {
    libusb_hotplug_event kind;
    libusb_device* device;  // referenced
  };
  static int LIBUSB_CALL OnHotPlug(libusb_context* context, libusb_device* device, libusb_hotplug_event event,
                                   void* self);
  void Watch(bool arrivals);  // under mutex_
  void RunEvents();
  void Arrived(libusb_device* device);
  void Left(libusb_device* device);
  // Opens a device not yet held; null (reported) when it cannot be.
  std::shared_ptr<LibusbDevice> OpenNew(libusb_device* device);

  const Report report_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::shared_ptr<UsbContext> context_;
  std::map<Place, std::weak_ptr<LibusbDevice>> held_;
  std::set<Place> opening_;
  libusb_hotplug_callback_handle callback_{};
  bool watching_ = false;
  bool arrivals_ = false;  // a plain "usb" entry: cameras plugged later are taken too
  bool stopping_ = false;
  std::deque<Event> events_;
  std::thread worker_;
};

}  // namespace usbreal
