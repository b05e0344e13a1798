#include "server/server_options.h"

#include <arpa/inet.h>

namespace {

CLI::Validator Ipv4Address() {
  return CLI::Validator(
      [](const std::string& value) -> std::string {
        in_addr address{};
        if (inet_pton(AF_INET, value.c_str(), &address) == 1) return {};
        return "wants an IPv4 address such as 127.0.0.1, not '" + value + "'";
      },
      "");
}

}  // namespace

std::unique_ptr<cli::CommandLine> ServerCommandLine(ServerState& state) {
  auto line = std::make_unique<cli::CommandLine>(
      "server", "Streams JPEG frames of the camera to one TCP client at a time.",
      "Console commands: h lists the commands, q quits. SIGINT and SIGTERM quit too;\n"
      "the end of standard input does not, so the server can run in the background.\n"
      "Exit status 1 when it cannot listen: at once without a terminal, after q on one.\n" +
          std::string(cli::kCamerasNote));
  auto& options = line->Options();
  cli::AddPortOption(options, state.port, "TCP port to listen on (default 6022)");
  options
      .add_option_function<std::string>(
          "-b,--bind", [&state](const std::string& value) { inet_pton(AF_INET, value.c_str(), &state.bindAddress); },
          "IPv4 address to listen on (default: every address)")
      ->type_name("ADDRESS")
      ->check(Ipv4Address());
  return line;
}
