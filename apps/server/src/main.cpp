// server: streams the camera's JPEG frames over TCP to one client at a time.
#include <unistd.h>

#include <cstdio>
#include <string>

#include "boot.h"
#include "console.h"
#include "server_options.h"
#include "server_thread.h"
#include "termination_signals.h"
#include "windows.h"

int main(int argc, char** argv) {
  ServerState state;
  std::string error;
  switch (ParseServerOptions(argc, argv, state, error)) {
    case OptionsOutcome::kHelp:
      PrintServerUsage(stdout);
      return 0;
    case OptionsOutcome::kError:
      std::fprintf(stderr, "server: %s\n", error.c_str());
      PrintServerUsage(stderr);
      return 2;
    case OptionsOutcome::kRun:
      break;
  }

  // Before BootSystem: every thread it starts must inherit the blocked signals.
  const int signalFd = BlockTerminationSignals();
  if (signalFd < 0) {
    std::perror("server: cannot take over SIGINT and SIGTERM");
    return 1;
  }
  if (!BootSystem(error)) {
    std::fprintf(stderr, "server: cannot start the camera system: %s\n", error.c_str());
    ShutdownSystem();
    return 1;
  }

  PrintBanner();
  HANDLE networking = CreateThread(nullptr, 0, ServerThread, &state, 0, nullptr);
  if (networking == nullptr) {
    std::fprintf(stderr, "server: cannot start the networking thread\n");
    ShutdownSystem();
    return 1;
  }
  RunConsole(state, signalFd);

  // Every wait of the networking thread is bounded, so it sees the quit flag soon.
  WaitForSingleObject(networking, INFINITE);
  CloseHandle(networking);
  close(signalFd);
  ShutdownSystem();
  return 0;
}
