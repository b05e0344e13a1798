// Integer colour tables of the BT.601 studio-range YCbCr to RGB conversion.
// Everything here is computed at compile time from its defining formula.
#pragma once

#include <array>
#include <cstdint>

namespace colour {

// floor(a / b) for b > 0, exact for negative a.
constexpr std::int32_t FloorDiv(std::int32_t a, std::int32_t b) {
  const std::int32_t q = a / b;
  return (a % b != 0 && a < 0) ? q - 1 : q;
}

// nearest(thousandths / 1000 * k) = floor(x + 1/2), exactly in integers.
constexpr std::int32_t NearestThousandths(std::int32_t thousandths, std::int32_t k) {
  return FloorDiv(2 * thousandths * k + 1000, 2000);
}

// --- 16 bits: three channel contributions packed in one word per Y, Cb, Cr ---
//
// Blue in bits 0-7 (guard 8, bias 9, spare 10), red in bits 11-18 (guard 19,
// bias 20), green in half units in bits 21-29 (guard 30, bias 31). One word of
// each part sums to 512 (1024 half units) above each channel's value.
inline constexpr std::uint32_t kLumaBias = 0x80000000u;
inline constexpr std::uint32_t kCbBias = 0x00000200u;
inline constexpr std::uint32_t kCrBias = 0x00100000u;

constexpr std::uint32_t PackContributions(std::uint32_t bias, std::int32_t blue, std::int32_t red,
                                          std::int32_t green2) {
  // Modulo 2^32: negative contributions borrow from the fields above.
  return bias + static_cast<std::uint32_t>(blue) + (static_cast<std::uint32_t>(red) << 11) +
         (static_cast<std::uint32_t>(green2) << 21);
}

constexpr std::uint32_t LumaWord(std::int32_t y) {
  if (y < 16) return PackContributions(kLumaBias, NearestThousandths(1164, y - 16), 0, 0);
  const std::int32_t k = (y < 239 ? y : 239) - 16;
  const std::int32_t blueRed = NearestThousandths(1164, k);
  return PackContributions(kLumaBias, blueRed, blueRed, NearestThousandths(2328, k));
}

constexpr std::uint32_t CbWord(std::int32_t cb) {
  const std::int32_t k = cb - 128;
  return PackContributions(kCbBias, NearestThousandths(1976, k), 0, NearestThousandths(-766, k));
}

constexpr std::uint32_t CrWord(std::int32_t cr) {
  const std::int32_t k = cr - 128;
  return PackContributions(kCrBias, 0, NearestThousandths(1596, k), NearestThousandths(-1626, k));
}

constexpr std::array<std::uint32_t, 768> BuildDitherTable() {
  std::array<std::uint32_t, 768> table{};
  for (std::int32_t v = 0; v < 256; ++v) {
    table[v] = LumaWord(v);
    table[256 + v] = CbWord(v);
    table[512 + v] = CrWord(v);
  }
  return table;
}

// Words 0..255 by Y, 256..511 by Cb, 512..767 by Cr.
inline constexpr std::array<std::uint32_t, 768> DitherTable = BuildDitherTable();

// Offsets k in 8-bit units by dither pattern (conversion counter mod 4) and
// place in the 2 x 2 block: top left, top right, bottom left, bottom right.
inline constexpr std::uint8_t kDitherOffsets[4][4] = {{0, 6, 4, 2}, {2, 4, 6, 0}, {6, 0, 2, 4}, {4, 2, 0, 6}};

// The offset k added to all three fields at once (green in half units).
constexpr std::uint32_t DitherWord(std::uint32_t k) { return k + (k << 11) + (2 * k << 21); }

// --- 24 and 32 bits: luma table and chroma offsets in luma units ---

// T(n) = floor((76309 * (n - 16) - 32768) / 65536) clamped to 0..255.
constexpr std::uint8_t LumaValue(std::int32_t n) {
  const std::int32_t t = FloorDiv(76309 * (n - 16) - 32768, 65536);
  return static_cast<std::uint8_t>(t < 0 ? 0 : (t > 255 ? 255 : t));
}

// LumaTable covers n = -384..639; entry i stands for n = i - 384.
inline constexpr std::int32_t kLumaTableFirst = -384;
inline constexpr std::size_t kLumaTableSize = 1024;

// a / 76309 rounded to nearest, as the conversion defines it.
constexpr std::int32_t DivRound76309(std::int32_t a) { return a > 0 ? (a + 38154) / 76309 : -((38154 - a) / 76309); }

constexpr std::int32_t RedOffset(std::int32_t cr) { return DivRound76309(104597 * (cr - 128)); }
constexpr std::int32_t GreenOffsetOfCb(std::int32_t cb) { return DivRound76309(-25675 * (cb - 128)); }
constexpr std::int32_t GreenOffsetOfCr(std::int32_t cr) { return DivRound76309(-53279 * (cr - 128)); }
constexpr std::int32_t BlueOffset(std::int32_t cb) { return DivRound76309(132201 * (cb - 128)); }

}  // namespace colour
