// What we deliver against independent work on the same frames: the RGB images of
// GET_FRAME, on every conversion path the processor runs, equal decoding the JPEG image
// delivered with them with libavcodec (set up as the decoder sets it up), reducing to
// 4:2:0 and converting with the scalar reference, dither phase included; and another
// decoder, libjpeg-turbo, reads every JPEG image we deliver.

#include <gtest/gtest.h>
#include <turbojpeg.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

extern "C" {
#include <libavcodec/avcodec.h>
}

#include "capture_test_support.h"
#include "image/colour_converter.h"
#include "image/convert_path.h"
#include "image/decoder_settings.h"

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

struct ConverterDeleter {
  void operator()(ColourConverter* converter) const { DestroyConverter(converter); }
};

// libavcodec's planes of a JPEG image reduced to 4:2:0 (Y, then the even rows of Cb and
// of Cr); empty when the library cannot decode it as 4:2:2.
Bytes LibavcodecPlanes420(const Bytes& jpeg, const SizeCase& size) {
  const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_MJPEG);
  AVCodecContext* context = avcodec_alloc_context3(codec);
  ApplyDecoderSettings(context);
  AVPacket* packet = av_packet_alloc();
  AVFrame* frame = av_frame_alloc();
  Bytes planar;
  if (avcodec_open2(context, codec, nullptr) == 0 && av_new_packet(packet, static_cast<int>(jpeg.size())) == 0) {
    std::memcpy(packet->data, jpeg.data(), jpeg.size());
    if (avcodec_send_packet(context, packet) == 0 && avcodec_receive_frame(context, frame) == 0 &&
        frame->format == AV_PIX_FMT_YUVJ422P && frame->width == int(size.width) && frame->height == int(size.height)) {
      for (DWORD row = 0; row < size.height; ++row) {
        const uint8_t* y = frame->data[0] + row * frame->linesize[0];
        planar.insert(planar.end(), y, y + size.width);
      }
      for (int plane = 1; plane < 3; ++plane)
        for (DWORD row = 0; row < size.height; row += 2) {
          const uint8_t* c = frame->data[plane] + row * frame->linesize[plane];
          planar.insert(planar.end(), c, c + size.width / 2);
        }
    }
  }
  av_frame_free(&frame);
  av_packet_free(&packet);
  avcodec_free_context(&context);
  return planar;
}

// The reference image of a delivered JPEG: libavcodec's planes, chroma reduced, and the
// table-driven scalar conversion with the given dither phase.
Bytes ReferenceRgb(const Bytes& jpeg, const RgbCase& rgb, const SizeCase& size, uint32_t phase) {
  const Bytes planar = LibavcodecPlanes420(jpeg, size);
  if (planar.empty()) return {};
  const uint32_t pixels = size.width * size.height;
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

// The driver's converters take the path named by $VELMAR_CONVERT_PATH at SET_FORMAT.
class BitExactTest : public ::testing::TestWithParam<ConvertPath> {
 protected:
  void SetUp() override {
    if (!ConvertPathSupported(GetParam())) GTEST_SKIP() << "this processor has no " << ConvertPathName(GetParam());
    setenv("VELMAR_CONVERT_PATH", std::string(ConvertPathName(GetParam())).c_str(), 1);
  }
  void TearDown() override { unsetenv("VELMAR_CONVERT_PATH"); }
};

TEST_P(BitExactTest, RgbFramesEqualTheReferencePipelineOnTheirOwnJpeg) {
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

INSTANTIATE_TEST_SUITE_P(EachConvertPath, BitExactTest, ::testing::ValuesIn(kAllConvertPaths),
                         [](const testing::TestParamInfo<ConvertPath>& path) {
                           return std::string(ConvertPathName(path.param));
                         });

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
