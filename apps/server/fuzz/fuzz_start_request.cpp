// libFuzzer target: the bytes a client sends first, through the server's own request
// handling (HandleClient: one receive, the start packet's checks, the refusal) on a real
// socket pair. No camera is plugged, so a request that passes the checks is answered with
// the refusal; any other request gets no reply at all.
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "server/client_session.h"
#include "stream_protocol/stream_protocol.h"

namespace {

// The server receives at most this much at once; a socket pair holds it without blocking.
constexpr size_t kReceiveBytes = 1400;
constexpr size_t kLargestInput = 4096;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // The server's console messages would drown libFuzzer's (which go to standard error).
  return std::freopen("/dev/null", "w", stdout) != nullptr ? 0 : 1;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > kLargestInput) return 0;
  int ends[2];
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) abort();
  const int client = ends[0], server = ends[1];
  if (size > 0 && send(client, data, size, MSG_NOSIGNAL) != static_cast<ssize_t>(size)) abort();
  shutdown(client, SHUT_WR);  // the receive sees the end at once, never the 5 s time-out

  ServerState state;
  if (HandleClient(server, state)) abort();  // nothing to stream from
  close(server);

  std::array<uint8_t, 64> reply{};
  const ssize_t replied = recv(client, reply.data(), reply.size(), MSG_DONTWAIT);
  close(client);

  const size_t received = size < kReceiveBytes ? size : kReceiveBytes;
  stream_protocol::StreamParameters parameters;
  const bool accepted = received == stream_protocol::kStartPacketBytes &&
                        stream_protocol::CheckStartPacket(std::span(data, received), parameters) ==
                            stream_protocol::StartPacketCheck::kValid;
  if (!accepted) {
    if (replied > 0) abort();  // a bad request is never answered
  } else if (replied != static_cast<ssize_t>(stream_protocol::kStartReplyBytes) ||
             stream_protocol::DecodeStartReply(std::span(reply.data(), stream_protocol::kStartReplyBytes)) !=
                 stream_protocol::kStatusRefused) {
    abort();  // a good one without a camera is refused, in exactly 12 bytes
  }
  return 0;
}
