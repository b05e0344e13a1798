// A network client of the camera server for end-to-end tests, on 127.0.0.1 only. Every
// wait has a time-limit.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "stream_protocol/stream_protocol.h"

using std::chrono::milliseconds;

class TestClient {
 public:
  // Connects to 127.0.0.1:port, retrying refused connections until `timeout` (the
  // server may still be starting). `receiveBuffer` > 0 sets SO_RCVBUF before connecting.
  explicit TestClient(uint16_t port, milliseconds timeout = milliseconds(15000), int receiveBuffer = 0);
  TestClient(const TestClient&) = delete;
  TestClient& operator=(const TestClient&) = delete;
  ~TestClient();

  bool Connected() const { return fd_ >= 0; }
  int Socket() const { return fd_; }
  void Close();

  bool Send(std::span<const uint8_t> bytes);
  bool SendStart(const stream_protocol::StreamParameters& parameters);

  // The status word of the 12-byte reply; nothing if the connection ends first or
  // nothing comes within `timeout`.
  std::optional<uint32_t> ReadReply(milliseconds timeout);

  // True when the server closes the connection within `timeout`; `bytesBefore` gets
  // what arrived before the close.
  bool WaitForClose(milliseconds timeout, size_t* bytesBefore = nullptr);

  // Whole JPEG images of the stream until `count` have come or `timeout` has passed.
  std::vector<std::vector<uint8_t>> ReadImages(size_t count, milliseconds timeout);

  // Stream bytes until `count` have come or `timeout` has passed.
  std::vector<uint8_t> ReadBytes(size_t count, milliseconds timeout);

 private:
  int fd_ = -1;
};

// A start packet for the emulated camera: camera 0, JPEG, the given size and rate.
stream_protocol::StreamParameters StreamRequest(int32_t sizeIndex, int32_t frameRate, int32_t camera = 0);
