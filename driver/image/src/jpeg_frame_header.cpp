#include "jpeg_frame_header.h"

#include <cstring>

#include "image/jpeg_decoder.h"
#include "image/jpeg_header.h"

namespace {

constexpr std::uint8_t kSoi = 0xD8, kEoi = 0xD9, kSos = 0xDA, kSof0 = 0xC0, kDht = 0xC4;

// The constant header's DHT segment, from its marker on: the four typical tables.
constexpr std::size_t kTypicalTablesAt = 136, kTypicalTablesLength = 420;

void NoteTables(const std::uint8_t* data, std::size_t at, std::uint32_t segmentLength, FrameHeader& header) {
  const std::size_t marker = at - 2;
  const bool typical =
      segmentLength + 2 == kTypicalTablesLength &&
      std::memcmp(data + marker, JpegHeaderTemplate.data() + kTypicalTablesAt, kTypicalTablesLength) == 0;
  if (typical && header.typicalTablesAt == 0) {
    header.typicalTablesAt = marker;
    header.typicalTablesLength = kTypicalTablesLength;
  } else {
    header.otherTables = true;
  }
}

// A DHT marker anywhere in the `length` bytes at `data` (entropy-coded data holds 0xFF
// only as FF 00 or before a marker).
bool HasTablesFrom(const std::uint8_t* data, std::size_t length) {
  const std::uint8_t* end = data + length;
  for (const std::uint8_t* at = data; at + 1 < end; ++at) {
    at = static_cast<const std::uint8_t*>(std::memchr(at, 0xFF, static_cast<std::size_t>(end - at - 1)));
    if (at == nullptr) return false;
    if (at[1] == kDht) return true;
  }
  return false;
}

struct Sampling {
  std::uint8_t factors[3];  // horizontal << 4 | vertical, components 1 to 3
  std::uint32_t mode;
};

// Accepted combinations; the mode says how densely chroma is sampled relative
// to luma, so 2x2 luma with 1x2 chroma is 4:2:2.
constexpr Sampling kAccepted[] = {
    {{0x22, 0x11, 0x11}, kSamplingMode420}, {{0x21, 0x11, 0x11}, kSamplingMode422},
    {{0x22, 0x12, 0x12}, kSamplingMode422}, {{0x11, 0x11, 0x11}, kSamplingMode444},
    {{0x22, 0x22, 0x22}, kSamplingMode444},
};

bool IsFrameHeader(std::uint8_t marker) {
  // SOF0..SOF15 except DHT (C4), JPG (C8) and DAC (CC).
  return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

bool IsStandalone(std::uint8_t marker) { return marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7); }

std::uint32_t Read16(const std::uint8_t* at) { return std::uint32_t{at[0]} << 8 | at[1]; }

bool ParseSof0(const std::uint8_t* segment, std::uint32_t length, FrameHeader& header) {
  // precision, height, width, component count, then three bytes per component
  if (length < 6 + 3 * 3 || segment[0] != 8 || segment[5] != 3) return false;
  const std::uint8_t factors[3] = {segment[7], segment[10], segment[13]};
  for (const Sampling& accepted : kAccepted) {
    if (factors[0] != accepted.factors[0] || factors[1] != accepted.factors[1] || factors[2] != accepted.factors[2])
      continue;
    header.height = Read16(segment + 1);
    header.width = Read16(segment + 3);
    header.mode = accepted.mode;
    header.mcuWidth = 8u * (factors[0] >> 4);
    header.mcuHeight = 8u * (factors[0] & 0x0F);
    return header.width > 0 && header.height > 0;
  }
  return false;
}

}  // namespace

bool ReadFrameHeader(const std::uint8_t* data, std::size_t length, FrameHeader& header) {
  if (length < 4 || data[0] != 0xFF || data[1] != kSoi) return false;
  std::size_t at = 2;
  bool found = false;
  header.typicalTablesAt = header.typicalTablesLength = 0;
  header.otherTables = false;
  while (at + 1 < length) {
    if (data[at] != 0xFF) {  // stray byte between segments: skip, as the decoder does
      ++at;
      continue;
    }
    const std::uint8_t marker = data[at + 1];
    if (marker == 0xFF) {  // fill byte
      ++at;
      continue;
    }
    at += 2;
    if (IsStandalone(marker)) continue;
    if (marker == kEoi || marker == 0x00) return false;
    if (at + 2 > length) return false;
    const std::uint32_t segmentLength = Read16(data + at);
    if (segmentLength < 2 || at + segmentLength > length) return false;
    // The library would make a picture even of a scan without a byte of data.
    if (marker == kSos) {
      if (HasTablesFrom(data + at + segmentLength, length - at - segmentLength)) header.otherTables = true;
      return found && at + segmentLength < length;
    }
    if (marker == kDht) NoteTables(data, at, segmentLength, header);
    if (IsFrameHeader(marker) && !found) {
      if (marker != kSof0 || !ParseSof0(data + at + 2, segmentLength - 2, header)) return false;
      found = true;
    }
    at += segmentLength;
  }
  return false;
}
