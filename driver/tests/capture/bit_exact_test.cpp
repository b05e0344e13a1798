// What we deliver against independent work on the same frames: the RGB images of
// GET_FRAME equal decoding the JPEG image delivered with them (libavcodec), reducing to
// 4:2:0 and converting with the scalar reference, dither phase included; and another
// decoder, libjpeg-turbo, reads every JPEG image we deliver.

#include <gtest/gtest.h>
#include <turbojpeg.h>

#include <memory>

#include "capture_test_support.h"
#include "image/chroma.h"
#include "image/colour_converter.h"
#include "image/convert_path.h"
#include "image/jpeg_decoder.h"

namespace {

using captest::Bytes;
using captest::CameraSession;

constexpr int kFramesPerRun = 6;

struct RgbCase {
  DWORD format;
  DWORD bitsPerPixel;
  DWORD blueFirst;
};

struct SizeCase {
  DWORD sizeIndex;
  DWORD width;
  DWORD height;
};

constexpr RgbCase kRgbFormats[] = {{VLM_FORMAT_RGB565, 16, 0}, {VLM_FORMAT_RGB24, 24, 1}, {VLM_FORMAT_RGB32, 32, 1}};
constexpr SizeCase kSizes[] = {{VLM_SIZE_640X480, 640, 480}, {VLM_SIZE_320X240, 320, 240}};

struct DecoderDeleter {
  void operator()(JpegDecoder* decoder) const { DestroyDecoder(decoder); }
};
struct ConverterDeleter {
  void operator()(ColourConverter* converter) const { DestroyConverter(converter); }
};

// The reference image of a delivered JPEG: libavcodec's planes, chroma reduced, and the
// table-driven scalar conversion with the given dither phase.
Bytes ReferenceRgb(const Bytes& jpeg, const RgbCase& rgb, const SizeCase& size, uint32_t phase) {
  const std::unique_ptr<JpegDecoder, DecoderDeleter> decoder(CreateDecoder(size.width, size.height));
  const JpegInput input{jpeg.data(), static_cast<uint32_t>(jpeg.size())};
  DecodedImage decoded{};
  if (DecodeImage(decoder.get(), &input, &decoded) <= 0) return {};
  const uint32_t pixels = size.width * size.height;
  Bytes planar(pixels * 3 / 2);
  ReduceChromaTo420(decoded.yPlane, planar.data(), size.width, size.height);

  const std::unique_ptr<ColourConverter, ConverterDeleter> converter(
      CreateConverter(size.width, size.height, size.width, size.width / 2, rgb.bitsPerPixel, rgb.blueFirst));
  Bytes rgbImage(pixels * rgb.bitsPerPixel / 8);
  const ImagePlanes planes{rgbImage.data(), planar.data(), planar.data() + pixels, planar.data() + pixels * 5 / 4};
  // A converter's dither phase starts at 0 and moves on by one with every image.
  if (!SetConvertPath(converter.get(), ConvertPath::Scalar)) return {};
  for (uint32_t image = 0; image <= phase; ++image) {
    if (ConvertImage(converter.get(), &planes, 0) != 0) return {};
  }
  return rgbImage;
}

TEST(BitExactTest, RgbFramesEqualTheReferencePipelineOnTheirOwnJpeg) {
  CameraSession session("sensor=2,fps=0");
  for (const SizeCase& size : kSizes) {
    for (const RgbCase& rgb : kRgbFormats) {
      SCOPED_TRACE(testing::Message() << "format " << rgb.format << " at " << size.width << "x" << size.height);
      // A new format makes a new converter: its dither phase starts at 0.
      ASSERT_TRUE(session.SetFormat(rgb.format, size.sizeIndex));
      ASSERT_TRUE(session.Start());
      const DWORD imageBytes = size.width * size.height * rgb.bitsPerPixel / 8;
      for (uint32_t delivered = 0; delivered < kFramesPerRun; ++delivered) {
        const auto frame = session.NextFrame(imageBytes);
        ASSERT_TRUE(frame.has_value());
        ASSERT_EQ(frame->image.size(), imageBytes);
        ASSERT_GT(frame->jpeg.size(), 589u);
        EXPECT_TRUE(frame->image == ReferenceRgb(frame->jpeg, rgb, size, delivered % 4)) << "frame " << delivered;
      }
      ASSERT_TRUE(session.Stop());
    }
  }
}

TEST(BitExactTest, LibjpegTurboDecodesEveryDeliveredJpeg) {
  CameraSession session("sensor=2,fps=0");
  const std::unique_ptr<void, int (*)(tjhandle)> turbo(tjInitDecompress(), &tjDestroy);
  ASSERT_NE(turbo, nullptr);
  for (const SizeCase& size : kSizes) {
    ASSERT_TRUE(session.SetFormat(VLM_FORMAT_JPEG, size.sizeIndex));
    ASSERT_TRUE(session.Start());
    Bytes jpeg;
    Bytes rgb(size.width * size.height * 3);
    for (int frame = 0; frame < 2 * kFramesPerRun; ++frame) {
      const DWORD length = session.ReadNextFrame(jpeg, 40960);
      ASSERT_GT(length, 0u);
      int width = 0;
      int height = 0;
      int subsampling = -1;
      int colourspace = -1;
      ASSERT_EQ(tjDecompressHeader3(turbo.get(), jpeg.data(), length, &width, &height, &subsampling, &colourspace), 0)
          << tjGetErrorStr2(turbo.get());
      EXPECT_EQ(width, static_cast<int>(size.width));
      EXPECT_EQ(height, static_cast<int>(size.height));
      EXPECT_EQ(subsampling, TJSAMP_422);
      EXPECT_EQ(tjDecompress2(turbo.get(), jpeg.data(), length, rgb.data(), width, 0, height, TJPF_BGR, 0), 0)
          << tjGetErrorStr2(turbo.get());
    }
    ASSERT_TRUE(session.Stop());
  }
}

}  // namespace
