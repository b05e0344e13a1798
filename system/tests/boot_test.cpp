// Boot and shut-down as a program sees them: drivers and devices come from the
// environment, counted emulated cameras become separate devices, and a failed boot
// leaves nothing behind.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "system/boot.h"
#include "test_client.h"
#include "usbhost/usbhost.h"

namespace {

class Boot : public ::testing::Test {
 protected:
  void SetUp() override {
    testclient::Reset();
    setenv("VELMAR_DRIVERS", "usbd_test_client.dll", 1);
  }
  void TearDown() override {
    ShutdownSystem();
    unsetenv("VELMAR_DRIVERS");
    unsetenv("VELMAR_DEVICES");
  }
};

TEST_F(Boot, InstallsTheDriversAndPlugsEveryCountedCamera) {
  setenv("VELMAR_DEVICES", "emu:count=2,vendor=0x1234,timing=fast;emu:vendor=0x1234,sensor=12", 1);
  const int installs = testclient::InstallCount();
  std::string error;
  ASSERT_TRUE(BootSystem(error)) << error;
  EXPECT_EQ(testclient::InstallCount(), installs + 1);
  EXPECT_EQ(usbhost::PluggedDevices().size(), 3u);
  EXPECT_EQ(testclient::Attachments().size(), 3u);

  const int uninstalls = testclient::UninstallCount();
  ShutdownSystem();
  EXPECT_TRUE(usbhost::PluggedDevices().empty());
  EXPECT_EQ(testclient::UninstallCount(), uninstalls + 1);
}

TEST_F(Boot, EmptyDeviceListBootsWithoutDevices) {
  setenv("VELMAR_DEVICES", "", 1);
  std::string error;
  ASSERT_TRUE(BootSystem(error)) << error;
  EXPECT_TRUE(usbhost::PluggedDevices().empty());
}

TEST_F(Boot, BadDeviceEntryFailsAndLeavesNothingPlugged) {
  setenv("VELMAR_DEVICES", "emu:vendor=0x1234;emu:sensor=99", 1);
  const int uninstalls = testclient::UninstallCount();
  std::string error;
  EXPECT_FALSE(BootSystem(error));
  EXPECT_EQ(error.rfind("VELMAR_DEVICES: ", 0), 0u) << error;
  EXPECT_NE(error.find("sensor"), std::string::npos) << error;
  EXPECT_TRUE(usbhost::PluggedDevices().empty());
  EXPECT_EQ(testclient::UninstallCount(), uninstalls + 1);
}

TEST_F(Boot, ScheduledCameraGoesAndComesBackOnceThroughTheDriversRemoval) {
  setenv("VELMAR_DEVICES", "emu:vendor=0x1234,timing=fast,unplug=0.3,replug=0.3;emu:vendor=0x1234", 1);
  std::string error;
  ASSERT_TRUE(BootSystem(error)) << error;
  const std::vector<usbhost::DeviceId> booted = usbhost::PluggedDevices();
  ASSERT_EQ(booted.size(), 2u);
  const auto within5s = [](auto done) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!done()) {
      if (std::chrono::steady_clock::now() > end) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
  };
  ASSERT_TRUE(within5s([] { return usbhost::PluggedDevices().size() == 1; }));
  EXPECT_EQ(usbhost::PluggedDevices().front(), booted.back());  // the other camera stays
  // The host lists a plugged camera a moment before it offers it to the drivers.
  ASSERT_TRUE(within5s([] { return usbhost::PluggedDevices().size() == 2 && testclient::Attachments().size() == 3; }));
  // The fresh camera has no schedule of its own.
  std::this_thread::sleep_for(std::chrono::milliseconds(800));
  EXPECT_EQ(usbhost::PluggedDevices().size(), 2u);
}

TEST_F(Boot, ShutdownDropsTheScheduleStillToCome) {
  setenv("VELMAR_DEVICES", "emu:vendor=0x1234,unplug=0.2,replug=0.2", 1);
  std::string error;
  ASSERT_TRUE(BootSystem(error)) << error;
  ShutdownSystem();
  std::this_thread::sleep_for(std::chrono::milliseconds(600));
  EXPECT_TRUE(usbhost::PluggedDevices().empty());
}

TEST_F(Boot, MissingDriverFails) {
  setenv("VELMAR_DRIVERS", "usbd_test_client.dll;NOSUCHDRIVER.DLL", 1);
  std::string error;
  EXPECT_FALSE(BootSystem(error));
  EXPECT_EQ(error.rfind("VELMAR_DRIVERS: ", 0), 0u) << error;
  // The message names the file it looked for and where, and what to do.
  EXPECT_NE(error.find("libnosuchdriver.so"), std::string::npos) << error;
  EXPECT_NE(error.find("VELMAR_DLL_PATH"), std::string::npos) << error;
  EXPECT_TRUE(usbhost::PluggedDevices().empty());
}

}  // namespace

namespace {

TEST_F(Boot, ARealCameraThatCannotBeReachedIsReportedAndTheBootGoesOn) {
  setenv("VELMAR_DEVICES", "usb:bus=250,address=250;emu:vendor=0x1234,timing=fast", 1);
  std::string error;
  ::testing::internal::CaptureStderr();
  const bool booted = BootSystem(error);
  const std::string said = ::testing::internal::GetCapturedStderr();
  ASSERT_TRUE(booted) << error;
  EXPECT_EQ(usbhost::PluggedDevices().size(), 1u);  // the emulated camera
  EXPECT_EQ(said.rfind("velmar: usb", 0), 0u) << said;
}

TEST_F(Boot, AWrongUsbEntryFailsTheBootNamingIt) {
  setenv("VELMAR_DEVICES", "emu:vendor=0x1234;usb:port=1", 1);
  std::string error;
  EXPECT_FALSE(BootSystem(error));
  EXPECT_NE(error.find("usb:port=1"), std::string::npos) << error;
  EXPECT_NE(error.find("unknown key 'port'"), std::string::npos) << error;
  EXPECT_TRUE(usbhost::PluggedDevices().empty());
}

}  // namespace
