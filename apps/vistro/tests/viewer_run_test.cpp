// Runs: Stop ends the frame worker within a period and a request, runs can follow one
// another, and a camera that disappears closes the program within about a second.
#include <gtest/gtest.h>

#include <QTest>
#include <chrono>

#include "camclient/camclient.h"
#include "viewer_rig.h"
#include "vistro/viewer_ids.h"
#include "vistro/viewer_menu.h"
#include "vistro/viewer_window.h"
#include "vistro_test_environment.h"

using namespace viewer_ids;

namespace {

using Clock = std::chrono::steady_clock;

TEST(ViewerRun, StopEndsTheWorkerWithinAPeriodAndARequest) {
  ViewerRig rig;
  ASSERT_TRUE(rig.StartAndRun());
  ASSERT_TRUE(rig.WaitForFramesShown(3));
  const auto start = Clock::now();
  rig.viewer().Command(kStop);
  const auto took = Clock::now() - start;
  // 40 ms period plus one frame request; generous for a loaded machine.
  EXPECT_LT(took, std::chrono::milliseconds(1000));
  EXPECT_FALSE(rig.state().running);
  EXPECT_EQ(rig.state().frameThread, nullptr);
  const ViewerMenu& menu = *rig.viewer().menu();
  for (const int id : {kStart, kSetCaptureFile, kSize320x240, kModeOutdoor, kBandwidthLevel7}) {
    EXPECT_TRUE(menu.IsEnabled(id)) << id;
  }
  for (const int id : {kStop, kSnapshot, kFullScreen}) EXPECT_FALSE(menu.IsEnabled(id)) << id;
  // Nothing is drawn once the worker has gone.
  const uint32_t shown = rig.state().framesShown;
  QTest::qWait(200);
  EXPECT_EQ(rig.state().framesShown.load(), shown);
}

TEST(ViewerRun, RunsFollowOneAnother) {
  ViewerRig rig;
  ASSERT_TRUE(rig.StartAndRun());
  for (int run = 0; run < 3; ++run) {
    ASSERT_TRUE(rig.WaitForFramesShown(2)) << run;
    rig.viewer().Command(kStop);
    ASSERT_FALSE(rig.state().running);
    rig.viewer().Command(kStart);
    ASSERT_TRUE(rig.state().running);
  }
  EXPECT_TRUE(rig.WaitForFramesShown(2));
}

TEST(ViewerRun, ExitEndsTheMessageLoopAndShutDownStopsTheRun) {
  ViewerRig rig;
  ASSERT_TRUE(rig.StartAndRun());
  ASSERT_TRUE(rig.WaitForFramesShown(2));
  // Exit arrives while the loop runs; the loop must return.
  rig.viewer().PostCommand(kExit);
  rig.viewer().RunMessageLoop();
  EXPECT_TRUE(rig.viewer().quitPosted());
  EXPECT_TRUE(rig.state().quitting);
  EXPECT_FALSE(rig.viewer().window()->presenceTimerActive());
  rig.viewer().ShutDown();
  EXPECT_EQ(rig.state().frameThread, nullptr);
  EXPECT_EQ(rig.viewer().window(), nullptr);
  EXPECT_FALSE(IsCameraOpen(0));
}

TEST(ViewerRun, UnpluggedCameraClosesTheProgramWithinAboutASecond) {
  {
    ViewerRig rig;
    ASSERT_TRUE(rig.StartAndRun());
    ASSERT_TRUE(rig.WaitForFramesShown(2));
    const auto unplugged = Clock::now();
    UnplugTestCamera();
    ASSERT_TRUE(QTest::qWaitFor([&] { return rig.viewer().quitPosted(); }, 5000));
    // One presence period and some slack.
    EXPECT_LT(Clock::now() - unplugged, std::chrono::milliseconds(2000));
    rig.viewer().ShutDown();
  }
  PlugTestCamera();
}

}  // namespace
