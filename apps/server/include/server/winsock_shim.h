// The few Windows Sockets names the server uses, over POSIX sockets. WSAStartup reports
// the socket layer it runs on; errors come from errno.
#pragma once

#include <cstdint>

using SOCKET = int;
constexpr SOCKET INVALID_SOCKET = -1;
constexpr int SOCKET_ERROR = -1;

constexpr uint8_t LoByte(uint16_t word) { return static_cast<uint8_t>(word & 0xFF); }
constexpr uint8_t HiByte(uint16_t word) { return static_cast<uint8_t>(word >> 8); }

struct WSADATA {
  uint16_t wVersion;
  uint16_t wHighVersion;
  char szDescription[257];
  char szSystemStatus[129];
};

// Fills `data` with the version granted (at most 2.2) and a description of the host's
// socket layer; 0 on success.
int WSAStartup(uint16_t versionRequested, WSADATA* data);
int WSACleanup();
int WSAGetLastError();
int closesocket(SOCKET socket);
