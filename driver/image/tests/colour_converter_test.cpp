#include "image/colour_converter.h"

#include <gtest/gtest.h>

#include "colour_tables.h"
#include "converter_test_support.h"

namespace {

// Converts a uniform 2 x 2 image `conversions` times and returns the last result.
std::vector<std::uint8_t> ConvertUniform(ColourConverter* c, std::uint8_t y, std::uint8_t cb, std::uint8_t cr,
                                         int conversions = 1) {
  Yuv420Image image(2, 2, y, cb, cr);
  std::vector<std::uint8_t> out(c->bitsPerPixel / 8 * 4, 0xAB);
  ImagePlanes planes = image.Planes(out.data());
  for (int i = 0; i < conversions; ++i) EXPECT_EQ(ConvertImage(c, &planes, 0), 0);
  return out;
}

// Top-left pixel at dither offset k: the first conversion uses pattern 0
// (offset 0 top left), the third pattern 2 (offset 6 top left).
std::uint16_t TopLeft565(std::uint8_t y, std::uint8_t cb, std::uint8_t cr, int offset) {
  auto c = MakeConverter(2, 2, 16, 0);
  const int conversions = offset == 0 ? 1 : 3;
  return Word16(ConvertUniform(c.get(), y, cb, cr, conversions), 0);
}

TEST(ConvertImage16, GreyLevelsWithAndWithoutDither) {
  EXPECT_EQ(TopLeft565(16, 128, 128, 0), 0x0000);
  EXPECT_EQ(TopLeft565(16, 128, 128, 6), 0x0020);  // green 6 keeps 1 in six bits
  EXPECT_EQ(TopLeft565(235, 128, 128, 0), 0xFFFF);
  EXPECT_EQ(TopLeft565(128, 128, 128, 0), 0x8410);
  EXPECT_EQ(TopLeft565(128, 128, 128, 6), 0x8C51);
}

TEST(ConvertImage16, PrimaryColours) {
  EXPECT_EQ(TopLeft565(81, 90, 240, 0), 0xF800);
  EXPECT_EQ(TopLeft565(145, 54, 34, 0), 0x07E0);
  EXPECT_EQ(TopLeft565(41, 240, 110, 0), 0x001F);
}

TEST(ConvertImage16, BlueExtremesBeyondItsFieldStillClamp) {
  EXPECT_EQ(TopLeft565(255, 255, 128, 6), 0xFEDF);  // blue sum 517
  EXPECT_EQ(TopLeft565(0, 0, 128, 0), 0x0180);      // blue sum -272
}

// Which of the four patterns a conversion of mid grey used, told by where
// offsets 0 (0x8410) and 6 (0x8C51) landed.
int PatternOf(const std::vector<std::uint8_t>& out) {
  const std::uint16_t tl = Word16(out, 0), tr = Word16(out, 1), bl = Word16(out, 2), br = Word16(out, 3);
  if (tl == 0x8410 && tr == 0x8C51) return 0;
  if (br == 0x8410 && bl == 0x8C51) return 1;
  if (tr == 0x8410 && tl == 0x8C51) return 2;
  if (bl == 0x8410 && br == 0x8C51) return 3;
  return -1;
}

TEST(ConvertImage16, PatternsFollowTheCounterAndRefusedCallsDoNotAdvanceIt) {
  auto c = MakeConverter(2, 2, 16, 0);
  Yuv420Image image(2, 2, 128);
  std::vector<std::uint8_t> out(8);
  ImagePlanes planes = image.Planes(out.data());
  std::vector<int> patterns;
  for (int frame = 0; frame < 5; ++frame) {
    ASSERT_EQ(ConvertImage(c.get(), &planes, 0), 0);
    patterns.push_back(PatternOf(out));
    if (frame == 1) {
      EXPECT_EQ(ConvertImage(c.get(), &planes, 1), -1);
    }
  }
  EXPECT_EQ(patterns, (std::vector<int>{0, 1, 2, 3, 0}));
}

TEST(ConvertImage16, CounterWrapsAt32Bits) {
  auto c = MakeConverter(2, 2, 16, 0);
  c->counter = 0xFFFFFFFEu;
  Yuv420Image image(2, 2, 128);
  std::vector<std::uint8_t> out(8);
  ImagePlanes planes = image.Planes(out.data());
  std::vector<int> patterns;
  for (int frame = 0; frame < 3; ++frame) {
    ConvertImage(c.get(), &planes, 0);
    patterns.push_back(PatternOf(out));
  }
  EXPECT_EQ(patterns, (std::vector<int>{2, 3, 0}));
}

std::vector<std::uint8_t> Bytes3(std::uint8_t a, std::uint8_t b, std::uint8_t c) { return {a, b, c}; }

std::vector<std::uint8_t> FirstPixel24(std::uint32_t blueFirst, std::uint8_t y, std::uint8_t cb, std::uint8_t cr) {
  auto c = MakeConverter(2, 2, 24, blueFirst);
  auto out = ConvertUniform(c.get(), y, cb, cr);
  return {out.begin(), out.begin() + 3};
}

TEST(ConvertImage24, StudioRangeEdgesAndRedInBothByteOrders) {
  EXPECT_EQ(FirstPixel24(1, 235, 128, 128), Bytes3(0xFE, 0xFE, 0xFE));
  EXPECT_EQ(FirstPixel24(1, 236, 128, 128), Bytes3(0xFF, 0xFF, 0xFF));
  EXPECT_EQ(FirstPixel24(1, 18, 128, 128), Bytes3(0x01, 0x01, 0x01));
  EXPECT_EQ(FirstPixel24(1, 81, 90, 240), Bytes3(0x00, 0x00, 0xFE));  // blue, green, red
  EXPECT_EQ(FirstPixel24(0, 81, 90, 240), Bytes3(0xFE, 0x00, 0x00));  // red first
}

std::uint32_t FirstPixel32(std::uint32_t blueFirst, std::uint8_t y, std::uint8_t cb, std::uint8_t cr) {
  auto c = MakeConverter(2, 2, 32, blueFirst);
  return Word32(ConvertUniform(c.get(), y, cb, cr), 0);
}

TEST(ConvertImage32, WordsInBothByteOrdersWithAZeroTopByte) {
  EXPECT_EQ(FirstPixel32(1, 128, 128, 128), 0x00818181u);
  EXPECT_EQ(FirstPixel32(1, 81, 90, 240), 0x00FE0000u);
  EXPECT_EQ(FirstPixel32(0, 81, 90, 240), 0x000000FEu);
  EXPECT_EQ(FirstPixel32(1, 41, 240, 110), 0x000000FEu);
  EXPECT_EQ(FirstPixel32(0, 41, 240, 110), 0x00FE0000u);
}

TEST(ConvertImage, EveryPixelOfABlockGetsItsOwnLumaAndRowsFollowTheStride) {
  // 4 x 2 image: the two blocks differ in chroma, the pixels in luma.
  auto c = MakeConverter(4, 2, 32, 1);
  Yuv420Image image(4, 2);
  const std::uint8_t luma[8] = {16, 60, 100, 140, 180, 220, 235, 17};
  std::copy(luma, luma + 8, image.Y());
  image.Cb()[0] = 128, image.Cb()[1] = 128, image.Cr()[0] = 128, image.Cr()[1] = 240;
  std::vector<std::uint8_t> out(32);
  ImagePlanes planes = image.Planes(out.data());
  ASSERT_EQ(ConvertImage(c.get(), &planes, 0), 0);
  // Grey block: pixels are T(Y) in all three channels.
  auto grey = [](int y) { return colour::LumaValue(y) * 0x010101u; };
  EXPECT_EQ(Word32(out, 0), grey(16));
  EXPECT_EQ(Word32(out, 1), grey(60));
  EXPECT_EQ(Word32(out, 4), grey(180));
  EXPECT_EQ(Word32(out, 5), grey(220));
  // Reddish block: red above green and blue in every pixel.
  for (std::size_t pixel : {2u, 3u, 6u, 7u}) {
    const std::uint32_t word = Word32(out, pixel);
    EXPECT_GT(word >> 16, word >> 8 & 0xFF) << pixel;
    EXPECT_GT(word >> 16, word & 0xFF) << pixel;
  }
}

TEST(CreateConverter, RefusesOtherDepths) {
  for (std::uint32_t bits : {0u, 8u, 15u, 17u, 33u})
    EXPECT_EQ(CreateConverter(320, 240, 320, 160, bits, 1), nullptr) << bits;
  for (std::uint32_t bits : {16u, 24u, 32u}) {
    ColourConverter* c = CreateConverter(320, 240, 320, 160, bits, 1);
    EXPECT_NE(c, nullptr) << bits;
    EXPECT_EQ(DestroyConverter(c), 0);
  }
  EXPECT_EQ(DestroyConverter(nullptr), -1);
}

TEST(ConvertImage, RefusedCallsWriteNothing) {
  for (std::uint32_t bits : {16u, 24u, 32u}) {
    auto c = MakeConverter(2, 2, bits, 1);
    Yuv420Image image(2, 2, 128);
    std::vector<std::uint8_t> out(bits / 8 * 4, 0xAB);
    ImagePlanes planes = image.Planes(out.data());
    EXPECT_EQ(ConvertImage(nullptr, &planes, 0), -1);
    EXPECT_EQ(ConvertImage(c.get(), nullptr, 0), -1);
    EXPECT_EQ(ConvertImage(c.get(), &planes, 1), -1);
    EXPECT_EQ(ConvertImage(c.get(), &planes, 0x80000000u), -1);
    EXPECT_EQ(out, std::vector<std::uint8_t>(out.size(), 0xAB)) << bits;
    EXPECT_EQ(c->counter, 0u);
  }
}

TEST(ConvertImage, OddSizesLeaveTheLastColumnAndRowUnwritten) {
  for (std::uint32_t bits : {16u, 24u, 32u}) {
    const std::uint32_t width = 5, height = 3, bytes = bits / 8;
    ConverterPtr c(CreateConverter(width, height, width, width / 2, bits, 1));
    std::vector<std::uint8_t> planesBuffer(width * height + 2 * (width / 2) * (height / 2), 200);
    std::vector<std::uint8_t> out(bytes * width * height, 0xAB);
    ImagePlanes planes{out.data(), planesBuffer.data(), planesBuffer.data() + width * height,
                       planesBuffer.data() + width * height + (width / 2) * (height / 2)};
    ASSERT_EQ(ConvertImage(c.get(), &planes, 0), 0);
    for (std::uint32_t y = 0; y < height; ++y) {
      for (std::uint32_t x = 0; x < width; ++x) {
        const bool written = x < 4 && y < 2;
        EXPECT_EQ(out[bytes * (y * width + x)] != 0xAB, written) << bits << " bits, pixel " << x << "," << y;
      }
    }
  }
}

}  // namespace
