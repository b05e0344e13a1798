#include "camweb/metrics.h"

#include <functional>

namespace {

struct Family {
  const char* name;
  const char* type;
  const char* help;
  std::function<uint64_t(const CameraCounters&)> value;
};

const Family kCameraFamilies[] = {
    {"camweb_frames_captured_total", "counter", "Frames read from the camera.",
     [](const CameraCounters& c) { return c.framesCaptured; }},
    {"camweb_capture_starts_total", "counter", "Captures started on the camera.",
     [](const CameraCounters& c) { return c.captureStarts; }},
    {"camweb_capture_running", "gauge", "1 while the camera's one shared capture runs.",
     [](const CameraCounters& c) { return uint64_t{c.capturing}; }},
    {"camweb_frames_sent_total", "counter", "Frames sent to viewers and snapshots, one per receiver.",
     [](const CameraCounters& c) { return c.framesSent; }},
    {"camweb_frames_dropped_total", "counter", "Frames a viewer skipped because it was still taking an older one.",
     [](const CameraCounters& c) { return c.framesDropped; }},
    {"camweb_bytes_sent_total", "counter", "Image bytes sent to viewers and snapshots.",
     [](const CameraCounters& c) { return c.bytesSent; }},
    {"camweb_viewers", "gauge", "Streams open on the camera.",
     [](const CameraCounters& c) { return static_cast<uint64_t>(c.viewers); }},
};

void Header(std::string& text, const char* name, const char* type, const char* help) {
  text += std::string("# HELP ") + name + " " + help + "\n# TYPE " + name + " " + type + "\n";
}

}  // namespace

std::string RenderPrometheus(const MetricsSnapshot& metrics) {
  std::string text;
  for (const Family& family : kCameraFamilies) {
    Header(text, family.name, family.type, family.help);
    for (const CameraCounters& camera : metrics.cameras) {
      text += std::string(family.name) + "{camera=\"" + std::to_string(camera.camera) + "\"} " +
              std::to_string(family.value(camera)) + "\n";
    }
  }
  Header(text, "camweb_http_requests_total", "counter", "Requests answered, by status.");
  for (const auto& [status, count] : metrics.requestsByStatus) {
    text += "camweb_http_requests_total{status=\"" + std::to_string(status) + "\"} " + std::to_string(count) + "\n";
  }
  return text;
}
