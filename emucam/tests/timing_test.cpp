// USB timing: one packet per millisecond in real time, none of the waiting in fast
// timing, and an unplug that frees a transfer blocked on the clock.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "camera_test_support.h"

namespace emucam {
namespace {

using Clock = std::chrono::steady_clock;
using testing::MakeCamera;
using testing::WriteRegister;

// Runs `transfers` transfers of four packets; returns the seconds taken.
double RunTransfers(EmulatedCamera& camera, int transfers) {
  std::array<DWORD, 4> requested{1023, 1023, 1023, 1023}, actual{};
  std::vector<uint8_t> buffer(4 * 1023);
  const auto start = Clock::now();
  for (int i = 0; i < transfers; ++i) camera.IsochIn(0x81, requested, buffer.data(), actual);
  return std::chrono::duration<double>(Clock::now() - start).count();
}

TEST(Timing, RequestLogCarriesWhenEachRequestArrived) {
  auto camera = MakeCamera("timing=fast");
  const auto before = Clock::now();
  WriteRegister(*camera, 0x120, 0x01);
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  WriteRegister(*camera, 0x121, 0x02);
  const auto elapsedUs = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - before).count();
  const std::vector<LoggedRequest> log = camera->RequestLog();
  ASSERT_EQ(log.size(), 2u);
  EXPECT_GE(log[0].atUs, 0);
  EXPECT_GE(log[1].atUs - log[0].atUs, 30000);
  EXPECT_LE(log[1].atUs - log[0].atUs, elapsedUs);
}

TEST(Timing, RealTimeTakesOneMillisecondPerPacket) {
  auto camera = MakeCamera("timing=realtime,fps=25");
  WriteRegister(*camera, 0x002, 0x10);
  camera->SelectAlternateSetting(0, 7);
  const double seconds = RunTransfers(*camera, 250);
  EXPECT_GT(seconds, 0.95);
  EXPECT_LT(seconds, 3.0);                             // loose: a loaded machine may be late, never early
  EXPECT_NEAR(camera->framesSent(), seconds * 25, 2);  // frames follow the wall clock
}

TEST(Timing, FastTimingDoesNotSleepButKeepsTheFrameRateOnTheBusClock) {
  auto camera = MakeCamera("timing=fast,fps=25");
  WriteRegister(*camera, 0x002, 0x10);
  camera->SelectAlternateSetting(0, 7);
  const double seconds = RunTransfers(*camera, 5000);  // 20 s of bus time
  EXPECT_LT(seconds, 5.0);
  EXPECT_EQ(camera->framesSent(), 500u);  // 20000 USB frames of 1 ms at 25 frames per second
}

TEST(Timing, SwitchingToRealTimeAfterFastTimingDoesNotStall) {
  auto camera = MakeCamera("timing=fast,fps=25");
  camera->SelectAlternateSetting(0, 7);
  RunTransfers(*camera, 2000);  // eight seconds of bus time
  camera->SetTiming(Timing::RealTime);
  EXPECT_LT(RunTransfers(*camera, 25), 1.0);
}

TEST(Timing, UnplugReleasesATransferWaitingForTheClock) {
  auto camera = MakeCamera("timing=realtime");
  camera->SelectAlternateSetting(0, 7);
  std::atomic<bool> finished{false};
  bool lastResult = true;
  std::thread capture([&] {
    std::vector<DWORD> requested(1000, 1023), actual(1000);  // one second of packets
    std::vector<uint8_t> buffer(1000 * 1023);
    lastResult = camera->IsochIn(0x81, requested, buffer.data(), actual);
    finished = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  const auto unplugged = Clock::now();
  camera->Disconnect();
  capture.join();
  EXPECT_TRUE(finished);
  EXPECT_FALSE(lastResult);
  EXPECT_LT(std::chrono::duration<double>(Clock::now() - unplugged).count(), 0.5);
}

}  // namespace
}  // namespace emucam
