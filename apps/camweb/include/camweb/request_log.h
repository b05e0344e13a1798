// The one line logged per request: method, target, status, bytes sent and time taken.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

// "GET /stream?camera=0 200 1048576 bytes 10.021 s"; bytes outside printable ASCII in
// the target are written as %XX, so a request cannot forge log lines.
std::string RequestLogLine(std::string_view method, std::string_view target, int status, uint64_t bytes,
                           std::chrono::steady_clock::duration taken);
