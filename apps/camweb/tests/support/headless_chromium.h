// Debian's Chromium, headless, driven through its DevTools protocol over a pipe
// (--remote-debugging-pipe: JSON messages ended by a NUL byte on file descriptors 3 and
// 4), so that the tests can load a page, run script in it and take screenshots.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

class HeadlessChromium {
 public:
  HeadlessChromium();
  HeadlessChromium(const HeadlessChromium&) = delete;
  HeadlessChromium& operator=(const HeadlessChromium&) = delete;
  ~HeadlessChromium();

  bool Started() const { return pid_ > 0; }
  // Opens `url` in a new page and attaches to it; false when Chromium does not answer.
  bool Open(const std::string& url);
  // The value of a script expression (promises awaited), or nothing on an exception.
  std::optional<nlohmann::json> Evaluate(const std::string& expression);
  // A JPEG screenshot of the page's region, in CSS pixels; empty on failure.
  std::vector<uint8_t> Screenshot(double x, double y, double width, double height);

 private:
  nlohmann::json Call(const std::string& method, nlohmann::json params, bool inPage);
  std::optional<nlohmann::json> NextMessage(std::chrono::steady_clock::time_point deadline);

  pid_t pid_ = -1;
  int commands_ = -1;  // our end of Chromium's fd 3
  int replies_ = -1;   // our end of Chromium's fd 4
  std::string profile_;
  std::string received_;
  int nextId_ = 1;
  std::string session_;
};

std::vector<uint8_t> DecodeBase64(const std::string& text);
