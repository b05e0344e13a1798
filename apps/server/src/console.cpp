#include "server/console.h"

#include <poll.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>

#include "server/console_output.h"

void PrintBanner() {
  ConsolePrint("=========================================\r\n");
  ConsolePrint("USB Camera TCP Server v1.1\r\n");
  ConsolePrint("To get help, please type 'h'\r\n");
}

namespace {

// Handles one command character; true when it asks to quit.
bool HandleCommand(char command) {
  if (command == 'h') ConsolePrint("Command list:q\tquit\r\n");
  return command == 'q';
}

// One character from standard input: true to go on reading, false at its end.
bool ReadCommand(bool& quit) {
  char command = 0;
  const ssize_t got = read(STDIN_FILENO, &command, 1);
  if (got < 0) return errno == EINTR || errno == EAGAIN;
  if (got == 0) return false;
  quit = HandleCommand(command);
  return true;
}

}  // namespace

void RunConsole(ServerState& state, int signalFd) {
  bool inputOpen = true;
  bool quit = false;
  bool watchListening = state.listenFailedEvent >= 0;
  while (!quit) {
    pollfd sources[3] = {{signalFd, POLLIN, 0},
                         {inputOpen ? STDIN_FILENO : -1, POLLIN, 0},
                         {watchListening ? state.listenFailedEvent : -1, POLLIN, 0}};
    if (poll(sources, 3, -1) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if (sources[2].revents & POLLIN) {
      watchListening = false;
      if (isatty(STDIN_FILENO) != 1) quit = true;
    }
    if (sources[0].revents & POLLIN) {
      signalfd_siginfo info{};
      if (read(signalFd, &info, sizeof(info)) > 0) quit = true;
    }
    if (!quit && (sources[1].revents & (POLLIN | POLLHUP | POLLERR | POLLNVAL))) {
      inputOpen = (sources[1].revents & POLLNVAL) == 0 && ReadCommand(quit);
    }
  }
  state.quit.store(true);
  state.stop.store(true);
}
