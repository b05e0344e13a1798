// The pixel format chosen for a display depth: the driver's bytes, shown through the
// matching QImage format without conversion, give the intended colours.
#include <gtest/gtest.h>

#include <QColor>
#include <QImage>
#include <QPainter>
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

// Drawn onto a surface that keeps alpha, as a window's backing store may, every depth
// gives opaque pixels of the driver's colour.
TEST(DisplayFormat, FramesCopiedForDisplayDrawOpaque) {
  for (const unsigned bits : {16u, 24u, 32u}) {
    SCOPED_TRACE(bits);
    const uint8_t frame[3][4] = {{0x00, 0xF8, 0, 0}, {0x10, 0x20, 0x30, 0}, {0x56, 0x34, 0x12, 0x00}};
    const uint8_t* driverPixel = frame[bits / 8 - 2];
    uint8_t copied[8] = {};
    CopyPixelsForDisplay(copied, driverPixel, bits / 8, bits);
    EXPECT_EQ(std::memcmp(driverPixel, frame[bits / 8 - 2], bits / 8), 0);
    const QImage picture(copied, 1, 1, static_cast<qsizetype>(bits / 8), ImageFormatForDepth(bits));
    QImage surface(1, 1, QImage::Format_ARGB32_Premultiplied);
    surface.fill(Qt::transparent);
    QPainter(&surface).drawImage(0, 0, picture);
    EXPECT_EQ(surface.pixelColor(0, 0).alpha(), 255);
    EXPECT_EQ(surface.pixelColor(0, 0).rgb(), picture.pixelColor(0, 0).rgb());
  }
}

TEST(DisplayFormat, DepthsWithoutADriverFormatFallBackToTheNearestOne) {
  EXPECT_EQ(DeliverableDepth(16), 16u);
  EXPECT_EQ(DeliverableDepth(24), 24u);
  EXPECT_EQ(DeliverableDepth(32), 32u);
  EXPECT_EQ(DeliverableDepth(30), 32u);
  EXPECT_EQ(DeliverableDepth(18), 24u);
  EXPECT_EQ(DeliverableDepth(8), 16u);
  EXPECT_GE(PixelFormatCode(DeliverableDepth(30)), 0);
}

}  // namespace
