// Recordings as other programs see them: libavformat's demuxer and ffprobe.
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <thread>

#include <gtest/gtest.h>

#include "avi/avi_writer.h"
#include "avi_test_support.h"

namespace {

constexpr int kWidth = 320;
constexpr int kHeight = 240;

TEST(AviReadBack, LibavformatReadsEveryFrameAsWritten) {
  TempPath path("readback.avi");
  const std::vector<Bytes> frames = EncodeJpegFrames(40, kWidth, kHeight);
  ASSERT_EQ(frames.size(), 40u);
  ASSERT_EQ(WriteRecording(path.c_str(), kWidth, kHeight, frames), 0);

  ReadBackInfo info;
  const std::vector<Bytes> packets = ReadBackPackets(path.c_str(), info);
  EXPECT_EQ(info.codecName, "mjpeg");
  EXPECT_EQ(info.width, kWidth);
  EXPECT_EQ(info.height, kHeight);
  EXPECT_EQ(info.timeBaseNumerator, 1);
  EXPECT_EQ(info.timeBaseDenominator, 25);
  EXPECT_EQ(info.declaredFrames, 40);
  ASSERT_EQ(packets.size(), frames.size());
  for (size_t n = 0; n < frames.size(); ++n) EXPECT_EQ(packets[n], frames[n]) << "frame " << n;
}

bool FfprobeInstalled() { return std::system("command -v ffprobe > /dev/null 2>&1") == 0; }

std::string RunCommand(const std::string& command) {
  std::string output;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return output;
  char chunk[256];
  size_t count;
  while ((count = std::fread(chunk, 1, sizeof chunk, pipe)) > 0) output.append(chunk, count);
  ::pclose(pipe);
  return output;
}

TEST(AviReadBack, FfprobeCountsAndDecodesEveryFrame) {
  if (!FfprobeInstalled()) GTEST_SKIP() << "ffprobe is not installed";
  TempPath path("ffprobe.avi");
  const std::vector<Bytes> frames = EncodeJpegFrames(30, kWidth, kHeight);
  ASSERT_EQ(WriteRecording(path.c_str(), kWidth, kHeight, frames), 0);
  const std::string output = RunCommand(
      "ffprobe -v error -count_frames -select_streams v:0 -show_entries "
      "stream=codec_name,width,height,r_frame_rate,nb_frames,nb_read_frames -of default=noprint_wrappers=1 '" +
      path.path().string() + "'");
  EXPECT_NE(output.find("codec_name=mjpeg\n"), std::string::npos) << output;
  EXPECT_NE(output.find("width=320\n"), std::string::npos) << output;
  EXPECT_NE(output.find("height=240\n"), std::string::npos) << output;
  EXPECT_NE(output.find("r_frame_rate=25/1\n"), std::string::npos) << output;
  EXPECT_NE(output.find("nb_frames=30\n"), std::string::npos) << output;
  EXPECT_NE(output.find("nb_read_frames=30\n"), std::string::npos) << output;
}

TEST(AviReadBack, FramesFromTwoThreadsAreAllRecordedWhole) {
  TempPath path("threads.avi");
  AviWriter* writer = AviOpen(path.c_str());
  ASSERT_NE(writer, nullptr);
  ASSERT_EQ(AviAddVideoStream(writer, kAviCodecMjpeg, kWidth, kHeight, 25, 512000), 0);
  ASSERT_EQ(AviWriteHeader(writer), 0);
  constexpr int kPerThread = 150;
  auto writeFrames = [writer](int first) {
    for (int n = first; n < first + kPerThread; ++n) {
      const Bytes frame = PatternFrame(n, 1000 + static_cast<size_t>(n));
      EXPECT_EQ(AviWriteFrame(writer, 0, true, frame.data(), static_cast<int32_t>(frame.size())), 0);
    }
  };
  std::thread other(writeFrames, kPerThread);
  writeFrames(0);
  other.join();
  ASSERT_EQ(AviFinish(writer), 0);
  AviClose(writer);

  ReadBackInfo info;
  std::vector<bool> seen(2 * kPerThread, false);
  ASSERT_TRUE(ReadBack(path.c_str(), info, [&](int, const uint8_t* data, int size, bool) {
    const int n = size - 1000;
    ASSERT_TRUE(n >= 0 && n < 2 * kPerThread);
    EXPECT_EQ(Bytes(data, data + size), PatternFrame(n, static_cast<size_t>(size)));
    seen[n] = true;
  }));
  EXPECT_EQ(info.packets, 2 * kPerThread);
  EXPECT_EQ(std::count(seen.begin(), seen.end(), true), 2 * kPerThread);
}

}  // namespace
