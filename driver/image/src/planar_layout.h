// Geometry of the decoder's contiguous planar buffer: Y, Cb, Cr back to back,
// rows packed without gaps.
#pragma once

#include <cstdint>

struct PlanarLayout {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::uint32_t mode = 0;
  std::uint32_t bitsPerPixel = 0;
  std::uint32_t size = 0;  // bytes of the whole buffer
  std::uint32_t cbOffset = 0;
  std::uint32_t crOffset = 0;
  std::uint32_t chromaStride = 0;
  std::uint32_t chromaRows = 0;

  bool operator==(const PlanarLayout&) const = default;
};

// False when the buffer would not fit the 32-bit size of a decode result.
bool MakePlanarLayout(std::uint32_t width, std::uint32_t height, std::uint32_t mode, PlanarLayout& layout);
