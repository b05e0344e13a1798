#include "server_options.h"

#include <arpa/inet.h>

#include <charconv>
#include <string_view>

namespace {

bool ParsePort(std::string_view text, uint16_t& port) {
  unsigned value = 0;
  const auto [end, failure] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (failure != std::errc() || end != text.data() + text.size() || value == 0 || value > 65535) return false;
  port = static_cast<uint16_t>(value);
  return true;
}

}  // namespace

OptionsOutcome ParseServerOptions(int argc, char** argv, ServerState& state, std::string& error) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view option = argv[i];
    if (option == "-h" || option == "--help") return OptionsOutcome::kHelp;
    const bool takesValue = option == "--port" || option == "--bind";
    if (!takesValue) {
      error = "unknown option '" + std::string(option) + "'";
      return OptionsOutcome::kError;
    }
    if (i + 1 >= argc) {
      error = std::string(option) + " needs a value";
      return OptionsOutcome::kError;
    }
    const std::string value = argv[++i];
    if (option == "--port" && !ParsePort(value, state.port)) {
      error = "--port wants a number from 1 to 65535, not '" + value + "'";
      return OptionsOutcome::kError;
    }
    if (option == "--bind" && inet_pton(AF_INET, value.c_str(), &state.bindAddress) != 1) {
      error = "--bind wants an IPv4 address such as 127.0.0.1, not '" + value + "'";
      return OptionsOutcome::kError;
    }
  }
  return OptionsOutcome::kRun;
}

void PrintServerUsage(std::FILE* stream) {
  std::fputs(
      "Usage: server [--port N] [--bind ADDRESS]\n"
      "Streams JPEG frames of the camera to one TCP client at a time.\n"
      "\n"
      "  --port N          TCP port to listen on (default 6022)\n"
      "  --bind ADDRESS    IPv4 address to listen on (default: every address)\n"
      "  -h, --help        show this help\n"
      "\n"
      "Console commands: h lists the commands, q quits. SIGINT and SIGTERM quit too;\n"
      "the end of standard input does not, so the server can run in the background.\n"
      "The devices come from VELMAR_DEVICES (default: one emulated camera).\n",
      stream);
}
