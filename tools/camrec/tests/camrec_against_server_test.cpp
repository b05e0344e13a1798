// The recorder against a real server process: what it writes is read back by
// libavformat (AVI) and libjpeg-turbo (JPEG files).
#include <gtest/gtest.h>
#include <signal.h>
#include <turbojpeg.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <thread>

#include "camrec_test_support.h"

TEST_F(RecorderAgainstServer, AviHoldsTheAskedFramesAsMjpegOfTheAskedSize) {
  auto recorder = Recorder({"--frames", "20", "--rate", "25", "--size", "640x480", "-o", Avi()});
  ASSERT_EQ(recorder->WaitForExit(kRunTime), 0) << recorder->Output();
  EXPECT_NE(recorder->Output().find("Recorded 20 frames (640x480)"), std::string::npos) << recorder->Output();

  const AviContents avi = ReadAvi(Avi());
  ASSERT_TRUE(avi.opened);
  EXPECT_EQ(avi.codec, AV_CODEC_ID_MJPEG);
  EXPECT_EQ(avi.width, 640);
  EXPECT_EQ(avi.height, 480);
  EXPECT_DOUBLE_EQ(avi.framesPerSecond, 25.0);
  EXPECT_EQ(avi.packets, 20);
  EXPECT_TRUE(avi.packetsAreJpeg);
}

TEST_F(RecorderAgainstServer, TimeLimitEndsARecordingThatIsReadBack) {
  auto recorder = Recorder({"--seconds", "2", "--rate", "10", "-o", Avi()});
  ASSERT_EQ(recorder->WaitForExit(kRunTime), 0) << recorder->Output();
  const AviContents avi = ReadAvi(Avi());
  ASSERT_TRUE(avi.opened);
  EXPECT_EQ(avi.width, 320);
  EXPECT_EQ(avi.height, 240);
  EXPECT_DOUBLE_EQ(avi.framesPerSecond, 10.0);
  EXPECT_GE(avi.packets, 10);
  EXPECT_LE(avi.packets, 30);
}

TEST_F(RecorderAgainstServer, InterruptFinishesTheFile) {
  auto recorder = Recorder({"--rate", "25", "-o", Avi()});
  ASSERT_TRUE(server_->WaitForOutput("New user from", kStartTime));
  std::this_thread::sleep_for(milliseconds(1500));
  recorder->SendSignal(SIGINT);
  ASSERT_EQ(recorder->WaitForExit(kRunTime), 0) << recorder->Output();
  const AviContents avi = ReadAvi(Avi());
  ASSERT_TRUE(avi.opened);
  EXPECT_GT(avi.packets, 0);
  EXPECT_TRUE(avi.packetsAreJpeg);
  EXPECT_TRUE(server_->WaitForOutput("Stop camera\r\n", milliseconds(10000)));
}

TEST_F(RecorderAgainstServer, NumberedJpegFilesEachDecode) {
  const std::filesystem::path frames = folder_ / "frames";
  auto recorder = Recorder({"--frames", "5", "--jpeg-dir", frames.string()});
  ASSERT_EQ(recorder->WaitForExit(kRunTime), 0) << recorder->Output();
  for (int i = 1; i <= 5; ++i) {
    char name[32];
    std::snprintf(name, sizeof(name), "frame-%06d.jpg", i);
    EXPECT_TRUE(DecodesAs(frames / name, 320, 240)) << name;
  }
  EXPECT_FALSE(std::filesystem::exists(frames / "frame-000006.jpg"));
}

TEST_F(RecorderAgainstServer, RefusalIsReportedAndWritesNothing) {
  auto recorder = Recorder({"--camera", "8", "--frames", "5", "-o", Avi()});
  EXPECT_EQ(recorder->WaitForExit(kRunTime), 1);
  EXPECT_NE(recorder->Output().find("camrec: the server refused the stream"), std::string::npos) << recorder->Output();
  EXPECT_FALSE(std::filesystem::exists(Avi()));
}

TEST_F(RecorderAgainstServer, ServerGoingAwayEndsTheRecordingWithAnErrorButAFinishedFile) {
  auto recorder = Recorder({"--rate", "25", "-o", Avi()});
  ASSERT_TRUE(server_->WaitForOutput("New user from", kStartTime));
  std::this_thread::sleep_for(milliseconds(1000));
  server_->SendInput("q");
  ASSERT_EQ(server_->WaitForExit(milliseconds(10000)), 0);
  EXPECT_EQ(recorder->WaitForExit(kRunTime), 1);
  EXPECT_NE(recorder->Output().find("recording ended early"), std::string::npos) << recorder->Output();
  const AviContents avi = ReadAvi(Avi());
  ASSERT_TRUE(avi.opened);
  EXPECT_GT(avi.packets, 0);
}

TEST(Recorder, NoServerIsAConnectionError) {
  const std::filesystem::path output = std::filesystem::temp_directory_path() / "camrec-never.avi";
  std::filesystem::remove(output);
  ChildProcess recorder(VELMAR_CAMREC_PATH,
                        {"--port", std::to_string(FindFreePort()), "--frames", "1", "-o", output.string()});
  EXPECT_EQ(recorder.WaitForExit(kRunTime), 1);
  EXPECT_NE(recorder.Output().find("camrec: cannot connect to 127.0.0.1:"), std::string::npos) << recorder.Output();
  EXPECT_FALSE(std::filesystem::exists(output)) << "the output made for the stream is taken back";
}

// The output is checked before any connection: an unwritable one is the error, at once.
TEST(Recorder, UnwritableOutputIsRefusedBeforeConnecting) {
  ChildProcess recorder(VELMAR_CAMREC_PATH,
                        {"--port", std::to_string(FindFreePort()), "--frames", "1", "-o", "/nonexistent/never.avi"});
  EXPECT_EQ(recorder.WaitForExit(kRunTime), 1);
  EXPECT_NE(recorder.Output().find("camrec: cannot create /nonexistent/never.avi: No such file or directory"),
            std::string::npos)
      << recorder.Output();
}
