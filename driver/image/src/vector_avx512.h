// 512-bit lane operations for the vector kernels (AVX-512 BW). As with AVX2,
// unpacks work inside each 128-bit quarter, so loads permute the blocks to
// come out in pixel order.
#pragma once

#include <immintrin.h>

#include <cstdint>

#include "convert_vector.h"

namespace vector_kernels {

struct Avx512 {
  using Reg = __m512i;
  static constexpr Rgb24Form kRgb24Form = Rgb24Form::PixelDwords;
  static constexpr std::uint32_t kBlocks = 32;

  static Reg Splat(std::int16_t v) { return _mm512_set1_epi16(v); }
  static Reg Add(Reg a, Reg b) { return _mm512_add_epi16(a, b); }
  static Reg Sub(Reg a, Reg b) { return _mm512_sub_epi16(a, b); }
  static Reg AddSat(Reg a, Reg b) { return _mm512_adds_epi16(a, b); }
  static Reg SubSatU(Reg a, Reg b) { return _mm512_subs_epu16(a, b); }
  static Reg MulHiU(Reg a, Reg b) { return _mm512_mulhi_epu16(a, b); }
  static Reg MulHiS(Reg a, Reg b) { return _mm512_mulhi_epi16(a, b); }
  static Reg MulLo(Reg a, Reg b) { return _mm512_mullo_epi16(a, b); }
  static Reg PackUS(Reg a, Reg b) { return _mm512_packus_epi16(a, b); }
  static Reg Min(Reg a, Reg b) { return _mm512_min_epi16(a, b); }
  static Reg Max(Reg a, Reg b) { return _mm512_max_epi16(a, b); }
  static Reg And(Reg a, Reg b) { return _mm512_and_si512(a, b); }
  static Reg Or(Reg a, Reg b) { return _mm512_or_si512(a, b); }
  template <int n>
  static Reg Shl(Reg a) {
    return _mm512_slli_epi16(a, n);
  }
  template <int n>
  static Reg ShrU(Reg a) {
    return _mm512_srli_epi16(a, n);
  }
  static Reg UnpackLo8(Reg a, Reg b) { return _mm512_unpacklo_epi8(a, b); }
  static Reg UnpackHi8(Reg a, Reg b) { return _mm512_unpackhi_epi8(a, b); }
  static Reg UnpackLo16(Reg a, Reg b) { return _mm512_unpacklo_epi16(a, b); }
  static Reg UnpackHi16(Reg a, Reg b) { return _mm512_unpackhi_epi16(a, b); }

  // Quarter q gets, in 64-bit units (four blocks), units q and q + 4 for one
  // level of unpacking; in 32-bit units (two blocks), units q, q + 4, q + 8
  // and q + 12 for two levels.
  template <PairOrder order>
  static Reg Arrange(Reg v) {
    if constexpr (order == PairOrder::ForWords) {
      return _mm512_permutexvar_epi32(_mm512_setr_epi32(0, 1, 8, 9, 2, 3, 10, 11, 4, 5, 12, 13, 6, 7, 14, 15), v);
    } else {
      return _mm512_permutexvar_epi32(_mm512_setr_epi32(0, 4, 8, 12, 1, 5, 9, 13, 2, 6, 10, 14, 3, 7, 11, 15), v);
    }
  }

  template <PairOrder order>
  static void LoadLuma(const std::uint8_t* at, Reg& even, Reg& odd) {
    const Reg bytes = Arrange<order>(_mm512_loadu_si512(at));
    even = _mm512_and_si512(bytes, _mm512_set1_epi16(0x00FF));
    odd = _mm512_srli_epi16(bytes, 8);
  }
  // The same, times the luma scale of the 24- and 32-bit kernels.
  template <PairOrder order>
  static void LoadScaledLuma(const std::uint8_t* at, Reg& even, Reg& odd) {
    const Reg bytes = Arrange<order>(_mm512_loadu_si512(at));
    constexpr char kScale = colour::kLumaScale;
    even = _mm512_maddubs_epi16(bytes, _mm512_set1_epi16(kScale));
    odd = _mm512_maddubs_epi16(bytes, _mm512_set1_epi16(kScale << 8));
  }
  template <PairOrder order>
  static Reg LoadChroma(const std::uint8_t* at) {
    return Arrange<order>(_mm512_cvtepu8_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(at))));
  }

  // Per 128-bit lane: bytes of the left pixels of its blocks, then of the right pixels,
  // as 16-bit words in pixel order.
  static void WidenInPixelOrder(Reg bytes, Reg& first, Reg& second) {
    first = _mm512_shuffle_epi8(
        bytes, _mm512_broadcast_i32x4(_mm_setr_epi8(0, -1, 8, -1, 1, -1, 9, -1, 2, -1, 10, -1, 3, -1, 11, -1)));
    second = _mm512_shuffle_epi8(
        bytes, _mm512_broadcast_i32x4(_mm_setr_epi8(4, -1, 12, -1, 5, -1, 13, -1, 6, -1, 14, -1, 7, -1, 15, -1)));
  }

  static void StoreWords(std::uint8_t* at, Reg even, Reg odd) {
    _mm512_storeu_si512(at, _mm512_unpacklo_epi16(even, odd));
    _mm512_storeu_si512(at + 64, _mm512_unpackhi_epi16(even, odd));
  }
  static void StoreDwords(std::uint8_t* at, Reg dwords) { _mm512_storeu_si512(at, dwords); }

  // Sixteen pixels as 48 bytes, in a 32-byte and a 16-byte store: a masked store costs
  // far more than plain ones when its bytes are not in the cache.
  static void StoreRegisterAs3Bytes(std::uint8_t* at, Reg dwords) {
    const Reg squeeze = _mm512_broadcast_i32x4(_mm_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1));
    const Reg packed =
        _mm512_permutexvar_epi32(_mm512_setr_epi32(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, 15, 15, 15, 15),
                                 _mm512_shuffle_epi8(dwords, squeeze));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(at), _mm512_castsi512_si256(packed));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(at + 32), _mm512_extracti32x4_epi32(packed, 2));
  }

  // Four registers of pixels, in order.
  static void StoreDwordsAs3Bytes(std::uint8_t* at, const Reg (&dwords)[4], bool) {
    for (int i = 0; i < 4; ++i) StoreRegisterAs3Bytes(at + 48 * i, dwords[i]);
  }
};

}  // namespace vector_kernels
