// 128-bit lane operations for the vector kernels: SSE2 (every x86-64 processor), and
// SSSE3, whose byte shuffle gathers 24-bit pixels straight from the channel bytes and
// whose byte multiply-add scales the luma in one instruction. The two are distinct instantiations, so no code
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
  static constexpr Rgb24Form kRgb24Form = kSsse3 ? Rgb24Form::ChannelBytes : Rgb24Form::BlockWords;

  static Reg Splat(std::int16_t v) { return _mm_set1_epi16(v); }
  static Reg Add(Reg a, Reg b) { return _mm_add_epi16(a, b); }
  static Reg Sub(Reg a, Reg b) { return _mm_sub_epi16(a, b); }
  static Reg AddSat(Reg a, Reg b) { return _mm_adds_epi16(a, b); }
  static Reg SubSatU(Reg a, Reg b) { return _mm_subs_epu16(a, b); }
  static Reg MulHiU(Reg a, Reg b) { return _mm_mulhi_epu16(a, b); }
  static Reg MulHiS(Reg a, Reg b) { return _mm_mulhi_epi16(a, b); }
  static Reg MulLo(Reg a, Reg b) { return _mm_mullo_epi16(a, b); }
  static Reg PackUS(Reg a, Reg b) { return _mm_packus_epi16(a, b); }
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

  // Sixteen pixels, channel by channel (bytes of the left pixels of the blocks, then of
  // the right pixels), as 48 bytes in three plain stores. SSSE3 only.
  static void StoreChannelsAs3Bytes(std::uint8_t* at, Reg c0, Reg c1, Reg c2) {
    for (int part = 0; part < 3; ++part) {
      const auto* masks = reinterpret_cast<const Reg*>(kGatherTo3Bytes.bytes[part]);
      const Reg out = _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(c0, masks[0]), _mm_shuffle_epi8(c1, masks[1])),
                                   _mm_shuffle_epi8(c2, masks[2]));
      _mm_storeu_si128(reinterpret_cast<Reg*>(at + 16 * part), out);
    }
  }

  // Bytes of the left pixels of the blocks, then of the right pixels, as 16-bit words
  // in pixel order.
  static void WidenInPixelOrder(Reg bytes, Reg& first, Reg& second) {
    if constexpr (kSsse3) {
      first = _mm_shuffle_epi8(bytes, _mm_setr_epi8(0, -1, 8, -1, 1, -1, 9, -1, 2, -1, 10, -1, 3, -1, 11, -1));
      second = _mm_shuffle_epi8(bytes, _mm_setr_epi8(4, -1, 12, -1, 5, -1, 13, -1, 6, -1, 14, -1, 7, -1, 15, -1));
    } else {
      const Reg even = _mm_unpacklo_epi8(bytes, _mm_setzero_si128());
      const Reg odd = _mm_unpackhi_epi8(bytes, _mm_setzero_si128());
      first = _mm_unpacklo_epi16(even, odd);
      second = _mm_unpackhi_epi16(even, odd);
    }
  }

  // Eight blocks, two to a register, each in the low 6 bytes of a 64-bit half, as
  // 48 bytes. Unless exact, 8 bytes are written per block; the 2 extra bytes belong to
  // the next block and are overwritten by its store.
  static void StoreQwordsAs6Bytes(std::uint8_t* at, const Reg (&qwords)[4], bool exact) {
    for (int i = 0; i < 4; ++i, at += 12) {
      _mm_storel_epi64(reinterpret_cast<Reg*>(at), qwords[i]);
      if (!exact || i < 3) {
        _mm_storeh_pi(reinterpret_cast<__m64*>(at + 6), _mm_castsi128_ps(qwords[i]));
        continue;
      }
      const Reg last = _mm_unpackhi_epi64(qwords[i], qwords[i]);
      const std::int32_t head = _mm_cvtsi128_si32(last);
      const auto tail = static_cast<std::uint16_t>(_mm_extract_epi16(last, 2));
      std::memcpy(at + 6, &head, 4);
      std::memcpy(at + 10, &tail, 2);
    }
  }
};

using Sse2 = Vector128<false>;
using Ssse3 = Vector128<true>;

}  // namespace vector_kernels
