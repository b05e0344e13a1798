#include "camweb/camweb_options.h"

#include <arpa/inet.h>

namespace {

CLI::Validator IpAddress() {
  return CLI::Validator(
      [](const std::string& value) -> std::string {
        in6_addr address{};
        if (inet_pton(AF_INET, value.c_str(), &address) == 1 || inet_pton(AF_INET6, value.c_str(), &address) == 1) {
          return {};
        }
        return "wants an IP address such as 127.0.0.1 or ::1, not '" + value + "'";
      },
      "");
}

CLI::Validator UserAndPassword() {
  return CLI::Validator(
      [](const std::string& value) -> std::string {
        const size_t colon = value.find(':');
        if (colon != std::string::npos && colon > 0) return {};
        return "wants USER:PASSWORD, with a user name before the colon";
      },
      "");
}

}  // namespace

std::unique_ptr<cli::CommandLine> CamwebCommandLine(WebOptions& options) {
  auto line = std::make_unique<cli::CommandLine>(
      "camweb",
      "Serves the cameras to web browsers and MJPEG players over HTTP: open\n"
      "http://127.0.0.1:8080/ to watch. Every viewer of a camera shares its one capture.",
      "Paths: / (the page), /stream?camera=N&size=WxH&fps=F, /snapshot?camera=N&size=WxH,\n"
      "/api/cameras (GET; POST /api/cameras/N with JSON), /metrics (Prometheus).\n"
      "SIGINT and SIGTERM stop the program. Exit status: 0, 1 when it cannot start, 2 for\n"
      "a bad command line.\n" +
          std::string(cli::kCamerasNote));
  auto& app = line->Options();
  cli::AddPortOption(app, options.port, "TCP port to listen on (default 8080)");
  app.add_option("-b,--bind", options.bind,
                 "IP address to listen on (default 127.0.0.1; 0.0.0.0 serves other hosts too)")
      ->type_name("ADDRESS")
      ->check(IpAddress());
  app.add_option_function<std::string>(
         "--auth", [&options](const std::string& value) { options.auth = value; },
         "LOGIN is USER:PASSWORD: every request must give them (HTTP Basic; off by default)")
      ->type_name("LOGIN")
      ->check(UserAndPassword());
  return line;
}
