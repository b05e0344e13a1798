#include "usb_cameras.h"

namespace usbreal {
namespace {

libusb_device_descriptor DescriptorOf(libusb_device* device) {
  libusb_device_descriptor descriptor{};
  libusb_get_device_descriptor(device, &descriptor);
  return descriptor;
}

// A device by its place on the bus: libusb may report one device through more than one
// record (listed at start, announced by hot-plug).
UsbCameras::Place PlaceOf(libusb_device* device) {
  return {libusb_get_bus_number(device), libusb_get_device_address(device)};
}

bool Selected(const DeviceSelector& selector, libusb_device* device) {
  const libusb_device_descriptor descriptor = DescriptorOf(device);
  return selector.Matches(libusb_get_bus_number(device), libusb_get_device_address(device), descriptor.idVendor,
                          descriptor.idProduct);
}

}  // namespace

std::optional<usbhost::Backends> UsbCameras::Open(const DeviceSelector& selector, const std::string& entry,
                                                  std::string& error) {
  std::shared_ptr<UsbContext> context;
  {
    std::lock_guard lock(mutex_);
    if (!context_) {
      std::string reason;
      context_ = UsbContext::Get(reason);
      if (!context_) {
        report_("usb: " + reason + "; no real camera can be used");
        return usbhost::Backends{};
      }
    }
    Watch(selector.EveryCamera());
    context = context_;
  }
  libusb_device** list = nullptr;
  const ssize_t count = libusb_get_device_list(context->get(), &list);
  if (count < 0) {
    error = std::string("libusb cannot list the USB devices: ") + libusb_strerror(static_cast<int>(count));
    return std::nullopt;
  }
  usbhost::Backends opened;
  bool matched = false;
  for (ssize_t i = 0; i < count && !(matched && !selector.EveryCamera()); ++i) {  // a selector picks one device
    if (!Selected(selector, list[i])) continue;
    matched = true;
    if (auto device = OpenNew(list[i])) opened.push_back(std::move(device));
  }
  libusb_free_device_list(list, 1);
  if (!matched && !selector.EveryCamera()) report_("usb: no USB device matches '" + entry + "'");
  return opened;
}

std::shared_ptr<LibusbDevice> UsbCameras::OpenNew(libusb_device* device) {
  const Place place = PlaceOf(device);
  std::shared_ptr<UsbContext> context;
  {
    std::lock_guard lock(mutex_);
    auto held = held_.find(place);
    if (held != held_.end() && !held->second.expired()) return nullptr;  // plugged already
    // A camera that arrives while the entry lists the bus is seen twice: opened once.
    if (!context_ || !opening_.insert(place).second) return nullptr;
    context = context_;
  }
  std::string error;
  std::shared_ptr<LibusbDevice> opened = LibusbDevice::Open(context, device, error);
  std::lock_guard lock(mutex_);
  opening_.erase(place);
  if (!opened) {
    report_(error);
    return nullptr;
  }
  std::erase_if(held_, [](const auto& entry) { return entry.second.expired(); });
  held_[place] = opened;
  return opened;
}

void UsbCameras::Watch(bool arrivals) {
  arrivals_ = arrivals_ || arrivals;
  if (watching_) return;
  watching_ = true;
  if (!libusb_has_capability(LIBUSB_CAP_HAS_HOTPLUG)) {
    report_("usb: libusb cannot follow hot-plug here; cameras plugged in later are not seen");
    return;
  }
  stopping_ = false;
  worker_ = std::thread([this] { RunEvents(); });
  const int result = libusb_hotplug_register_callback(
      context_->get(),
      static_cast<libusb_hotplug_event>(LIBUSB_HOTPLUG_EVENT_DEVICE_ARRIVED | LIBUSB_HOTPLUG_EVENT_DEVICE_LEFT),
      LIBUSB_HOTPLUG_NO_FLAGS, LIBUSB_HOTPLUG_MATCH_ANY, LIBUSB_HOTPLUG_MATCH_ANY, LIBUSB_HOTPLUG_MATCH_ANY, OnHotPlug,
      this, &callback_);
  if (result != LIBUSB_SUCCESS) report_(std::string("usb: hot-plug cannot be followed: ") + libusb_strerror(result));
}

int LIBUSB_CALL UsbCameras::OnHotPlug(libusb_context*, libusb_device* device, libusb_hotplug_event event, void* self) {
  auto* cameras = static_cast<UsbCameras*>(self);
  std::lock_guard lock(cameras->mutex_);
  if (cameras->stopping_) return 0;
  cameras->events_.push_back({event, libusb_ref_device(device)});
  cameras->wake_.notify_all();
  return 0;  // stay registered
}

void UsbCameras::RunEvents() {
  std::unique_lock lock(mutex_);
  while (true) {
    wake_.wait(lock, [this] { return stopping_ || !events_.empty(); });
    if (stopping_) break;
    const Event event = events_.front();
    events_.pop_front();
    // Plugging and unplugging call into the driver: never under the lock.
    lock.unlock();
    if (event.kind == LIBUSB_HOTPLUG_EVENT_DEVICE_ARRIVED) {
      Arrived(event.device);
    } else {
      Left(event.device);
    }
    libusb_unref_device(event.device);
    lock.lock();
  }
}

void UsbCameras::Arrived(libusb_device* device) {
  {
    std::lock_guard lock(mutex_);
    if (!arrivals_) return;
  }
  if (DescriptorOf(device).idVendor != kCameraVendor) return;
  if (auto opened = OpenNew(device)) usbhost::PlugDevice(std::move(opened));
}

void UsbCameras::Left(libusb_device* device) {
  std::shared_ptr<LibusbDevice> gone;
  {
    std::lock_guard lock(mutex_);
    const auto held = held_.find(PlaceOf(device));
    if (held == held_.end()) return;
    gone = held->second.lock();
    held_.erase(held);
  }
  if (!gone) return;
  if (const usbhost::DeviceId id = usbhost::FindDevice(gone.get()); id != 0) usbhost::UnplugDevice(id);
}

void UsbCameras::Stop() {
  std::unique_lock lock(mutex_);
  stopping_ = true;
  wake_.notify_all();
  std::thread worker = std::move(worker_);
  const std::shared_ptr<UsbContext> context = worker.joinable() ? context_ : nullptr;
  lock.unlock();
  // Not under the lock: libusb holds its own while a notice waits for ours in OnHotPlug.
  if (context) libusb_hotplug_deregister_callback(context->get(), callback_);
  if (worker.joinable()) worker.join();
  lock.lock();
  for (const Event& event : events_) libusb_unref_device(event.device);
  events_.clear();
  held_.clear();
  watching_ = false;
  arrivals_ = false;
  context_.reset();  // the devices still plugged keep it until the host lets them go
}

}  // namespace usbreal
