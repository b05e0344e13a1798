// The emulated camera's moving test pattern: colour bars, a grey ramp, a box that moves
// one step per frame and the frame number in seven-segment digits that a test can read
// back from a decoded picture.
#pragma once

#include <cstdint>
#include <optional>

#include "emucam/planar_image.h"

namespace emucam {

class TestPattern {
 public:
  // The still parts are drawn once here; width a multiple of 16, height of 8.
  TestPattern(int width, int height);

  // Draws frame `frameNumber` into `out` (resized when needed).
  void Render(uint32_t frameNumber, PlanarImage& out) const;

  int width() const { return still_.width; }
  int height() const { return still_.height; }

 private:
  PlanarImage still_;
};

// Digits shown (the frame number modulo 10^kFrameNumberDigits).
inline constexpr int kFrameNumberDigits = 8;

// Reads the frame number back from the luma plane of a rendered (or decoded) pattern.
// Nullopt when a digit cannot be recognised.
std::optional<uint32_t> ReadFrameNumber(const uint8_t* luma, int stride, int width, int height);

}  // namespace emucam
