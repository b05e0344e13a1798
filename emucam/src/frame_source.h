// The pictures the camera sees: the moving test pattern or a still image, at the size
// and brightness the controller is set to.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <utility>

#include "controller.h"
#include "emucam/planar_image.h"
#include "emucam/test_pattern.h"
#include "image_file.h"

namespace emucam {

class FrameSource {
 public:
  // Without a still image the source draws the test pattern.
  explicit FrameSource(std::optional<RgbImage> still = std::nullopt) : still_(std::move(still)) {}

  // The picture of frame `frameNumber`; valid until the next call.
  const PlanarImage& Render(uint32_t frameNumber, const PictureSettings& settings);

 private:
  using Size = std::pair<int, int>;
  std::optional<RgbImage> still_;
  std::map<Size, TestPattern> patterns_;  // drawn once per size
  std::map<Size, PlanarImage> stills_;    // scaled once per size
  PlanarImage picture_;
};

// Scales the light falling on the sensor: luma and the chroma's distance from grey by
// gainPermille / 1000, clamped to 0..255.
void ApplyGain(PlanarImage& image, int gainPermille);

}  // namespace emucam
