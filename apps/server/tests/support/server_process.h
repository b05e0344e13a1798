// The camera server built with the tests, started as a process.
#pragma once

#include <string>
#include <vector>

#include "testing/child_process.h"

class ServerProcess : public ChildProcess {
 public:
  explicit ServerProcess(const std::vector<std::string>& arguments, std::vector<std::string> environment = {})
      : ChildProcess(VELMAR_SERVER_PATH, arguments, std::move(environment)) {}
  // Listening on 127.0.0.1:port.
  explicit ServerProcess(uint16_t port, std::vector<std::string> environment = {})
      : ServerProcess({"--port", std::to_string(port), "--bind", "127.0.0.1"}, std::move(environment)) {}
};
