// The counters of the web interface and their Prometheus text rendering.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

struct CameraCounters {
  int camera = 0;
  uint64_t framesCaptured = 0;
  uint64_t captureStarts = 0;
  bool capturing = false;
  uint64_t framesSent = 0;
  uint64_t framesDropped = 0;  // newer frames arrived while a viewer still took an older one
  uint64_t bytesSent = 0;
  int viewers = 0;
};

struct MetricsSnapshot {
  std::vector<CameraCounters> cameras;
  std::map<int, uint64_t> requestsByStatus;
};

std::string RenderPrometheus(const MetricsSnapshot& metrics);
