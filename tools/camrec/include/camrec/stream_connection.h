// The client side of the camera server's protocol: connect, ask for a stream, read the
// answer.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "stream_protocol/stream_protocol.h"

// A connected socket, closed when it goes out of scope.
class StreamConnection {
 public:
  StreamConnection() = default;
  explicit StreamConnection(int socket) : socket_(socket) {}
  StreamConnection(StreamConnection&& other) noexcept : socket_(other.Release()) {}
  StreamConnection& operator=(StreamConnection&& other) noexcept;
  ~StreamConnection();

  int Socket() const { return socket_; }
  bool IsOpen() const { return socket_ >= 0; }
  int Release();

 private:
  int socket_ = -1;
};

// Connects to host:port. Refused connections are retried until `retryFor` has passed
// (so a script may start the server and the recorder together). Not open on failure,
// with `error` set.
StreamConnection ConnectToServer(const std::string& host, uint16_t port, std::chrono::milliseconds retryFor,
                                 std::string& error);

// Sends the start packet and waits up to `timeout` for the reply. True when the server
// starts streaming; otherwise `error` explains the refusal or the failure.
bool RequestStream(const StreamConnection& connection, const stream_protocol::StreamParameters& parameters,
                   std::chrono::milliseconds timeout, std::string& error);
