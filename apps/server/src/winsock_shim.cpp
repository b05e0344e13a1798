#include "server/winsock_shim.h"

#include <sys/utsname.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>

namespace {
constexpr uint16_t kHighestVersion = 0x0202;
}

int WSAStartup(uint16_t versionRequested, WSADATA* data) {
  if (data == nullptr) return EFAULT;
  data->wHighVersion = kHighestVersion;
  data->wVersion = std::min(versionRequested, kHighestVersion);
  utsname system{};
  if (uname(&system) == 0) {
    std::snprintf(data->szDescription, sizeof(data->szDescription), "POSIX sockets on %s %s", system.sysname,
                  system.release);
  } else {
    std::snprintf(data->szDescription, sizeof(data->szDescription), "POSIX sockets");
  }
  std::snprintf(data->szSystemStatus, sizeof(data->szSystemStatus), "Running");
  return 0;
}

int WSACleanup() { return 0; }

int WSAGetLastError() { return errno; }

int closesocket(SOCKET socket) { return close(socket); }
