#include "server/chunked_send.h"

#include <poll.h>
#include <sys/socket.h>

#include <cerrno>

#include "platform/winbase.h"
#include "server/console_output.h"

int SendPiece(SOCKET socket, const uint8_t* data, size_t length) {
  // poll rather than select: same wait, without select's limit on descriptor numbers.
  pollfd writable{socket, POLLOUT, 0};
  errno = 0;
  const int ready = poll(&writable, 1, kWritableTimeoutMs);
  if (ready < 0) {
    ConsolePrint("Select case error: %d\r\n", WSAGetLastError());
    return -1;
  }
  if (ready == 0) return 0;
  return static_cast<int>(send(socket, data, length, MSG_NOSIGNAL));
}

bool SendChunked(SOCKET socket, const uint8_t* data, size_t length, std::atomic<bool>& stop) {
  const size_t pieces = length / kPieceBytes + (length % kPieceBytes != 0 ? 1 : 0);
  for (size_t piece = 0; piece < pieces; ++piece) {
    if (stop.load()) return true;
    const size_t offset = piece * kPieceBytes;
    const size_t pieceLength = piece + 1 < pieces ? kPieceBytes : length - offset;
    if (SendPiece(socket, data + offset, pieceLength) != static_cast<int>(pieceLength)) {
      ConsolePrint("Send packet no completed: %d\r\n", WSAGetLastError());
      stop.store(true);
      return false;
    }
    Sleep(kPiecePauseMs);
  }
  return true;
}
