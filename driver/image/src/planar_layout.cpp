#include "planar_layout.h"

#include <cstdint>
#include <limits>

bool MakePlanarLayout(std::uint32_t width, std::uint32_t height, std::uint32_t mode, PlanarLayout& layout) {
  if (mode > 2) return false;
  const std::uint64_t pixels = std::uint64_t{width} * height;
  const std::uint32_t bitsPerPixel = 8u + (4u << mode);
  const std::uint64_t size = bitsPerPixel * pixels / 8;
  if (size > std::uint64_t{std::numeric_limits<std::int32_t>::max()}) return false;
  layout.width = width;
  layout.height = height;
  layout.mode = mode;
  layout.bitsPerPixel = bitsPerPixel;
  layout.size = static_cast<std::uint32_t>(size);
  layout.cbOffset = static_cast<std::uint32_t>(pixels);
  layout.crOffset = static_cast<std::uint32_t>(pixels + (bitsPerPixel - 8) * pixels / 16);
  layout.chromaStride = mode == 2 ? width : width >> 1;
  layout.chromaRows = mode == 0 ? height >> 1 : height;
  return true;
}
