#include "convert_scalar.h"

#include <cstring>
#include <new>

#include "colour_tables.h"

namespace {

using colour::DitherTable;

// Guard and bias bits of the three fields, plus blue's spare bit: a sum is in
// range exactly when every bias bit is set and every guard and spare bit clear.
constexpr std::uint32_t kGuardBits = 0x40080100u;
constexpr std::uint32_t kCheckMask = 0xC0180700u;
constexpr std::uint32_t kAllInRange = 0x80100200u;
constexpr std::uint32_t kBlueField = 0x7FFu;

// Clamps the channels of a packed sum that left 0..255. Blue sums reach
// -272..517, past the -256..511 its guard and bias bits can tell apart, so blue
// is first pulled back to the edge of that span (carries stay in its 11 bits).
std::uint32_t RepairSum(std::uint32_t sum) {
  std::uint32_t blue = sum & kBlueField;
  blue = blue < 0x100 ? 0x100 : (blue > 0x3FF ? 0x3FF : blue);
  sum = (sum & ~kBlueField) | blue;
  const std::uint32_t guards = sum & kGuardBits;
  sum |= guards - (guards >> 8);           // over- or underflow: value bits all set
  sum += (kGuardBits & ~(sum >> 1)) >> 8;  // bias clear (negative): roll over to 0
  return sum;
}

inline std::uint16_t Rgb565FromSum(std::uint32_t sum) {
  if ((sum & kCheckMask) != kAllInRange) sum = RepairSum(sum);
  const std::uint32_t p = (sum >> 3) & 0x07E0F81Fu;
  return static_cast<std::uint16_t>(p | (p >> 16));
}

inline void StoreLe16(std::uint8_t* at, std::uint16_t v) {
  at[0] = static_cast<std::uint8_t>(v);
  at[1] = static_cast<std::uint8_t>(v >> 8);
}

inline void StoreLe32(std::uint8_t* at, std::uint32_t v) { std::memcpy(at, &v, 4); }

// Indices in the 32-bit tables block: red for n = -197..452, green for
// n = -132..387, blue for n = -232..487.
constexpr std::int32_t kRed32Base = 197;
constexpr std::int32_t kGreen32Base = 650 + 132;
constexpr std::int32_t kBlue32Base = 650 + 520 + 232;
constexpr std::size_t kWords32 = 650 + 520 + 720;
// The 24-bit table covers n = -232..487 for all three channels.
constexpr std::int32_t kBytes24Base = 232;
constexpr std::size_t kBytes24 = 720;

}  // namespace

void Rgb565RowPair(const RowPair& rows, std::uint32_t firstBlock, std::uint32_t endBlock, std::uint32_t phase) {
  const std::uint8_t* k = colour::kDitherOffsets[phase & 3];
  const std::uint32_t topLeft = colour::DitherWord(k[0]), topRight = colour::DitherWord(k[1]);
  const std::uint32_t bottomLeft = colour::DitherWord(k[2]), bottomRight = colour::DitherWord(k[3]);
  for (std::uint32_t i = firstBlock; i < endBlock; ++i) {
    const std::uint32_t chroma = DitherTable[256 + rows.cb[i]] + DitherTable[512 + rows.cr[i]];
    const std::size_t x = 2 * std::size_t{i};
    StoreLe16(rows.d0 + 2 * x, Rgb565FromSum(DitherTable[rows.y0[x]] + chroma + topLeft));
    StoreLe16(rows.d0 + 2 * x + 2, Rgb565FromSum(DitherTable[rows.y0[x + 1]] + chroma + topRight));
    StoreLe16(rows.d1 + 2 * x, Rgb565FromSum(DitherTable[rows.y1[x]] + chroma + bottomLeft));
    StoreLe16(rows.d1 + 2 * x + 2, Rgb565FromSum(DitherTable[rows.y1[x + 1]] + chroma + bottomRight));
  }
}

void Rgb24RowPair(const ColourConverter& c, const RowPair& rows, std::uint32_t firstBlock, std::uint32_t endBlock) {
  const std::uint8_t* table = c.lumaBytes.get();
  const ChromaRows& chroma = *c.chromaRows;
  // Byte positions of red and blue in a pixel; green is always in the middle.
  const std::size_t redAt = c.blueFirst ? 2 : 0, blueAt = 2 - redAt;
  for (std::uint32_t i = firstBlock; i < endBlock; ++i) {
    const std::uint8_t* red = table + chroma.red[rows.cr[i]];
    const std::uint8_t* green = table + chroma.greenOfCb[rows.cb[i]] + chroma.greenExtra[rows.cr[i]];
    const std::uint8_t* blue = table + chroma.blue[rows.cb[i]];
    const std::size_t x = 2 * std::size_t{i};
    for (std::size_t dx = 0; dx < 2; ++dx) {
      for (auto [luma, out] :
           {std::pair{rows.y0[x + dx], rows.d0 + 3 * (x + dx)}, std::pair{rows.y1[x + dx], rows.d1 + 3 * (x + dx)}}) {
        out[redAt] = red[luma];
        out[1] = green[luma];
        out[blueAt] = blue[luma];
      }
    }
  }
}

void Rgb32RowPair(const ColourConverter& c, const RowPair& rows, std::uint32_t firstBlock, std::uint32_t endBlock) {
  const std::uint32_t* table = c.lumaWords.get();
  const ChromaRows& chroma = *c.chromaRows;
  for (std::uint32_t i = firstBlock; i < endBlock; ++i) {
    const std::uint32_t* red = table + chroma.red[rows.cr[i]];
    const std::uint32_t* green = table + chroma.greenOfCb[rows.cb[i]] + chroma.greenExtra[rows.cr[i]];
    const std::uint32_t* blue = table + chroma.blue[rows.cb[i]];
    const std::size_t x = 2 * std::size_t{i};
    for (std::size_t dx = 0; dx < 2; ++dx) {
      const std::uint8_t top = rows.y0[x + dx], bottom = rows.y1[x + dx];
      StoreLe32(rows.d0 + 4 * (x + dx), red[top] + green[top] + blue[top]);
      StoreLe32(rows.d1 + 4 * (x + dx), red[bottom] + green[bottom] + blue[bottom]);
    }
  }
}

void ConvertRgb565Scalar(const ColourConverter& c, const ImagePlanes& planes, std::uint32_t phase) {
  ForEachRowPair(c, planes, [&](const RowPair& rows) { Rgb565RowPair(rows, 0, c.width / 2, phase); });
}

void ConvertRgb24Scalar(const ColourConverter& c, const ImagePlanes& planes, std::uint32_t) {
  ForEachRowPair(c, planes, [&](const RowPair& rows) { Rgb24RowPair(c, rows, 0, c.width / 2); });
}

void ConvertRgb32Scalar(const ColourConverter& c, const ImagePlanes& planes, std::uint32_t) {
  ForEachRowPair(c, planes, [&](const RowPair& rows) { Rgb32RowPair(c, rows, 0, c.width / 2); });
}

bool BuildScalarTables(ColourConverter& c) {
  std::uint8_t lumaTable[colour::kLumaTableSize];
  for (std::size_t i = 0; i < colour::kLumaTableSize; ++i)
    lumaTable[i] = colour::LumaValue(static_cast<std::int32_t>(i) + colour::kLumaTableFirst);
  auto T = [&](std::int32_t n) { return lumaTable[n - colour::kLumaTableFirst]; };

  c.chromaRows.reset(new (std::nothrow) ChromaRows);
  if (!c.chromaRows) return false;
  ChromaRows& rows = *c.chromaRows;
  const bool words = c.bitsPerPixel == 32;
  const std::int32_t redBase = words ? kRed32Base : kBytes24Base;
  const std::int32_t greenBase = words ? kGreen32Base : kBytes24Base;
  const std::int32_t blueBase = words ? kBlue32Base : kBytes24Base;
  for (std::int32_t v = 0; v < 256; ++v) {
    rows.red[v] = redBase + colour::RedOffset(v);
    rows.greenOfCb[v] = greenBase + colour::GreenOffsetOfCb(v);
    rows.greenExtra[v] = colour::GreenOffsetOfCr(v);
    rows.blue[v] = blueBase + colour::BlueOffset(v);
  }

  if (!words) {
    c.lumaBytes.reset(new (std::nothrow) std::uint8_t[kBytes24]);
    if (!c.lumaBytes) return false;
    for (std::size_t i = 0; i < kBytes24; ++i) c.lumaBytes[i] = T(static_cast<std::int32_t>(i) - kBytes24Base);
    return true;
  }

  c.lumaWords.reset(new (std::nothrow) std::uint32_t[kWords32]);
  if (!c.lumaWords) return false;
  const std::uint32_t redShift = c.blueFirst ? 16 : 0, blueShift = 16 - redShift;
  for (std::int32_t n = -197; n <= 452; ++n)
    c.lumaWords[static_cast<std::size_t>(kRed32Base + n)] = std::uint32_t{T(n)} << redShift;
  for (std::int32_t n = -132; n <= 387; ++n)
    c.lumaWords[static_cast<std::size_t>(kGreen32Base + n)] = std::uint32_t{T(n)} << 8;
  for (std::int32_t n = -232; n <= 487; ++n)
    c.lumaWords[static_cast<std::size_t>(kBlue32Base + n)] = std::uint32_t{T(n)} << blueShift;
  return true;
}
