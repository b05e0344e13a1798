#include "server/client_session.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <array>
#include <cerrno>
#include <chrono>

#include "camclient/camclient.h"
#include "platform/windows.h"
#include "server/chunked_send.h"
#include "server/console_output.h"
#include "server/stream_resources.h"

namespace {

constexpr size_t kReceiveBytes = 1400;
constexpr int kStartPacketTimeoutMs = 5000;
constexpr int kFrameReadAttempts = 3;
constexpr DWORD kFrameRetryMs = 10;
// Without frames nothing is sent, so a client that left would go unnoticed; after this
// long without a frame the socket is checked.
constexpr std::chrono::seconds kFramelessCheck{1};
// A camera that still answers but sends nothing usable this long (its transfers fail,
// every frame is broken) ends the stream, so the client is not held and the next one is
// served. Well above the first frame's wait at the lowest camera rate.
constexpr std::chrono::seconds kFramelessLimit{5};

void PrepareClientSocket(SOCKET socket) {
  const int on = 1;
  setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, &on, sizeof(on));
  const timeval timeout{kStartPacketTimeoutMs / 1000, (kStartPacketTimeoutMs % 1000) * 1000};
  setsockopt(socket, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof(timeout));
}

// An orderly close or a reset shows up here without consuming data.
bool PeerHasClosed(SOCKET socket) {
  uint8_t byte = 0;
  const ssize_t peeked = recv(socket, &byte, 1, MSG_PEEK | MSG_DONTWAIT);
  return peeked == 0 || (peeked < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR);
}

// One frame per timer period until sending fails, the client or the camera is gone, the
// camera sends nothing, or the server quits.
void StreamFrames(SOCKET socket, int camera, StreamResources& resources, ServerState& state) {
  auto lastFrame = std::chrono::steady_clock::now();
  while (!state.stop.load() && !state.quit.load()) {
    resources.WaitForTick();
    const FrameOutcome outcome = SendNextFrame(socket, camera, resources.FrameBuffer(), kFrameBufferBytes, state);
    if (outcome == FrameOutcome::kSendFailed) return;
    if (outcome == FrameOutcome::kCameraGone) {
      ConsolePrint("Camera removed\r\n");
      return;
    }
    const auto now = std::chrono::steady_clock::now();
    if (outcome == FrameOutcome::kSent) {
      lastFrame = now;
    } else if (now - lastFrame >= kFramelessLimit) {
      ConsolePrint("No frames from the camera\r\n");
      return;
    } else if (now - lastFrame >= kFramelessCheck && PeerHasClosed(socket)) {
      return;
    }
  }
}

}  // namespace

bool HandleClient(SOCKET socket, ServerState& state) {
  state.stop.store(false);
  PrepareClientSocket(socket);

  std::array<uint8_t, kReceiveBytes> packet{};
  const ssize_t received = recv(socket, packet.data(), packet.size(), 0);
  if (received != static_cast<ssize_t>(stream_protocol::kStartPacketBytes)) {
    ConsolePrint("Invalid packet or time out\r\n");
    return false;
  }

  stream_protocol::StreamParameters parameters;
  switch (stream_protocol::CheckStartPacket(std::span(packet.data(), stream_protocol::kStartPacketBytes), parameters)) {
    case stream_protocol::StartPacketCheck::kValid: return RunStream(socket, parameters, state);
    case stream_protocol::StartPacketCheck::kWrongParameters: ConsolePrint("Invalid start param\r\n"); return false;
    case stream_protocol::StartPacketCheck::kWrongHeader:
    case stream_protocol::StartPacketCheck::kWrongLength: break;
  }
  ConsolePrint("Invalid start packet\r\n");
  return false;
}

bool RunStream(SOCKET socket, const stream_protocol::StreamParameters& parameters, ServerState& state) {
  const int camera = parameters.camera;
  bool started = false;

  if (OpenCamera(camera) < 0) {
    ConsolePrint("No camera\r\n");
  } else if (SetVideoFormat(camera, stream_protocol::kJpegFormatCode, static_cast<DWORD>(parameters.sizeIndex)) < 0) {
    ConsolePrint("Set output format failed\r\n");
  } else {
    StreamResources resources;
    if (!resources.Make(parameters.frameRate)) {
      ConsolePrint("No memory\r\n");
    } else if (StartCapture(camera) < 0) {
      ConsolePrint("Start camera failed\r\n");
    } else {
      SendStartReply(socket, true);
      started = true;
      StreamFrames(socket, camera, resources, state);
      StopCapture(camera);
      ConsolePrint("Stop camera\r\n");
    }
  }

  CloseCamera(camera);
  if (!started) SendStartReply(socket, false);
  state.stop.store(true);
  return started;
}

bool SendStartReply(SOCKET socket, bool accepted) {
  const auto reply = stream_protocol::EncodeStartReply(accepted);
  return send(socket, reply.data(), reply.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(reply.size());
}

FrameOutcome SendNextFrame(SOCKET socket, int camera, uint8_t* buffer, size_t bufferSize, ServerState& state) {
  for (int attempt = 0; attempt < kFrameReadAttempts; ++attempt) {
    const int bytes = ReadFrame(camera, buffer, static_cast<DWORD>(bufferSize));
    if (bytes < 0) return FrameOutcome::kCameraGone;  // unplugged: every later read fails too
    if (bytes > 0) {
      return SendChunked(socket, buffer, static_cast<size_t>(bytes), state.stop) ? FrameOutcome::kSent
                                                                                 : FrameOutcome::kSendFailed;
    }
    Sleep(kFrameRetryMs);
  }
  return FrameOutcome::kNoFrame;
}
