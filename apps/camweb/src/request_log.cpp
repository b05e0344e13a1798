#include "camweb/request_log.h"

#include <cstdio>

namespace {

constexpr size_t kMaxLoggedTarget = 256;

std::string Printable(std::string_view text) {
  std::string shown;
  for (const char c : text.substr(0, kMaxLoggedTarget)) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte > 0x20 && byte < 0x7F) {
      shown += c;
    } else {
      char escape[4];
      std::snprintf(escape, sizeof(escape), "%%%02X", byte);
      shown += escape;
    }
  }
  if (text.size() > kMaxLoggedTarget) shown += "...";
  return shown;
}

}  // namespace

std::string RequestLogLine(std::string_view method, std::string_view target, int status, uint64_t bytes,
                           std::chrono::steady_clock::duration taken) {
  const double seconds = std::chrono::duration<double>(taken).count();
  char figures[96];
  if (seconds < 1) {
    std::snprintf(figures, sizeof(figures), " %d %llu bytes %.1f ms", status, static_cast<unsigned long long>(bytes),
                  seconds * 1000);
  } else {
    std::snprintf(figures, sizeof(figures), " %d %llu bytes %.3f s", status, static_cast<unsigned long long>(bytes),
                  seconds);
  }
  return Printable(method) + " " + Printable(target) + figures;
}
