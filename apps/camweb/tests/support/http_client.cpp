#include "http_client.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace {

using Clock = std::chrono::steady_clock;

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
  return text;
}

// Status line and headers of `text` up to the blank line; the offset after it, or npos.
size_t ParseHead(const std::string& text, int& status, std::map<std::string, std::string>& headers) {
  const size_t end = text.find("\r\n\r\n");
  if (end == std::string::npos) return std::string::npos;
  status = text.size() > 12 ? std::atoi(text.c_str() + 9) : 0;
  size_t line = text.find("\r\n") + 2;
  while (line < end) {
    const size_t next = text.find("\r\n", line);
    const std::string header = text.substr(line, next - line);
    const size_t colon = header.find(':');
    if (colon != std::string::npos) {
      size_t value = colon + 1;
      while (value < header.size() && header[value] == ' ') ++value;
      headers[Lower(header.substr(0, colon))] = header.substr(value);
    }
    line = next + 2;
  }
  return end + 4;
}

// Decodes the complete chunks at the front of `raw` into `out`; true at the last chunk.
bool TakeChunks(std::string& raw, std::string& out, bool& malformed) {
  while (true) {
    const size_t lineEnd = raw.find("\r\n");
    if (lineEnd == std::string::npos) return false;
    char* end = nullptr;
    const unsigned long length = std::strtoul(raw.c_str(), &end, 16);
    if (end == raw.c_str()) {
      malformed = true;
      return false;
    }
    if (raw.size() < lineEnd + 2 + length + 2) return false;
    out.append(raw, lineEnd + 2, length);
    raw.erase(0, lineEnd + 2 + length + 2);
    if (length == 0) return true;
  }
}

}  // namespace

int ConnectTo(uint16_t port) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

HttpAnswer Exchange(uint16_t port, const std::string& request, milliseconds timeout) {
  HttpAnswer answer;
  const int fd = ConnectTo(port);
  if (fd < 0) return answer;
  send(fd, request.data(), request.size(), MSG_NOSIGNAL);
  std::string text;
  const auto deadline = Clock::now() + timeout;
  while (Clock::now() < deadline) {
    pollfd waiting{fd, POLLIN, 0};
    const int left = static_cast<int>(std::chrono::duration_cast<milliseconds>(deadline - Clock::now()).count());
    if (poll(&waiting, 1, std::max(left, 1)) <= 0) break;
    char buffer[65536];
    const ssize_t got = recv(fd, buffer, sizeof(buffer), 0);
    if (got <= 0) break;
    text.append(buffer, static_cast<size_t>(got));
  }
  close(fd);
  const size_t body = ParseHead(text, answer.status, answer.headers);
  if (body == std::string::npos) return HttpAnswer{};
  std::string rest = text.substr(body);
  if (Lower(answer.headers["transfer-encoding"]) == "chunked") {
    bool malformed = false;
    TakeChunks(rest, answer.body, malformed);
  } else {
    answer.body = rest;
  }
  return answer;
}

HttpAnswer Get(uint16_t port, const std::string& target, const std::string& extraHeaders) {
  return Exchange(port,
                  "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" + extraHeaders + "Connection: close\r\n\r\n");
}

HttpAnswer Post(uint16_t port, const std::string& target, const std::string& body) {
  return Exchange(port, "POST " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: application/json\r\n" +
                            "Content-Length: " + std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
}

StreamViewer::StreamViewer(uint16_t port, const std::string& target, int receiveBuffer) {
  fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  // A small receive window makes a viewer that stops reading stall the sender soon.
  if (receiveBuffer > 0) setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof(receiveBuffer));
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
    closed_ = true;
    return;
  }
  const std::string request = "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
  send(fd_, request.data(), request.size(), MSG_NOSIGNAL);
}

StreamViewer::~StreamViewer() { close(fd_); }

bool StreamViewer::Pump() {
  if (closed_) return false;
  char buffer[65536];
  const ssize_t got = recv(fd_, buffer, sizeof(buffer), MSG_DONTWAIT);
  if (got == 0 || (got < 0 && errno != EAGAIN && errno != EWOULDBLOCK)) {
    closed_ = true;
    return false;
  }
  if (got > 0) {
    raw_.append(buffer, static_cast<size_t>(got));
    Parse();
  }
  return true;
}

void StreamViewer::Parse() {
  if (!headersDone_ && !TakeHeaders()) return;
  if (chunked_) {
    TakeChunks(raw_, payload_, malformed_);
  } else {
    payload_ += raw_;
    raw_.clear();
  }
  TakeParts();
}

bool StreamViewer::TakeHeaders() {
  std::map<std::string, std::string> headers;
  const size_t body = ParseHead(raw_, status_, headers);
  if (body == std::string::npos) return false;
  raw_.erase(0, body);
  headersDone_ = true;
  chunked_ = Lower(headers["transfer-encoding"]) == "chunked";
  const std::string type = headers["content-type"];
  const size_t mark = type.find("boundary=");
  if (mark != std::string::npos) boundary_ = "--" + type.substr(mark + 9);
  return true;
}

void StreamViewer::TakeParts() {
  if (boundary_.empty()) return;
  while (true) {
    if (payload_.starts_with(boundary_ + "--")) {
      ended_ = true;
      payload_.clear();
      return;
    }
    if (payload_.size() < boundary_.size() + 2) return;
    if (!payload_.starts_with(boundary_ + "\r\n")) {
      malformed_ = true;
      return;
    }
    int ignored = 0;
    std::map<std::string, std::string> headers;
    // The part's headers follow the boundary line; ParseHead skips one first line.
    const size_t body = ParseHead(payload_, ignored, headers);
    if (body == std::string::npos) return;
    if (headers["content-type"] != "image/jpeg" || headers.count("content-length") == 0) {
      malformed_ = true;
      return;
    }
    const size_t length = std::strtoul(headers["content-length"].c_str(), nullptr, 10);
    if (payload_.size() < body + length + 2) return;
    if (payload_.compare(body + length, 2, "\r\n") != 0) {
      malformed_ = true;
      return;
    }
    Part part;
    part.jpeg.assign(payload_.begin() + static_cast<long>(body), payload_.begin() + static_cast<long>(body + length));
    part.captured = std::atof(headers["x-timestamp"].c_str());
    if (recordLatency) {
      // Its last byte is here now; the capture time is on the same (monotonic) clock.
      latencies.push_back(std::chrono::duration<double>(Clock::now().time_since_epoch()).count() - part.captured);
    }
    if (keep > 0) {
      kept.push_back(std::move(part));
      if (kept.size() > keep) kept.erase(kept.begin());
    }
    ++partCount_;
    payload_.erase(0, body + length + 2);
  }
}

bool StreamViewer::WaitForParts(size_t parts, milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  while (partCount_ < parts && !closed_ && Clock::now() < deadline) {
    pollfd waiting{fd_, POLLIN, 0};
    poll(&waiting, 1, 50);
    Pump();
  }
  return partCount_ >= parts;
}

bool StreamViewer::WaitForClose(milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  while (!closed_ && Clock::now() < deadline) {
    pollfd waiting{fd_, POLLIN, 0};
    poll(&waiting, 1, 50);
    Pump();
  }
  return closed_;
}

void PumpAll(const std::vector<StreamViewer*>& viewers, milliseconds duration) {
  const auto deadline = Clock::now() + duration;
  std::vector<pollfd> waiting;
  for (StreamViewer* viewer : viewers) waiting.push_back({viewer->Socket(), POLLIN, 0});
  while (Clock::now() < deadline) {
    if (poll(waiting.data(), waiting.size(), 20) <= 0) continue;
    for (size_t i = 0; i < viewers.size(); ++i) {
      if (waiting[i].revents != 0) viewers[i]->Pump();
      if (viewers[i]->Closed()) waiting[i].fd = -1;
    }
  }
}
