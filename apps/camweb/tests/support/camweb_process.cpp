#include "camweb_process.h"

std::vector<std::string> CamwebArguments(uint16_t port, std::vector<std::string> extra) {
  std::vector<std::string> arguments{"--port", std::to_string(port)};
  arguments.insert(arguments.end(), extra.begin(), extra.end());
  return arguments;
}

CamwebProcess::CamwebProcess(uint16_t port, const std::string& devices, std::vector<std::string> extra)
    : ChildProcess(VELMAR_CAMWEB_PATH, CamwebArguments(port, std::move(extra)), {"VELMAR_DEVICES=" + devices}),
      port_(port) {}

bool CamwebProcess::Ready() { return WaitForOutput("camweb: serving", milliseconds(15000)); }
