// The 24- and 32-bit vector kernels, for any instruction set of vector_sse2.h,
// vector_avx2.h or vector_avx512.h.
#pragma once

#include <algorithm>
#include <cstdint>

#include "colour_converter_impl.h"
#include "colour_tables.h"
#include "convert_scalar.h"
#include "convert_vector.h"

namespace vector_kernels {

// Per block lane and channel, 7 * offset - 115: a pixel's channel is then
// MulHiS(7Y + base, 10901), clamped by the byte pack (see LumaValueBySignedProduct).
template <class V>
typename V::Reg ScaledBase(typename V::Reg offsetWithoutConstant, std::int32_t constant) {
  return V::Add(V::MulLo(offsetWithoutConstant, Opaque(Splat<V>(colour::kLumaScale))),
                Splat<V>(colour::kLumaScale * constant + colour::kLumaScaledBias));
}

// One row's 2 * kBlocks pixels, channel by channel, before clamping: 16-bit lanes
// for the left (even) and right (odd) pixels of each block.
template <class V>
struct RowChannels {
  typename V::Reg even[3], odd[3];
};

template <class V, PairOrder kOrder>
[[gnu::always_inline]] inline RowChannels<V> ComputeChannels(const std::uint8_t* luma, const typename V::Reg* bases) {
  using Reg = typename V::Reg;
  Reg even, odd;
  V::template LoadScaledLuma<kOrder>(luma, even, odd);
  const Reg factor = Splat<V>(colour::kLumaScaledFactor);
  RowChannels<V> channels;
  for (int channel = 0; channel < 3; ++channel) {
    channels.even[channel] = V::MulHiS(V::Add(even, bases[channel]), factor);
    channels.odd[channel] = V::MulHiS(V::Add(odd, bases[channel]), factor);
  }
  return channels;
}

// The row's pixels as four registers of 32-bit words in pixel order: channel 0 in
// the low byte, 1 (green) in the middle, 2 in the high byte, the top byte 0. The
// packs clamp every channel to 0..255.
template <class V>
[[gnu::always_inline]] inline void PixelDwords(const RowChannels<V>& ch, typename V::Reg (&dwords)[4]) {
  using Reg = typename V::Reg;
  const Reg channel0 = V::PackUS(ch.even[0], ch.odd[0]), channel1 = V::PackUS(ch.even[1], ch.odd[1]);
  const Reg channel2 = V::PackUS(ch.even[2], ch.odd[2]);
  // Channels 0 and 1 as 16-bit words, of the left pixels and of the right ones, then
  // in pixel order; channel 2 widened to 16-bit words in pixel order.
  const Reg lowEven = V::UnpackLo8(channel0, channel1), lowOdd = V::UnpackHi8(channel0, channel1);
  const Reg lowFirst = V::UnpackLo16(lowEven, lowOdd), lowSecond = V::UnpackHi16(lowEven, lowOdd);
  Reg highFirst, highSecond;
  V::WidenInPixelOrder(channel2, highFirst, highSecond);
  dwords[0] = V::UnpackLo16(lowFirst, highFirst);
  dwords[1] = V::UnpackHi16(lowFirst, highFirst);
  dwords[2] = V::UnpackLo16(lowSecond, highSecond);
  dwords[3] = V::UnpackHi16(lowSecond, highSecond);
}

// The row's pixels as four registers of two 64-bit words, each holding the 6 bytes
// of one block (left pixel, right pixel) and 2 spare bytes, blocks in order. For
// instruction sets without a byte shuffle: 6 bytes per block are then plain stores.
template <class V>
[[gnu::always_inline]] inline void BlockQwords(const RowChannels<V>& ch, typename V::Reg (&qwords)[4]) {
  using Reg = typename V::Reg;
  // The three 16-bit words of each block: (0, 1) of the left pixel, (2 left, 0 right)
  // and (1, 2) of the right pixel.
  const Reg first = V::PackUS(ch.even[0], ch.even[2]), second = V::PackUS(ch.even[1], ch.odd[0]);
  const Reg third = V::PackUS(ch.odd[1], ch.odd[2]);
  const Reg word0 = V::UnpackLo8(first, second), word1 = V::UnpackHi8(first, second);
  const Reg word2 = V::UnpackLo8(third, V::UnpackHi64(third, third));
  const Reg front = V::UnpackLo16(word0, word1), back = V::UnpackHi16(word0, word1);
  const Reg frontLast = V::UnpackLo16(word2, word2), backLast = V::UnpackHi16(word2, word2);
  qwords[0] = V::UnpackLo32(front, frontLast);
  qwords[1] = V::UnpackHi32(front, frontLast);
  qwords[2] = V::UnpackLo32(back, backLast);
  qwords[3] = V::UnpackHi32(back, backLast);
}

// Output forms of the 24- and 32-bit kernels. `lastInRow` marks the row's last
// vector, whose stores must not write past the row's pixels.
struct Bytes3Store {
  static constexpr std::uint32_t kBytes = 3;
  template <class V>
  static constexpr PairOrder kOrder =
      V::kRgb24Form == Rgb24Form::ChannelBytes ? PairOrder::AsLoaded : PairOrder::ForDwords;
  template <class V>
  static void Put(std::uint8_t* at, const RowChannels<V>& channels, bool lastInRow) {
    typename V::Reg regs[4];
    if constexpr (V::kRgb24Form == Rgb24Form::ChannelBytes) {
      // Exact stores: nothing past the row's pixels either way.
      V::StoreChannelsAs3Bytes(at, V::PackUS(channels.even[0], channels.odd[0]),
                               V::PackUS(channels.even[1], channels.odd[1]),
                               V::PackUS(channels.even[2], channels.odd[2]));
    } else if constexpr (V::kRgb24Form == Rgb24Form::PixelDwords) {
      PixelDwords<V>(channels, regs);
      V::StoreDwordsAs3Bytes(at, regs, lastInRow);
    } else {
      BlockQwords<V>(channels, regs);
      V::StoreQwordsAs6Bytes(at, regs, lastInRow);
    }
  }
};
struct Bytes4Store {
  static constexpr std::uint32_t kBytes = 4;
  template <class V>
  static constexpr PairOrder kOrder = PairOrder::ForDwords;
  template <class V>
  static void Put(std::uint8_t* at, const RowChannels<V>& channels, bool) {
    typename V::Reg dwords[4];
    PixelDwords<V>(channels, dwords);
    constexpr std::size_t kStep = V::kBlocks / 2 * kBytes;
    for (int i = 0; i < 4; ++i) V::StoreDwords(at + i * kStep, dwords[i]);
  }
};

// Per block lane, the three channel bases of chroma vector i.
template <class V, PairOrder kOrder, bool kBlueLow>
[[gnu::always_inline]] inline void ChannelBases(const RowPair& rows, std::uint32_t i, typename V::Reg* bases) {
  using Reg = typename V::Reg;
  const Reg cb = V::template LoadChroma<kOrder>(rows.cb + i);
  const Reg cr = V::template LoadChroma<kOrder>(rows.cr + i);
  const Reg red = ScaledBase<V>(ApplyWithoutOffset<V>(colour::kRedOffset, cr), colour::kRedOffset.offset);
  const Reg green = ScaledBase<V>(
      V::Add(ApplyWithoutOffset<V>(colour::kGreenOffsetOfCb, cb), ApplyWithoutOffset<V>(colour::kGreenOffsetOfCr, cr)),
      colour::kGreenOffsetOfCb.offset + colour::kGreenOffsetOfCr.offset);
  const Reg blue = ScaledBase<V>(ApplyWithoutOffset<V>(colour::kBlueOffset, cb), colour::kBlueOffset.offset);
  bases[0] = kBlueLow ? blue : red;
  bases[1] = green;
  bases[2] = kBlueLow ? red : blue;
}

// Output is asked for this far ahead, for writing: a caller's buffer is often out of
// the caches, and converting into lines that must first be fetched stalls the stores.
constexpr std::size_t kOutputPrefetchBytes = 4096;

// The output lines of the vector at `at`, kOutputPrefetchBytes further on (past the
// end of the image near its end, which a prefetch may do).
template <class V, class Store>
[[gnu::always_inline]] inline void PrefetchOutput(const std::uint8_t* at) {
  const std::uintptr_t ahead = reinterpret_cast<std::uintptr_t>(at) + kOutputPrefetchBytes;
  for (std::size_t line = 0; line < 2 * V::kBlocks * Store::kBytes; line += 64)
    __builtin_prefetch(reinterpret_cast<const void*>(ahead + line), 1);
}

// Vectors of a row pair converted per pass: the top row of a run of them first,
// keeping its chroma bases, then the bottom row. One output row at a time is
// written, and the bases wait in memory instead of in registers.
constexpr std::uint32_t kVectorsPerRun = 8;

// The vector blocks [0, vectorBlocks) of a row pair. Everything the loops read is a
// local copy: the byte stores may alias any memory, so values reached through
// references would be loaded again after every store.
template <class V, class Store, bool kBlueLow>
void ConvertRgbVectorBlocks(const RowPair rows, const std::uint32_t vectorBlocks) {
  using Reg = typename V::Reg;
  constexpr PairOrder order = Store::template kOrder<V>;
  Reg bases[kVectorsPerRun][3];
  for (std::uint32_t run = 0; run < vectorBlocks; run += kVectorsPerRun * V::kBlocks) {
    const std::uint32_t end = std::min(vectorBlocks, run + kVectorsPerRun * V::kBlocks);
    for (std::uint32_t i = run, k = 0; i < end; i += V::kBlocks, ++k) {
      ChannelBases<V, order, kBlueLow>(rows, i, bases[k]);
      const std::size_t x = 2 * std::size_t{i};
      PrefetchOutput<V, Store>(rows.d0 + x * Store::kBytes);
      Store::template Put<V>(rows.d0 + x * Store::kBytes, ComputeChannels<V, order>(rows.y0 + x, bases[k]),
                             i + V::kBlocks == vectorBlocks);
    }
    for (std::uint32_t i = run, k = 0; i < end; i += V::kBlocks, ++k) {
      const std::size_t x = 2 * std::size_t{i};
      PrefetchOutput<V, Store>(rows.d1 + x * Store::kBytes);
      Store::template Put<V>(rows.d1 + x * Store::kBytes, ComputeChannels<V, order>(rows.y1 + x, bases[k]),
                             i + V::kBlocks == vectorBlocks);
    }
  }
}

// kBlueLow: blue in the low byte (the byte order flag), as a constant of the loop.
template <class V, class Store, bool kBlueLow>
void ConvertRgbInOrder(const ColourConverter& c, const ImagePlanes& planes) {
  const std::uint32_t blocks = c.width / 2, vectorBlocks = blocks - blocks % V::kBlocks;
  ForEachRowPair(c, planes, [&](const RowPair& rows) {
    ConvertRgbVectorBlocks<V, Store, kBlueLow>(rows, vectorBlocks);
    if constexpr (Store::kBytes == 4) {
      Rgb32RowPair(c, rows, vectorBlocks, blocks);
    } else {
      Rgb24RowPair(c, rows, vectorBlocks, blocks);
    }
  });
}

template <class V, class Store>
void ConvertRgb(const ColourConverter& c, const ImagePlanes& planes) {
  if (c.blueFirst) {
    ConvertRgbInOrder<V, Store, true>(c, planes);
  } else {
    ConvertRgbInOrder<V, Store, false>(c, planes);
  }
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
