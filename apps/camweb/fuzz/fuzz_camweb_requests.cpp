// Input: a method line, then the request target, then the body, separated by newlines
// ("POST\n/api/cameras/0\n{...}"). Routing and body parsing must answer every input with a
// route or a 4xx reason, and what they accept must stay within the values served.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "camweb/camera_settings.h"
#include "camweb/request_router.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const size_t first = input.find('\n');
  const std::string_view method = input.substr(0, first);
  const std::string_view rest = first == std::string_view::npos ? std::string_view{} : input.substr(first + 1);
  const size_t second = rest.find('\n');
  const std::string_view target = rest.substr(0, second);
  const std::string_view body = second == std::string_view::npos ? std::string_view{} : rest.substr(second + 1);

  const auto routed = RouteRequest(method, target);
  if (const auto* route = std::get_if<Route>(&routed)) {
    Check(route->camera >= 0 && route->camera <= 8);
    Check(route->fps >= 1 && route->fps <= kMaxStreamFps);
    Check(route->size == kLargeFrame || route->size == kSmallFrame);
  } else {
    const auto& refusal = std::get<Refusal>(routed);
    Check(refusal.status >= 400 && refusal.status < 500 && !refusal.reason.empty());
  }

  const auto parsed = ParseSettingsChange(body);
  if (const auto* change = std::get_if<SettingsChange>(&parsed)) {
    Check(change->size || change->lightMode || change->exposure || change->bandwidth);
    if (change->exposure && !change->exposure->automatic) {
      Check(change->exposure->level >= 1 && change->exposure->level <= 100);
    }
    const CameraSettings settings = change->AppliedTo({});
    Check(!SettingsJsonMembers(settings).empty());
  } else {
    Check(!std::get<std::string>(parsed).empty());
  }
  return 0;
}
