#include "camclient_test_environment.h"

#include <algorithm>

#include "system/boot.h"

namespace {

class BootedSystem : public ::testing::Environment {
 public:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(BootSystem(error)) << error;
  }
  void TearDown() override { ShutdownSystem(); }
};

const auto* const kBootedSystem = ::testing::AddGlobalTestEnvironment(new BootedSystem);

}  // namespace

ExtraCamera::ExtraCamera() {
  const std::vector<usbhost::DeviceId> before = usbhost::PluggedDevices();
  std::string error;
  if (!usbhost::PlugDevicesFromConfig("emu", error)) {
    ADD_FAILURE() << "cannot plug an emulated camera: " << error;
    return;
  }
  for (const usbhost::DeviceId id : usbhost::PluggedDevices()) {
    if (std::find(before.begin(), before.end(), id) == before.end()) id_ = id;
  }
}

ExtraCamera::~ExtraCamera() { Unplug(); }

void ExtraCamera::Unplug() {
  if (id_ != 0) usbhost::UnplugDevice(id_);
  id_ = 0;
}
