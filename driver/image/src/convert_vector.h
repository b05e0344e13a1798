// Vector conversion kernels, written once over a small set of 16-bit lane
// operations that each instruction set provides (vector_sse2.h,
// vector_avx2.h). Pixels are handled in pairs: one 16-bit lane holds the
// even (left) pixels of the blocks, a second one the odd (right) pixels, so a
// lane's chroma is the same for both. Results are bit-exact with the scalar
// routines, which also convert the columns left over at the end of a row.
#pragma once

#include <cstdint>

#include "colour_converter_impl.h"
#include "colour_tables.h"
#include "convert_scalar.h"
#include "vector_formulas.h"

namespace vector_kernels {

// Order of the block lanes after loading; it undoes the in-lane interleave of
// the stores (one level for 16-bit pixels, two for 32-bit ones).
enum class PairOrder { ForWords, ForDwords };

// Saturating adds clamp at 32767; these offsets put 255 (511 for green in half
// units) at that ceiling, and the unsigned subtraction clamps below at 0.
constexpr std::int16_t kCeiling8 = 32767 - 255;
constexpr std::int16_t kCeiling9 = 32767 - 511;

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

// --- 16 bits ---

template <class V>
struct Rgb565Constants {  // per block lane, for one dither offset
  typename V::Reg blue, red, green;
};

template <class V>
Rgb565Constants<V> WithOffset(typename V::Reg blue, typename V::Reg red, typename V::Reg green, std::uint32_t k) {
  const typename V::Reg k8 = Splat<V>(static_cast<std::int32_t>(k)), k9 = Splat<V>(static_cast<std::int32_t>(2 * k));
  return {V::Add(blue, k8), V::Add(red, k8), V::Add(green, k9)};
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

template <class V>
void ConvertRgb565(const ColourConverter& c, const ImagePlanes& planes, std::uint32_t phase) {
  using Reg = typename V::Reg;
  constexpr PairOrder order = PairOrder::ForWords;
  const std::uint8_t* k = colour::kDitherOffsets[phase & 3];
  const std::uint32_t blocks = c.width / 2, vectorBlocks = blocks - blocks % V::kBlocks;
  ForEachRowPair(c, planes, [&](const RowPair& rows) {
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
    Rgb565RowPair(rows, vectorBlocks, blocks, phase);
  });
}

// --- 24 and 32 bits ---

// Per block lane and channel: T(Y + offset) = SubSatU(AddSat(Y + clampBase,
// MulHiU(Y + productBase, 10773)), ceiling), see LumaValueByProduct.
template <class V>
struct ChannelBases {
  typename V::Reg product, clamp;
};

template <class V>
ChannelBases<V> BasesFor(typename V::Reg offset) {
  const typename V::Reg product = V::Add(offset, Splat<V>(colour::kLumaBiasedOffset));
  return {product, V::Add(product, Splat<V>(colour::kLumaCorrection + kCeiling8))};
}

template <class V>
typename V::Reg Channel(typename V::Reg y, const ChannelBases<V>& bases) {
  const typename V::Reg scaled = V::MulHiU(V::Add(y, bases.product), Splat<V>(colour::kLumaFraction));
  return V::SubSatU(V::AddSat(V::Add(y, bases.clamp), scaled), Splat<V>(kCeiling8));
}

// Output forms of the 24- and 32-bit kernels. `exact` marks the row's last
// register, which must not write past the row's pixels.
struct Bytes3Store {
  static constexpr std::uint32_t kBytes = 3;
  template <class V>
  static void Put(std::uint8_t* at, typename V::Reg dwords, bool exact) {
    V::StoreDwordsAs3Bytes(at, dwords, exact);
  }
};
struct Bytes4Store {
  static constexpr std::uint32_t kBytes = 4;
  template <class V>
  static void Put(std::uint8_t* at, typename V::Reg dwords, bool) {
    V::StoreDwords(at, dwords);
  }
};

// Converts one row's vector of blocks: 2 * kBlocks pixels.
template <class V, class Store>
[[gnu::always_inline]] inline void ConvertRgbRow(const std::uint8_t* luma, std::uint8_t* out,
                                                 const ChannelBases<V> (&bases)[3], bool lastInRow) {
  using Reg = typename V::Reg;
  Reg even, odd;
  V::template LoadLuma<PairOrder::ForDwords>(luma, even, odd);
  // Channel 0 goes to the low byte, 1 (green) to the middle, 2 to the high byte.
  const Reg lowEven = V::Or(Channel<V>(even, bases[0]), V::template Shl<8>(Channel<V>(even, bases[1])));
  const Reg lowOdd = V::Or(Channel<V>(odd, bases[0]), V::template Shl<8>(Channel<V>(odd, bases[1])));
  const Reg highEven = Channel<V>(even, bases[2]), highOdd = Channel<V>(odd, bases[2]);
  const Reg evenFirst = V::UnpackLo16(lowEven, highEven), evenSecond = V::UnpackHi16(lowEven, highEven);
  const Reg oddFirst = V::UnpackLo16(lowOdd, highOdd), oddSecond = V::UnpackHi16(lowOdd, highOdd);
  constexpr std::size_t kStep = V::kBlocks / 2 * Store::kBytes;  // bytes of one register of pixels
  Store::template Put<V>(out, V::UnpackLo32(evenFirst, oddFirst), false);
  Store::template Put<V>(out + kStep, V::UnpackHi32(evenFirst, oddFirst), false);
  Store::template Put<V>(out + 2 * kStep, V::UnpackLo32(evenSecond, oddSecond), false);
  Store::template Put<V>(out + 3 * kStep, V::UnpackHi32(evenSecond, oddSecond), lastInRow);
}

template <class V, class Store>
void ConvertRgb(const ColourConverter& c, const ImagePlanes& planes) {
  using Reg = typename V::Reg;
  constexpr PairOrder order = PairOrder::ForDwords;
  const std::uint32_t blocks = c.width / 2, vectorBlocks = blocks - blocks % V::kBlocks;
  const bool blueLow = c.blueFirst != 0;
  ForEachRowPair(c, planes, [&](const RowPair& rows) {
    for (std::uint32_t i = 0; i < vectorBlocks; i += V::kBlocks) {
      const Reg cb = V::template LoadChroma<order>(rows.cb + i);
      const Reg cr = V::template LoadChroma<order>(rows.cr + i);
      const Reg red = V::Add(ApplyWithoutOffset<V>(colour::kRedOffset, cr), Splat<V>(colour::kRedOffset.offset));
      const Reg green = V::Add(V::Add(ApplyWithoutOffset<V>(colour::kGreenOffsetOfCb, cb),
                                      ApplyWithoutOffset<V>(colour::kGreenOffsetOfCr, cr)),
                               Splat<V>(colour::kGreenOffsetOfCb.offset + colour::kGreenOffsetOfCr.offset));
      const Reg blue = V::Add(ApplyWithoutOffset<V>(colour::kBlueOffset, cb), Splat<V>(colour::kBlueOffset.offset));
      const ChannelBases<V> bases[3] = {BasesFor<V>(blueLow ? blue : red), BasesFor<V>(green),
                                        BasesFor<V>(blueLow ? red : blue)};
      const bool last = i + V::kBlocks == vectorBlocks;
      const std::size_t x = 2 * std::size_t{i};
      ConvertRgbRow<V, Store>(rows.y0 + x, rows.d0 + x * Store::kBytes, bases, last);
      ConvertRgbRow<V, Store>(rows.y1 + x, rows.d1 + x * Store::kBytes, bases, last);
    }
    if constexpr (Store::kBytes == 4) {
      Rgb32RowPair(c, rows, vectorBlocks, blocks);
    } else {
      Rgb24RowPair(c, rows, vectorBlocks, blocks);
    }
  });
}

template <class V>
void ConvertRgb24(const ColourConverter& c, const ImagePlanes& planes, std::uint32_t) {
  ConvertRgb<V, Bytes3Store>(c, planes);
}

template <class V>
void ConvertRgb32(const ColourConverter& c, const ImagePlanes& planes, std::uint32_t) {
  ConvertRgb<V, Bytes4Store>(c, planes);
}

}  // namespace vector_kernels
