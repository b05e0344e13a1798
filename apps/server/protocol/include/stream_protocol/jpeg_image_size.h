// Width and height from a JPEG image's frame header.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

struct ImageSize {
  int width = 0;
  int height = 0;
};

// Nothing when the image has no readable start-of-frame segment before its scan.
std::optional<ImageSize> JpegImageSize(std::span<const uint8_t> image);
