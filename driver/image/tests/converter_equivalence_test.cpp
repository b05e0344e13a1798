// Every (Y, Cb, Cr) triple at every dither offset: the table-driven scalar
// routines against the per-channel formulas, and each vector path against the
// scalar routines, byte for byte.
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <string>

#include "colour_tables.h"
#include "converter_test_support.h"

namespace {

using colour::NearestThousandths;

int Clamp255(int v) { return v < 0 ? 0 : (v > 255 ? 255 : v); }

// The 16-bit pixel straight from the channel formulas, without packed words.
std::uint16_t FormulaPixel565(int y, int cb, int cr, int k) {
  const int luma = (y < 239 ? y : 239) - 16;
  const int blueY = y < 16 ? NearestThousandths(1164, y - 16) : NearestThousandths(1164, luma);
  const int redY = y < 16 ? 0 : blueY;
  const int green2Y = y < 16 ? 0 : NearestThousandths(2328, luma);
  const int blue = Clamp255(blueY + NearestThousandths(1976, cb - 128) + k);
  const int red = Clamp255(redY + NearestThousandths(1596, cr - 128) + k);
  const int green2 = green2Y + NearestThousandths(-766, cb - 128) + NearestThousandths(-1626, cr - 128);
  const int green = Clamp255(colour::FloorDiv(green2, 2) + k);
  return static_cast<std::uint16_t>((red >> 3) << 11 | (green >> 2) << 5 | (blue >> 3));
}

// The 24/32-bit channels straight from the offsets and T.
struct Rgb {
  int red, green, blue;
};
Rgb FormulaPixel(int y, int cb, int cr) {
  return {colour::LumaValue(y + colour::RedOffset(cr)),
          colour::LumaValue(y + colour::GreenOffsetOfCb(cb) + colour::GreenOffsetOfCr(cr)),
          colour::LumaValue(y + colour::BlueOffset(cb))};
}

// For one Cb value: a 512 x 128 image whose chroma sample (i, j) has Cr = i
// and whose block j holds Y = 4j .. 4j + 3, so every (Y, Cr) pair occurs once.
constexpr std::uint32_t kWidth = 512, kHeight = 128;

Yuv420Image AllLumaAndCrFor(std::uint8_t cb) {
  Yuv420Image image(kWidth, kHeight, 0, cb);
  for (std::uint32_t j = 0; j < kHeight / 2; ++j) {
    for (std::uint32_t i = 0; i < kWidth / 2; ++i) {
      image.Cr()[j * kWidth / 2 + i] = static_cast<std::uint8_t>(i);
      for (std::uint32_t p = 0; p < 4; ++p)
        image.Y()[(2 * j + p / 2) * kWidth + 2 * i + p % 2] = static_cast<std::uint8_t>(4 * j + p);
    }
  }
  return image;
}

// Offset k of pixel (x, y) in conversion number `phase`.
int OffsetAt(std::uint32_t phase, std::uint32_t x, std::uint32_t y) {
  return colour::kDitherOffsets[phase][(y & 1) * 2 + (x & 1)];
}

TEST(ScalarReference, Rgb565MatchesTheChannelFormulasForAllTriplesAndOffsets) {
  auto c = MakeConverter(kWidth, kHeight, 16, 0);
  std::vector<std::uint8_t> out(2 * kWidth * kHeight);
  for (int cb = 0; cb < 256; ++cb) {
    Yuv420Image image = AllLumaAndCrFor(static_cast<std::uint8_t>(cb));
    ImagePlanes planes = image.Planes(out.data());
    for (std::uint32_t phase = 0; phase < 4; ++phase) {
      ASSERT_EQ(ConvertImage(c.get(), &planes, 0), 0);
      for (std::uint32_t y = 0; y < kHeight; ++y) {
        for (std::uint32_t x = 0; x < kWidth; ++x) {
          const std::size_t at = y * kWidth + x;
          const std::uint16_t expected =
              FormulaPixel565(image.Y()[at], cb, image.Cr()[(y / 2) * kWidth / 2 + x / 2], OffsetAt(phase, x, y));
          if (Word16(out, at) != expected)
            FAIL() << "Y " << int(image.Y()[at]) << " Cb " << cb << " Cr " << x / 2 << " phase " << phase;
        }
      }
    }
  }
}

TEST(ScalarReference, Rgb24And32MatchTheOffsetFormulasForAllTriples) {
  auto rgb24 = MakeConverter(kWidth, kHeight, 24, 1);
  auto rgb32 = MakeConverter(kWidth, kHeight, 32, 0);
  std::vector<std::uint8_t> out24(3 * kWidth * kHeight), out32(4 * kWidth * kHeight);
  for (int cb = 0; cb < 256; ++cb) {
    Yuv420Image image = AllLumaAndCrFor(static_cast<std::uint8_t>(cb));
    ImagePlanes planes24 = image.Planes(out24.data()), planes32 = image.Planes(out32.data());
    ASSERT_EQ(ConvertImage(rgb24.get(), &planes24, 0), 0);
    ASSERT_EQ(ConvertImage(rgb32.get(), &planes32, 0), 0);
    for (std::size_t at = 0; at < kWidth * kHeight; ++at) {
      const std::size_t x = at % kWidth, y = at / kWidth;
      const Rgb e = FormulaPixel(image.Y()[at], cb, image.Cr()[(y / 2) * kWidth / 2 + x / 2]);
      const std::uint32_t word24 = out24[3 * at] | out24[3 * at + 1] << 8 | out24[3 * at + 2] << 16;
      const std::uint32_t expected24 = static_cast<std::uint32_t>(e.red << 16 | e.green << 8 | e.blue);
      const std::uint32_t expected32 = static_cast<std::uint32_t>(e.blue << 16 | e.green << 8 | e.red);
      if (word24 != expected24 || Word32(out32, at) != expected32)
        FAIL() << "Y " << int(image.Y()[at]) << " Cb " << cb << " Cr " << x / 2;
    }
  }
}

// Every vector path, each run where the processor has it and reported as skipped
// elsewhere.
class VectorPaths : public ::testing::TestWithParam<ConvertPath> {
 protected:
  void SetUp() override {
    if (!ConvertPathSupported(GetParam())) GTEST_SKIP() << "this processor has no " << Name(GetParam());
  }
  static std::string Name(ConvertPath path) { return std::string(ConvertPathName(path)); }
};

struct Depth {
  std::uint32_t bits, blueFirst;
};
constexpr Depth kDepths[] = {{16, 0}, {24, 1}, {24, 0}, {32, 1}, {32, 0}};

// Converts the same image with the scalar and the vector path, `phases`
// times, and compares every output byte.
void ExpectSameOutput(ConvertPath path, const Depth& depth, Yuv420Image& image, std::uint32_t phases) {
  const std::string_view name = ConvertPathName(path);
  auto scalar = MakeConverter(image.width, image.height, depth.bits, depth.blueFirst);
  auto vector = MakeConverter(image.width, image.height, depth.bits, depth.blueFirst, path);
  const std::size_t bytes = depth.bits / 8 * image.width * image.height;
  std::vector<std::uint8_t> expected(bytes), actual(bytes);
  ImagePlanes scalarPlanes = image.Planes(expected.data()), vectorPlanes = image.Planes(actual.data());
  for (std::uint32_t phase = 0; phase < phases; ++phase) {
    ASSERT_EQ(ConvertImage(scalar.get(), &scalarPlanes, 0), 0);
    ASSERT_EQ(ConvertImage(vector.get(), &vectorPlanes, 0), 0);
    for (std::size_t i = 0; i < bytes; ++i) {
      if (actual[i] != expected[i]) {
        const std::size_t pixel = i / (depth.bits / 8);
        FAIL() << name << " " << depth.bits << " bits, blue first " << depth.blueFirst << ", phase " << phase
               << ", pixel " << pixel % image.width << "," << pixel / image.width << " of " << image.width << "x"
               << image.height << ": Y " << int(image.Y()[pixel]);
      }
    }
  }
}

TEST_P(VectorPaths, MatchTheScalarReferenceForAllTriplesAndPhases) {
  for (const Depth& depth : kDepths) {
    for (int cb = 0; cb < 256; ++cb) {
      Yuv420Image image = AllLumaAndCrFor(static_cast<std::uint8_t>(cb));
      ExpectSameOutput(GetParam(), depth, image, depth.bits == 16 ? 4 : 1);
      if (HasFatalFailure()) return;
    }
  }
}

// Widths that leave a tail to the scalar routine, and random content.
TEST_P(VectorPaths, MatchTheScalarReferenceAtEveryWidthAndOddSizes) {
  std::mt19937 random(42);
  for (const Depth& depth : kDepths) {
    for (std::uint32_t width :
         {2u, 4u, 14u, 16u, 30u, 32u, 34u, 62u, 64u, 66u, 98u, 126u, 128u, 130u, 318u, 320u, 322u, 640u, 7u, 33u}) {
      Yuv420Image image(width, 6);
      for (auto& byte : image.bytes) byte = static_cast<std::uint8_t>(random());
      ExpectSameOutput(GetParam(), depth, image, depth.bits == 16 ? 4 : 1);
      if (HasFatalFailure()) return;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(EachPath, VectorPaths,
                         ::testing::Values(ConvertPath::Sse2, ConvertPath::Ssse3, ConvertPath::Avx2,
                                           ConvertPath::Avx512),
                         [](const testing::TestParamInfo<ConvertPath>& path) {
                           return std::string(ConvertPathName(path.param));
                         });

TEST(ConvertPaths, TheBestPathIsSupported) { EXPECT_TRUE(ConvertPathSupported(BestConvertPath())); }

// A scoped $VELMAR_CONVERT_PATH.
class ConvertPathVariable {
 public:
  explicit ConvertPathVariable(const char* value) { setenv("VELMAR_CONVERT_PATH", value, 1); }
  ~ConvertPathVariable() { unsetenv("VELMAR_CONVERT_PATH"); }
  ConvertPathVariable(const ConvertPathVariable&) = delete;
  ConvertPathVariable& operator=(const ConvertPathVariable&) = delete;
};

// New converters take the path the variable names when the processor runs it, and the
// fastest one for a path it lacks or a name that is no path.
TEST(ConvertPaths, TheVariableChoosesThePathOfNewConverters) {
  for (ConvertPath path : kAllConvertPaths) {
    const std::string name(ConvertPathName(path));
    SCOPED_TRACE(name);
    EXPECT_EQ(ConvertPathNamed(name), path);
    const ConvertPathVariable variable(name.c_str());
    const ConvertPath expected = ConvertPathSupported(path) ? path : BestConvertPath();
    EXPECT_EQ(ChosenConvertPath(), expected);
    for (const Depth& depth : kDepths) {
      const ConverterPtr fresh(CreateConverter(64, 8, 64, 32, depth.bits, depth.blueFirst));
      ASSERT_NE(fresh, nullptr);
      EXPECT_EQ(fresh->convert, SelectConvertRoutine(depth.bits, expected)) << depth.bits << " bits";
    }
  }
  const ConvertPathVariable unknown("mmx");
  EXPECT_EQ(ChosenConvertPath(), BestConvertPath());
  EXPECT_FALSE(ConvertPathNamed("mmx").has_value());
}

}  // namespace
