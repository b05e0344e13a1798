#include "image/chroma.h"

#include <cstddef>
#include <cstring>

void ReduceChromaTo420(const std::uint8_t* source, std::uint8_t* destination, std::uint32_t width,
                       std::uint32_t height) {
  const std::size_t lumaBytes = std::size_t{width} * height;
  const std::size_t chromaWidth = width / 2;
  std::memcpy(destination, source, lumaBytes);

  const std::uint8_t* cbIn = source + lumaBytes;
  const std::uint8_t* crIn = cbIn + chromaWidth * height;
  std::uint8_t* cbOut = destination + lumaBytes;
  std::uint8_t* crOut = cbOut + chromaWidth * (height / 2);
  for (std::size_t row = 0; row < height / 2; ++row) {
    std::memcpy(cbOut + row * chromaWidth, cbIn + 2 * row * chromaWidth, chromaWidth);
    std::memcpy(crOut + row * chromaWidth, crIn + 2 * row * chromaWidth, chromaWidth);
  }
}
