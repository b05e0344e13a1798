#include "test_client.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <thread>

#include "stream_protocol/jpeg_stream_splitter.h"

namespace {

using Clock = std::chrono::steady_clock;

int RemainingMs(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

// Up to `capacity` bytes that arrive before `deadline`: the count, 0 at the end of the
// stream, -1 on time-out or error.
ssize_t ReceiveSome(int fd, uint8_t* buffer, size_t capacity, Clock::time_point deadline) {
  for (;;) {
    pollfd readable{fd, POLLIN, 0};
    const int ready = poll(&readable, 1, RemainingMs(deadline));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) return -1;
    const ssize_t got = recv(fd, buffer, capacity, 0);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0 && errno == ECONNRESET) return 0;
    return got;
  }
}

}  // namespace

TestClient::TestClient(uint16_t port, milliseconds timeout, int receiveBuffer) {
  const auto deadline = Clock::now() + timeout;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(port);
  for (;;) {
    fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (receiveBuffer > 0) setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof(receiveBuffer));
    const int on = 1;
    setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof(on));
    if (connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0) return;
    Close();
    if (Clock::now() >= deadline) return;
    std::this_thread::sleep_for(milliseconds(50));
  }
}

TestClient::~TestClient() { Close(); }

void TestClient::Close() {
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
}

bool TestClient::Send(std::span<const uint8_t> bytes) {
  return fd_ >= 0 && send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(bytes.size());
}

bool TestClient::SendStart(const stream_protocol::StreamParameters& parameters) {
  return Send(stream_protocol::EncodeStartPacket(parameters));
}

std::optional<uint32_t> TestClient::ReadReply(milliseconds timeout) {
  const std::vector<uint8_t> reply = ReadBytes(stream_protocol::kStartReplyBytes, timeout);
  return stream_protocol::DecodeStartReply(reply);
}

bool TestClient::WaitForClose(milliseconds timeout, size_t* bytesBefore) {
  const auto deadline = Clock::now() + timeout;
  size_t total = 0;
  uint8_t buffer[4096];
  ssize_t got = 1;
  while (got > 0) {
    got = ReceiveSome(fd_, buffer, sizeof(buffer), deadline);
    if (got > 0) total += static_cast<size_t>(got);
  }
  if (bytesBefore != nullptr) *bytesBefore = total;
  return got == 0;
}

std::vector<std::vector<uint8_t>> TestClient::ReadImages(size_t count, milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  std::vector<std::vector<uint8_t>> images;
  JpegStreamSplitter splitter;
  std::vector<uint8_t> buffer(64 * 1024);
  while (images.size() < count) {
    const ssize_t got = ReceiveSome(fd_, buffer.data(), buffer.size(), deadline);
    if (got <= 0) break;
    splitter.Feed(std::span<const uint8_t>(buffer.data(), static_cast<size_t>(got)),
                  [&](std::span<const uint8_t> image) { images.emplace_back(image.begin(), image.end()); });
  }
  return images;
}

std::vector<uint8_t> TestClient::ReadBytes(size_t count, milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  std::vector<uint8_t> bytes(count);
  size_t have = 0;
  while (have < count) {
    const ssize_t got = ReceiveSome(fd_, bytes.data() + have, count - have, deadline);
    if (got <= 0) break;
    have += static_cast<size_t>(got);
  }
  bytes.resize(have);
  return bytes;
}

stream_protocol::StreamParameters StreamRequest(int32_t sizeIndex, int32_t frameRate, int32_t camera) {
  stream_protocol::StreamParameters parameters;
  parameters.camera = camera;
  parameters.sizeIndex = sizeIndex;
  parameters.frameRate = frameRate;
  return parameters;
}
