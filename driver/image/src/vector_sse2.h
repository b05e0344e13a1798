// 128-bit lane operations for the vector kernels: SSE2 (every x86-64 processor), and
// SSSE3, whose byte shuffle makes the 24-bit store one instruction and whose byte
// multiply-add scales the luma in one. The two are distinct instantiations, so no code
// built for SSSE3 can end up in the SSE2 path.
#pragma once

#include <emmintrin.h>
#include <tmmintrin.h>

#include <cstdint>
#include <cstring>

#include "convert_vector.h"

namespace vector_kernels {

template <bool kSsse3>
struct Vector128 {
  using Reg = __m128i;
  static constexpr std::uint32_t kBlocks = 8;  // 16-bit lanes, one 2 x 2 block each
  static constexpr bool kByteShuffle = kSsse3;

  static Reg Splat(std::int16_t v) { return _mm_set1_epi16(v); }
  static Reg Add(Reg a, Reg b) { return _mm_add_epi16(a, b); }
  static Reg Sub(Reg a, Reg b) { return _mm_sub_epi16(a, b); }
  static Reg AddSat(Reg a, Reg b) { return _mm_adds_epi16(a, b); }
  static Reg SubSatU(Reg a, Reg b) { return _mm_subs_epu16(a, b); }
  static Reg MulHiU(Reg a, Reg b) { return _mm_mulhi_epu16(a, b); }
  static Reg MulHiS(Reg a, Reg b) { return _mm_mulhi_epi16(a, b); }
  static Reg MulLo(Reg a, Reg b) { return _mm_mullo_epi16(a, b); }
  static Reg PackUS(Reg a, Reg b) { return _mm_packus_epi16(a, b); }
  static Reg Zero() { return _mm_setzero_si128(); }
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
  static Reg UnpackLo8(Reg a, Reg b) { return _mm_unpacklo_epi8(a, b); }
  static Reg UnpackHi8(Reg a, Reg b) { return _mm_unpackhi_epi8(a, b); }
  static Reg UnpackLo16(Reg a, Reg b) { return _mm_unpacklo_epi16(a, b); }
  static Reg UnpackHi16(Reg a, Reg b) { return _mm_unpackhi_epi16(a, b); }
  static Reg UnpackLo32(Reg a, Reg b) { return _mm_unpacklo_epi32(a, b); }
  static Reg UnpackHi32(Reg a, Reg b) { return _mm_unpackhi_epi32(a, b); }
  static Reg UnpackHi64(Reg a, Reg b) { return _mm_unpackhi_epi64(a, b); }

  // 128-bit unpacks keep pixel order, so both orders are the natural one.
  template <PairOrder>
  static void LoadLuma(const std::uint8_t* at, Reg& even, Reg& odd) {
    const Reg bytes = _mm_loadu_si128(reinterpret_cast<const Reg*>(at));
    even = _mm_and_si128(bytes, _mm_set1_epi16(0x00FF));
    odd = _mm_srli_epi16(bytes, 8);
  }
  // The same, times the luma scale of the 24- and 32-bit kernels.
  template <PairOrder>
  static void LoadScaledLuma(const std::uint8_t* at, Reg& even, Reg& odd) {
    const Reg bytes = _mm_loadu_si128(reinterpret_cast<const Reg*>(at));
    constexpr char kScale = colour::kLumaScale;
    if constexpr (kSsse3) {
      even = _mm_maddubs_epi16(bytes, _mm_set1_epi16(kScale));
      odd = _mm_maddubs_epi16(bytes, _mm_set1_epi16(kScale << 8));
    } else {
      const Reg scale = Opaque(_mm_set1_epi16(kScale));
      even = _mm_mullo_epi16(_mm_and_si128(bytes, _mm_set1_epi16(0x00FF)), scale);
      odd = _mm_mullo_epi16(_mm_srli_epi16(bytes, 8), scale);
    }
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

  // Four pixels as 12 bytes (SSSE3 only). Unless exact, 16 bytes are written; the 4 extra
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

  // Two blocks of 6 bytes, one in the low 6 bytes of each 64-bit half. Unless exact,
  // 8 bytes are written per block; the 2 extra bytes belong to the next block and are
  // overwritten by its store.
  static void StoreQwordsAs6Bytes(std::uint8_t* at, Reg qwords, bool exact) {
    _mm_storel_epi64(reinterpret_cast<Reg*>(at), qwords);
    if (!exact) {
      _mm_storeh_pd(reinterpret_cast<double*>(at + 6), _mm_castsi128_pd(qwords));
      return;
    }
    const Reg second = _mm_unpackhi_epi64(qwords, qwords);
    const std::int32_t head = _mm_cvtsi128_si32(second);
    const auto tail = static_cast<std::uint16_t>(_mm_extract_epi16(second, 2));
    std::memcpy(at + 6, &head, 4);
    std::memcpy(at + 10, &tail, 2);
  }

  // The low three bytes of each dword, packed into the low 12 bytes.
  static Reg SqueezeDwordsTo3Bytes(Reg dwords) {
    return _mm_shuffle_epi8(dwords, _mm_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1));
  }
};

using Sse2 = Vector128<false>;
using Ssse3 = Vector128<true>;

}  // namespace vector_kernels
