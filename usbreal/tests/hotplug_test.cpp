// The plain "usb" entry: every camera of the vendor, including those plugged later, and
// a camera pulled out is unplugged, also fifty times in a row.

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "testing/plugged_camera.h"
#include "usb_test_support.h"
#include "usbreal/usb_scheme.h"

namespace usbtest {
namespace {

class UsbHotPlugTest : public ::testing::Test {
 protected:
  void SetUp() override { before_ = PluggedCount(); }
  void TearDown() override {
    usbreal::StopHotPlug();  // later tests pick their devices one by one again
    TakeReports();
  }
  size_t before_ = 0;
};

TEST_F(UsbHotPlugTest, TakesTheCamerasPresentAndThosePluggedLaterButNoOtherVendor) {
  UsbCamera present("timing=fast");
  UsbCamera other("timing=fast,vendor=0x1234");
  std::string error;
  ASSERT_TRUE(usbhost::PlugDevicesFromConfig("usb", error)) << error;
  EXPECT_EQ(PluggedCount(), before_ + 1);
  EXPECT_EQ(StreamNames().size(), 1u);

  UsbCamera later("timing=fast");
  EXPECT_TRUE(vtest::PollUntil([&] { return StreamNames().size() == 2; }));
  EXPECT_EQ(PluggedCount(), before_ + 2);

  present.Pull();
  EXPECT_TRUE(vtest::PollUntil([&] { return StreamNames().size() == 1; }));
  later.Pull();
  EXPECT_TRUE(vtest::PollUntil([&] { return PluggedCount() == before_; }));
}

TEST_F(UsbHotPlugTest, AStormOfFiftyPlugsAndUnplugsLeavesNothingBehind) {
  std::string error;
  ASSERT_TRUE(usbhost::PlugDevicesFromConfig("usb", error)) << error;
  for (int i = 0; i < 50; ++i) {
    std::string made;
    auto camera = emucam::EmulatedCamera::Create("timing=fast", made);
    ASSERT_TRUE(camera) << made;
    auto device = Bus().Add(camera);
    if (i % 2 == 0) vtest::PollUntil([&] { return PluggedCount() > before_; }, std::chrono::milliseconds(200));
    Bus().Remove(device);
  }
  EXPECT_TRUE(
      vtest::PollUntil([&] { return PluggedCount() == before_ && StreamNames().empty(); }, std::chrono::seconds(30)));
  // Every camera that could not be opened in time was reported, none silently lost.
  for (const std::string& line : TakeReports()) EXPECT_NE(line.find("USB device bus"), std::string::npos) << line;
}

}  // namespace
}  // namespace usbtest
