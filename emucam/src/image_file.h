// Still pictures for the frame source: a JPEG or binary PPM file, scaled to the frame
// size and converted to 4:2:2 planes once.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "emucam/planar_image.h"

namespace emucam {

struct RgbImage {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> pixels;  // R, G, B per pixel, rows packed
};

std::optional<RgbImage> LoadImageFile(const std::string& path, std::string& error);

// Scales (nearest sample) to width x height and converts to YCbCr with the JPEG (full
// range BT.601) matrix; chroma is the average of each horizontal pair.
PlanarImage ToPlanar422(const RgbImage& image, int width, int height);

}  // namespace emucam
