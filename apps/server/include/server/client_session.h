// Serving one client: the start packet, the camera, the reply and the paced frame stream.
#pragma once

#include <cstddef>
#include <cstdint>

#include "server_state.h"
#include "stream_protocol/stream_protocol.h"
#include "winsock_shim.h"

// Reads and checks the start packet, then streams; true only if streaming started.
bool HandleClient(SOCKET socket, ServerState& state);

// Opens and starts the camera, replies, streams until sending fails or the camera is
// gone; true if started. The camera is closed on every way out.
bool RunStream(SOCKET socket, const stream_protocol::StreamParameters& parameters, ServerState& state);

// True if all 12 bytes of the reply went out.
bool SendStartReply(SOCKET socket, bool accepted);

enum class FrameOutcome {
  kSent,
  kNoFrame,     // three reads 10 ms apart found none: this tick sends nothing
  kSendFailed,  // the client is gone or stalled; the stop flag is set
  kCameraGone,  // the read failed: the camera was unplugged
};

// Reads one frame and sends it.
FrameOutcome SendNextFrame(SOCKET socket, int camera, uint8_t* buffer, size_t bufferSize, ServerState& state);
