// camlist as a user runs it, over the mock USB bus: what it prints for usable and
// unusable devices, and its exit status.

#include <gtest/gtest.h>

#include "camlist/device_table.h"
#include "emucam/emulated_camera.h"
#include "testing/child_process.h"
#include "usbtestbed/mock_usb_bus.h"

namespace {

using std::chrono::seconds;

struct CamlistRun {
  std::string output;
  std::optional<int> status;
};

CamlistRun Camlist(const std::vector<std::string>& arguments) {
  ChildProcess camlist(VELMAR_CAMLIST_PATH, arguments);
  const std::optional<int> status = camlist.WaitForExit(seconds(20));
  return {camlist.Output(), status};
}

std::shared_ptr<emucam::EmulatedCamera> Camera(const std::string& options) {
  std::string error;
  auto camera = emucam::EmulatedCamera::Create(options, error);
  EXPECT_TRUE(camera) << error;
  return camera;
}

TEST(Camlist, ListsEachDeviceOfTheVendorWithWhetherItCanBeOpened) {
  usbtestbed::MockUsbBus bus;
  usbtestbed::MockDeviceOptions held;
  held.kernelDriver = "kernelcam";
  auto usable = bus.Add(Camera("timing=fast"), held);
  usbtestbed::MockDeviceOptions vanished;
  vanished.withoutNode = true;
  auto gone = bus.Add(Camera("timing=fast,product=0xEC02"), vanished);
  auto other = bus.Add(Camera("timing=fast,vendor=0x1234"));

  const CamlistRun run = Camlist({});
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.output.find("001 002     0ac8:ec01  full (12 Mbit/s)   yes (a kernel driver holds it"),
            std::string::npos)
      << run.output;
  EXPECT_NE(run.output.find("001 003     0ac8:ec02  full (12 Mbit/s)   no: the device went away"), std::string::npos)
      << run.output;
  EXPECT_EQ(run.output.find("1234:"), std::string::npos) << run.output;

  const CamlistRun others = Camlist({"--vendor=1234"});
  EXPECT_EQ(others.status, 0) << others.output;
  EXPECT_NE(others.output.find("1234:ec01"), std::string::npos) << others.output;
}

TEST(Camlist, NoDeviceOfTheVendorIsSaidAndEndsWithStatusOne) {
  const CamlistRun run = Camlist({"--vendor", "0xBEEF"});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.output.find("No USB device of vendor beef is connected."), std::string::npos) << run.output;
}

TEST(Camlist, ABadVendorIsAUsageError) {
  const CamlistRun run = Camlist({"--vendor", "0x1FFFF"});
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.output.find("--vendor"), std::string::npos) << run.output;
}

TEST(Camlist, OnlyDevicesThatCannotBeOpenedEndWithStatusOne) {
  usbreal::ListedDevice device;
  device.problem = "permission denied: install the udev rule";
  EXPECT_EQ(ListStatus({device}), 1);
  EXPECT_NE(FormatDeviceTable({device}, 0x0AC8).find("no: permission denied"), std::string::npos);
  device.openable = true;
  EXPECT_EQ(ListStatus({device}), 0);
}

}  // namespace
