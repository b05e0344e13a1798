// The preview scaler: byte copies at equal sizes, the column and row picks of
// enlargements and reductions, and no read outside the frame, whatever the ratio.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "vistro/preview_scaler.h"

namespace {

struct ScalerDeleter {
  void operator()(PreviewScaler* scaler) const { DestroyScaler(scaler); }
};
using Scaler = std::unique_ptr<PreviewScaler, ScalerDeleter>;

Scaler MakeScaler(uint32_t sw, uint32_t sh, uint32_t dw, uint32_t dh, uint32_t bits) {
  return Scaler(CreateScaler(sw, sh, dw, dh, bits));
}

// Each pixel names its own column and row; at 16 bits there is room for the column
// and the row modulo 64 only.
void EncodePixel(uint8_t* pixel, uint32_t bits, uint32_t x, uint32_t y) {
  if (bits == 16) {
    const uint16_t word = static_cast<uint16_t>((x & 0x3FF) | (y & 0x3F) << 10);
    std::memcpy(pixel, &word, sizeof word);
    return;
  }
  pixel[0] = static_cast<uint8_t>(x);
  pixel[1] = static_cast<uint8_t>(y);
  pixel[2] = static_cast<uint8_t>((x >> 8) | (y >> 8) << 4);
  if (bits == 32) pixel[3] = 0xA5;
}

struct Pick {
  uint32_t column, row;
  bool operator==(const Pick&) const = default;
};

Pick DecodePixel(const uint8_t* pixel, uint32_t bits) {
  if (bits == 16) {
    uint16_t word;
    std::memcpy(&word, pixel, sizeof word);
    return {word & 0x3FFu, static_cast<uint32_t>(word >> 10)};
  }
  return {static_cast<uint32_t>(pixel[0] | (pixel[2] & 0x0F) << 8),
          static_cast<uint32_t>(pixel[1] | (pixel[2] >> 4) << 8)};
}

// What a pick looks like once encoded and decoded again.
Pick AsEncoded(Pick pick, uint32_t bits) { return bits == 16 ? Pick{pick.column, pick.row & 0x3F} : pick; }

// A frame of coordinate pixels: the destination then tells which source pixel each of
// its pixels came from. Exactly the frame's bytes, so the address sanitizer catches any
// read past it.
std::vector<uint8_t> CoordinateFrame(uint32_t width, uint32_t height, uint32_t bits) {
  std::vector<uint8_t> frame(size_t{width} * height * bits / 8);
  for (uint32_t y = 0; y < height; ++y) {
    for (uint32_t x = 0; x < width; ++x) EncodePixel(&frame[(size_t{y} * width + x) * (bits / 8)], bits, x, y);
  }
  return frame;
}

Pick PickAt(const std::vector<uint8_t>& destination, uint32_t width, uint32_t bits, uint32_t x, uint32_t y) {
  return DecodePixel(&destination[(size_t{y} * width + x) * (bits / 8)], bits);
}

// The picks the tables call for, pulled inside the frame where they would fall outside.
Pick ExpectedPick(uint32_t sw, uint32_t sh, uint32_t dw, uint32_t dh, uint32_t x, uint32_t y) {
  const int64_t column = static_cast<int64_t>((uint64_t{x + 1} * sw + dw / 2) / dw) - 1;
  const uint64_t row = (uint64_t{y} * sh + dh / 2) / dh;
  return {static_cast<uint32_t>(std::max<int64_t>(column, 0)), static_cast<uint32_t>(std::min<uint64_t>(row, sh - 1))};
}

void ExpectEveryPick(uint32_t sw, uint32_t sh, uint32_t dw, uint32_t dh, uint32_t bits) {
  SCOPED_TRACE(testing::Message() << sw << "x" << sh << " -> " << dw << "x" << dh << " at " << bits << " bits");
  const Scaler scaler = MakeScaler(sw, sh, dw, dh, bits);
  ASSERT_TRUE(scaler);
  const std::vector<uint8_t> frame = CoordinateFrame(sw, sh, bits);
  std::vector<uint8_t> destination(ScaledFrameBytes(*scaler));
  ASSERT_EQ(ScaleFrame(scaler.get(), frame.data(), destination.data()), 0);
  for (uint32_t y = 0; y < dh; ++y) {
    for (uint32_t x = 0; x < dw; ++x) {
      const Pick got = PickAt(destination, dw, bits, x, y);
      const Pick want = AsEncoded(ExpectedPick(sw, sh, dw, dh, x, y), bits);
      ASSERT_TRUE(got == want) << "at " << x << "," << y << ": column " << got.column << " row " << got.row
                               << ", wanted column " << want.column << " row " << want.row;
    }
  }
}

TEST(ScaleFrame, EqualSizesCopyTheBytes) {
  for (const uint32_t bits : {16u, 24u, 32u}) {
    const Scaler scaler = MakeScaler(320, 240, 320, 240, bits);
    ASSERT_TRUE(scaler);
    std::vector<uint8_t> frame(320 * 240 * bits / 8);
    for (size_t i = 0; i < frame.size(); ++i) frame[i] = static_cast<uint8_t>(i * 7 + i / 320);
    std::vector<uint8_t> destination(frame.size());
    ASSERT_EQ(ScaleFrame(scaler.get(), frame.data(), destination.data()), 0);
    EXPECT_EQ(destination, frame) << bits;
  }
}

TEST(ScaleFrame, DoublingMapsColumnXToHalfOfX) {
  for (const uint32_t bits : {16u, 24u, 32u}) {
    const Scaler scaler = MakeScaler(320, 240, 640, 480, bits);
    ASSERT_TRUE(scaler);
    const std::vector<uint8_t> frame = CoordinateFrame(320, 240, bits);
    std::vector<uint8_t> destination(640 * 480 * bits / 8);
    ASSERT_EQ(ScaleFrame(scaler.get(), frame.data(), destination.data()), 0);
    for (const uint32_t y : {0u, 1u, 2u, 3u, 240u, 477u}) {
      for (uint32_t x = 0; x < 640; ++x) {
        const Pick pick = PickAt(destination, 640, bits, x, y);
        ASSERT_EQ(pick.column, x / 2) << bits << " bits, x " << x;
        ASSERT_EQ(pick.row, AsEncoded({0, (y * 240 + 240) / 480}, bits).row) << bits << " bits, y " << y;
      }
    }
    // The last destination rows would pick the row below the frame: they show its last row.
    EXPECT_EQ(PickAt(destination, 640, bits, 0, 479).row, AsEncoded({0, 239}, bits).row);
  }
}

TEST(ScaleFrame, LargeEnlargementsAndReductionsStayInsideTheFrame) {
  for (const uint32_t bits : {16u, 24u, 32u}) {
    ExpectEveryPick(320, 240, 960, 720, bits);    // 3x: first column and last rows
    ExpectEveryPick(320, 240, 1920, 1080, bits);  // the benchmark's screen
    ExpectEveryPick(640, 480, 285, 214, bits);    // reduction to an odd width
    ExpectEveryPick(640, 480, 17, 3, bits);       // strong reduction
    ExpectEveryPick(320, 240, 766, 575, bits);    // width even, not a multiple of four
    ExpectEveryPick(2, 2, 801, 601, bits);        // a tiny frame blown up
  }
}

TEST(ScaleFrame, FirstColumnOfATripledFrameIsColumnZero) {
  const Scaler scaler = MakeScaler(320, 240, 960, 720, 16);
  ASSERT_TRUE(scaler);
  // Unclamped, (1 * 320 + 480) / 960 - 1 would be column -1.
  EXPECT_EQ(scaler->columnTable[1] - 1, 0u);
  EXPECT_EQ(scaler->rowTable[719], 239u);
}

TEST(ScaleFrame, MissingArgumentsAreRefused) {
  const Scaler scaler = MakeScaler(4, 4, 8, 8, 32);
  ASSERT_TRUE(scaler);
  std::vector<uint8_t> frame(4 * 4 * 4), destination(8 * 8 * 4);
  EXPECT_EQ(ScaleFrame(nullptr, frame.data(), destination.data()), -1);
  EXPECT_EQ(ScaleFrame(scaler.get(), nullptr, destination.data()), -1);
  EXPECT_EQ(ScaleFrame(scaler.get(), frame.data(), nullptr), -1);
  PreviewScaler withoutRoutine = *scaler;
  withoutRoutine.copyRoutine = nullptr;
  EXPECT_EQ(ScaleFrame(&withoutRoutine, frame.data(), destination.data()), -1);
}

TEST(CreateScaler, TablesFollowTheRoundedRatio) {
  const Scaler scaler = MakeScaler(640, 480, 285, 214, 24);
  ASSERT_TRUE(scaler);
  ASSERT_EQ(scaler->columnTable.size(), 286u);
  ASSERT_EQ(scaler->rowTable.size(), 215u);
  EXPECT_EQ(scaler->columnTable[0], 0u);
  EXPECT_EQ(scaler->columnTable[1], (640u + 142u) / 285u);
  EXPECT_EQ(scaler->columnTable[285], 640u);
  EXPECT_EQ(scaler->rowTable[100], (100u * 480u + 107u) / 214u);
}

TEST(CreateScaler, RefusesOtherDepthsAndEmptySizes) {
  EXPECT_FALSE(MakeScaler(320, 240, 640, 480, 8));
  EXPECT_FALSE(MakeScaler(320, 240, 640, 480, 15));
  EXPECT_FALSE(MakeScaler(0, 240, 640, 480, 16));
  EXPECT_FALSE(MakeScaler(320, 240, 0, 480, 16));
  EXPECT_FALSE(MakeScaler(320, 240, 640, 0, 16));
  DestroyScaler(nullptr);  // accepted
}

}  // namespace
