#include "emucam/scan_encoder.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <stdexcept>
#include <string>

#include <jpeglib.h>

namespace emucam {
namespace {

// Quality 50 is libjpeg's scale factor 100 %: the Annex K tables as they stand.
constexpr int kUnscaledQuality = 50;
constexpr int kMcuRows = DCTSIZE;  // vertical sampling 1: eight rows per MCU row

[[noreturn]] void ThrowOnJpegError(j_common_ptr info) {
  char message[JMSG_LENGTH_MAX];
  (*info->err->format_message)(info, message);
  throw std::runtime_error(std::string("JPEG encoder: ") + message);
}

// Finds the first byte after the SOS segment of a complete JPEG image.
size_t ScanStart(std::span<const uint8_t> image) {
  size_t pos = 2;  // after SOI
  while (pos + 4 <= image.size()) {
    if (image[pos] != 0xFF) break;
    const uint8_t marker = image[pos + 1];
    const size_t length = static_cast<size_t>(image[pos + 2] << 8 | image[pos + 3]);
    pos += 2 + length;
    if (marker == 0xDA) return pos;
  }
  throw std::runtime_error("JPEG encoder: no scan in the encoded image");
}

}  // namespace

// The compressor and a destination that writes into `output_`, growing it on demand.
struct ScanEncoder::Codec {
  jpeg_compress_struct info{};
  jpeg_error_mgr errors{};
  jpeg_destination_mgr destination{};
  std::vector<uint8_t>* output = nullptr;

  static Codec& Of(j_compress_ptr cinfo) { return *static_cast<Codec*>(cinfo->client_data); }
  static void Init(j_compress_ptr cinfo) {
    Codec& codec = Of(cinfo);
    if (codec.output->size() < 65536) codec.output->resize(65536);
    cinfo->dest->next_output_byte = codec.output->data();
    cinfo->dest->free_in_buffer = codec.output->size();
  }
  static boolean Grow(j_compress_ptr cinfo) {
    Codec& codec = Of(cinfo);
    const size_t used = codec.output->size();  // libjpeg calls this only when full
    codec.output->resize(used * 2);
    cinfo->dest->next_output_byte = codec.output->data() + used;
    cinfo->dest->free_in_buffer = codec.output->size() - used;
    return TRUE;
  }
  static void Term(j_compress_ptr) {}
};

ScanEncoder::ScanEncoder() : codec_(std::make_unique<Codec>()) {
  Codec& c = *codec_;
  c.info.err = jpeg_std_error(&c.errors);
  c.errors.error_exit = ThrowOnJpegError;
  jpeg_create_compress(&c.info);
  c.info.client_data = codec_.get();
  c.output = &output_;
  c.destination.init_destination = Codec::Init;
  c.destination.empty_output_buffer = Codec::Grow;
  c.destination.term_destination = Codec::Term;
  c.info.dest = &c.destination;
}

ScanEncoder::~ScanEncoder() { jpeg_destroy_compress(&codec_->info); }

void ScanEncoder::Encode(const PlanarImage& image) {
  const size_t lumaBytes = static_cast<size_t>(image.width) * image.height;
  if (image.width <= 0 || image.height <= 0 || image.width % 16 != 0 || image.height % 8 != 0 ||
      image.y.size() != lumaBytes || image.cb.size() != lumaBytes / 2 || image.cr.size() != lumaBytes / 2) {
    throw std::invalid_argument("JPEG encoder: planes must be 4:2:2 in whole 16 x 8 units");
  }
  jpeg_compress_struct& info = codec_->info;
  info.image_width = static_cast<JDIMENSION>(image.width);
  info.image_height = static_cast<JDIMENSION>(image.height);
  info.input_components = 3;
  info.in_color_space = JCS_YCbCr;
  jpeg_set_defaults(&info);
  jpeg_set_colorspace(&info, JCS_YCbCr);
  jpeg_set_quality(&info, kUnscaledQuality, TRUE);
  info.comp_info[0].h_samp_factor = 2;
  info.comp_info[0].v_samp_factor = 1;
  for (int c = 1; c < 3; ++c) {
    info.comp_info[c].h_samp_factor = 1;
    info.comp_info[c].v_samp_factor = 1;
  }
  info.raw_data_in = TRUE;
  info.write_JFIF_header = FALSE;
  info.optimize_coding = FALSE;
  info.restart_interval = 0;
  info.dct_method = JDCT_ISLOW;

  jpeg_start_compress(&info, TRUE);
  std::array<JSAMPROW, kMcuRows> yRows{}, cbRows{}, crRows{};
  std::array<JSAMPARRAY, 3> planes{yRows.data(), cbRows.data(), crRows.data()};
  const size_t chromaWidth = static_cast<size_t>(image.chromaWidth());
  auto* y = const_cast<uint8_t*>(image.y.data());  // libjpeg's row type is not const
  auto* cb = const_cast<uint8_t*>(image.cb.data());
  auto* cr = const_cast<uint8_t*>(image.cr.data());
  while (info.next_scanline < info.image_height) {
    for (int i = 0; i < kMcuRows; ++i) {
      const size_t row = std::min<size_t>(info.next_scanline + i, info.image_height - 1);
      yRows[i] = y + row * image.width;
      cbRows[i] = cb + row * chromaWidth;
      crRows[i] = cr + row * chromaWidth;
    }
    jpeg_write_raw_data(&info, planes.data(), kMcuRows);
  }
  jpeg_finish_compress(&info);

  imageLength_ = output_.size() - info.dest->free_in_buffer;
  scanOffset_ = ScanStart(Image());
  scanLength_ = imageLength_ - 2 - scanOffset_;  // the image ends with FF D9
}

}  // namespace emucam
