// 256-bit lane operations for the vector kernels (AVX2). Unpacks work inside
// each 128-bit half, so loads permute the blocks to come out in pixel order.
#pragma once

#include <immintrin.h>

#include <cstdint>

#include "convert_vector.h"

namespace vector_kernels {

struct Avx2 {
  using Reg = __m256i;
  static constexpr Rgb24Form kRgb24Form = Rgb24Form::ChannelBytes;
  static constexpr std::uint32_t kBlocks = 16;

  static Reg Splat(std::int16_t v) { return _mm256_set1_epi16(v); }
  static Reg Add(Reg a, Reg b) { return _mm256_add_epi16(a, b); }
  static Reg Sub(Reg a, Reg b) { return _mm256_sub_epi16(a, b); }
  static Reg AddSat(Reg a, Reg b) { return _mm256_adds_epi16(a, b); }
  static Reg SubSatU(Reg a, Reg b) { return _mm256_subs_epu16(a, b); }
  static Reg MulHiU(Reg a, Reg b) { return _mm256_mulhi_epu16(a, b); }
  static Reg MulHiS(Reg a, Reg b) { return _mm256_mulhi_epi16(a, b); }
  static Reg MulLo(Reg a, Reg b) { return _mm256_mullo_epi16(a, b); }
  static Reg PackUS(Reg a, Reg b) { return _mm256_packus_epi16(a, b); }
  static Reg Min(Reg a, Reg b) { return _mm256_min_epi16(a, b); }
  static Reg Max(Reg a, Reg b) { return _mm256_max_epi16(a, b); }
  static Reg And(Reg a, Reg b) { return _mm256_and_si256(a, b); }
  static Reg Or(Reg a, Reg b) { return _mm256_or_si256(a, b); }
  template <int n>
  static Reg Shl(Reg a) {
    return _mm256_slli_epi16(a, n);
  }
  template <int n>
  static Reg ShrU(Reg a) {
    return _mm256_srli_epi16(a, n);
  }
  static Reg UnpackLo8(Reg a, Reg b) { return _mm256_unpacklo_epi8(a, b); }
  static Reg UnpackHi8(Reg a, Reg b) { return _mm256_unpackhi_epi8(a, b); }
  static Reg UnpackLo16(Reg a, Reg b) { return _mm256_unpacklo_epi16(a, b); }
  static Reg UnpackHi16(Reg a, Reg b) { return _mm256_unpackhi_epi16(a, b); }

  // Blocks 0-15 in 32-bit units (two blocks each). One level of in-half
  // unpacking needs halves [0-3, 8-11 | 4-7, 12-15]; two levels need
  // [0-1, 4-5, 8-9, 12-13 | 2-3, 6-7, 10-11, 14-15].
  template <PairOrder order>
  static Reg Arrange(Reg v) {
    if constexpr (order == PairOrder::AsLoaded) {
      return v;
    } else if constexpr (order == PairOrder::ForWords) {
      return _mm256_permute4x64_epi64(v, 0xD8);
    } else {
      return _mm256_permutevar8x32_epi32(v, _mm256_setr_epi32(0, 2, 4, 6, 1, 3, 5, 7));
    }
  }

  template <PairOrder order>
  static void LoadLuma(const std::uint8_t* at, Reg& even, Reg& odd) {
    const Reg bytes = Arrange<order>(_mm256_loadu_si256(reinterpret_cast<const Reg*>(at)));
    even = _mm256_and_si256(bytes, _mm256_set1_epi16(0x00FF));
    odd = _mm256_srli_epi16(bytes, 8);
  }
  // The same, times the luma scale of the 24- and 32-bit kernels.
  template <PairOrder order>
  static void LoadScaledLuma(const std::uint8_t* at, Reg& even, Reg& odd) {
    const Reg bytes = Arrange<order>(_mm256_loadu_si256(reinterpret_cast<const Reg*>(at)));
    constexpr char kScale = colour::kLumaScale;
    even = _mm256_maddubs_epi16(bytes, _mm256_set1_epi16(kScale));
    odd = _mm256_maddubs_epi16(bytes, _mm256_set1_epi16(kScale << 8));
  }
  template <PairOrder order>
  static Reg LoadChroma(const std::uint8_t* at) {
    return Arrange<order>(_mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(at))));
  }

  // Per 128-bit lane: bytes of the left pixels of its blocks, then of the right pixels,
  // as 16-bit words in pixel order.
  static void WidenInPixelOrder(Reg bytes, Reg& first, Reg& second) {
    first = _mm256_shuffle_epi8(
        bytes, _mm256_broadcastsi128_si256(_mm_setr_epi8(0, -1, 8, -1, 1, -1, 9, -1, 2, -1, 10, -1, 3, -1, 11, -1)));
    second = _mm256_shuffle_epi8(
        bytes, _mm256_broadcastsi128_si256(_mm_setr_epi8(4, -1, 12, -1, 5, -1, 13, -1, 6, -1, 14, -1, 7, -1, 15, -1)));
  }

  static void StoreWords(std::uint8_t* at, Reg even, Reg odd) {
    _mm256_storeu_si256(reinterpret_cast<Reg*>(at), _mm256_unpacklo_epi16(even, odd));
    _mm256_storeu_si256(reinterpret_cast<Reg*>(at + 32), _mm256_unpackhi_epi16(even, odd));
  }
  static void StoreDwords(std::uint8_t* at, Reg dwords) { _mm256_storeu_si256(reinterpret_cast<Reg*>(at), dwords); }

  // Thirty-two pixels in blocks 0-7 and 8-15 of the two halves, channel by channel (per
  // half the bytes of the left pixels of its blocks, then of the right pixels), as 96
  // bytes in three plain stores. Each half makes three 16-byte parts of its 48 bytes;
  // the stores take them in order across the halves.
  static void StoreChannelsAs3Bytes(std::uint8_t* at, Reg c0, Reg c1, Reg c2) {
    Reg parts[3];
    for (int part = 0; part < 3; ++part) {
      const auto* masks = reinterpret_cast<const __m128i*>(kGatherTo3Bytes.bytes[part]);
      const auto gather = [&](Reg channel, int index) {
        return _mm256_shuffle_epi8(channel, _mm256_broadcastsi128_si256(_mm_load_si128(masks + index)));
      };
      parts[part] = _mm256_or_si256(_mm256_or_si256(gather(c0, 0), gather(c1, 1)), gather(c2, 2));
    }
    _mm256_storeu_si256(reinterpret_cast<Reg*>(at), _mm256_permute2x128_si256(parts[0], parts[1], 0x20));
    _mm256_storeu_si256(reinterpret_cast<Reg*>(at + 32), _mm256_permute2x128_si256(parts[2], parts[0], 0x30));
    _mm256_storeu_si256(reinterpret_cast<Reg*>(at + 64), _mm256_permute2x128_si256(parts[1], parts[2], 0x31));
  }
};

}  // namespace vector_kernels
