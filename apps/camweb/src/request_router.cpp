#include "camweb/request_router.h"

#include <charconv>
#include <optional>

#include "camclient/camclient.h"

namespace {

struct Query {
  std::optional<std::string> camera, size, fps;
};

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Form decoding of one query word ('+' is a space); nothing for a broken %-escape.
std::optional<std::string> DecodeQueryWord(std::string_view word) {
  std::string decoded;
  for (size_t i = 0; i < word.size(); ++i) {
    if (word[i] == '+') {
      decoded += ' ';
    } else if (word[i] != '%') {
      decoded += word[i];
    } else {
      if (i + 2 >= word.size()) return std::nullopt;
      const int high = HexDigit(word[i + 1]), low = HexDigit(word[i + 2]);
      if (high < 0 || low < 0) return std::nullopt;
      decoded += static_cast<char>(high * 16 + low);
      i += 2;
    }
  }
  return decoded;
}

// The parameters the pages know; others (a page's cache-busting counter) are ignored.
std::optional<Query> ParseQuery(std::string_view text, std::string& reason) {
  Query query;
  while (!text.empty()) {
    const size_t end = text.find('&');
    const std::string_view pair = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
    if (pair.empty()) continue;
    const size_t equals = pair.find('=');
    const auto key = DecodeQueryWord(pair.substr(0, equals));
    const auto value = DecodeQueryWord(equals == std::string_view::npos ? std::string_view{} : pair.substr(equals + 1));
    if (!key || !value) {
      reason = "broken %-escape in the query";
      return std::nullopt;
    }
    if (*key == "camera") query.camera = *value;
    if (*key == "size") query.size = *value;
    if (*key == "fps") query.fps = *value;
  }
  return query;
}

std::optional<int> ParseNumber(std::string_view text, int low, int high) {
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc{} || end != text.data() + text.size() || text.empty() || value < low || value > high) {
    return std::nullopt;
  }
  return value;
}

Refusal BadRequest(std::string reason) { return Refusal{400, std::move(reason), {}}; }

std::variant<Route, Refusal> ApplyQuery(Route route, const Query& query) {
  if (query.camera) {
    const auto camera = ParseNumber(*query.camera, 0, kCameraSlots - 1);
    if (!camera) return BadRequest("camera must be a number from 0 to 8, not '" + *query.camera + "'");
    route.camera = *camera;
  }
  if (query.size) {
    const auto size = ParseFrameSize(*query.size);
    if (!size) return BadRequest("size must be 640x480 or 320x240, not '" + *query.size + "'");
    route.size = *size;
  }
  if (query.fps) {
    const auto fps = ParseNumber(*query.fps, 1, kMaxStreamFps);
    if (!fps) return BadRequest("fps must be a number from 1 to 30, not '" + *query.fps + "'");
    route.fps = *fps;
  }
  return route;
}

std::variant<Route, Refusal> Expect(std::string_view method, std::string_view wanted, Route route) {
  if (method == wanted) return route;
  return Refusal{405, std::string(method.substr(0, 16)) + " is not served here; use " + std::string(wanted),
                 std::string(wanted)};
}

}  // namespace

std::variant<Route, Refusal> RouteRequest(std::string_view method, std::string_view target) {
  const size_t mark = target.find('?');
  const std::string_view path = target.substr(0, mark);
  const std::string_view queryText = mark == std::string_view::npos ? std::string_view{} : target.substr(mark + 1);
  std::string reason;
  const auto query = ParseQuery(queryText, reason);
  if (!query) return BadRequest(reason);

  Route route;
  if (path == "/" || path == "/index.html") {
    route.page = Page::kIndex;
  } else if (path == "/stream") {
    route.page = Page::kStream;
  } else if (path == "/snapshot") {
    route.page = Page::kSnapshot;
  } else if (path == "/api/cameras") {
    route.page = Page::kCameraList;
  } else if (path == "/metrics") {
    route.page = Page::kMetrics;
  } else if (path.starts_with("/api/cameras/")) {
    const auto camera = ParseNumber(path.substr(13), 0, kCameraSlots - 1);
    if (!camera) return Refusal{404, "no camera '" + std::string(path.substr(13, 16)) + "': cameras are 0 to 8", {}};
    route.page = Page::kCameraChange;
    route.camera = *camera;
    return Expect(method, "POST", route);
  } else {
    return Refusal{404, "nothing at " + std::string(path.substr(0, 64)), {}};
  }
  const auto checked = ApplyQuery(route, *query);
  if (std::holds_alternative<Refusal>(checked)) return checked;
  return Expect(method, "GET", std::get<Route>(checked));
}
