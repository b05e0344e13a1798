// Sending a frame in pieces of 1400 bytes with a 2 ms pause after each, each piece only
// once the socket is writable (at most 1 s of waiting).
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "winsock_shim.h"

constexpr size_t kPieceBytes = 1400;
constexpr uint32_t kPiecePauseMs = 2;
constexpr int kWritableTimeoutMs = 1000;

// Bytes sent; 0 when the socket did not become writable in time; -1 when waiting failed.
int SendPiece(SOCKET socket, const uint8_t* data, size_t length);

// False when a piece could not be sent whole; `stop` is then set. A set `stop` ends the
// frame early with true.
bool SendChunked(SOCKET socket, const uint8_t* data, size_t length, std::atomic<bool>& stop);
