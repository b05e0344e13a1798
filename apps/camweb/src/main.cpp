// camweb: serves the cameras over HTTP to browsers and MJPEG players.
#include <sys/resource.h>

#include <csignal>
#include <cstdio>
#include <string>

#include "camweb/camweb_options.h"
#include "camweb/web_server.h"
#include "system/boot.h"

int main(int argc, char** argv) {
  WebOptions options;
  if (const auto status = CamwebCommandLine(options)->Handle(argc, argv)) return *status;
  // A viewer that leaves mid-frame makes the write fail; that must not end the program.
  std::signal(SIGPIPE, SIG_IGN);
  // Every viewer is a descriptor: take all the system allows, so that many viewers do not
  // run the listener out of them.
  rlimit files{};
  if (getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur < files.rlim_max) {
    files.rlim_cur = files.rlim_max;
    setrlimit(RLIMIT_NOFILE, &files);
  }
  setvbuf(stdout, nullptr, _IOLBF, 0);

  std::string error;
  int status = 0;
  {
    // Listening first: a port in use is the commonest start-up error, and needs no camera.
    WebServer server(options);
    if (!server.Listen(error)) {
      std::fprintf(stderr, "camweb: %s\n", error.c_str());
      return 1;
    }
    if (!BootSystem(error)) {
      std::fprintf(stderr, "camweb: cannot start the camera system: %s\n", error.c_str());
      status = 1;
    } else {
      const std::string host = options.bind.find(':') == std::string::npos ? options.bind : "[" + options.bind + "]";
      std::printf("camweb: serving http://%s:%u/\n", host.c_str(), options.port);
      server.Run();
      std::printf("camweb: stopping\n");
    }
  }
  ShutdownSystem();
  return status;
}
