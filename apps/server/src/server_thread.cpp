#include "server/server_thread.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>

#include "server/client_session.h"
#include "server/console_output.h"
#include "server/server_state.h"
#include "server/winsock_shim.h"

namespace {

constexpr uint16_t kWinsockVersion = 0x0202;
constexpr int kBacklog = 5;
// accept is only entered once a client waits, so that q is seen within this time.
constexpr int kQuitCheckMs = 200;

void StartWinsock() {
  WSADATA data{};
  if (WSAStartup(kWinsockVersion, &data) != 0) return;
  ConsolePrint("Using %s (Status: %s)\n", data.szDescription, data.szSystemStatus);
  ConsolePrint("with API versions %d.%d to %d.%d\n\n", LoByte(data.wVersion), HiByte(data.wVersion),
               LoByte(data.wHighVersion), HiByte(data.wHighVersion));
}

SOCKET OpenListeningSocket(const ServerState& state) {
  SOCKET listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
  if (listener == INVALID_SOCKET) {
    ConsolePrint("Create socket failed: %d\r\n", WSAGetLastError());
    return INVALID_SOCKET;
  }
  const int on = 1;
  setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &on, sizeof(on));

  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr = state.bindAddress;
  address.sin_port = htons(state.port);
  if (bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == SOCKET_ERROR) {
    ConsolePrint("Bind socket failed: %d\r\n", WSAGetLastError());
    closesocket(listener);
    return INVALID_SOCKET;
  }
  if (listen(listener, kBacklog) == SOCKET_ERROR) {
    ConsolePrint("Listen socket failed: %d\r\n", WSAGetLastError());
    closesocket(listener);
    return INVALID_SOCKET;
  }
  return listener;
}

bool ClientWaiting(SOCKET listener) {
  pollfd incoming{listener, POLLIN, 0};
  return poll(&incoming, 1, kQuitCheckMs) > 0;
}

void ServeOneClient(SOCKET listener, ServerState& state) {
  sockaddr_in peer{};
  socklen_t peerLength = sizeof(peer);
  SOCKET client = accept4(listener, reinterpret_cast<sockaddr*>(&peer), &peerLength, SOCK_CLOEXEC);
  if (client == INVALID_SOCKET) return;

  char address[INET_ADDRSTRLEN] = {};
  inet_ntop(AF_INET, &peer.sin_addr, address, sizeof(address));
  const int port = ntohs(peer.sin_port);
  ConsolePrint("New user from %s:%d, socket %d\r\n", address, port, client);
  HandleClient(client, state);
  closesocket(client);
  ConsolePrint("User from %s:%d disconnected\r\n", address, port);
}

}  // namespace

DWORD ServerThread(LPVOID serverState) {
  auto& state = *static_cast<ServerState*>(serverState);
  StartWinsock();
  const SOCKET listener = OpenListeningSocket(state);
  if (listener != INVALID_SOCKET) {
    while (!state.quit.load()) {
      if (ClientWaiting(listener)) ServeOneClient(listener, state);
    }
    closesocket(listener);
  } else {
    state.listenFailed.store(true);
    if (state.listenFailedEvent >= 0) eventfd_write(state.listenFailedEvent, 1);
  }
  WSACleanup();
  return 0;
}
