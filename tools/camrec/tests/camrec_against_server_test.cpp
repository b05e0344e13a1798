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

#include "server_process.h"

namespace {

constexpr milliseconds kStartTime{20000};
constexpr milliseconds kRunTime{30000};

struct AviContents {
  bool opened = false;
  AVCodecID codec = AV_CODEC_ID_NONE;
  int width = 0;
  int height = 0;
  double framesPerSecond = 0;
  int packets = 0;
  bool packetsAreJpeg = true;
};

AviContents ReadAvi(const std::string& path) {
  AviContents contents;
  AVFormatContext* format = nullptr;
  if (avformat_open_input(&format, path.c_str(), nullptr, nullptr) != 0) return contents;
  if (avformat_find_stream_info(format, nullptr) >= 0 && format->nb_streams == 1) {
    contents.opened = true;
    const AVStream* stream = format->streams[0];
    contents.codec = stream->codecpar->codec_id;
    contents.width = stream->codecpar->width;
    contents.height = stream->codecpar->height;
    contents.framesPerSecond = av_q2d(stream->avg_frame_rate);
    AVPacket* packet = av_packet_alloc();
    while (av_read_frame(format, packet) >= 0) {
      ++contents.packets;
      contents.packetsAreJpeg = contents.packetsAreJpeg && packet->size > 4 && packet->data[0] == 0xFF &&
                                packet->data[1] == 0xD8 && packet->data[packet->size - 2] == 0xFF &&
                                packet->data[packet->size - 1] == 0xD9;
      av_packet_unref(packet);
    }
    av_packet_free(&packet);
  }
  avformat_close_input(&format);
  return contents;
}

bool DecodesAs(const std::filesystem::path& file, int width, int height) {
  std::ifstream input(file, std::ios::binary);
  const std::vector<uint8_t> image((std::istreambuf_iterator<char>(input)), std::istreambuf_iterator<char>());
  tjhandle decoder = tjInitDecompress();
  int decodedWidth = 0;
  int decodedHeight = 0;
  int subsampling = 0;
  int colourspace = 0;
  bool ok = tjDecompressHeader3(decoder, image.data(), image.size(), &decodedWidth, &decodedHeight, &subsampling,
                                &colourspace) == 0;
  if (ok) {
    std::vector<uint8_t> pixels(static_cast<size_t>(decodedWidth * decodedHeight * 3));
    ok = tjDecompress2(decoder, image.data(), image.size(), pixels.data(), decodedWidth, 0, decodedHeight, TJPF_RGB,
                       0) == 0;
  }
  tjDestroy(decoder);
  return ok && decodedWidth == width && decodedHeight == height;
}

class RecorderAgainstServer : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ =
        std::filesystem::temp_directory_path() / ("camrec-test-" + std::to_string(getpid()) + "-" +
                                                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(folder_);
    port_ = FindFreePort();
    server_ = std::make_unique<ServerProcess>(port_);
    ASSERT_TRUE(server_->WaitForOutput("with API versions", kStartTime)) << server_->Output();
  }
  void TearDown() override {
    server_->SendInput("q");
    server_->WaitForExit(milliseconds(10000));
    std::filesystem::remove_all(folder_);
  }

  std::unique_ptr<ChildProcess> Recorder(std::vector<std::string> arguments) {
    // The server prints its start lines just before it listens: let the recorder retry.
    arguments.insert(arguments.begin(), {"--port", std::to_string(port_), "--quiet", "--connect-timeout", "10"});
    return std::make_unique<ChildProcess>(VELMAR_CAMREC_PATH, arguments);
  }

  std::string Avi() const { return (folder_ / "recording.avi").string(); }

  std::filesystem::path folder_;
  uint16_t port_ = 0;
  std::unique_ptr<ServerProcess> server_;
};

}  // namespace

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
  ChildProcess recorder(VELMAR_CAMREC_PATH,
                        {"--port", std::to_string(FindFreePort()), "--frames", "1", "-o", "/nonexistent/never.avi"});
  EXPECT_EQ(recorder.WaitForExit(kRunTime), 1);
  EXPECT_NE(recorder.Output().find("camrec: cannot connect to 127.0.0.1:"), std::string::npos) << recorder.Output();
}
