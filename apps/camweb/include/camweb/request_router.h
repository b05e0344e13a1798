// Routing of the web interface: a request's method and target (path and query) become
// one of the pages the program serves, with its parameters checked, or the 4xx answer
// and its reason. Pure, so the fuzz target and the tests drive it without a network.
#pragma once

#include <string>
#include <string_view>
#include <variant>

#include "camweb/frame_size.h"

enum class Page { kIndex, kStream, kSnapshot, kCameraList, kCameraChange, kMetrics };

struct Route {
  Page page = Page::kIndex;
  int camera = 0;
  FrameSize size = kLargeFrame;
  int fps = 25;  // frames per second a stream asks for
};

struct Refusal {
  int status = 400;
  std::string reason;
  std::string allow;  // for 405: the methods the path takes
};

inline constexpr int kMaxStreamFps = 30;

// `method` as sent ("GET"); `target` the request target ("/stream?camera=1").
std::variant<Route, Refusal> RouteRequest(std::string_view method, std::string_view target);
