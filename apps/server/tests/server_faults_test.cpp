// The server against a camera that goes away, one that sends nothing usable, and one
// that cannot be made at start-up: the client is never held, the next one is served,
// and a camera plugged in again is used.
#include <gtest/gtest.h>

#include <thread>

#include "server_process.h"
#include "test_client.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr milliseconds kStartTime{20000};
constexpr milliseconds kAnswerTime{10000};

class ServerFaults : public ::testing::Test {
 protected:
  void Start(const std::string& devices) {
    port_ = FindFreePort();
    server_ = std::make_unique<ServerProcess>(port_, std::vector<std::string>{"VELMAR_DEVICES=" + devices});
    ASSERT_TRUE(server_->WaitForOutput("with API versions", kStartTime)) << server_->Output();
  }
  void TearDown() override {
    if (!server_) return;
    server_->SendInput("q");
    EXPECT_EQ(server_->WaitForExit(milliseconds(10000)), 0) << server_->Output();
  }

  uint16_t port_ = 0;
  std::unique_ptr<ServerProcess> server_;
};

TEST_F(ServerFaults, UnpluggedCameraEndsTheStreamAndTheRepluggedOneServesTheNextClient) {
  Start("emu:unplug=5,replug=1");
  {
    TestClient client(port_);
    ASSERT_TRUE(client.SendStart(StreamRequest(1, 25)));
    ASSERT_EQ(client.ReadReply(kAnswerTime), stream_protocol::kStatusStreaming) << server_->Output();
    // Images until the camera goes; then the connection must close soon after the last.
    size_t images = 0;
    auto lastImage = Clock::now();
    while (!client.ReadImages(1, milliseconds(3000)).empty()) {
      ++images;
      lastImage = Clock::now();
    }
    const auto quiet = Clock::now() - lastImage;
    EXPECT_GT(images, 0u) << server_->Output();
    EXPECT_TRUE(client.WaitForClose(milliseconds(0))) << server_->Output();
    EXPECT_LT(quiet, milliseconds(2000)) << "the client was held after the camera went";
  }
  EXPECT_TRUE(server_->WaitForOutput("Camera removed\r\nStop camera\r\n", kAnswerTime)) << server_->Output();
  EXPECT_TRUE(server_->WaitForOutput("disconnected\r\n", kAnswerTime)) << server_->Output();

  // Until the camera is back the server refuses; then it streams from the new one.
  const auto deadline = Clock::now() + milliseconds(15000);
  size_t images = 0;
  while (images < 2 && Clock::now() < deadline) {
    TestClient next(port_);
    ASSERT_TRUE(next.SendStart(StreamRequest(1, 25)));
    const auto reply = next.ReadReply(kAnswerTime);
    if (reply == stream_protocol::kStatusStreaming) {
      images = next.ReadImages(2, kAnswerTime).size();
    } else {
      EXPECT_EQ(reply, stream_protocol::kStatusRefused);
      std::this_thread::sleep_for(milliseconds(200));
    }
  }
  EXPECT_EQ(images, 2u) << server_->Output();
}

// Cameras that keep running but never deliver a frame: transfers that throw, frames that
// never end.
class SilentCamera : public ServerFaults, public ::testing::WithParamInterface<const char*> {};

TEST_P(SilentCamera, StreamEndsAfterFiveSecondsWithoutFramesAndTheNextClientIsServed) {
  Start(GetParam());
  for (int client = 0; client < 2; ++client) {
    TestClient silent(port_);
    ASSERT_TRUE(silent.SendStart(StreamRequest(1, 30)));
    ASSERT_EQ(silent.ReadReply(kAnswerTime), stream_protocol::kStatusStreaming) << server_->Output();
    if (client == 1) break;  // served: the server was not held by the first
    const auto start = Clock::now();
    size_t received = 0;
    EXPECT_TRUE(silent.WaitForClose(milliseconds(9000), &received)) << server_->Output();
    EXPECT_GT(Clock::now() - start, milliseconds(4000));
    EXPECT_EQ(received, 0u);
  }
  EXPECT_TRUE(server_->WaitForOutput("No frames from the camera\r\nStop camera\r\n", kAnswerTime)) << server_->Output();
}

INSTANTIATE_TEST_SUITE_P(Faults, SilentCamera, ::testing::Values("emu:fault=throw", "emu:fault=noeoi"));

// A camera that cannot be made: one line naming the option, and a failed exit.
class UnusableDevices : public ::testing::TestWithParam<const char*> {};

TEST_P(UnusableDevices, ServerExitsWithOneLineNamingTheOption) {
  ServerProcess server(FindFreePort(), {std::string("VELMAR_DEVICES=") + GetParam()});
  EXPECT_EQ(server.WaitForExit(milliseconds(20000)), 1);
  const std::string output = server.Output();
  EXPECT_EQ(output.rfind("server: cannot start the camera system: VELMAR_DEVICES: ", 0), 0u) << output;
  EXPECT_NE(output.find(std::string(GetParam()).substr(4)), std::string::npos) << output;
  EXPECT_EQ(output.find('\n'), output.size() - 1) << output;
}

INSTANTIATE_TEST_SUITE_P(Files, UnusableDevices,
                         ::testing::Values("emu:source=file:/dev/zero", "emu:script=/dev/zero",
                                           "emu:source=file:/proc/self/mem", "emu:script=/"));

}  // namespace
