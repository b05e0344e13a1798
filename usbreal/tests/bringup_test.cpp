// A camera brought up through libusb: the driver sees the same device, sends the same
// requests and gets the same answers as on the emulated backend, and the interface is
// taken from a kernel driver and given back.

#include <gtest/gtest.h>

#include "camclient/camclient.h"
#include "emucam/request_log.h"
#include "testing/plugged_camera.h"
#include "usb_test_support.h"
#include "usbtestbed/mock_usb_bus.h"

namespace usbtest {
namespace {

// Bring-up, then a capture at each size, as a program does it.
void RunSession() {
  ASSERT_EQ(CountCameras(), 1);
  ASSERT_EQ(OpenCamera(0), 0);
  std::vector<uint8_t> frame(640 * 480 * 3);
  for (DWORD size : {1u, 0u}) {
    ASSERT_EQ(SetVideoFormat(0, 4, size), 0);
    ASSERT_EQ(StartCapture(0), 0);
    EXPECT_TRUE(vtest::PollUntil([&] { return GetJpegFrame(0, frame.data(), frame.size()) > 0; }));
    ASSERT_EQ(StopCapture(0), 0);
  }
  CloseCamera(0);
}

TEST(UsbBringUp, TheDriverSendsExactlyTheRequestsItSendsOnTheEmulatedBackend) {
  std::string direct;
  {
    vtest::PluggedCamera camera("sensor=2,timing=fast,fps=max");
    RunSession();
    direct = emucam::FormatRequests(camera.Emu().RequestLog());
  }
  UsbCamera camera("sensor=2,timing=fast,fps=max");
  ASSERT_TRUE(camera.Plug()) << testing::PrintToString(TakeReports());
  EXPECT_EQ(camera.StreamName(), u"VLM1:");
  RunSession();
  EXPECT_EQ(emucam::FormatRequests(camera.Emu().RequestLog()), direct);
  const usbtestbed::MockDeviceCounts counts = camera.Mock().Counts();
  EXPECT_EQ(counts.unknownRequests, 0);
  EXPECT_EQ(counts.clearedHalts, 2);  // the driver resets the pipe at each capture start
  EXPECT_GT(counts.isochronousUrbs, 0);
}

}  // namespace
}  // namespace usbtest
