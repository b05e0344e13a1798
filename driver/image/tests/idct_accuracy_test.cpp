// Accuracy of the decoder's inverse DCT, side by side with libavcodec's default one:
// IEEE 1180-style errors against a double-precision reference on random blocks, and the
// PSNR of whole camera frames against the same reference.
//
// The blocks go through the whole decoder: each range's blocks are coded as the DCT
// coefficients of a 4:2:2 image with all quantisers 1 (libjpeg writes them as they are),
// so the samples out of DecodeImage are the inverse DCT, level shifted and clamped.

#include <gtest/gtest.h>

#include <jpeglib.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
}

#include "image/decoder_settings.h"
#include "image/jpeg_decoder.h"
#include "test_images.h"

namespace {

using Coefficients = std::array<int, 64>;  // natural order, row (vertical frequency) first
using Samples = std::array<int, 64>;

constexpr double kPi = 3.14159265358979323846;

// C(frequency) cos((2 position + 1) frequency pi / 16), by position and frequency.
const std::array<std::array<double, 8>, 8> kBasis = [] {
  std::array<std::array<double, 8>, 8> basis{};
  for (int position = 0; position < 8; ++position)
    for (int frequency = 0; frequency < 8; ++frequency)
      basis[position][frequency] =
          (frequency == 0 ? std::sqrt(0.5) : 1.0) * std::cos((2 * position + 1) * frequency * kPi / 16);
  return basis;
}();

double Basis(int position, int frequency) { return kBasis[position][frequency]; }

// The double-precision inverse DCT of T.81, rounded, level shifted and clamped as a
// decoder of 8-bit samples must.
Samples ReferenceIdct(const Coefficients& in) {
  double rows[64];
  for (int v = 0; v < 8; ++v)
    for (int x = 0; x < 8; ++x) {
      double sum = 0;
      for (int u = 0; u < 8; ++u) sum += Basis(x, u) * in[v * 8 + u];
      rows[v * 8 + x] = sum;
    }
  Samples out{};
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) {
      double sum = 0;
      for (int v = 0; v < 8; ++v) sum += Basis(y, v) * rows[v * 8 + x];
      const long sample = std::lround(sum / 4) + 128;
      out[y * 8 + x] = static_cast<int>(sample < 0 ? 0 : sample > 255 ? 255 : sample);
    }
  return out;
}

Coefficients ForwardDct(const double (&pixels)[64]) {
  double rows[64];  // each row transformed: [y][u]
  for (int y = 0; y < 8; ++y)
    for (int u = 0; u < 8; ++u) {
      double sum = 0;
      for (int x = 0; x < 8; ++x) sum += pixels[y * 8 + x] * Basis(x, u);
      rows[y * 8 + u] = sum;
    }
  Coefficients out{};
  for (int v = 0; v < 8; ++v)
    for (int u = 0; u < 8; ++u) {
      double sum = 0;
      for (int y = 0; y < 8; ++y) sum += rows[y * 8 + u] * Basis(y, v);
      // Baseline Huffman coding holds magnitudes up to 1023 (IEEE 1180 clamps at 2048).
      const long rounded = std::lround(sum / 4);
      out[v * 8 + u] = static_cast<int>(rounded > 1023 ? 1023 : rounded < -1023 ? -1023 : rounded);
    }
  return out;
}

// The generator of IEEE 1180 (its state a 32-bit word): uniform integers from -low to
// high.
class Random1180 {
 public:
  int operator()(long low, long high) {
    state_ = state_ * 1103515245u + 12345u;
    const double unit = static_cast<double>(state_ & 0x7ffffffeu) / 2147483647.0;
    return static_cast<int>(static_cast<long>(unit * static_cast<double>(low + high + 1)) - low);
  }

 private:
  std::uint32_t state_ = 1;
};

// A 4:2:2 image of 640 x 544: 80 x 68 luma blocks and 40 x 68 of each chroma component,
// 10880 blocks in all (IEEE 1180 asks for 10000).
constexpr int kWidth = 640, kHeight = 544, kBlockRows = kHeight / 8;
constexpr int kBlockColumns[3] = {80, 40, 40};
constexpr int kBlockCount = (80 + 40 + 40) * kBlockRows;

Bytes EncodeCoefficients(const std::vector<Coefficients>& blocks) {
  jpeg_compress_struct info{};
  jpeg_error_mgr errors{};
  info.err = jpeg_std_error(&errors);
  jpeg_create_compress(&info);
  unsigned char* memory = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&info, &memory, &size);
  info.image_width = kWidth;
  info.image_height = kHeight;
  info.input_components = 3;
  info.in_color_space = JCS_YCbCr;
  jpeg_set_defaults(&info);
  info.comp_info[0].h_samp_factor = 2;
  for (int c = 0; c < 3; ++c) info.comp_info[c].v_samp_factor = 1;
  const unsigned ones[64] = {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1,
                             1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1,
                             1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1};
  jpeg_add_quant_table(&info, 0, ones, 100, TRUE);
  jpeg_add_quant_table(&info, 1, ones, 100, TRUE);
  info.optimize_coding = TRUE;
  jvirt_barray_ptr arrays[3];
  for (int c = 0; c < 3; ++c) {
    arrays[c] = info.mem->request_virt_barray(reinterpret_cast<j_common_ptr>(&info), JPOOL_IMAGE, TRUE,
                                              kBlockColumns[c], kBlockRows, 1);
  }
  jpeg_write_coefficients(&info, arrays);
  std::size_t next = 0;
  for (int c = 0; c < 3; ++c)
    for (int row = 0; row < kBlockRows; ++row) {
      JBLOCKARRAY line = info.mem->access_virt_barray(reinterpret_cast<j_common_ptr>(&info), arrays[c], row, 1, TRUE);
      for (int column = 0; column < kBlockColumns[c]; ++column, ++next)
        for (int i = 0; i < 64; ++i) line[0][column][i] = static_cast<JCOEF>(blocks[next][i]);
    }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  Bytes jpeg(memory, memory + size);
  std::free(memory);
  return jpeg;
}

// The planes of an image in the decoder's layout: Y (stride width), Cb, Cr (width / 2).
struct Planes {
  Bytes samples;
  int width, height;
  int Sample(int plane, int x, int y) const {
    const int chromaWidth = width / 2;
    const std::size_t base =
        plane == 0 ? 0 : std::size_t(width) * height + (plane - 1) * std::size_t(chromaWidth) * height;
    return samples[base + std::size_t(y) * (plane == 0 ? width : chromaWidth) + x];
  }
};

Planes DecodeWithOurDecoder(const Bytes& jpeg) {
  const std::unique_ptr<JpegDecoder, void (*)(JpegDecoder*)> decoder(CreateDecoder(320, 240), &DestroyDecoder);
  const JpegInput input{jpeg.data(), static_cast<std::uint32_t>(jpeg.size())};
  DecodedImage result{};
  const std::int32_t size = DecodeImage(decoder.get(), &input, &result);
  if (size <= 0 || result.mode != kSamplingMode422) return {};
  return {Bytes(result.yPlane, result.yPlane + size), static_cast<int>(result.width), static_cast<int>(result.height)};
}

// libavcodec set up as the decoder is, but with its default inverse DCT.
Planes DecodeWithDefaultIdct(const Bytes& jpeg) {
  const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_MJPEG);
  AVCodecContext* context = avcodec_alloc_context3(codec);
  ApplyDecoderSettings(context);
  context->idct_algo = FF_IDCT_AUTO;
  AVPacket* packet = av_packet_alloc();
  AVFrame* frame = av_frame_alloc();
  Planes planes{};
  if (avcodec_open2(context, codec, nullptr) == 0 && av_new_packet(packet, static_cast<int>(jpeg.size())) == 0) {
    std::memcpy(packet->data, jpeg.data(), jpeg.size());
    if (avcodec_send_packet(context, packet) == 0 && avcodec_receive_frame(context, frame) == 0) {
      planes.width = frame->width;
      planes.height = frame->height;
      for (int plane = 0; plane < 3; ++plane) {
        const int width = plane == 0 ? frame->width : frame->width / 2;
        for (int y = 0; y < frame->height; ++y) {
          const std::uint8_t* row = frame->data[plane] + std::ptrdiff_t(y) * frame->linesize[plane];
          planes.samples.insert(planes.samples.end(), row, row + width);
        }
      }
    }
  }
  av_frame_free(&frame);
  av_packet_free(&packet);
  avcodec_free_context(&context);
  return planes;
}

// The error measures of IEEE 1180 over all blocks, and their limits.
struct IdctErrors {
  int peak = 0;
  double pixelMeanSquare = 0, overallMeanSquare = 0, pixelMean = 0, overallMean = 0;
  bool WithinLimits() const {
    return peak <= 1 && pixelMeanSquare <= 0.06 && overallMeanSquare <= 0.02 && pixelMean <= 0.015 &&
           overallMean <= 0.0015;
  }
};

std::ostream& operator<<(std::ostream& out, const IdctErrors& e) {
  char text[160];
  std::snprintf(text, sizeof text, "peak %d, pixel MSE %.4f, overall MSE %.4f, pixel mean %.4f, overall mean %.5f",
                e.peak, e.pixelMeanSquare, e.overallMeanSquare, e.pixelMean, e.overallMean);
  return out << text;
}

IdctErrors MeasureErrors(const Planes& decoded, const std::vector<Samples>& reference) {
  double squares[64] = {}, sums[64] = {};
  IdctErrors e;
  std::size_t block = 0;
  for (int plane = 0; plane < 3; ++plane)
    for (int row = 0; row < kBlockRows; ++row)
      for (int column = 0; column < kBlockColumns[plane]; ++column, ++block)
        for (int i = 0; i < 64; ++i) {
          const int error = decoded.Sample(plane, column * 8 + i % 8, row * 8 + i / 8) - reference[block][i];
          squares[i] += error * error;
          sums[i] += error;
          e.peak = std::max(e.peak, std::abs(error));
        }
  double squareTotal = 0, total = 0;
  for (int i = 0; i < 64; ++i) {
    e.pixelMeanSquare = std::max(e.pixelMeanSquare, squares[i] / kBlockCount);
    e.pixelMean = std::max(e.pixelMean, std::fabs(sums[i]) / kBlockCount);
    squareTotal += squares[i];
    total += sums[i];
  }
  e.overallMeanSquare = squareTotal / (64.0 * kBlockCount);
  e.overallMean = std::fabs(total) / (64.0 * kBlockCount);
  return e;
}

struct InputRange {
  long low, high;
  int sign;  // -1: the same blocks with their samples negated
};

std::vector<Coefficients> RandomBlocks(const InputRange& range) {
  Random1180 random;
  std::vector<Coefficients> blocks(kBlockCount);
  for (Coefficients& block : blocks) {
    double pixels[64];
    for (double& pixel : pixels) pixel = range.sign * random(range.low, range.high);
    block = ForwardDct(pixels);
  }
  return blocks;
}

class IdctAccuracyTest : public ::testing::TestWithParam<InputRange> {};

TEST_P(IdctAccuracyTest, DecoderMeetsTheIeee1180LimitsOnRandomBlocks) {
  const std::vector<Coefficients> blocks = RandomBlocks(GetParam());
  std::vector<Samples> reference;
  for (const Coefficients& block : blocks) reference.push_back(ReferenceIdct(block));
  const Bytes jpeg = EncodeCoefficients(blocks);

  const Planes ours = DecodeWithOurDecoder(jpeg);
  const Planes library = DecodeWithDefaultIdct(jpeg);
  ASSERT_EQ(ours.width, kWidth);
  ASSERT_EQ(library.width, kWidth);
  const IdctErrors oursErrors = MeasureErrors(ours, reference);
  const IdctErrors defaultErrors = MeasureErrors(library, reference);
  std::printf("  range -%ld..%ld sign %+d\n    decoder:      %s\n    default IDCT: %s\n", GetParam().low,
              GetParam().high, GetParam().sign, testing::PrintToString(oursErrors).c_str(),
              testing::PrintToString(defaultErrors).c_str());
  EXPECT_TRUE(oursErrors.WithinLimits()) << oursErrors;
}

// IEEE 1180's ranges, with -128..127 (the level-shifted 8-bit samples) in place of
// -256..255, whose coefficients baseline coding cannot carry.
INSTANTIATE_TEST_SUITE_P(Ranges, IdctAccuracyTest,
                         ::testing::Values(InputRange{128, 127, 1}, InputRange{128, 127, -1}, InputRange{5, 5, 1},
                                           InputRange{5, 5, -1}, InputRange{300, 300, 1}, InputRange{300, 300, -1}),
                         [](const testing::TestParamInfo<InputRange>& range) {
                           return "From" + std::to_string(range.param.low) + "To" + std::to_string(range.param.high) +
                                  (range.param.sign < 0 ? "Negated" : "");
                         });

TEST(IdctAccuracy, AllZeroCoefficientsGiveLevel128Everywhere) {
  const Planes ours = DecodeWithOurDecoder(EncodeCoefficients(std::vector<Coefficients>(kBlockCount)));
  ASSERT_FALSE(ours.samples.empty());
  EXPECT_EQ(std::count(ours.samples.begin(), ours.samples.end(), 128), std::ptrdiff_t(ours.samples.size()));
}

// The reference decode of a JPEG file: its quantised coefficients (libjpeg), dequantised
// and put through the double-precision inverse DCT, in the decoder's plane layout.
Planes ReferenceDecode(const Bytes& jpeg) {
  jpeg_decompress_struct info{};
  jpeg_error_mgr errors{};
  info.err = jpeg_std_error(&errors);
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, jpeg.data(), jpeg.size());
  jpeg_read_header(&info, TRUE);
  jvirt_barray_ptr* arrays = jpeg_read_coefficients(&info);
  Planes planes{Bytes(std::size_t(info.image_width) * info.image_height * 2), static_cast<int>(info.image_width),
                static_cast<int>(info.image_height)};
  for (int c = 0; c < 3; ++c) {
    const jpeg_component_info& component = info.comp_info[c];
    const int planeWidth = c == 0 ? planes.width : planes.width / 2;
    const std::size_t base = c == 0 ? 0 : std::size_t(planes.width) * planes.height * (c + 1) / 2;
    for (JDIMENSION row = 0; row < component.height_in_blocks; ++row) {
      JBLOCKARRAY line = info.mem->access_virt_barray(reinterpret_cast<j_common_ptr>(&info), arrays[c], row, 1, FALSE);
      for (JDIMENSION column = 0; column < component.width_in_blocks; ++column) {
        Coefficients block{};
        for (int i = 0; i < 64; ++i) block[i] = line[0][column][i] * component.quant_table->quantval[i];
        const Samples samples = ReferenceIdct(block);
        for (int i = 0; i < 64; ++i) {
          const std::size_t x = column * 8 + i % 8, y = row * 8 + i / 8;
          if (x < std::size_t(planeWidth) && y < std::size_t(planes.height))
            planes.samples[base + y * planeWidth + x] = static_cast<std::uint8_t>(samples[i]);
        }
      }
    }
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  return planes;
}

double Psnr(const Planes& decoded, const Planes& reference) {
  double squares = 0;
  for (std::size_t i = 0; i < reference.samples.size(); ++i) {
    const double error = double(decoded.samples[i]) - reference.samples[i];
    squares += error * error;
  }
  const double meanSquare = squares / static_cast<double>(reference.samples.size());
  return meanSquare == 0 ? 99.0 : 10 * std::log10(255.0 * 255.0 / meanSquare);
}

// Camera frames (the camera's tables and sampling) at both sizes: the decoder's PSNR
// against the reference is at least that of the default inverse DCT.
TEST(IdctAccuracy, CameraFramesAreAtLeastAsCloseToTheReferenceAsWithTheDefaultIdct) {
  struct Size {
    int width, height;
  };
  for (const Size size : {Size{640, 480}, Size{320, 240}}) {
    for (unsigned seed : {1u, 2u, 3u}) {
      const Bytes file = EncodeJpeg({.width = size.width, .height = size.height, .seed = seed});
      const Bytes image =
          CameraImageFrom(file, static_cast<std::uint16_t>(size.width), static_cast<std::uint16_t>(size.height));
      const Planes reference = ReferenceDecode(file);
      const Planes ours = DecodeWithOurDecoder(image);
      const Planes library = DecodeWithDefaultIdct(image);
      ASSERT_EQ(ours.samples.size(), reference.samples.size());
      ASSERT_EQ(library.samples.size(), reference.samples.size());
      const double oursPsnr = Psnr(ours, reference), defaultPsnr = Psnr(library, reference);
      std::printf("  %dx%d seed %u: PSNR decoder %.2f dB, default IDCT %.2f dB, between them %.2f dB\n", size.width,
                  size.height, seed, oursPsnr, defaultPsnr, Psnr(ours, library));
      EXPECT_GE(oursPsnr, defaultPsnr) << size.width << "x" << size.height << " seed " << seed;
    }
  }
}

}  // namespace
