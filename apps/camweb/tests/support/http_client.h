// A small HTTP/1.1 client for the tests, on plain sockets so that it can also misbehave:
// whole answers, and MJPEG streams read part by part (through chunked transfer coding).
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "testing/child_process.h"

struct HttpAnswer {
  int status = 0;                              // 0: no answer
  std::map<std::string, std::string> headers;  // names in lower case
  std::string body;
};

// Sends `request` as given (it must ask for "Connection: close") and reads the answer.
HttpAnswer Exchange(uint16_t port, const std::string& request, milliseconds timeout = milliseconds(5000));
HttpAnswer Get(uint16_t port, const std::string& target, const std::string& extraHeaders = {});
HttpAnswer Post(uint16_t port, const std::string& target, const std::string& body);

// A connected socket to 127.0.0.1:port (blocking), or -1.
int ConnectTo(uint16_t port);

// One viewer of /stream: call Pump() whenever its socket is readable.
class StreamViewer {
 public:
  struct Part {
    std::vector<uint8_t> jpeg;
    double captured = 0;  // X-Timestamp, CLOCK_MONOTONIC seconds
  };

  StreamViewer(uint16_t port, const std::string& target, int receiveBuffer = 0);
  StreamViewer(const StreamViewer&) = delete;
  StreamViewer& operator=(const StreamViewer&) = delete;
  ~StreamViewer();

  int Socket() const { return fd_; }
  // Reads what is there; false once the connection is closed.
  bool Pump();
  // Reads until `parts` parts came or `timeout` passed; true when they came.
  bool WaitForParts(size_t parts, milliseconds timeout);
  // Reads until the connection closes; true when it did within `timeout`.
  bool WaitForClose(milliseconds timeout);

  int Status() const { return status_; }
  size_t PartCount() const { return partCount_; }
  // Capture-to-last-byte latency of every part so far, in seconds, when asked for.
  bool recordLatency = false;
  std::vector<double> latencies;
  // The closing boundary came: the stream ended cleanly.
  bool Ended() const { return ended_; }
  bool Malformed() const { return malformed_; }
  bool Closed() const { return closed_; }
  // Keeps the latest parts (not just the last) when asked; off by default.
  std::vector<Part> kept;
  size_t keep = 0;

 private:
  void Parse();
  bool TakeHeaders();
  bool Dechunk();
  void TakeParts();

  int fd_ = -1;
  int status_ = 0;
  bool headersDone_ = false, chunked_ = false, ended_ = false, malformed_ = false, closed_ = false;
  std::string raw_;      // bytes from the socket
  std::string payload_;  // the body after transfer decoding
  std::string boundary_;
  size_t partCount_ = 0;
};

// Pumps every viewer until `until` passes (poll on all sockets at once).
void PumpAll(const std::vector<StreamViewer*>& viewers, milliseconds duration);
