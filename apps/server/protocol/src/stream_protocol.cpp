#include "stream_protocol/stream_protocol.h"

namespace stream_protocol {
namespace {

uint32_t ReadWord(std::span<const uint8_t> bytes, size_t offset) {
  return static_cast<uint32_t>(bytes[offset]) | static_cast<uint32_t>(bytes[offset + 1]) << 8 |
         static_cast<uint32_t>(bytes[offset + 2]) << 16 | static_cast<uint32_t>(bytes[offset + 3]) << 24;
}

void WriteWord(std::span<uint8_t> bytes, size_t offset, uint32_t value) {
  for (size_t i = 0; i < 4; ++i) bytes[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}

}  // namespace

StartPacketCheck CheckStartPacket(std::span<const uint8_t> packet, StreamParameters& parameters) {
  if (packet.size() != kStartPacketBytes) return StartPacketCheck::kWrongLength;
  if (ReadWord(packet, 0) != kMagic || ReadWord(packet, 4) != 0 || ReadWord(packet, 8) != kParameterBlockBytes) {
    return StartPacketCheck::kWrongHeader;
  }
  parameters.camera = static_cast<int32_t>(ReadWord(packet, 12));
  parameters.sizeIndex = static_cast<int32_t>(ReadWord(packet, 16));
  parameters.formatCode = static_cast<int32_t>(ReadWord(packet, 20));
  parameters.frameRate = static_cast<int32_t>(ReadWord(packet, 24));
  if (parameters.formatCode != kJpegFormatCode || parameters.frameRate <= 0 || parameters.frameRate > kMaxFrameRate) {
    return StartPacketCheck::kWrongParameters;
  }
  return StartPacketCheck::kValid;
}

std::array<uint8_t, kStartPacketBytes> EncodeStartPacket(const StreamParameters& parameters) {
  std::array<uint8_t, kStartPacketBytes> packet{};
  WriteWord(packet, 0, kMagic);
  WriteWord(packet, 4, 0);
  WriteWord(packet, 8, kParameterBlockBytes);
  WriteWord(packet, 12, static_cast<uint32_t>(parameters.camera));
  WriteWord(packet, 16, static_cast<uint32_t>(parameters.sizeIndex));
  WriteWord(packet, 20, static_cast<uint32_t>(parameters.formatCode));
  WriteWord(packet, 24, static_cast<uint32_t>(parameters.frameRate));
  return packet;
}

std::array<uint8_t, kStartReplyBytes> EncodeStartReply(bool accepted) {
  std::array<uint8_t, kStartReplyBytes> reply{};
  WriteWord(reply, 0, kMagic);
  WriteWord(reply, 4, accepted ? kStatusStreaming : kStatusRefused);
  WriteWord(reply, 8, 0);
  return reply;
}

std::optional<uint32_t> DecodeStartReply(std::span<const uint8_t> reply) {
  if (reply.size() != kStartReplyBytes || ReadWord(reply, 0) != kMagic) return std::nullopt;
  return ReadWord(reply, 4);
}

uint32_t TimerPeriodMs(int32_t frameRate) { return frameRate > 0 ? 1000u / static_cast<uint32_t>(frameRate) : 0; }

}  // namespace stream_protocol
