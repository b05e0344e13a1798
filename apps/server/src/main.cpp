// server: streams the camera's JPEG frames over TCP to one client at a time.
#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "platform/windows.h"
#include "server/console.h"
#include "server/server_options.h"
#include "server/server_thread.h"
#include "server/termination_signals.h"
#include "system/boot.h"

int main(int argc, char** argv) {
  ServerState state;
  if (const auto status = ServerCommandLine(state)->Handle(argc, argv)) return *status;

  // Before BootSystem: every thread it starts must inherit the blocked signals.
  const int signalFd = BlockTerminationSignals();
  if (signalFd < 0) {
    std::perror("server: cannot take over SIGINT and SIGTERM");
    return 1;
  }
  std::string error;
  if (!BootSystem(error)) {
    std::fprintf(stderr, "server: cannot start the camera system: %s\n", error.c_str());
    ShutdownSystem();
    return 1;
  }

  state.listenFailedEvent = eventfd(0, EFD_CLOEXEC);
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
  if (state.listenFailedEvent >= 0) close(state.listenFailedEvent);
  ShutdownSystem();
  // A server that never listened has failed, however its console ended.
  return state.listenFailed.load() ? 1 : 0;
}
