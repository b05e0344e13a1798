// The pixel format chosen for a display depth: the driver's bytes, shown through the
// matching QImage format without conversion, give the intended colours.
#include <gtest/gtest.h>

#include <QColor>
#include <QImage>
#include <cstring>

#include "appcommon/display_format.h"
#include "velmar/vlm_ioctl.h"

namespace {

QColor PixelThroughImage(unsigned bits, const uint8_t* bytes) {
  // A two-pixel row: the second pixel proves the stride is the driver's packed one.
  uint8_t row[8] = {};
  std::memcpy(row + bits / 8, bytes, bits / 8);
  const QImage image(row, 2, 1, static_cast<qsizetype>(2 * bits / 8), ImageFormatForDepth(bits));
  return image.pixelColor(1, 0);
}

TEST(DisplayFormat, DepthPicksTheDriversFormatCode) {
  EXPECT_EQ(PixelFormatCode(16), static_cast<int>(VLM_FORMAT_RGB565));
  EXPECT_EQ(PixelFormatCode(24), static_cast<int>(VLM_FORMAT_RGB24));
  EXPECT_EQ(PixelFormatCode(32), static_cast<int>(VLM_FORMAT_RGB32));
  EXPECT_EQ(PixelFormatCode(8), -1);
  EXPECT_EQ(PixelFormatCode(15), -1);
  EXPECT_EQ(ImageFormatForDepth(8), QImage::Format_Invalid);
}

TEST(DisplayFormat, Rgb565WordsReadAsTheirColours) {
  const uint8_t red[] = {0x00, 0xF8};    // 0xF800
  const uint8_t green[] = {0xE0, 0x07};  // 0x07E0
  const uint8_t blue[] = {0x1F, 0x00};   // 0x001F
  EXPECT_EQ(PixelThroughImage(16, red), QColor(255, 0, 0));
  EXPECT_EQ(PixelThroughImage(16, green), QColor(0, 255, 0));
  EXPECT_EQ(PixelThroughImage(16, blue), QColor(0, 0, 255));
}

TEST(DisplayFormat, Rgb24BytesAreBlueGreenRed) {
  const uint8_t pixel[] = {0x10, 0x20, 0x30};
  EXPECT_EQ(PixelThroughImage(24, pixel), QColor(0x30, 0x20, 0x10));
}

TEST(DisplayFormat, Rgb32WordsWithZeroTopByteAreOpaqueColours) {
  const uint32_t word = 0x00123456;  // red 0x12, green 0x34, blue 0x56, nothing above
  uint8_t pixel[4];
  std::memcpy(pixel, &word, sizeof word);
  EXPECT_EQ(PixelThroughImage(32, pixel), QColor(0x12, 0x34, 0x56));
}

}  // namespace
