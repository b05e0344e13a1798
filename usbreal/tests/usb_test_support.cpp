#include "usb_test_support.h"

#include <gtest/gtest.h>

#include <mutex>

#include "testing/booted_system.h"
#include "testing/plugged_camera.h"
#include "usbreal/usb_scheme.h"

namespace usbtest {
namespace {

std::mutex reportsMutex;
std::vector<std::string> reports;

// The bus first, so libusb (started by the first "usb" entry) sees the testbed; the
// scheme's reports go to the tests; then the system boots without devices.
class UsbEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    Bus();
    usbreal::RegisterBackendFactory([](const std::string& line) {
      std::lock_guard lock(reportsMutex);
      reports.push_back(line);
    });
    vtest::BootForTests({});
  }
  void TearDown() override { vtest::ShutDownAfterTests(); }
};

[[maybe_unused]] const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new UsbEnvironment);

}  // namespace

usbtestbed::MockUsbBus& Bus() {
  static auto* bus = new usbtestbed::MockUsbBus;
  return *bus;
}

std::vector<std::string> TakeReports() {
  std::lock_guard lock(reportsMutex);
  return std::exchange(reports, {});
}

std::vector<std::u16string> StreamNames() {
  std::vector<std::u16string> names;
  for (const std::u16string& key : vtest::ActiveKeyPaths()) names.push_back(vtest::RegistryText(key, u"Name"));
  return names;
}

usbtestbed::MockDeviceOptions KernelDriver(std::string name) {
  usbtestbed::MockDeviceOptions options;
  options.kernelDriver = std::move(name);
  return options;
}

usbtestbed::MockDeviceOptions HeldByProgram() {
  usbtestbed::MockDeviceOptions options;
  options.heldByProgram = true;
  return options;
}

usbtestbed::MockDeviceOptions WithoutNode() {
  usbtestbed::MockDeviceOptions options;
  options.withoutNode = true;
  return options;
}

usbtestbed::MockDeviceOptions Descriptors(std::vector<uint8_t> bytes) {
  usbtestbed::MockDeviceOptions options;
  options.descriptors = std::move(bytes);
  return options;
}

size_t PluggedCount() { return usbhost::PluggedDevices().size(); }

UsbCamera::UsbCamera(const std::string& cameraOptions, usbtestbed::MockDeviceOptions options) {
  std::string error;
  camera_ = emucam::EmulatedCamera::Create(cameraOptions, error);
  if (!camera_) throw std::runtime_error(error);
  device_ = Bus().Add(camera_, std::move(options));
}

UsbCamera::~UsbCamera() { Pull(); }

std::string UsbCamera::Entry() const {
  return "usb:bus=" + std::to_string(device_->bus()) + ",address=" + std::to_string(device_->address());
}

bool UsbCamera::Plug() {
  const std::vector<std::u16string> before = vtest::ActiveKeyPaths();
  const std::vector<usbhost::DeviceId> devices = usbhost::PluggedDevices();
  std::string error;
  if (!usbhost::PlugDevicesFromConfig(Entry(), error)) {
    ADD_FAILURE() << error;
    return false;
  }
  for (usbhost::DeviceId id : usbhost::PluggedDevices()) {
    if (std::find(devices.begin(), devices.end(), id) == devices.end()) id_ = id;
  }
  for (const std::u16string& key : vtest::ActiveKeyPaths()) {
    if (std::find(before.begin(), before.end(), key) == before.end()) streamName_ = vtest::RegistryText(key, u"Name");
  }
  return !streamName_.empty();
}

void UsbCamera::Pull() {
  if (!device_) return;
  Bus().Remove(device_);
  device_.reset();
  // The hot-plug notice reaches the host on its own thread.
  const auto stillPlugged = [this] {
    const auto plugged = usbhost::PluggedDevices();
    return std::find(plugged.begin(), plugged.end(), id_) != plugged.end();
  };
  if (id_ != 0) {
    EXPECT_TRUE(vtest::PollUntil([&] { return !stillPlugged(); }));
  }
  id_ = 0;
}

}  // namespace usbtest
