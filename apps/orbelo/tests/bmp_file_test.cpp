// The bytes of a BMP file: both header layouts field by field, bottom-up rows, and what a
// real BMP reader (Qt's) makes of the file at each depth.
#include <gtest/gtest.h>

#include <QImage>
#include <cstring>
#include <vector>

#include "appcommon/display_format.h"
#include "bmp_check.h"
#include "orbelo/bmp_file.h"

namespace {

constexpr uint32_t kWidth = 320, kHeight = 240;

// A frame of made-up pixels, different in every row and column.
std::vector<uint8_t> MadeUpFrame(unsigned bitsPerPixel) {
  std::vector<uint8_t> frame(size_t{kWidth} * kHeight * bitsPerPixel / 8);
  uint32_t state = 12345;
  for (uint8_t& byte : frame) {
    state = state * 1103515245u + 12345u;
    byte = static_cast<uint8_t>(state >> 16);
  }
  // RGB32 words keep their top byte zero, as the driver delivers them.
  if (bitsPerPixel == 32) {
    for (size_t i = 3; i < frame.size(); i += 4) frame[i] = 0;
  }
  return frame;
}

QImage FrameImage(const std::vector<uint8_t>& frame, unsigned bitsPerPixel) {
  return QImage(frame.data(), kWidth, kHeight, static_cast<qsizetype>(kWidth * bitsPerPixel / 8),
                ImageFormatForDepth(bitsPerPixel));
}

class BmpFileAtDepth : public ::testing::TestWithParam<std::pair<unsigned, size_t>> {};

TEST_P(BmpFileAtDepth, HasTheHeadersTheSizeAndBottomUpRows) {
  const auto [bits, expectedSize] = GetParam();
  const std::vector<uint8_t> frame = MadeUpFrame(bits);
  const std::vector<uint8_t> file = BmpFileBytes(kWidth, kHeight, bits, frame.data());
  ASSERT_EQ(file.size(), expectedSize);
  ExpectBmpHeaders(file, bits);

  const size_t offset = bits == 16 ? 70 : 54;
  const size_t rowBytes = size_t{kWidth} * bits / 8;
  for (size_t fileRow = 0; fileRow < kHeight; ++fileRow) {
    const size_t frameRow = kHeight - 1 - fileRow;
    ASSERT_EQ(std::memcmp(file.data() + offset + fileRow * rowBytes, frame.data() + frameRow * rowBytes, rowBytes), 0)
        << "file row " << fileRow;
  }
}

TEST_P(BmpFileAtDepth, ReadsBackAsTheFrame) {
  const unsigned bits = GetParam().first;
  const std::vector<uint8_t> frame = MadeUpFrame(bits);
  const std::vector<uint8_t> file = BmpFileBytes(kWidth, kHeight, bits, frame.data());
  const QImage readBack =
      QImage::fromData(reinterpret_cast<const uchar*>(file.data()), static_cast<int>(file.size()), "BMP");
  ASSERT_FALSE(readBack.isNull());
  ASSERT_EQ(readBack.size(), QSize(kWidth, kHeight));
  EXPECT_EQ(PixelsDiffering(readBack, FrameImage(frame, bits), bits), 0);
}

INSTANTIATE_TEST_SUITE_P(Depths, BmpFileAtDepth,
                         ::testing::Values(std::pair<unsigned, size_t>{16, 153670},
                                           std::pair<unsigned, size_t>{24, 230454},
                                           std::pair<unsigned, size_t>{32, 307254}),
                         [](const auto& depth) { return std::to_string(depth.param.first) + "Bits"; });

TEST(BmpFile, RefusesWhatItCannotWriteAsAValidFile) {
  const std::vector<uint8_t> frame = MadeUpFrame(32);
  EXPECT_TRUE(BmpFileBytes(kWidth, kHeight, 24, nullptr).empty());
  EXPECT_TRUE(BmpFileBytes(0, kHeight, 24, frame.data()).empty());
  EXPECT_TRUE(BmpFileBytes(kWidth, 0, 24, frame.data()).empty());
  EXPECT_TRUE(BmpFileBytes(kWidth, kHeight, 8, frame.data()).empty());
  EXPECT_TRUE(BmpFileBytes(kWidth, kHeight, 12, frame.data()).empty());
  // 3 x 24 bits = 9 bytes a row would need padding.
  EXPECT_TRUE(BmpFileBytes(3, 2, 24, frame.data()).empty());
  // Over 4 GiB of pixels.
  EXPECT_TRUE(BmpFileBytes(65536, 65536, 32, frame.data()).empty());
  // A small picture with rows of whole words is fine.
  EXPECT_EQ(BmpFileBytes(4, 2, 24, frame.data()).size(), 54u + 24u);
}

}  // namespace
