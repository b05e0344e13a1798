// camweb started as a process on a free port, with the cameras of `devices`.
#pragma once

#include <string>
#include <vector>

#include "testing/child_process.h"

class CamwebProcess : public ChildProcess {
 public:
  explicit CamwebProcess(uint16_t port, const std::string& devices = "emu", std::vector<std::string> extra = {});
  uint16_t Port() const { return port_; }
  // Until the program says it serves.
  bool Ready();

 private:
  uint16_t port_;
};

std::vector<std::string> CamwebArguments(uint16_t port, std::vector<std::string> extra);
