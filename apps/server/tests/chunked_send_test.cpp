// Frames leave in pieces of 1400 bytes. A sequenced-packet socket pair keeps every send
// as one record, so the receiver sees the pieces exactly as they were sent.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <numeric>
#include <vector>

#include "server/chunked_send.h"

namespace {

class ChunkedSend : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, ends_), 0); }
  void TearDown() override {
    for (int& end : ends_) {
      if (end >= 0) close(end);
    }
  }

  int Sender() const { return ends_[0]; }
  void CloseReceiver() {
    close(ends_[1]);
    ends_[1] = -1;
  }

  // The records waiting at the receiving end, each as its length, checking the bytes.
  std::vector<size_t> ReceivedPieces(const std::vector<uint8_t>& sent) {
    std::vector<size_t> pieces;
    std::vector<uint8_t> record(64 * 1024);
    size_t offset = 0;
    for (;;) {
      const ssize_t got = recv(ends_[1], record.data(), record.size(), MSG_DONTWAIT);
      if (got <= 0) break;
      EXPECT_TRUE(std::equal(record.begin(), record.begin() + got, sent.begin() + static_cast<std::ptrdiff_t>(offset)));
      offset += static_cast<size_t>(got);
      pieces.push_back(static_cast<size_t>(got));
    }
    return pieces;
  }

  static std::vector<uint8_t> Frame(size_t length) {
    std::vector<uint8_t> frame(length);
    std::iota(frame.begin(), frame.end(), uint8_t{0});
    return frame;
  }

  std::atomic<bool> stop_{false};

 private:
  int ends_[2] = {-1, -1};
};

}  // namespace

TEST_F(ChunkedSend, ExactMultipleGoesAsWholePieces) {
  const auto frame = Frame(2800);
  EXPECT_TRUE(SendChunked(Sender(), frame.data(), frame.size(), stop_));
  EXPECT_EQ(ReceivedPieces(frame), (std::vector<size_t>{1400, 1400}));
}

TEST_F(ChunkedSend, RemainderGoesAsLastPiece) {
  const auto frame = Frame(2801);
  EXPECT_TRUE(SendChunked(Sender(), frame.data(), frame.size(), stop_));
  EXPECT_EQ(ReceivedPieces(frame), (std::vector<size_t>{1400, 1400, 1}));
}

TEST_F(ChunkedSend, SmallFrameIsOnePieceAndEmptyFrameNone) {
  const auto frame = Frame(1399);
  EXPECT_TRUE(SendChunked(Sender(), frame.data(), frame.size(), stop_));
  EXPECT_EQ(ReceivedPieces(frame), (std::vector<size_t>{1399}));
  EXPECT_TRUE(SendChunked(Sender(), frame.data(), 0, stop_));
  EXPECT_TRUE(ReceivedPieces(frame).empty());
}

TEST_F(ChunkedSend, PausesAfterEveryPiece) {
  const auto frame = Frame(10 * 1400);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_TRUE(SendChunked(Sender(), frame.data(), frame.size(), stop_));
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(20));
  EXPECT_EQ(ReceivedPieces(frame).size(), 10u);
}

TEST_F(ChunkedSend, SetStopFlagEndsTheFrameAsSuccessWithoutSending) {
  const auto frame = Frame(2801);
  stop_ = true;
  EXPECT_TRUE(SendChunked(Sender(), frame.data(), frame.size(), stop_));
  EXPECT_TRUE(ReceivedPieces(frame).empty());
}

TEST_F(ChunkedSend, VanishedPeerFailsAndSetsStopWithoutSigpipe) {
  const auto frame = Frame(2801);
  CloseReceiver();
  testing::internal::CaptureStdout();
  EXPECT_FALSE(SendChunked(Sender(), frame.data(), frame.size(), stop_));
  const std::string console = testing::internal::GetCapturedStdout();
  EXPECT_TRUE(stop_);
  EXPECT_EQ(console.rfind("Send packet no completed: ", 0), 0u) << console;
}

TEST_F(ChunkedSend, PieceWaitsAtMostOneSecondForRoomThenGivesUp) {
  // Nobody reads: fill the pair until a piece no longer fits.
  const auto frame = Frame(1400);
  int sent = 0;
  while (sent < 10000 && send(Sender(), frame.data(), frame.size(), MSG_DONTWAIT) == 1400) ++sent;
  ASSERT_LT(sent, 10000);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(SendPiece(Sender(), frame.data(), frame.size()), 0);
  const auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_GE(waited, std::chrono::milliseconds(900));
  EXPECT_LT(waited, std::chrono::seconds(5));
}
