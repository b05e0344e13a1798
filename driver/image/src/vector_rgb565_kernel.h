// The 16-bit (RGB565, dithered) vector kernel, for any instruction set of
// vector_sse2.h, vector_avx2.h or vector_avx512.h.
#pragma once

#include <cstdint>

#include "colour_converter_impl.h"
#include "colour_tables.h"
#include "convert_scalar.h"
#include "convert_vector.h"

namespace vector_kernels {

// Saturating adds clamp at 32767; these offsets put 255 (511 for green in half
// units) at that ceiling, and the unsigned subtraction clamps below at 0.
constexpr std::int16_t kCeiling8 = 32767 - 255;
constexpr std::int16_t kCeiling9 = 32767 - 511;

template <class V>
struct Rgb565Constants {  // per block lane, for one dither offset
  typename V::Reg blue, red, green;
};

// The dither offset of one place in the block, for blue and red and for green (in half
// units).
template <class V>
struct DitherOffset {
  typename V::Reg k8, k9;
};

template <class V>
DitherOffset<V> MakeDitherOffset(std::uint32_t k) {
  return {Splat<V>(static_cast<std::int32_t>(k)), Splat<V>(static_cast<std::int32_t>(2 * k))};
}

template <class V>
[[gnu::always_inline]] inline Rgb565Constants<V> WithOffset(typename V::Reg blue, typename V::Reg red,
                                                            typename V::Reg green, const DitherOffset<V>& k) {
  return {V::Add(blue, k.k8), V::Add(red, k.k8), V::Add(green, k.k9)};
}

template <class V>
[[gnu::always_inline]] inline typename V::Reg Rgb565Pixels(typename V::Reg y, const Rgb565Constants<V>& chroma) {
  using Reg = typename V::Reg;
  const Reg x = V::Min(y, Splat<V>(239));
  const Reg xGreen = V::Max(x, Splat<V>(16));  // below 16 luma adds nothing to red and green
  // Luma contributions without their offsets (folded into the chroma constants).
  const Reg blueY = ApplyWithoutOffset<V>(colour::kBlueOfLuma, x);
  const Reg redY = V::Max(blueY, Splat<V>(-colour::kBlueOfLuma.offset));
  const Reg green2Y = ApplyWithoutOffset<V>(colour::kGreen2OfLuma, xGreen);
  const Reg blue = V::SubSatU(V::AddSat(blueY, chroma.blue), Splat<V>(kCeiling8));
  const Reg red = V::SubSatU(V::AddSat(redY, chroma.red), Splat<V>(kCeiling8));
  const Reg green2 = V::SubSatU(V::AddSat(green2Y, chroma.green), Splat<V>(kCeiling9));
  return V::Or(V::Or(V::And(V::template Shl<8>(red), Splat<V>(0xF800 - 0x10000)),
                     V::And(V::template Shl<2>(green2), Splat<V>(0x07E0))),
               V::template ShrU<3>(blue));
}

// The vector blocks [0, vectorBlocks) of a row pair, with the offsets of the four places
// of a block. The loop reads only local copies: its stores may alias any memory.
template <class V>
void ConvertRgb565VectorBlocks(const RowPair rows, const std::uint32_t vectorBlocks, const DitherOffset<V> (&k)[4]) {
  using Reg = typename V::Reg;
  constexpr PairOrder order = PairOrder::ForWords;
  for (std::uint32_t i = 0; i < vectorBlocks; i += V::kBlocks) {
    const Reg cb = V::template LoadChroma<order>(rows.cb + i);
    const Reg cr = V::template LoadChroma<order>(rows.cr + i);
    const Reg blue = V::Add(ApplyWithoutOffset<V>(colour::kBlueOfCb, cb),
                            Splat<V>(colour::kBlueOfCb.offset + colour::kBlueOfLuma.offset + kCeiling8));
    const Reg red = V::Add(ApplyWithoutOffset<V>(colour::kRedOfCr, cr),
                           Splat<V>(colour::kRedOfCr.offset + colour::kBlueOfLuma.offset + kCeiling8));
    const Reg green = V::Add(
        V::Add(ApplyWithoutOffset<V>(colour::kGreen2OfCb, cb), ApplyWithoutOffset<V>(colour::kGreen2OfCr, cr)),
        Splat<V>(colour::kGreen2OfCb.offset + colour::kGreen2OfCr.offset + colour::kGreen2OfLuma.offset + kCeiling9));
    Reg even, odd;
    V::template LoadLuma<order>(rows.y0 + 2 * i, even, odd);
    V::StoreWords(rows.d0 + 4 * i, Rgb565Pixels<V>(even, WithOffset<V>(blue, red, green, k[0])),
                  Rgb565Pixels<V>(odd, WithOffset<V>(blue, red, green, k[1])));
    V::template LoadLuma<order>(rows.y1 + 2 * i, even, odd);
    V::StoreWords(rows.d1 + 4 * i, Rgb565Pixels<V>(even, WithOffset<V>(blue, red, green, k[2])),
                  Rgb565Pixels<V>(odd, WithOffset<V>(blue, red, green, k[3])));
  }
}

template <class V>
void ConvertRgb565(const ColourConverter& c, const ImagePlanes& planes, std::uint32_t phase) {
  const std::uint8_t* offsets = colour::kDitherOffsets[phase & 3];
  const DitherOffset<V> k[4] = {MakeDitherOffset<V>(offsets[0]), MakeDitherOffset<V>(offsets[1]),
                                MakeDitherOffset<V>(offsets[2]), MakeDitherOffset<V>(offsets[3])};
  const std::uint32_t blocks = c.width / 2, vectorBlocks = blocks - blocks % V::kBlocks;
  ForEachRowPair(c, planes, [&](const RowPair& rows) {
    ConvertRgb565VectorBlocks<V>(rows, vectorBlocks, k);
    Rgb565RowPair(rows, vectorBlocks, blocks, phase);
  });
}

}  // namespace vector_kernels
