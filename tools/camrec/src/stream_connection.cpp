#include "camrec/stream_connection.h"

#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::chrono::milliseconds kConnectTimeout{5000};
constexpr std::chrono::milliseconds kRetryPause{100};

int RemainingMs(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

// One connection attempt with a time-limit; the socket, or -1 with errno set.
int ConnectOnce(const addrinfo& address) {
  const int fd = socket(address.ai_family, address.ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, address.ai_protocol);
  if (fd < 0) return -1;
  if (connect(fd, address.ai_addr, address.ai_addrlen) != 0) {
    if (errno != EINPROGRESS) {
      const int failure = errno;
      close(fd);
      errno = failure;
      return -1;
    }
    pollfd writable{fd, POLLOUT, 0};
    int failure = ETIMEDOUT;
    if (poll(&writable, 1, static_cast<int>(kConnectTimeout.count())) > 0) {
      socklen_t length = sizeof(failure);
      getsockopt(fd, SOL_SOCKET, SO_ERROR, &failure, &length);
    }
    if (failure != 0) {
      close(fd);
      errno = failure;
      return -1;
    }
  }
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return fd;
}

// Reads exactly `length` bytes before `deadline`; the count read (short on close,
// time-out or error).
size_t ReadFully(int fd, uint8_t* buffer, size_t length, Clock::time_point deadline) {
  size_t got = 0;
  while (got < length) {
    pollfd readable{fd, POLLIN, 0};
    const int ready = poll(&readable, 1, RemainingMs(deadline));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) break;
    const ssize_t n = recv(fd, buffer + got, length - got, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += static_cast<size_t>(n);
  }
  return got;
}

}  // namespace

StreamConnection& StreamConnection::operator=(StreamConnection&& other) noexcept {
  if (this != &other) {
    if (socket_ >= 0) close(socket_);
    socket_ = other.Release();
  }
  return *this;
}

StreamConnection::~StreamConnection() {
  if (socket_ >= 0) close(socket_);
}

int StreamConnection::Release() {
  const int fd = socket_;
  socket_ = -1;
  return fd;
}

StreamConnection ConnectToServer(const std::string& host, uint16_t port, std::chrono::milliseconds retryFor,
                                 std::string& error) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* addresses = nullptr;
  const std::string service = std::to_string(port);
  if (const int failure = getaddrinfo(host.c_str(), service.c_str(), &hints, &addresses); failure != 0) {
    error = "cannot resolve " + host + ": " + gai_strerror(failure);
    return {};
  }

  const auto deadline = Clock::now() + retryFor;
  int lastError = 0;
  for (;;) {
    for (const addrinfo* address = addresses; address != nullptr; address = address->ai_next) {
      const int fd = ConnectOnce(*address);
      if (fd >= 0) {
        freeaddrinfo(addresses);
        return StreamConnection(fd);
      }
      lastError = errno;
    }
    if (lastError != ECONNREFUSED || Clock::now() + kRetryPause > deadline) break;
    std::this_thread::sleep_for(kRetryPause);
  }
  freeaddrinfo(addresses);
  error = "cannot connect to " + host + ":" + service + ": " + std::strerror(lastError) +
          (lastError == ECONNREFUSED ? " (is the server running?)" : "");
  return {};
}

bool RequestStream(const StreamConnection& connection, const stream_protocol::StreamParameters& parameters,
                   std::chrono::milliseconds timeout, std::string& error) {
  const auto packet = stream_protocol::EncodeStartPacket(parameters);
  if (send(connection.Socket(), packet.data(), packet.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(packet.size())) {
    error = std::string("cannot send the start packet: ") + std::strerror(errno);
    return false;
  }

  std::array<uint8_t, stream_protocol::kStartReplyBytes> reply{};
  const auto deadline = Clock::now() + timeout;
  const size_t got = ReadFully(connection.Socket(), reply.data(), reply.size(), deadline);
  if (got == 0 && Clock::now() >= deadline) {
    error = "no reply from the server within " + std::to_string(timeout.count() / 1000) + " s";
    return false;
  }
  if (got == 0) {
    error = "the server closed the connection without a reply: it rejected the start packet";
    return false;
  }
  if (got < reply.size()) {
    error = "the server's reply was cut short (" + std::to_string(got) + " of 12 bytes)";
    return false;
  }
  const auto status = stream_protocol::DecodeStartReply(reply);
  if (!status) {
    error = "the server's reply is not a camera server reply (wrong magic)";
    return false;
  }
  if (*status == stream_protocol::kStatusRefused) {
    error = "the server refused the stream: no camera " + std::to_string(parameters.camera) +
            ", or the camera could not be started at that size";
    return false;
  }
  if (*status != stream_protocol::kStatusStreaming) {
    error = "the server answered with the unknown status " + std::to_string(*status);
    return false;
  }
  return true;
}
