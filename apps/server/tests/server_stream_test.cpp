// Streams from the emulated camera through the server: whole JPEG images of the asked
// size at about the asked rate, and clients that leave, stall or read slowly.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <turbojpeg.h>

#include <thread>

#include "server_process.h"
#include "test_client.h"

namespace {

constexpr milliseconds kStartTime{20000};
constexpr milliseconds kAnswerTime{10000};

struct DecodedSize {
  int width = 0;
  int height = 0;
  bool decoded = false;
};

// Decodes the whole image with libjpeg-turbo, a decoder other than the driver's.
DecodedSize DecodeWithTurboJpeg(const std::vector<uint8_t>& image) {
  DecodedSize result;
  tjhandle decoder = tjInitDecompress();
  int subsampling = 0;
  int colourspace = 0;
  if (tjDecompressHeader3(decoder, image.data(), image.size(), &result.width, &result.height, &subsampling,
                          &colourspace) == 0) {
    std::vector<uint8_t> pixels(static_cast<size_t>(result.width * result.height * 3));
    result.decoded = tjDecompress2(decoder, image.data(), image.size(), pixels.data(), result.width, 0, result.height,
                                   TJPF_RGB, 0) == 0;
  }
  tjDestroy(decoder);
  return result;
}

class ServerStream : public ::testing::Test {
 protected:
  void SetUp() override {
    port_ = FindFreePort();
    server_ = std::make_unique<ServerProcess>(port_);
    ASSERT_TRUE(server_->WaitForOutput("with API versions", kStartTime)) << server_->Output();
  }
  void TearDown() override {
    server_->SendInput("q");
    EXPECT_EQ(server_->WaitForExit(milliseconds(10000)), 0) << server_->Output();
  }

  // A client whose stream has been accepted.
  std::unique_ptr<TestClient> StartStream(int32_t sizeIndex, int32_t frameRate, int receiveBuffer = 0) {
    auto client = std::make_unique<TestClient>(port_, milliseconds(15000), receiveBuffer);
    EXPECT_TRUE(client->SendStart(StreamRequest(sizeIndex, frameRate)));
    EXPECT_EQ(client->ReadReply(kAnswerTime), stream_protocol::kStatusStreaming) << server_->Output();
    return client;
  }

  void ExpectStreamOf(int32_t sizeIndex, int width, int height) {
    auto client = StartStream(sizeIndex, 5);
    const auto images = client->ReadImages(3, kAnswerTime);
    ASSERT_GE(images.size(), 3u);
    for (const auto& image : images) {
      const DecodedSize decoded = DecodeWithTurboJpeg(image);
      EXPECT_TRUE(decoded.decoded);
      EXPECT_EQ(decoded.width, width);
      EXPECT_EQ(decoded.height, height);
    }
  }

  uint16_t port_ = 0;
  std::unique_ptr<ServerProcess> server_;
};

}  // namespace

TEST_F(ServerStream, DeliversWholeDecodableImagesAtTheAskedRate) {
  auto client = StartStream(1, 10);
  client->ReadImages(1, kAnswerTime);  // the first frame may wait for capture to settle
  const auto start = std::chrono::steady_clock::now();
  const auto images = client->ReadImages(1000, milliseconds(3000));
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const double rate = static_cast<double>(images.size()) / seconds;
  EXPECT_GT(rate, 6.0);
  EXPECT_LT(rate, 13.0);
  for (const auto& image : images) {
    ASSERT_GE(image.size(), 4u);
    EXPECT_EQ(image[0], 0xFF);
    EXPECT_EQ(image[1], 0xD8);
    const DecodedSize decoded = DecodeWithTurboJpeg(image);
    EXPECT_TRUE(decoded.decoded);
    EXPECT_EQ(decoded.width, 320);
    EXPECT_EQ(decoded.height, 240);
  }
}

TEST_F(ServerStream, SizeIndexZeroStreamsFullSizeAndOneQuarterSize) {
  ExpectStreamOf(0, 640, 480);
  ExpectStreamOf(1, 320, 240);
}

TEST_F(ServerStream, StreamStartsWithTheReplyFollowedDirectlyByAnImage) {
  TestClient client(port_);
  ASSERT_TRUE(client.SendStart(StreamRequest(1, 25)));
  const auto head = client.ReadBytes(stream_protocol::kStartReplyBytes + 2, kAnswerTime);
  ASSERT_EQ(head.size(), 14u);
  EXPECT_EQ(stream_protocol::DecodeStartReply(std::span(head.data(), 12)), stream_protocol::kStatusStreaming);
  EXPECT_EQ(head[12], 0xFF);
  EXPECT_EQ(head[13], 0xD8);
}

TEST_F(ServerStream, ClientLeavingMidStreamStopsTheCameraAndTheNextIsServed) {
  auto first = StartStream(0, 30);
  EXPECT_GE(first->ReadImages(2, kAnswerTime).size(), 2u);
  first->Close();
  EXPECT_TRUE(server_->WaitForOutput("Send packet no completed: ", kAnswerTime)) << server_->Output();
  EXPECT_TRUE(server_->WaitForOutput("Stop camera\r\n", kAnswerTime));
  EXPECT_TRUE(server_->WaitForOutput("disconnected\r\n", kAnswerTime));

  auto second = StartStream(1, 30);
  EXPECT_GE(second->ReadImages(2, kAnswerTime).size(), 2u);
}

TEST_F(ServerStream, ClientThatNeverReadsIsDroppedAndTheNextIsServed) {
  auto stalled = StartStream(0, 30, 4096);
  EXPECT_TRUE(server_->WaitForOutput("Send packet no completed: ", milliseconds(60000))) << server_->Output();
  EXPECT_TRUE(server_->WaitForOutput("Stop camera\r\n", kAnswerTime));
  stalled.reset();

  auto next = StartStream(1, 30);
  EXPECT_GE(next->ReadImages(2, kAnswerTime).size(), 2u);
}

TEST_F(ServerStream, SlowReaderDoesNotHoldUpTheServer) {
  auto slow = StartStream(0, 30, 4096);
  std::vector<uint8_t> sip(1024);
  for (int i = 0; i < 40; ++i) {  // about 20 KiB/s for two seconds
    recv(slow->Socket(), sip.data(), sip.size(), MSG_DONTWAIT);
    std::this_thread::sleep_for(milliseconds(50));
  }
  slow.reset();
  EXPECT_TRUE(server_->WaitForOutput("Stop camera\r\n", milliseconds(15000))) << server_->Output();

  auto next = StartStream(1, 30);
  EXPECT_GE(next->ReadImages(2, kAnswerTime).size(), 2u);
}

TEST_F(ServerStream, QuitDuringAStreamEndsTheProgram) {
  auto client = StartStream(1, 25);
  EXPECT_GE(client->ReadImages(2, kAnswerTime).size(), 2u);
  server_->SendInput("q");
  EXPECT_EQ(server_->WaitForExit(milliseconds(10000)), 0) << server_->Output();
  EXPECT_TRUE(client->WaitForClose(kAnswerTime));
}

TEST(ServerWithoutFrames, StreamWaitsForFramesAndSeesTheClientLeave) {
  // Frames without their end marker are never delivered: the camera runs, nothing comes.
  const uint16_t port = FindFreePort();
  ServerProcess server(port, {"VELMAR_DEVICES=emu:fault=noeoi"});
  ASSERT_TRUE(server.WaitForOutput("with API versions", kStartTime)) << server.Output();
  {
    TestClient client(port);
    ASSERT_TRUE(client.SendStart(StreamRequest(1, 30)));
    ASSERT_EQ(client.ReadReply(kAnswerTime), stream_protocol::kStatusStreaming);
    size_t received = 0;
    EXPECT_FALSE(client.WaitForClose(milliseconds(2000), &received)) << "the stream goes on without frames";
    EXPECT_EQ(received, 0u);
  }
  EXPECT_TRUE(server.WaitForOutput("Stop camera\r\n", kAnswerTime)) << server.Output();
  EXPECT_TRUE(server.WaitForOutput("disconnected\r\n", kAnswerTime));
  server.SendInput("q");
  EXPECT_EQ(server.WaitForExit(milliseconds(10000)), 0);
}
