#include "image/chroma.h"

#include <gtest/gtest.h>

#include <numeric>
#include <vector>

namespace {

TEST(ReduceChromaTo420, SmallImageCopiesLumaThenEvenChromaRows) {
  // 4 x 2 image: Y 8 bytes, Cb 2 x 2, Cr 2 x 2.
  std::vector<std::uint8_t> source(16);
  std::iota(source.begin(), source.end(), 1);
  std::vector<std::uint8_t> destination(12 + 4, 0xEE);  // 4 bytes of slack must stay untouched
  ReduceChromaTo420(source.data(), destination.data(), 4, 2);
  EXPECT_EQ(destination, (std::vector<std::uint8_t>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 13, 14, 0xEE, 0xEE, 0xEE, 0xEE}));
}

TEST(ReduceChromaTo420, CameraSizeTakesEveryOtherChromaRow) {
  const std::uint32_t width = 320, height = 240, chromaWidth = 160;
  std::vector<std::uint8_t> source(width * height * 2);
  for (std::size_t i = 0; i < source.size(); ++i) source[i] = static_cast<std::uint8_t>(i * 31 + i / 977);
  std::vector<std::uint8_t> destination(width * height * 3 / 2);
  ReduceChromaTo420(source.data(), destination.data(), width, height);

  EXPECT_TRUE(std::equal(source.begin(), source.begin() + width * height, destination.begin()));
  const std::uint8_t* cbIn = source.data() + width * height;
  const std::uint8_t* crIn = cbIn + chromaWidth * height;
  const std::uint8_t* cbOut = destination.data() + width * height;
  const std::uint8_t* crOut = cbOut + chromaWidth * height / 2;
  for (std::uint32_t row = 0; row < height / 2; ++row) {
    ASSERT_TRUE(
        std::equal(cbIn + 2 * row * chromaWidth, cbIn + (2 * row + 1) * chromaWidth, cbOut + row * chromaWidth));
    ASSERT_TRUE(
        std::equal(crIn + 2 * row * chromaWidth, crIn + (2 * row + 1) * chromaWidth, crOut + row * chromaWidth));
  }
}

}  // namespace
