// Recording runs as another program reads them back: every frame of the run in an AVI
// file that libavformat opens, later runs in files of their own, and a file finished
// even when the program closes in the middle of a run.
#include <gtest/gtest.h>

#include <QTest>
#include <string>
#include <vector>

#include "avi_probe.h"
#include "test_folder.h"
#include "viewer_rig.h"
#include "vistro/viewer_ids.h"
#include "vistro/viewer_window.h"

using namespace viewer_ids;

namespace {

ViewerOptions RecordingInto(const std::string& file) {
  ViewerOptions options;
  options.recordFile = file;
  return options;
}

void ExpectRecording(const std::string& file, uint32_t frames, int width, int height) {
  SCOPED_TRACE(file);
  const AviProbe probe = ProbeAvi(file);
  ASSERT_TRUE(probe.opened);
  EXPECT_EQ(probe.codec, "mjpeg");
  EXPECT_EQ(probe.width, width);
  EXPECT_EQ(probe.height, height);
  EXPECT_EQ(probe.frames, static_cast<int>(frames));
}

TEST(ViewerRecording, RunRecordsEveryFrameItFetched) {
  const TestFolder folder;
  {
    ViewerRig rig(RecordingInto(folder.path() + "clip"));
    ASSERT_TRUE(rig.StartAndRun());
    ASSERT_TRUE(rig.WaitForFramesRecorded(12));
    rig.viewer().Command(kStop);
    const uint32_t recorded = rig.state().framesRecorded;
    EXPECT_GE(rig.state().framesShown.load(), recorded);  // recorded frames are shown too
    ExpectRecording(folder.path() + "clip.avi", recorded, 320, 240);
  }
}

TEST(ViewerRecording, SecondRunKeepsTheFirstRecording) {
  const TestFolder folder;
  {
    ViewerRig rig(RecordingInto(folder.path() + "clip.avi"));
    ASSERT_TRUE(rig.StartAndRun());
    ASSERT_TRUE(rig.WaitForFramesRecorded(5));
    rig.viewer().Command(kStop);
    const uint32_t first = rig.state().framesRecorded;

    rig.viewer().Command(kSize640x480);
    rig.viewer().Command(kStart);
    ASSERT_TRUE(rig.WaitForFramesRecorded(8));
    rig.viewer().Command(kStop);
    const uint32_t second = rig.state().framesRecorded;
    ASSERT_NE(first, second);  // tells the files apart

    ExpectRecording(folder.path() + "clip.avi", first, 320, 240);
    ExpectRecording(folder.path() + "clip-2.avi", second, 640, 480);
    EXPECT_EQ(folder.Files(".avi"), (std::vector<std::string>{"clip-2.avi", "clip.avi"}));
  }
}

TEST(ViewerRecording, ClosingDuringARecordingStillFinishesTheFile) {
  const TestFolder folder;
  {
    ViewerRig rig(RecordingInto(folder.path() + "closing"));
    ASSERT_TRUE(rig.StartAndRun());
    ASSERT_TRUE(rig.WaitForFramesRecorded(6));
    rig.viewer().window()->close();
    EXPECT_TRUE(rig.viewer().quitPosted());
    rig.viewer().ShutDown();
    ExpectRecording(folder.path() + "closing.avi", rig.state().framesRecorded, 320, 240);
  }
}

TEST(ViewerRecording, CaptureFileThatCannotBeMadeEndsTheRunButNotTheProgram) {
  ViewerRig rig(RecordingInto("/nonexistent-folder-for-vistro/clip"));
  ASSERT_TRUE(rig.StartAndRun());
  QTest::qWait(300);
  EXPECT_EQ(rig.state().framesRecorded.load(), 0u);
  EXPECT_EQ(rig.state().framesShown.load(), 0u);
  EXPECT_TRUE(rig.state().running);  // the menu stays in the running state until Stop
  rig.viewer().Command(kStop);
  EXPECT_EQ(rig.state().frameThread, nullptr);
}

}  // namespace
