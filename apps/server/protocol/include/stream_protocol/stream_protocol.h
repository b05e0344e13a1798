// The camera server's wire protocol, shared by the server and its clients: a 28-byte
// start packet from the client, a 12-byte reply, then JPEG images back to back. Every
// integer is 32 bits, little-endian.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>

namespace stream_protocol {

constexpr uint32_t kMagic = 0x8F8F8F8Fu;
constexpr size_t kStartPacketBytes = 28;
constexpr uint32_t kParameterBlockBytes = 16;
constexpr size_t kStartReplyBytes = 12;
constexpr uint32_t kStatusStreaming = 0x200;
constexpr uint32_t kStatusRefused = 0x201;
constexpr int32_t kJpegFormatCode = 4;
constexpr int32_t kMaxFrameRate = 30;
constexpr uint16_t kDefaultPort = 6022;

// The parameter block of a start packet.
struct StreamParameters {
  int32_t camera = 0;
  int32_t sizeIndex = 1;
  int32_t formatCode = kJpegFormatCode;
  int32_t frameRate = 25;
};

enum class StartPacketCheck {
  kValid,
  kWrongLength,      // not exactly 28 bytes
  kWrongHeader,      // magic, reserved field or block length
  kWrongParameters,  // format code other than JPEG, or frame rate outside 1 to 30
};

// Checks a received start packet; on kValid (and kWrongParameters) `parameters` holds
// the block as sent.
StartPacketCheck CheckStartPacket(std::span<const uint8_t> packet, StreamParameters& parameters);

std::array<uint8_t, kStartPacketBytes> EncodeStartPacket(const StreamParameters& parameters);
std::array<uint8_t, kStartReplyBytes> EncodeStartReply(bool accepted);

// The status word of a 12-byte reply with the right magic, or nothing.
std::optional<uint32_t> DecodeStartReply(std::span<const uint8_t> reply);

// Period of the pacing timer: 1000 / rate in whole milliseconds (33 for 30 per second).
uint32_t TimerPeriodMs(int32_t frameRate);

}  // namespace stream_protocol
