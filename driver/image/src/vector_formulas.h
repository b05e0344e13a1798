// Multiplication-only forms of the conversion's rounded products, for vector
// code: each is checked at compile time against its defining formula over its
// whole input range, so the vector paths stay bit-exact with the tables.
#pragma once

#include <cstdint>

#include "colour_tables.h"

namespace colour {

// value(x) = slope * x + floor((x + bias) * fraction / 65536) + offset, with
// the product as an unsigned 16 x 16 -> high 16 multiplication.
struct RoundedProduct {
  std::int32_t slope;
  std::uint16_t fraction;
  std::uint16_t bias;
  std::int32_t offset;

  constexpr std::int32_t operator()(std::int32_t x) const {
    return slope * x + static_cast<std::int32_t>((static_cast<std::uint32_t>(x + bias) * fraction) >> 16) + offset;
  }
};

// 16 bits: the DitherTable contributions. Luma takes x = min(Y, 239).
inline constexpr RoundedProduct kBlueOfLuma{1, 10748, 109, -36};
inline constexpr RoundedProduct kGreen2OfLuma{2, 21496, 16, -42};
inline constexpr RoundedProduct kBlueOfCb{1, 63963, 101, -351};
inline constexpr RoundedProduct kGreen2OfCb{-1, 15335, 28, 92};
inline constexpr RoundedProduct kRedOfCr{1, 39059, 96, -261};
inline constexpr RoundedProduct kGreen2OfCr{-2, 24510, 122, 163};

// 24 and 32 bits: the chroma offsets in luma units.
inline constexpr RoundedProduct kRedOffset{1, 24294, 1063, -569};
inline constexpr RoundedProduct kGreenOffsetOfCb{-1, 43486, 31, 23};
inline constexpr RoundedProduct kGreenOffsetOfCr{-1, 19778, 152, 44};
inline constexpr RoundedProduct kBlueOffset{1, 48001, 57, -263};

template <typename Reference>
constexpr bool SameOver(const RoundedProduct& product, Reference reference, std::int32_t first, std::int32_t last) {
  for (std::int32_t x = first; x <= last; ++x)
    if (product(x) != reference(x)) return false;
  return true;
}

static_assert(SameOver(
    kBlueOfLuma, [](std::int32_t x) { return NearestThousandths(1164, x - 16); }, 0, 239));
static_assert(SameOver(
    kGreen2OfLuma, [](std::int32_t x) { return NearestThousandths(2328, x - 16); }, 0, 239));
static_assert(SameOver(
    kBlueOfCb, [](std::int32_t c) { return NearestThousandths(1976, c - 128); }, 0, 255));
static_assert(SameOver(
    kGreen2OfCb, [](std::int32_t c) { return NearestThousandths(-766, c - 128); }, 0, 255));
static_assert(SameOver(
    kRedOfCr, [](std::int32_t c) { return NearestThousandths(1596, c - 128); }, 0, 255));
static_assert(SameOver(
    kGreen2OfCr, [](std::int32_t c) { return NearestThousandths(-1626, c - 128); }, 0, 255));
static_assert(SameOver(kRedOffset, RedOffset, 0, 255));
static_assert(SameOver(kGreenOffsetOfCb, GreenOffsetOfCb, 0, 255));
static_assert(SameOver(kGreenOffsetOfCr, GreenOffsetOfCr, 0, 255));
static_assert(SameOver(kBlueOffset, BlueOffset, 0, 255));

// T(n) = floor((76309 * (n - 16) - 32768) / 65536), clamped to 0..255, is also
// floor((7n - 115) * 10901 / 65536) as a signed 16 x 16 -> high 16 multiplication,
// clamped the way a signed-to-unsigned byte pack clamps: 7 * 10901 = 76307 keeps
// every floor of the interior, and the pack supplies the clamp. Per pixel and
// channel that is one addition (7Y plus a per-block 7 * offset - 115) and one
// multiplication.
inline constexpr std::int16_t kLumaScale = 7;
inline constexpr std::int16_t kLumaScaledBias = -115;
inline constexpr std::int16_t kLumaScaledFactor = 10901;

constexpr std::int32_t LumaValueBySignedProduct(std::int32_t n) {
  const std::int32_t t = FloorDiv((kLumaScale * n + kLumaScaledBias) * kLumaScaledFactor, 65536);
  return t < 0 ? 0 : (t > 255 ? 255 : t);
}

// Over the whole span of the 24-bit table (n = -232..487), which holds every Y + offset.
constexpr bool LumaBySignedProductMatches() {
  for (std::int32_t n = -232; n <= 487; ++n)
    if (LumaValueBySignedProduct(n) != LumaValue(n)) return false;
  return true;
}
static_assert(LumaBySignedProductMatches());
// Y + offset stays inside that span for every Y, Cb and Cr.
constexpr bool OffsetsStayInsideTheTable() {
  std::int32_t low = 0, high = 0;
  for (std::int32_t c = 0; c < 256; ++c) {
    for (std::int32_t offset : {RedOffset(c), BlueOffset(c), GreenOffsetOfCb(c) + GreenOffsetOfCr(0),
                                GreenOffsetOfCb(c) + GreenOffsetOfCr(255), GreenOffsetOfCb(0) + GreenOffsetOfCr(c),
                                GreenOffsetOfCb(255) + GreenOffsetOfCr(c)}) {
      low = offset < low ? offset : low;
      high = offset > high ? offset : high;
    }
  }
  return low >= -232 && high + 255 <= 487;
}
static_assert(OffsetsStayInsideTheTable());
static_assert(kLumaScale * 487 + kLumaScaledBias <= 32767 && kLumaScale * -232 + kLumaScaledBias >= -32768);

}  // namespace colour
