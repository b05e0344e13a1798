// What the vector conversion kernels share. The kernels (vector_rgb565_kernel.h,
// vector_rgb_kernel.h) are written once over a small set of 16-bit lane operations
// that each instruction set provides (vector_sse2.h, vector_avx2.h, vector_avx512.h).
// Pixels are handled in pairs: one 16-bit lane holds the even (left) pixels of the
// blocks, a second one the odd (right) pixels, so a lane's chroma is the same for
// both. Results are bit-exact with the scalar routines, which also convert the
// columns left over at the end of a row.
#pragma once

#include <cstdint>

#include "vector_formulas.h"

namespace vector_kernels {

// What an instruction set stores 24-bit pixels from: the channels' bytes gathered by
// byte shuffles, pixels as 32-bit words squeezed by byte shuffles, or (without them)
// the 6 bytes of each block as 16-bit words.
enum class Rgb24Form { ChannelBytes, PixelDwords, BlockWords };

// Order of the block lanes after loading; it undoes the in-lane interleave of
// the stores (one level for 16-bit pixels, two for 32-bit ones). AsLoaded keeps
// the blocks in memory order, for output built per 128-bit lane.
enum class PairOrder { ForWords, ForDwords, AsLoaded };

// For 24-bit output gathered from channel bytes: the byte shuffles that make each
// 16-byte part of the 48 bytes of 16 pixels (one 128-bit lane) from the bytes of
// one channel, which hold the left pixels of 8 blocks and then the right pixels.
struct GatherMasks {
  alignas(16) std::int8_t bytes[3][3][16];  // by part, then channel
};
constexpr GatherMasks MakeGatherMasks() {
  GatherMasks m{};
  for (int part = 0; part < 3; ++part)
    for (int channel = 0; channel < 3; ++channel)
      for (int j = 0; j < 16; ++j) {
        const int byte = 16 * part + j, pixel = byte / 3;
        m.bytes[part][channel][j] =
            byte % 3 == channel ? static_cast<std::int8_t>(pixel / 2 + 8 * (pixel % 2)) : std::int8_t{-1};
      }
  return m;
}
inline constexpr GatherMasks kGatherTo3Bytes = MakeGatherMasks();

// A value the compiler cannot see through: a multiplication by a constant made
// opaque stays one instruction instead of the shifts and subtractions it would
// make of it, which cost more here.
template <class Reg>
Reg Opaque(Reg value) {
  asm("" : "+v"(value));
  return value;
}

template <class V>
typename V::Reg Splat(std::int32_t value) {
  return V::Splat(static_cast<std::int16_t>(value));
}

// product(x) without its constant offset, which callers fold into others.
template <class V>
typename V::Reg ApplyWithoutOffset(const colour::RoundedProduct& product, typename V::Reg x) {
  using Reg = typename V::Reg;
  const Reg scaled = V::MulHiU(V::Add(x, Splat<V>(product.bias)), Splat<V>(product.fraction));
  const Reg once = product.slope == 1 || product.slope == -1 ? x : V::Add(x, x);
  return product.slope > 0 ? V::Add(scaled, once) : V::Sub(scaled, once);
}

}  // namespace vector_kernels
