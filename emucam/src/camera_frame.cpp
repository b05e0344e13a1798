#include "camera_frame.h"

#include <algorithm>

namespace emucam {
namespace {

void PutBigEndian(std::vector<uint8_t>& out, size_t offset, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out[offset + i] = static_cast<uint8_t>(value >> (8 * (bytes - 1 - i)));
}

// The camera's own header after FF D8: size code, width, height, scan length
// (through the FF D9), frame number, exposure gain. Receivers skip it.
void WriteHeader(std::vector<uint8_t>& out, const FrameInfo& info, size_t scanWithEnd) {
  out[0] = 0xFF;
  out[1] = 0xD8;
  out[2] = info.width <= 320 ? 0x10 : 0x00;
  PutBigEndian(out, 4, static_cast<uint32_t>(info.width), 2);
  PutBigEndian(out, 6, static_cast<uint32_t>(info.height), 2);
  PutBigEndian(out, 8, static_cast<uint32_t>(scanWithEnd), 4);
  PutBigEndian(out, 12, info.frameNumber & 0xFFFF, 2);
  PutBigEndian(out, 14, static_cast<uint32_t>(info.gainPermille), 2);
}

// Overwrites a stretch in the middle of the scan with noise. Writes no 0xFF and leaves
// the byte after an 0xFF alone, so no marker (least of all FF D8) appears.
void CorruptMiddle(std::span<uint8_t> scan, uint32_t seed) {
  const size_t length = std::min<size_t>(256, scan.size() / 4);
  uint32_t state = seed * 2654435761u + 1;
  for (size_t i = scan.size() / 2; i < scan.size() / 2 + length; ++i) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    if (scan[i - 1] == 0xFF) continue;
    scan[i] = static_cast<uint8_t>(state % 0xFF);
  }
}

}  // namespace

void BuildCameraFrame(std::span<const uint8_t> scan, const FrameInfo& info, FrameFault fault,
                      std::vector<uint8_t>& out) {
  const bool withEnd = fault != FrameFault::NoEndOfImage;
  size_t filler = 0;  // extra scan-like bytes that make an oversized frame
  const size_t natural = kFrameHeaderBytes + scan.size() + 2 + PaddingBytes(info.frameNumber);
  if (fault == FrameFault::Oversize && natural < kOversizeFrameBytes) filler = kOversizeFrameBytes - natural;
  const size_t padding = fault == FrameFault::ExcessTrailing ? kMaxPaddingBytes + 1 + PaddingBytes(info.frameNumber)
                                                             : PaddingBytes(info.frameNumber);
  const size_t scanBytes = scan.size() + filler;

  out.assign(kFrameHeaderBytes + scanBytes + (withEnd ? 2 : 0) + padding, 0);
  WriteHeader(out, info, scanBytes + 2);
  std::copy(scan.begin(), scan.end(), out.begin() + kFrameHeaderBytes);
  if (fault == FrameFault::CorruptScan) {
    CorruptMiddle(std::span<uint8_t>(out).subspan(kFrameHeaderBytes, scan.size()), info.frameNumber);
  }
  if (withEnd) {
    out[kFrameHeaderBytes + scanBytes] = 0xFF;
    out[kFrameHeaderBytes + scanBytes + 1] = 0xD9;
  }
}

}  // namespace emucam
