// The start packet's checks and the reply, byte for byte.
#include <gtest/gtest.h>

#include <vector>

#include "stream_protocol/stream_protocol.h"

using namespace stream_protocol;

namespace {

std::vector<uint8_t> Packet(const StreamParameters& parameters) {
  const auto packet = EncodeStartPacket(parameters);
  return {packet.begin(), packet.end()};
}

void PutWord(std::vector<uint8_t>& packet, size_t offset, uint32_t value) {
  for (size_t i = 0; i < 4; ++i) packet[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}

StartPacketCheck Check(const std::vector<uint8_t>& packet) {
  StreamParameters parameters;
  return CheckStartPacket(packet, parameters);
}

StreamParameters Request(int32_t frameRate, int32_t formatCode = kJpegFormatCode) {
  StreamParameters parameters;
  parameters.camera = 3;
  parameters.sizeIndex = 0;
  parameters.formatCode = formatCode;
  parameters.frameRate = frameRate;
  return parameters;
}

}  // namespace

TEST(StartPacket, IsLittleEndianWithMagicReservedAndBlockLength) {
  const std::vector<uint8_t> expected = {0x8F, 0x8F, 0x8F, 0x8F, 0, 0, 0, 0, 16, 0, 0,  0, 3, 0,
                                         0,    0,    0,    0,    0, 0, 4, 0, 0,  0, 30, 0, 0, 0};
  EXPECT_EQ(Packet(Request(30)), expected);
}

TEST(StartPacket, ValidPacketYieldsItsParameters) {
  StreamParameters parsed;
  ASSERT_EQ(CheckStartPacket(Packet(Request(7)), parsed), StartPacketCheck::kValid);
  EXPECT_EQ(parsed.camera, 3);
  EXPECT_EQ(parsed.sizeIndex, 0);
  EXPECT_EQ(parsed.formatCode, 4);
  EXPECT_EQ(parsed.frameRate, 7);
}

TEST(StartPacket, OnlyExactly28BytesAreTaken) {
  std::vector<uint8_t> packet = Packet(Request(25));
  packet.pop_back();
  EXPECT_EQ(Check(packet), StartPacketCheck::kWrongLength);
  packet.push_back(25);
  packet.push_back(0);
  EXPECT_EQ(Check(packet), StartPacketCheck::kWrongLength);
  EXPECT_EQ(Check({}), StartPacketCheck::kWrongLength);
}

TEST(StartPacket, HeaderFieldsMustHoldTheirValues) {
  for (const auto& [offset, value] : {std::pair<size_t, uint32_t>{0, 0x8F8F8F8E}, {4, 1}, {8, 15}, {8, 17}}) {
    std::vector<uint8_t> packet = Packet(Request(25));
    PutWord(packet, offset, value);
    EXPECT_EQ(Check(packet), StartPacketCheck::kWrongHeader) << "offset " << offset << " value " << value;
  }
}

TEST(StartPacket, FormatMustBeJpegAndRateOneToThirty) {
  EXPECT_EQ(Check(Packet(Request(25, 0))), StartPacketCheck::kWrongParameters);
  EXPECT_EQ(Check(Packet(Request(25, 5))), StartPacketCheck::kWrongParameters);
  EXPECT_EQ(Check(Packet(Request(0))), StartPacketCheck::kWrongParameters);
  EXPECT_EQ(Check(Packet(Request(31))), StartPacketCheck::kWrongParameters);
  EXPECT_EQ(Check(Packet(Request(-1))), StartPacketCheck::kWrongParameters);
  EXPECT_EQ(Check(Packet(Request(1))), StartPacketCheck::kValid);
  EXPECT_EQ(Check(Packet(Request(30))), StartPacketCheck::kValid);
}

TEST(StartPacket, HeaderIsCheckedBeforeParameters) {
  std::vector<uint8_t> packet = Packet(Request(0, 0));
  PutWord(packet, 4, 9);
  EXPECT_EQ(Check(packet), StartPacketCheck::kWrongHeader);
}

TEST(StartReply, CarriesStatusBetweenMagicAndReservedWord) {
  const auto accepted = EncodeStartReply(true);
  const std::array<uint8_t, 12> expected = {0x8F, 0x8F, 0x8F, 0x8F, 0x00, 0x02, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(accepted, expected);
  EXPECT_EQ(DecodeStartReply(accepted), kStatusStreaming);
  EXPECT_EQ(DecodeStartReply(EncodeStartReply(false)), kStatusRefused);
}

TEST(StartReply, DecodingRefusesWrongMagicOrLength) {
  auto reply = EncodeStartReply(true);
  EXPECT_FALSE(DecodeStartReply(std::span(reply.data(), 11)).has_value());
  reply[2] = 0;
  EXPECT_FALSE(DecodeStartReply(reply).has_value());
}

TEST(PacingTimer, PeriodIsWholeMillisecondsOfOneSecondOverRate) {
  EXPECT_EQ(TimerPeriodMs(30), 33u);
  EXPECT_EQ(TimerPeriodMs(7), 142u);
  EXPECT_EQ(TimerPeriodMs(1), 1000u);
  EXPECT_EQ(TimerPeriodMs(25), 40u);
}
