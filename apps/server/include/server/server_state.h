// State the server's threads share: the console thread sets `quit` (command q or a
// signal); the networking thread owns `stop`, which ends the frame loop of one client,
// and sets `listenFailed` when it cannot listen, waking the console through
// `listenFailedEvent` (an eventfd).
#pragma once

#include <netinet/in.h>

#include <atomic>
#include <cstdint>

#include "stream_protocol/stream_protocol.h"

struct ServerState {
  uint16_t port = stream_protocol::kDefaultPort;
  in_addr bindAddress{htonl(INADDR_ANY)};
  std::atomic<bool> quit{false};
  std::atomic<bool> stop{false};
  std::atomic<bool> listenFailed{false};
  int listenFailedEvent = -1;
};
