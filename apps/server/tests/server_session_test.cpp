// What the server does with each kind of start packet, and with clients that send
// nothing or garbage: a console message, the reply where one is due, the connection
// closed, and the next client served.
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <thread>

#include "server_process.h"
#include "test_client.h"

namespace {

using stream_protocol::StreamParameters;

constexpr milliseconds kStartTime{20000};
constexpr milliseconds kAnswerTime{10000};

std::vector<uint8_t> StartPacket(const StreamParameters& parameters) {
  const auto packet = stream_protocol::EncodeStartPacket(parameters);
  return {packet.begin(), packet.end()};
}

void PutWord(std::vector<uint8_t>& packet, size_t offset, uint32_t value) {
  for (size_t i = 0; i < 4; ++i) packet[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}

// One server for the whole suite; clients come one after another as they would.
class ServerSession : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    port_ = FindFreePort();
    server_ = std::make_unique<ServerProcess>(port_);
    server_->WaitForOutput("with API versions", kStartTime);
  }
  static void TearDownTestSuite() {
    server_->SendInput("q");
    EXPECT_EQ(server_->WaitForExit(milliseconds(10000)), 0) << server_->Output();
    server_.reset();
  }

  // Sends `bytes` as one segment and expects the server to print `message` once more,
  // send nothing back and close the connection.
  static void ExpectRefusedWithoutReply(const std::vector<uint8_t>& bytes, const std::string& message) {
    const size_t before = server_->CountInOutput(message);
    TestClient client(port_);
    ASSERT_TRUE(client.Connected());
    ASSERT_TRUE(client.Send(bytes));
    size_t received = 0;
    EXPECT_TRUE(client.WaitForClose(kAnswerTime, &received));
    EXPECT_EQ(received, 0u);
    EXPECT_TRUE(server_->WaitForOutput(message, kAnswerTime, before + 1)) << server_->Output();
  }

  static void ExpectRefusedWithReply(const StreamParameters& parameters, const std::string& message) {
    const size_t before = server_->CountInOutput(message);
    TestClient client(port_);
    ASSERT_TRUE(client.SendStart(parameters));
    EXPECT_EQ(client.ReadReply(kAnswerTime), stream_protocol::kStatusRefused);
    size_t after = 0;
    EXPECT_TRUE(client.WaitForClose(kAnswerTime, &after));
    EXPECT_EQ(after, 0u);
    EXPECT_TRUE(server_->WaitForOutput(message, kAnswerTime, before + 1)) << server_->Output();
  }

  static uint16_t port_;
  static std::unique_ptr<ServerProcess> server_;
};

uint16_t ServerSession::port_ = 0;
std::unique_ptr<ServerProcess> ServerSession::server_;

}  // namespace

TEST_F(ServerSession, PacketsOfAnotherLengthAreRefusedWithoutReply) {
  std::vector<uint8_t> packet = StartPacket(StreamRequest(1, 10));
  packet.pop_back();
  ExpectRefusedWithoutReply(packet, "Invalid packet or time out\r\n");
  packet.push_back(10);
  packet.push_back(0);
  ExpectRefusedWithoutReply(packet, "Invalid packet or time out\r\n");
}

TEST_F(ServerSession, PacketSplitOverTwoSegmentsIsRefused) {
  const size_t before = server_->CountInOutput("Invalid packet or time out\r\n");
  const std::vector<uint8_t> packet = StartPacket(StreamRequest(1, 10));
  TestClient client(port_);
  ASSERT_TRUE(client.Send(std::span(packet.data(), 10)));
  std::this_thread::sleep_for(milliseconds(300));
  client.Send(std::span(packet.data() + 10, packet.size() - 10));
  size_t received = 0;
  EXPECT_TRUE(client.WaitForClose(kAnswerTime, &received));
  EXPECT_EQ(received, 0u);
  EXPECT_TRUE(server_->WaitForOutput("Invalid packet or time out\r\n", kAnswerTime, before + 1));
}

TEST_F(ServerSession, WrongMagicReservedFieldOrBlockLengthIsAnInvalidStartPacket) {
  for (const auto& [offset, value] : {std::pair<size_t, uint32_t>{0, 0x12345678}, {4, 1}, {8, 28}}) {
    std::vector<uint8_t> packet = StartPacket(StreamRequest(1, 10));
    PutWord(packet, offset, value);
    ExpectRefusedWithoutReply(packet, "Invalid start packet\r\n");
  }
}

TEST_F(ServerSession, WrongFormatOrRateIsAnInvalidStartParam) {
  StreamParameters wrongFormat = StreamRequest(1, 10);
  wrongFormat.formatCode = 0;
  ExpectRefusedWithoutReply(StartPacket(wrongFormat), "Invalid start param\r\n");
  for (const int32_t rate : {0, 31, -1}) {
    ExpectRefusedWithoutReply(StartPacket(StreamRequest(1, rate)), "Invalid start param\r\n");
  }
}

TEST_F(ServerSession, CameraIndexWithoutDeviceIsAnsweredNoCamera) {
  ExpectRefusedWithReply(StreamRequest(1, 10, 4), "No camera\r\n");
  ExpectRefusedWithReply(StreamRequest(1, 10, 9), "No camera\r\n");
  ExpectRefusedWithReply(StreamRequest(1, 10, -1), "No camera\r\n");
}

TEST_F(ServerSession, SizeTheDriverRefusesIsAnsweredSetOutputFormatFailed) {
  ExpectRefusedWithReply(StreamRequest(2, 10), "Set output format failed\r\n");
}

TEST_F(ServerSession, SilentClientIsDroppedAfterAboutFiveSeconds) {
  const size_t before = server_->CountInOutput("Invalid packet or time out\r\n");
  TestClient client(port_);
  ASSERT_TRUE(client.Connected());
  const auto start = std::chrono::steady_clock::now();
  EXPECT_TRUE(client.WaitForClose(milliseconds(15000)));
  const auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_GT(waited, milliseconds(4000));
  EXPECT_LT(waited, milliseconds(10000));
  EXPECT_TRUE(server_->WaitForOutput("Invalid packet or time out\r\n", kAnswerTime, before + 1));
}

TEST_F(ServerSession, GarbageIsRefusedAndTheNextClientIsServed) {
  std::mt19937 random(7);
  std::vector<uint8_t> garbage(1000);
  for (uint8_t& byte : garbage) byte = static_cast<uint8_t>(random());
  ExpectRefusedWithoutReply(garbage, "Invalid packet or time out\r\n");
  ExpectRefusedWithoutReply(std::vector<uint8_t>(garbage.begin(), garbage.begin() + 28), "Invalid start packet\r\n");
  ExpectRefusedWithReply(StreamRequest(1, 10, 7), "No camera\r\n");
}

TEST_F(ServerSession, EveryClientIsAnnouncedAndSeenOff) {
  const size_t before = server_->CountInOutput("disconnected\r\n");
  ExpectRefusedWithReply(StreamRequest(1, 10, 6), "No camera\r\n");
  ASSERT_TRUE(server_->WaitForOutput("disconnected\r\n", kAnswerTime, before + 1));
  const std::string output = server_->Output();
  const size_t announced = output.rfind("New user from 127.0.0.1:");
  ASSERT_NE(announced, std::string::npos);
  const std::string line = output.substr(announced, output.find("\r\n", announced) - announced);
  EXPECT_NE(line.find(", socket "), std::string::npos) << line;
  const std::string peer =
      line.substr(std::string("New user from ").size(), line.find(", socket") - std::string("New user from ").size());
  EXPECT_NE(output.find("User from " + peer + " disconnected\r\n", announced), std::string::npos) << output;
}
