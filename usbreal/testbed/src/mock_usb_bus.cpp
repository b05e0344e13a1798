#include "usbtestbed/mock_usb_bus.h"

#include <umockdev.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <stdexcept>

#include "usbfs_handler.h"

namespace usbtestbed {
namespace {

template <typename Descriptor>
void Append(std::vector<uint8_t>& bytes, const Descriptor& descriptor) {
  const auto* first = reinterpret_cast<const uint8_t*>(&descriptor);
  bytes.insert(bytes.end(), first, first + sizeof descriptor);
}

std::string Hex(const std::vector<uint8_t>& bytes) {
  std::string text;
  char digits[3];
  for (uint8_t byte : bytes) {
    std::snprintf(digits, sizeof digits, "%02X", byte);
    text += digits;
  }
  return text;
}

std::string Decimal3(unsigned value) {
  char text[8];
  std::snprintf(text, sizeof text, "%03u", value);
  return text;
}

}  // namespace

std::vector<uint8_t> DescriptorBytes(const usbhost::DeviceModel& model) {
  std::vector<uint8_t> bytes;
  Append(bytes, model.device);
  USB_CONFIGURATION_DESCRIPTOR configuration = model.configuration;
  size_t total = sizeof configuration;
  for (const auto& interface : model.interfaces) {
    total += sizeof interface.descriptor + interface.endpoints.size() * sizeof(USB_ENDPOINT_DESCRIPTOR);
  }
  configuration.wTotalLength = static_cast<WORD>(total);
  Append(bytes, configuration);
  for (const auto& interface : model.interfaces) {
    Append(bytes, interface.descriptor);
    for (const auto& endpoint : interface.endpoints) Append(bytes, endpoint);
  }
  return bytes;
}

struct MockUsbBus::State {
  UMockdevTestbed* testbed = nullptr;
  std::mutex mutex;
  std::map<uint8_t, unsigned> nextAddress;  // per bus
  struct Entry {
    std::shared_ptr<UsbfsHandler> handler;
    std::string sysfsPath;
    std::string node;
    bool removed = false;
  };
  std::map<const MockDevice*, Entry> devices;
};

bool MockUsbBus::Active() {
  const char* preload = std::getenv("LD_PRELOAD");
  return preload != nullptr && std::strstr(preload, "umockdev-preload") != nullptr;
}

MockUsbBus::MockUsbBus() : state_(std::make_unique<State>()) {
  if (!Active()) throw std::runtime_error("the mock USB bus needs umockdev-wrapper");
  state_->testbed = umockdev_testbed_new();
}

MockUsbBus::~MockUsbBus() {
  std::vector<std::shared_ptr<MockDevice>> devices;
  {
    std::lock_guard lock(state_->mutex);
    for (const auto& [key, entry] : state_->devices) devices.push_back(entry.handler);
  }
  for (const auto& device : devices) Remove(device);
  g_object_unref(state_->testbed);
}

std::shared_ptr<MockDevice> MockUsbBus::Add(std::shared_ptr<usbhost::DeviceBackend> backend,
                                            MockDeviceOptions options) {
  std::lock_guard lock(state_->mutex);
  unsigned& next = state_->nextAddress[options.bus];
  if (options.address == 0) options.address = static_cast<uint8_t>(next = std::max(next + 1, 2u));
  if (options.descriptors.empty()) options.descriptors = DescriptorBytes(backend->Describe());
  const std::string bus = Decimal3(options.bus), address = Decimal3(options.address);
  const std::string name = std::to_string(options.bus) + "-" + std::to_string(options.address);
  const std::string node = "/dev/bus/usb/" + bus + "/" + address;
  const std::string record = "P: /devices/pci0000:00/usb" + std::to_string(options.bus) + "/" + name + "\n" +
                             (options.withoutNode ? "" : "N: bus/usb/" + bus + "/" + address + "\n") +
                             "E: SUBSYSTEM=usb\nE: DEVTYPE=usb_device\nE: DEVNAME=" + node + "\nE: BUSNUM=" + bus +
                             "\nE: DEVNUM=" + address + "\nA: busnum=" + std::to_string(options.bus) +
                             "\\n\nA: devnum=" + std::to_string(options.address) +
                             "\\n\nA: speed=12\\n\nA: bConfigurationValue=1\\n\nA: dev=189:" +
                             std::to_string((options.bus - 1) * 128 + options.address - 1) +
                             "\\n\nH: descriptors=" + Hex(options.descriptors) + "\n";
  // The handler is in place before the device appears: libusb may open it as soon as
  // the "add" uevent that adding sends arrives.
  auto handler = std::make_shared<UsbfsHandler>(std::move(backend), std::move(options));
  GError* error = nullptr;
  if (!handler->withoutNode() &&
      !umockdev_testbed_attach_ioctl(state_->testbed, node.c_str(), handler->ioctlBase(), &error)) {
    const std::string message = error->message;
    g_error_free(error);
    throw std::runtime_error("umockdev: " + message);
  }
  if (!umockdev_testbed_add_from_string(state_->testbed, record.c_str(), &error)) {
    const std::string message = error->message;
    g_error_free(error);
    throw std::runtime_error("umockdev: " + message);
  }
  const std::string sysfsPath = "/sys/devices/pci0000:00/usb" + std::to_string(handler->bus()) + "/" + name;
  state_->devices[handler.get()] = {handler, sysfsPath, node};
  umockdev_testbed_uevent(state_->testbed, sysfsPath.c_str(), "add");
  return handler;
}

void MockUsbBus::Remove(const std::shared_ptr<MockDevice>& device) {
  std::lock_guard lock(state_->mutex);
  const auto found = state_->devices.find(device.get());
  if (found == state_->devices.end() || found->second.removed) return;
  State::Entry& entry = found->second;
  entry.removed = true;
  entry.handler->Unplug();
  umockdev_testbed_uevent(state_->testbed, entry.sysfsPath.c_str(), "remove");
  // The entry stays, hidden from libusb's listing (it lists usb_device entries only):
  // removing it would take its ioctl handler away, and a program that still has the node
  // open would wait for ever for an answer. Its handler answers ENODEV from now on.
  umockdev_testbed_set_property(state_->testbed, entry.sysfsPath.c_str(), "DEVTYPE", "usb_device_removed");
}

}  // namespace usbtestbed
