// Recording runs as another program reads them back: every frame of the run in an AVI
// file that libavformat opens, later runs in files of their own, and a file finished
// even when the program closes in the middle of a run.
#include <gtest/gtest.h>

#include <QTest>
#include <chrono>
#include <fstream>
#include <string>
#include <vector>

#include "avi_probe.h"
#include "test_folder.h"
#include "testing/file_size_limit.h"
#include "viewer_rig.h"
#include "vistro/viewer_ids.h"
#include "vistro/viewer_window.h"
#include "vistro_test_environment.h"

using namespace viewer_ids;

namespace {

ViewerOptions RecordingInto(const std::string& file) {
  ViewerOptions options;
  options.recordFile = file;
  return options;
}

std::string Text(ViewerRig& rig, size_t n) { return rig.prompts().messages.at(n).text.toStdString(); }

std::string ReadText(const std::string& path) {
  std::ifstream file(path);
  std::string text;
  std::getline(file, text);
  return text;
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
    ExpectRecording(folder.path() + "clip.avi", rig.state().chunksRecorded, 320, 240);
  }
}

TEST(ViewerRecording, SecondRunKeepsTheFirstRecording) {
  const TestFolder folder;
  {
    ViewerRig rig(RecordingInto(folder.path() + "clip.avi"));
    ASSERT_TRUE(rig.StartAndRun());
    ASSERT_TRUE(rig.WaitForFramesRecorded(5));
    rig.viewer().Command(kStop);
    const uint32_t first = rig.state().chunksRecorded;

    rig.viewer().Command(kSize640x480);
    rig.viewer().Command(kStart);
    ASSERT_TRUE(rig.WaitForFramesRecorded(8));
    rig.viewer().Command(kStop);
    const uint32_t second = rig.state().chunksRecorded;
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
    ExpectRecording(folder.path() + "closing.avi", rig.state().chunksRecorded, 320, 240);
  }
}

// The user is told once, and the preview goes on rather than leaving a black window.
TEST(ViewerRecording, CaptureFileThatCannotBeMadeIsReportedAndThePreviewGoesOn) {
  ViewerRig rig(RecordingInto("/nonexistent-folder-for-vistro/clip"));
  ASSERT_TRUE(rig.StartAndRun());
  ASSERT_TRUE(rig.WaitForFramesShown(5));
  EXPECT_EQ(rig.state().framesRecorded.load(), 0u);
  EXPECT_TRUE(rig.state().running);
  ASSERT_EQ(rig.prompts().messages.size(), 1u);
  EXPECT_TRUE(rig.prompts().messages[0].text.startsWith("The recording cannot start")) << Text(rig, 0);
  EXPECT_TRUE(rig.prompts().messages[0].text.contains("No such file or directory")) << Text(rig, 0);
  rig.viewer().Command(kStop);
  EXPECT_EQ(rig.state().frameThread, nullptr);
}

// A disk that fills up: one message saying so and why, the preview goes on, and the
// file holds exactly the frames recorded until then, as libavformat reads it.
TEST(ViewerRecording, FullDiskStopsTheRecordingWithOneMessageAndAFinishedFile) {
  const TestFolder folder;
  ViewerRig rig(RecordingInto(folder.path() + "full"));
  {
    const FileSizeLimit limit(120000);
    ASSERT_TRUE(rig.StartAndRun());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !rig.prompts().messages.empty(); }, 15000));
    ASSERT_TRUE(rig.WaitForFramesShown(10)) << "the preview goes on";
    rig.viewer().Command(kStop);
  }
  ASSERT_EQ(rig.prompts().messages.size(), 1u);
  EXPECT_TRUE(rig.prompts().messages[0].text.startsWith("The recording stopped")) << Text(rig, 0);
  EXPECT_TRUE(rig.prompts().messages[0].text.contains("File too large")) << Text(rig, 0);
  EXPECT_GT(rig.state().framesRecorded.load(), 0u);
  ExpectRecording(folder.path() + "full.avi", rig.state().chunksRecorded, 320, 240);
}

// A camera slower than the file's 25 frames per second: the file still plays as long
// as the recording took (within one frame period, plus the test's own timing).
TEST(ViewerRecording, RecordingOfASlowCameraKeepsItsTime) {
  const TestCameraWith slowCamera("fps=10");
  const TestFolder folder;
  ViewerRig rig(RecordingInto(folder.path() + "slow"));
  ASSERT_TRUE(rig.StartAndRun());
  ASSERT_TRUE(rig.WaitForFramesRecorded(1));
  const auto start = std::chrono::steady_clock::now();
  QTest::qWait(2000);
  rig.viewer().Command(kStop);
  const double covered = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const AviProbe probe = ProbeAvi(folder.path() + "slow.avi");
  ASSERT_TRUE(probe.opened);
  EXPECT_EQ(probe.frames, static_cast<int>(rig.state().chunksRecorded));
  EXPECT_LT(rig.state().framesRecorded.load(), rig.state().chunksRecorded.load()) << "repeats fill the gaps";
  EXPECT_NEAR(probe.frames / 25.0, covered, 0.04 + 0.15);
}

// Runs whose capture never starts leave no empty files behind.
TEST(ViewerRecording, RunsThatCannotStartLeaveNoFiles) {
  const TestCameraWith cameraThatCannotStream("sensor=10");
  const TestFolder folder;
  ViewerRig rig(RecordingInto(folder.path() + "never"));
  ASSERT_TRUE(rig.StartAndRun());
  for (int run = 0; run < 2; ++run) {
    QTest::qWait(200);
    rig.viewer().Command(kStop);
    rig.viewer().Command(kStart);
  }
  rig.viewer().Command(kStop);
  EXPECT_TRUE(folder.Files(".avi").empty());
}

// "clip" records into clip.avi: an existing clip.avi is replaced only after a yes.
TEST(ViewerRecording, ANameThatBecomesAnExistingFileIsReplacedOnlyWhenConfirmed) {
  const TestFolder folder;
  const std::string existing = folder.path() + "clip.avi";
  std::ofstream(existing) << "an earlier recording";
  ViewerRig rig;
  ASSERT_TRUE(rig.StartAndRun());
  rig.viewer().Command(kStop);

  rig.prompts().captureFileAnswers = {QString::fromStdString(folder.path() + "clip")};
  rig.viewer().Command(kSetCaptureFile);
  ASSERT_EQ(rig.prompts().confirmQuestions.size(), 1u);
  EXPECT_TRUE(rig.prompts().confirmQuestions[0].contains("clip.avi already exists"));
  EXPECT_FALSE(rig.state().recording.recordingEnabled()) << "no: nothing chosen";

  rig.prompts().captureFileAnswers = {QString::fromStdString(existing)};  // asked by the dialog itself
  rig.viewer().Command(kSetCaptureFile);
  EXPECT_EQ(rig.prompts().confirmQuestions.size(), 1u);
  EXPECT_EQ(rig.state().recording.captureFilePath(), existing);

  rig.prompts().captureFileAnswers = {QString::fromStdString(folder.path() + "clip")};
  rig.prompts().confirmAnswers = {true};
  rig.viewer().Command(kSetCaptureFile);
  EXPECT_EQ(rig.prompts().confirmQuestions.size(), 2u);
  EXPECT_EQ(rig.state().recording.captureFilePath(), existing);
  EXPECT_EQ(ReadText(existing), "an earlier recording") << "replaced only when a run records";
}

TEST(ViewerRecording, RecordOptionNamingAnExistingFileAsksFirst) {
  const TestFolder folder;
  const std::string existing = folder.path() + "clip.avi";
  for (const std::string& spelling : {folder.path() + "clip", existing}) {
    std::ofstream(existing) << "an earlier recording";
    ViewerRig rig(RecordingInto(spelling));
    ASSERT_TRUE(rig.StartAndRun());
    ASSERT_TRUE(rig.WaitForFramesShown(3));
    rig.viewer().Command(kStop);
    EXPECT_EQ(rig.prompts().confirmQuestions.size(), 1u) << spelling;
    EXPECT_EQ(rig.state().framesRecorded.load(), 0u) << spelling;
    EXPECT_EQ(ReadText(existing), "an earlier recording") << spelling;
  }
}

}  // namespace
