// Shared set-up of the host tests: the test client driver is installed once per process
// (as USBInstallDriver runs once per process), each test starts with a clean client
// record, and every device a test plugs is unplugged again when it ends.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "test_backend.h"
#include "test_client.h"
#include "usbhost/usbhost.h"

namespace usbtest {

class HostTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    std::string error;
    ASSERT_TRUE(usbhost::InstallClientDriver(testclient::kLibraryName, error)) << error;
  }

  void SetUp() override { testclient::Reset(); }

  void TearDown() override {
    testclient::ReleaseNotify();
    for (usbhost::DeviceId id : plugged_) usbhost::UnplugDevice(id);
  }

  // Plugs a camera-like device of the vendor; the test keeps the backend to script it.
  std::shared_ptr<TestBackend> Plug(WORD vendor, usbhost::DeviceId* id = nullptr) {
    auto backend = std::make_shared<TestBackend>(CameraLikeModel(vendor));
    const usbhost::DeviceId plugged = usbhost::PlugDevice(backend);
    EXPECT_NE(plugged, 0u);
    plugged_.push_back(plugged);
    if (id) *id = plugged;
    return backend;
  }

  // The client's view of the one device it accepted last.
  testclient::Attachment Attached() const {
    const auto attachments = testclient::Attachments();
    EXPECT_FALSE(attachments.empty());
    return attachments.empty() ? testclient::Attachment{} : attachments.back();
  }

 private:
  std::vector<usbhost::DeviceId> plugged_;
};

}  // namespace usbtest
