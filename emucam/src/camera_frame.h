// A frame as the camera sends it: 0xFF 0xD8, the camera's 16-byte header, the
// entropy-coded scan, 0xFF 0xD9 and 0 to 14 bytes of padding.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "emucam/camera_options.h"

namespace emucam {

inline constexpr size_t kFrameHeaderBytes = 18;  // marker + camera header
inline constexpr size_t kMaxPaddingBytes = 14;
inline constexpr size_t kOversizeFrameBytes = 45056;  // beyond the receiver's 40960

struct FrameInfo {
  uint32_t frameNumber;
  int width;
  int height;
  int gainPermille;
};

// Writes the frame for `scan` into `out` (reusing its storage), damaged as `fault` says.
void BuildCameraFrame(std::span<const uint8_t> scan, const FrameInfo& info, FrameFault fault,
                      std::vector<uint8_t>& out);

// The padding after the end-of-image marker of an undamaged frame: it cycles through
// 0 to 14 bytes with the frame number.
inline size_t PaddingBytes(uint32_t frameNumber) { return frameNumber % (kMaxPaddingBytes + 1); }

}  // namespace emucam
