// Recording runs as another program reads them back: every frame of the run in an AVI
// file that libavformat opens, later runs in files of their own, and a file finished
// even when the program closes in the middle of a run.
#include <gtest/gtest.h>

#include <QTest>
#include <filesystem>

#include "avi_probe.h"
#include "viewer_ids.h"
#include "viewer_rig.h"
#include "viewer_window.h"

using namespace viewer_ids;

namespace {

namespace fs = std::filesystem;

ViewerOptions RecordingInto(const fs::path& folder, const char* name) {
  ViewerOptions options;
  options.recordFile = (folder / name).string();
  return options;
}

void ExpectRecording(const fs::path& file, uint32_t frames, int width, int height) {
  SCOPED_TRACE(file.string());
  const AviProbe probe = ProbeAvi(file.string());
  ASSERT_TRUE(probe.opened);
  EXPECT_EQ(probe.codec, "mjpeg");
  EXPECT_EQ(probe.width, width);
  EXPECT_EQ(probe.height, height);
  EXPECT_EQ(probe.frames, static_cast<int>(frames));
}

TEST(ViewerRecording, RunRecordsEveryFrameItFetched) {
  const fs::path folder = TestFolder("recording-run");
  {
    ViewerRig rig(RecordingInto(folder, "clip"));
    ASSERT_TRUE(rig.StartAndRun());
    ASSERT_TRUE(rig.WaitForFramesRecorded(12));
    rig.viewer().Command(kStop);
    const uint32_t recorded = rig.state().framesRecorded;
    EXPECT_GE(rig.state().framesShown.load(), recorded);  // recorded frames are shown too
    ExpectRecording(folder / "clip.avi", recorded, 320, 240);
  }
  fs::remove_all(folder);
}

TEST(ViewerRecording, SecondRunKeepsTheFirstRecording) {
  const fs::path folder = TestFolder("recording-two-runs");
  {
    ViewerRig rig(RecordingInto(folder, "clip.avi"));
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

    ExpectRecording(folder / "clip.avi", first, 320, 240);
    ExpectRecording(folder / "clip-2.avi", second, 640, 480);
    EXPECT_FALSE(fs::exists(folder / "clip.avi.avi"));
  }
  fs::remove_all(folder);
}

TEST(ViewerRecording, ClosingDuringARecordingStillFinishesTheFile) {
  const fs::path folder = TestFolder("recording-close");
  {
    ViewerRig rig(RecordingInto(folder, "closing"));
    ASSERT_TRUE(rig.StartAndRun());
    ASSERT_TRUE(rig.WaitForFramesRecorded(6));
    rig.viewer().window()->close();
    EXPECT_TRUE(rig.viewer().quitPosted());
    rig.viewer().ShutDown();
    ExpectRecording(folder / "closing.avi", rig.state().framesRecorded, 320, 240);
  }
  fs::remove_all(folder);
}

TEST(ViewerRecording, CaptureFileThatCannotBeMadeEndsTheRunButNotTheProgram) {
  ViewerRig rig(RecordingInto("/nonexistent-folder-for-vistro", "clip"));
  ASSERT_TRUE(rig.StartAndRun());
  QTest::qWait(300);
  EXPECT_EQ(rig.state().framesRecorded.load(), 0u);
  EXPECT_EQ(rig.state().framesShown.load(), 0u);
  EXPECT_TRUE(rig.state().running);  // the menu stays in the running state until Stop
  rig.viewer().Command(kStop);
  EXPECT_EQ(rig.state().frameThread, nullptr);
}

}  // namespace
