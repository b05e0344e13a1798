// Start and end of capture: stop, close and unplug while frames stream; start-up that
// fails; the alternate setting each bandwidth level leads to.

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "capture/capture_thread.h"
#include "capture_test_support.h"

namespace {

using captest::Bytes;
using captest::CameraSession;

// The alternate settings selected, in order.
std::vector<int> SelectedSettings(const std::vector<emucam::LoggedRequest>& log) {
  std::vector<int> settings;
  for (const emucam::LoggedRequest& request : log) {
    if (request.setup.bmRequestType == 0x01 && request.setup.bRequest == emucam::kSetInterface) {
      settings.push_back(request.setup.wValue);
    }
  }
  return settings;
}

TEST(CaptureLifecycleTest, StopEndsTheThreadAndResetsTheController) {
  CameraSession session("sensor=2,fps=0");
  ASSERT_TRUE(session.Start());
  ASSERT_TRUE(session.WaitForFrameStarts(3));
  VlmDevice& device = *session.Device();
  ASSERT_NE(device.captureThread, nullptr);
  session.Camera().ClearLog();

  EXPECT_TRUE(session.Stop());
  EXPECT_FALSE(device.streamingRunning);
  EXPECT_EQ(device.captureThread, nullptr);
  EXPECT_EQ(WaitForSingleObject(device.captureEndEvent, 0), static_cast<DWORD>(WAIT_TIMEOUT));  // taken by the stop
  EXPECT_EQ(device.streamingPipe, nullptr);
  EXPECT_EQ(device.streamingEvent, nullptr);
  EXPECT_EQ(session.Camera().Log().rfind("000=01", 0), 0u) << session.Camera().Log();
  // No thread left to fill the slots.
  const DWORD frames = device.frameCounter;
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(device.frameCounter, frames);

  // Capture starts again from a frame counter of 0 and delivers.
  ASSERT_TRUE(session.Start());
  Bytes buffer;
  EXPECT_EQ(session.ReadNextFrame(buffer, 230400), 230400u);
}

TEST(CaptureLifecycleTest, CloseWhileCapturingEndsTheThread) {
  CameraSession session("sensor=2,fps=0");
  ASSERT_TRUE(session.Start());
  ASSERT_TRUE(session.WaitForFrameStarts(2));
  VlmDevice& device = *session.Device();  // stays attached after the close
  session.Close();
  EXPECT_FALSE(device.streamingRunning);
  EXPECT_EQ(device.captureThread, nullptr);
  EXPECT_FALSE(device.open);
}

TEST(CaptureLifecycleTest, UnplugWhileCapturingEndsTheThreadWhichSignalsTheClose) {
  CameraSession session("sensor=2,fps=0");
  ASSERT_TRUE(session.Start());
  ASSERT_TRUE(session.WaitForFrameStarts(2));
  VlmDevice& device = *session.Device();  // the open handle keeps the record
  HANDLE thread = device.captureThread;
  ASSERT_NE(thread, nullptr);

  // The detach gives an open handle 500 ms to close; the thread's open/close event
  // ends that wait as soon as the thread has seen the removal.
  const auto unplugStart = std::chrono::steady_clock::now();
  session.Camera().Unplug();
  EXPECT_LT(std::chrono::steady_clock::now() - unplugStart, std::chrono::milliseconds(450));
  ASSERT_EQ(WaitForSingleObject(thread, 5000), static_cast<DWORD>(WAIT_OBJECT_0));
  DWORD exitCode = STILL_ACTIVE;
  ASSERT_TRUE(GetExitCodeThread(thread, &exitCode));
  EXPECT_EQ(exitCode, kCaptureExitNormal);
  EXPECT_EQ(WaitForSingleObject(device.captureEndEvent, 0), static_cast<DWORD>(WAIT_OBJECT_0));
  EXPECT_TRUE(device.removed);

  Bytes buffer;
  EXPECT_EQ(session.Read(buffer, 230400), 0u);
  EXPECT_FALSE(session.Stop());
  session.Close();  // lets go of the thread and of the record
}

TEST(CaptureLifecycleTest, StartFailsForLightModeOneWithoutAThread) {
  CameraSession session("sensor=2,fps=0");
  ASSERT_TRUE(session.Control(IOCTL_VLM_SET_MODE, nullptr, 1, nullptr, 0));
  EXPECT_FALSE(session.Start());
  EXPECT_FALSE(session.Device()->streamingRunning);
  EXPECT_EQ(session.Device()->captureThread, nullptr);
}

TEST(CaptureLifecycleTest, StartFailsForSensorsWithoutStartUpTable) {
  for (const char* sensor : {"13", "21", "8"}) {
    CameraSession session(std::string("fps=0,sensor=") + sensor);
    ASSERT_TRUE(session.IsOpen()) << "sensor " << sensor;
    EXPECT_FALSE(session.Start()) << "sensor " << sensor;
    EXPECT_EQ(session.Device()->captureThread, nullptr);
  }
}

TEST(CaptureLifecycleTest, FixedBandwidthLevelTriesOnlyItsSetting) {
  CameraSession session("sensor=2,fps=0,refuse=5");
  ASSERT_TRUE(session.Control(IOCTL_VLM_SET_BANDWIDTH, nullptr, 5, nullptr, 0));
  session.Camera().ClearLog();
  ASSERT_TRUE(session.Start());  // the thread is made; it finds no setting
  HANDLE thread = session.Device()->captureThread;
  ASSERT_EQ(WaitForSingleObject(thread, 5000), static_cast<DWORD>(WAIT_OBJECT_0));
  DWORD exitCode = 0;
  GetExitCodeThread(thread, &exitCode);
  EXPECT_EQ(exitCode, kCaptureExitNoInterface);
  EXPECT_EQ(SelectedSettings(session.Camera().RawLog()), std::vector<int>{5});
  EXPECT_TRUE(session.Device()->streamingRunning);  // until the stop
  EXPECT_TRUE(session.Stop());
  EXPECT_FALSE(session.Device()->streamingRunning);
}

TEST(CaptureLifecycleTest, AutomaticBandwidthFallsBackFromSevenToSix) {
  CameraSession session("sensor=2,fps=0,refuse=7");
  session.Camera().ClearLog();
  ASSERT_TRUE(session.Start());
  ASSERT_TRUE(session.WaitForFrameStarts(2));
  EXPECT_EQ(SelectedSettings(session.Camera().RawLog()), (std::vector<int>{7, 6}));
  EXPECT_EQ(session.Emu().alternateSetting(), 6);
  EXPECT_EQ(session.Device()->streamingPacketSize, 896u);
}

TEST(CaptureLifecycleTest, FaultsInsideTransfersAreSkipped) {
  CameraSession session("sensor=2,fps=0");
  session.Emu().ThrowInIsochTransfers(20);
  ASSERT_TRUE(session.Start());
  Bytes buffer;
  EXPECT_EQ(session.ReadNextFrame(buffer, 230400), 230400u);
}

}  // namespace
