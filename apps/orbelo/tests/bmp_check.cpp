#include "bmp_check.h"

#include <gtest/gtest.h>

namespace {

class FieldReader {
 public:
  explicit FieldReader(const std::vector<uint8_t>& bytes) : bytes_(bytes) {}
  uint32_t U16(size_t offset) const { return bytes_[offset] | bytes_[offset + 1] << 8; }
  uint32_t U32(size_t offset) const { return U16(offset) | U16(offset + 2) << 16; }

 private:
  const std::vector<uint8_t>& bytes_;
};

uint32_t Rgb565Of(QRgb pixel) { return (qRed(pixel) >> 3) << 11 | (qGreen(pixel) >> 2) << 5 | qBlue(pixel) >> 3; }

}  // namespace

void ExpectBmpHeaders(const std::vector<uint8_t>& file, unsigned bitsPerPixel) {
  const bool masked = bitsPerPixel == 16;
  const uint32_t offset = masked ? 70 : 54;
  ASSERT_GE(file.size(), size_t{offset});
  const FieldReader field(file);
  EXPECT_EQ(file[0], 'B');
  EXPECT_EQ(file[1], 'M');
  EXPECT_EQ(field.U32(2), file.size()) << "file size";
  EXPECT_EQ(field.U16(6), 0u) << "reserved";
  EXPECT_EQ(field.U16(8), 0u) << "reserved";
  EXPECT_EQ(field.U32(10), offset) << "pixel offset";
  EXPECT_EQ(field.U32(14), 40u) << "information header size";
  EXPECT_EQ(field.U32(18), 320u) << "width";
  EXPECT_EQ(field.U32(22), 240u) << "height (positive: bottom-up)";
  EXPECT_EQ(field.U16(26), 1u) << "planes";
  EXPECT_EQ(field.U16(28), bitsPerPixel) << "bits per pixel";
  EXPECT_EQ(field.U32(30), masked ? 3u : 0u) << "compression";
  EXPECT_EQ(field.U32(34), 0u) << "image size";
  EXPECT_EQ(field.U32(38), masked ? 7085u : 0u) << "horizontal resolution";
  EXPECT_EQ(field.U32(42), masked ? 7085u : 0u) << "vertical resolution";
  EXPECT_EQ(field.U32(46), 0u) << "colours used";
  EXPECT_EQ(field.U32(50), 0u) << "important colours";
  if (masked) {
    EXPECT_EQ(field.U32(54), 0xF800u) << "red mask";
    EXPECT_EQ(field.U32(58), 0x07E0u) << "green mask";
    EXPECT_EQ(field.U32(62), 0x001Fu) << "blue mask";
    EXPECT_EQ(field.U32(66), 0u) << "alpha mask";
  }
}

int PixelsDiffering(const QImage& readBack, const QImage& frame, unsigned bitsPerPixel) {
  if (readBack.size() != frame.size()) return frame.width() * frame.height();
  int differing = 0;
  for (int y = 0; y < frame.height(); ++y) {
    const auto* frameWords = reinterpret_cast<const uint16_t*>(frame.constScanLine(y));
    for (int x = 0; x < frame.width(); ++x) {
      const QRgb read = readBack.pixel(x, y);
      const bool same =
          bitsPerPixel == 16 ? Rgb565Of(read) == frameWords[x] : (read & 0xFFFFFF) == (frame.pixel(x, y) & 0xFFFFFF);
      if (!same) ++differing;
    }
  }
  return differing;
}
