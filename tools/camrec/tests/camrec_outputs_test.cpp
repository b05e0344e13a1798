// What the recorder writes and refuses: existing outputs, a raw MJPEG stream on standard
// output, a full disk, the rate of its AVI files, a hostile server and a camera that goes.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "camrec_test_support.h"
#include "server_process.h"
#include "stream_protocol/jpeg_stream_splitter.h"
#include "stream_protocol/stream_protocol.h"
#include "testing/file_size_limit.h"
#include "testing/jpeg_check.h"

namespace {

namespace fs = std::filesystem;

std::vector<std::vector<uint8_t>> SplitImages(const fs::path& file) {
  const std::vector<uint8_t> bytes = ReadBytes(file);
  std::vector<std::vector<uint8_t>> images;
  JpegStreamSplitter splitter;
  splitter.Feed(bytes, [&](std::span<const uint8_t> image) { images.emplace_back(image.begin(), image.end()); });
  return images;
}

struct ExistingOutput {
  const char* name;
  std::vector<std::string> arguments;  // the output options; a leading "@" is the test's folder
  const char* existing;                // a file the output option names or holds
  const char* refusal;
};

void PrintTo(const ExistingOutput& c, std::ostream* out) { *out << c.name; }

class RecorderOutputExists : public RecorderAgainstServer, public ::testing::WithParamInterface<ExistingOutput> {};

TEST_P(RecorderOutputExists, IsRefusedUntouchedUnlessOverwriteIsGiven) {
  const ExistingOutput& c = GetParam();
  std::vector<std::string> arguments = {"--frames", "3"};
  for (const std::string& argument : c.arguments) {
    arguments.push_back(argument.starts_with('@') ? folder_.string() + argument.substr(1) : argument);
  }
  const fs::path existing = folder_ / c.existing;
  std::ofstream(existing) << "an earlier recording";

  auto refused = Recorder(arguments);
  EXPECT_EQ(refused->WaitForExit(kRunTime), 1);
  EXPECT_NE(refused->Output().find(c.refusal), std::string::npos) << refused->Output();
  EXPECT_EQ(ReadBytes(existing).size(), 20u) << "left as it was";
  EXPECT_FALSE(server_->WaitForOutput("New user from", milliseconds(200))) << "refused before any stream";

  arguments.push_back("-y");
  auto replacing = Recorder(arguments);
  EXPECT_EQ(replacing->WaitForExit(kRunTime), 0) << replacing->Output();
  if (c.arguments.front() == "--jpeg-dir") {
    EXPECT_FALSE(fs::exists(existing)) << "no frame of the earlier recording is mixed in";
    EXPECT_TRUE(fs::exists(folder_ / "frame-000003.jpg"));
  } else {
    EXPECT_GT(ReadBytes(existing).size(), 1000u);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Outputs, RecorderOutputExists,
    ::testing::Values(
        ExistingOutput{"Avi", {"-o", "@/clip.avi"}, "clip.avi", "clip.avi exists (-y, --overwrite"},
        ExistingOutput{"Mjpeg", {"--format", "mjpeg", "-o", "@/clip.mjpg"}, "clip.mjpg", "clip.mjpg exists"},
        ExistingOutput{"JpegFolder", {"--jpeg-dir", "@"}, "frame-000009.jpg", "holds frames of an earlier"}),
    [](const ::testing::TestParamInfo<ExistingOutput>& c) { return std::string(c.param.name); });

TEST_F(RecorderAgainstServer, MjpegOnStandardOutputIsTheServersImagesAndNothingElse) {
  const fs::path file = folder_ / "stdout.mjpg";
  ChildProcess recorder("/bin/sh", {"-c", std::string(VELMAR_CAMREC_PATH) + " --port " + std::to_string(port_) +
                                              " --connect-timeout 10 --quiet --frames 5 --size 640x480" +
                                              " --format mjpeg -o - > " + file.string()});
  ASSERT_EQ(recorder.WaitForExit(kRunTime), 0) << recorder.Output();
  EXPECT_NE(recorder.Output().find("Recorded 5 frames"), std::string::npos) << "the summary goes to stderr";
  const auto images = SplitImages(file);
  ASSERT_EQ(images.size(), 5u);
  size_t total = 0;
  for (const auto& image : images) {
    total += image.size();
    const auto picture = DecodeJpeg(image);
    ASSERT_TRUE(picture.has_value());
    EXPECT_EQ(picture->width, 640);
    EXPECT_EQ(picture->height, 480);
  }
  EXPECT_EQ(total, fs::file_size(file)) << "no byte but the images";
}

TEST(RecorderOptionsCheck, StandardOutputNeedsTheMjpegFormat) {
  ChildProcess recorder(VELMAR_CAMREC_PATH, {"-o", "-"});
  EXPECT_EQ(recorder.WaitForExit(kRunTime), 2);
  EXPECT_NE(recorder.Output().find("takes --format mjpeg"), std::string::npos) << recorder.Output();
}

// --rate 30 against a camera of 25 frames per second: the file says 30 and, with the
// previous frame repeated where the camera had none, plays as long as it took.
TEST_F(RecorderAgainstServer, AviKeepsTheAskedRateAndTheTimeItCovered) {
  auto recorder = Recorder({"--seconds", "3", "--rate", "30", "-o", Avi()});
  ASSERT_EQ(recorder->WaitForExit(kRunTime), 0) << recorder->Output();
  const AviContents avi = ReadAvi(Avi());
  ASSERT_TRUE(avi.opened);
  EXPECT_DOUBLE_EQ(avi.framesPerSecond, 30.0);
  EXPECT_NEAR(avi.packets / 30.0, 3.0, 0.25) << avi.packets << " frames";
}

// The disk fills up (the file size limit, whose SIGXFSZ the recorder must survive): a
// clear message, exit 1, and outputs that hold whole images only.
TEST_F(RecorderAgainstServer, FullDiskEndsTheRecordingWithWholeOutputs) {
  {
    const FileSizeLimit limit(60000, FileSizeLimit::Signal::kKeep);
    auto recorder = Recorder({"--rate", "25", "-o", Avi()});
    EXPECT_EQ(recorder->WaitForExit(kRunTime), 1) << recorder->Output();
    EXPECT_NE(recorder->Output().find("File too large"), std::string::npos) << recorder->Output();
  }
  const AviContents avi = ReadAvi(Avi());
  ASSERT_TRUE(avi.opened);
  EXPECT_GT(avi.packets, 0);
  EXPECT_TRUE(avi.packetsAreJpeg);

  const fs::path frames = folder_ / "frames";
  {
    const FileSizeLimit limit(3000, FileSizeLimit::Signal::kKeep);  // smaller than any image
    auto recorder = Recorder({"--frames", "3", "--jpeg-dir", frames.string()});
    EXPECT_EQ(recorder->WaitForExit(kRunTime), 1) << recorder->Output();
    EXPECT_NE(recorder->Output().find("File too large"), std::string::npos) << recorder->Output();
  }
  EXPECT_TRUE(fs::is_empty(frames)) << "the cut-off file is removed";
}

// The server's camera unplugs itself: the recording ends with a message and exit 1,
// and the file holds what came before.
TEST(RecorderCameraGone, EndsWithAMessageAndAFinishedFile) {
  const fs::path avi = fs::temp_directory_path() / ("camrec-gone-" + std::to_string(getpid()) + ".avi");
  fs::remove(avi);
  const uint16_t port = FindFreePort();
  ServerProcess server(port, {"VELMAR_DEVICES=emu:unplug=1.5"});
  ASSERT_TRUE(server.WaitForOutput("with API versions", milliseconds(20000)));
  ChildProcess recorder(VELMAR_CAMREC_PATH,
                        {"--port", std::to_string(port), "--quiet", "--connect-timeout", "10", "-o", avi.string()});
  EXPECT_EQ(recorder.WaitForExit(milliseconds(20000)), 1) << recorder.Output();
  EXPECT_NE(recorder.Output().find("camrec: recording ended early: the server"), std::string::npos)
      << recorder.Output();
  const AviContents contents = ReadAvi(avi.string());
  EXPECT_TRUE(contents.opened);
  EXPECT_GT(contents.packets, 0);
  server.SendInput("q");
  server.WaitForExit(milliseconds(10000));
  fs::remove(avi);
}

// A hostile server: bare start and end markers by the thousand between two real images.
TEST(RecorderHostileServer, MarkerPairsWithoutAFrameOrScanAreNotImages) {
  const std::vector<uint8_t> real = EncodeTestJpeg(64, 48);
  int listener = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  socklen_t length = sizeof address;
  getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
  listen(listener, 1);
  std::thread server([&] {
    const int client = accept(listener, nullptr, nullptr);
    uint8_t packet[stream_protocol::kStartPacketBytes];
    recv(client, packet, sizeof packet, MSG_WAITALL);
    const auto reply = stream_protocol::EncodeStartReply(true);
    send(client, reply.data(), reply.size(), MSG_NOSIGNAL);
    std::vector<uint8_t> stream(real);
    for (int n = 0; n < 100000; ++n) stream.insert(stream.end(), {0xFF, 0xD8, 0xFF, 0xD9});
    stream.insert(stream.end(), real.begin(), real.end());
    send(client, stream.data(), stream.size(), MSG_NOSIGNAL);
    close(client);
  });
  const fs::path file = fs::temp_directory_path() / ("camrec-hostile-" + std::to_string(getpid()) + ".mjpg");
  fs::remove(file);
  ChildProcess recorder(VELMAR_CAMREC_PATH,
                        {"--port", std::to_string(ntohs(address.sin_port)), "--format", "mjpeg", "-o", file.string()});
  EXPECT_EQ(recorder.WaitForExit(kRunTime), 1) << recorder.Output();  // the stream ended early
  server.join();
  close(listener);
  EXPECT_NE(recorder.Output().find("Recorded 2 frames"), std::string::npos) << recorder.Output();
  EXPECT_NE(recorder.Output().find("100000 pieces of the stream were not images"), std::string::npos)
      << recorder.Output();
  EXPECT_EQ(SplitImages(file), (std::vector<std::vector<uint8_t>>{real, real}));
  fs::remove(file);
}

}  // namespace
