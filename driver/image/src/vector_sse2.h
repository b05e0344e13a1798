// 128-bit lane operations for the vector kernels: SSE2 (every x86-64 processor), and
// SSSE3, whose byte shuffle makes the 24-bit store one instruction. The two are distinct
// instantiations, so no code built for SSSE3 can end up in the SSE2 path.
#pragma once

#include <emmintrin.h>
#include <tmmintrin.h>

#include <cstdint>
#include <cstring>

#include "convert_vector.h"

namespace vector_kernels {

template <bool kByteShuffle>
struct Vector128 {
  using Reg = __m128i;
  static constexpr std::uint32_t kBlocks = 8;  // 16-bit lanes, one 2 x 2 block each

  static Reg Splat(std::int16_t v) { return _mm_set1_epi16(v); }
  static Reg Add(Reg a, Reg b) { return _mm_add_epi16(a, b); }
  static Reg Sub(Reg a, Reg b) { return _mm_sub_epi16(a, b); }
  static Reg AddSat(Reg a, Reg b) { return _mm_adds_epi16(a, b); }
  static Reg SubSatU(Reg a, Reg b) { return _mm_subs_epu16(a, b); }
  static Reg MulHiU(Reg a, Reg b) { return _mm_mulhi_epu16(a, b); }
  static Reg Min(Reg a, Reg b) { return _mm_min_epi16(a, b); }
  static Reg Max(Reg a, Reg b) { return _mm_max_epi16(a, b); }
  static Reg And(Reg a, Reg b) { return _mm_and_si128(a, b); }
  static Reg Or(Reg a, Reg b) { return _mm_or_si128(a, b); }
  template <int n>
  static Reg Shl(Reg a) {
    return _mm_slli_epi16(a, n);
  }
  template <int n>
  static Reg ShrU(Reg a) {
    return _mm_srli_epi16(a, n);
  }
  static Reg UnpackLo16(Reg a, Reg b) { return _mm_unpacklo_epi16(a, b); }
  static Reg UnpackHi16(Reg a, Reg b) { return _mm_unpackhi_epi16(a, b); }
  static Reg UnpackLo32(Reg a, Reg b) { return _mm_unpacklo_epi32(a, b); }
  static Reg UnpackHi32(Reg a, Reg b) { return _mm_unpackhi_epi32(a, b); }

  // 128-bit unpacks keep pixel order, so both orders are the natural one.
  template <PairOrder>
  static void LoadLuma(const std::uint8_t* at, Reg& even, Reg& odd) {
    const Reg bytes = _mm_loadu_si128(reinterpret_cast<const Reg*>(at));
    even = _mm_and_si128(bytes, _mm_set1_epi16(0x00FF));
    odd = _mm_srli_epi16(bytes, 8);
  }
  template <PairOrder>
  static Reg LoadChroma(const std::uint8_t* at) {
    return _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const Reg*>(at)), _mm_setzero_si128());
  }

  static void StoreWords(std::uint8_t* at, Reg even, Reg odd) {
    _mm_storeu_si128(reinterpret_cast<Reg*>(at), _mm_unpacklo_epi16(even, odd));
    _mm_storeu_si128(reinterpret_cast<Reg*>(at + 16), _mm_unpackhi_epi16(even, odd));
  }
  static void StoreDwords(std::uint8_t* at, Reg dwords) { _mm_storeu_si128(reinterpret_cast<Reg*>(at), dwords); }

  // Four pixels as 12 bytes. Unless exact, 16 bytes are written; the 4 extra
  // bytes belong to the next pixels and are overwritten by their store.
  static void StoreDwordsAs3Bytes(std::uint8_t* at, Reg dwords, bool exact) {
    const Reg packed = SqueezeDwordsTo3Bytes(dwords);
    if (!exact) {
      _mm_storeu_si128(reinterpret_cast<Reg*>(at), packed);
      return;
    }
    _mm_storel_epi64(reinterpret_cast<Reg*>(at), packed);
    const std::int32_t tail = _mm_cvtsi128_si32(_mm_srli_si128(packed, 8));
    std::memcpy(at + 8, &tail, 4);
  }

  // The low three bytes of each dword, packed into the low 12 bytes.
  static Reg SqueezeDwordsTo3Bytes(Reg dwords) {
    if constexpr (kByteShuffle) {
      return _mm_shuffle_epi8(dwords, _mm_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1));
    } else {
      const Reg lowDwords = _mm_set_epi32(0, -1, 0, -1);
      const Reg lowQword = _mm_set_epi32(0, 0, -1, -1);
      // Each qword: its two pixels' 3 bytes side by side (the top bytes are 0).
      const Reg pairs =
          _mm_or_si128(_mm_and_si128(dwords, lowDwords), _mm_srli_epi64(_mm_andnot_si128(lowDwords, dwords), 8));
      return _mm_or_si128(_mm_and_si128(pairs, lowQword), _mm_srli_si128(_mm_andnot_si128(lowQword, pairs), 2));
    }
  }
};

using Sse2 = Vector128<false>;
using Ssse3 = Vector128<true>;

}  // namespace vector_kernels
