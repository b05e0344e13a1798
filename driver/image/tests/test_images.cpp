#include "test_images.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include <jpeglib.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/pixdesc.h>
}

#include "image/decoder_settings.h"
#include "image/jpeg_header.h"

Bytes EncodeJpeg(const EncodeOptions& o) {
  jpeg_compress_struct c{};
  jpeg_error_mgr errors{};
  c.err = jpeg_std_error(&errors);
  jpeg_create_compress(&c);
  unsigned char* out = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&c, &out, &size);
  c.image_width = static_cast<JDIMENSION>(o.width);
  c.image_height = static_cast<JDIMENSION>(o.height);
  c.input_components = o.components;
  c.in_color_space = o.components == 3 ? JCS_YCbCr : JCS_GRAYSCALE;
  jpeg_set_defaults(&c);
  jpeg_set_quality(&c, o.quality, TRUE);
  if (o.progressive) jpeg_simple_progression(&c);
  c.optimize_coding = o.optimizeTables ? TRUE : FALSE;
  static const jpeg_scan_info kScanPerComponent[3] = {
      {1, {0}, 0, 63, 0, 0}, {1, {1}, 0, 63, 0, 0}, {1, {2}, 0, 63, 0, 0}};
  if (o.scanPerComponent) {
    c.scan_info = kScanPerComponent;
    c.num_scans = 3;
  }
  for (int i = 0; i < o.components; ++i) {
    c.comp_info[i].h_samp_factor = o.sampling.horizontal[i];
    c.comp_info[i].v_samp_factor = o.sampling.vertical[i];
  }
  jpeg_start_compress(&c, TRUE);
  Bytes row(static_cast<std::size_t>(o.width * o.components));
  while (c.next_scanline < c.image_height) {
    const unsigned y = c.next_scanline;
    for (int x = 0; x < o.width; ++x) {
      for (int k = 0; k < o.components; ++k) {
        // Gradients plus a pseudo-random texture, different per component.
        const unsigned noise = ((x * 7919u + y * 104729u + k * 31u + o.seed * 17u) * 2654435761u) >> 27;
        const unsigned base = k == 0 ? (x + y + o.seed * 13u) : 128u + (k == 1 ? x / 3 : y / 3) - 40u;
        row[static_cast<std::size_t>(x * o.components + k)] = static_cast<std::uint8_t>(base + noise);
      }
    }
    JSAMPROW rowPointer = row.data();
    jpeg_write_scanlines(&c, &rowPointer, 1);
  }
  jpeg_finish_compress(&c);
  Bytes jpeg(out, out + size);
  std::free(out);
  jpeg_destroy_compress(&c);
  return jpeg;
}

namespace {

// Calls visit(marker, payloadOffset, payloadLength) for each segment before the
// first scan's data; stops after SOS.
template <typename Visit>
void WalkSegments(const Bytes& jpeg, Visit&& visit) {
  std::size_t at = 2;
  while (at + 4 <= jpeg.size()) {
    if (jpeg[at] != 0xFF) throw std::runtime_error("not at a marker");
    const std::uint8_t marker = jpeg[at + 1];
    const std::size_t length = std::size_t{jpeg[at + 2]} << 8 | jpeg[at + 3];
    visit(marker, at + 4, length - 2);
    at += 2 + length;
    if (marker == 0xDA) return;
  }
  throw std::runtime_error("no SOS segment");
}

}  // namespace

std::size_t ScanDataOffset(const Bytes& jpeg) {
  std::size_t end = 0;
  WalkSegments(jpeg, [&](std::uint8_t marker, std::size_t payload, std::size_t length) {
    if (marker == 0xDA) end = payload + length;
  });
  return end;
}

std::size_t MarkerOffset(const Bytes& jpeg, std::uint8_t wanted) {
  std::size_t offset = 0;
  bool found = false;
  WalkSegments(jpeg, [&](std::uint8_t marker, std::size_t payload, std::size_t) {
    if (marker == wanted && !found) {
      offset = payload - 4;
      found = true;
    }
  });
  if (!found) throw std::runtime_error("marker not found");
  return offset;
}

std::vector<Bytes> Segments(const Bytes& jpeg, std::uint8_t wanted) {
  std::vector<Bytes> found;
  WalkSegments(jpeg, [&](std::uint8_t marker, std::size_t payload, std::size_t length) {
    if (marker == wanted) found.emplace_back(jpeg.begin() + payload, jpeg.begin() + payload + length);
  });
  return found;
}

Bytes CameraImageFrom(const Bytes& jpeg, std::uint16_t width, std::uint16_t height) {
  Bytes image(JpegHeaderTemplate.begin(), JpegHeaderTemplate.end());
  PatchJpegFrameSize(image.data(), width, height);
  image.insert(image.end(), jpeg.begin() + static_cast<std::ptrdiff_t>(ScanDataOffset(jpeg)), jpeg.end());
  return image;
}

namespace {

// The library's own buffers, zeroed, as the decoder's planes start: the blocks a damaged
// scan leaves out hold zeros on both sides.
int ZeroedFrameBuffer(AVCodecContext* context, AVFrame* frame, int flags) {
  const int result = avcodec_default_get_buffer2(context, frame, flags);
  for (int plane = 0; result == 0 && plane < AV_NUM_DATA_POINTERS && frame->buf[plane]; ++plane) {
    std::memset(frame->buf[plane]->data, 0, frame->buf[plane]->size);
  }
  return result;
}

}  // namespace

ReferencePlanes DecodeWithLibav(const Bytes& jpeg) {
  const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_MJPEG);
  AVCodecContext* context = avcodec_alloc_context3(codec);
  AVPacket* packet = av_packet_alloc();
  AVFrame* frame = av_frame_alloc();
  ApplyDecoderSettings(context);
  context->get_buffer2 = ZeroedFrameBuffer;
  ReferencePlanes planes;
  if (avcodec_open2(context, codec, nullptr) == 0 && av_new_packet(packet, static_cast<int>(jpeg.size())) == 0) {
    std::memcpy(packet->data, jpeg.data(), jpeg.size());
    if (avcodec_send_packet(context, packet) == 0 && avcodec_receive_frame(context, frame) == 0) {
      const AVPixFmtDescriptor* format = av_pix_fmt_desc_get(static_cast<AVPixelFormat>(frame->format));
      planes.width = frame->width;
      planes.height = frame->height;
      for (int plane = 0; plane < 3; ++plane) {
        const int shiftX = plane == 0 ? 0 : format->log2_chroma_w;
        const int shiftY = plane == 0 ? 0 : format->log2_chroma_h;
        const int width = AV_CEIL_RSHIFT(frame->width, shiftX);
        const int rows = AV_CEIL_RSHIFT(frame->height, shiftY);
        for (int y = 0; y < rows; ++y) {
          const std::uint8_t* row = frame->data[plane] + static_cast<std::ptrdiff_t>(y) * frame->linesize[plane];
          planes.rows[plane].emplace_back(row, row + width);
        }
      }
    }
  }
  av_frame_free(&frame);
  av_packet_free(&packet);
  avcodec_free_context(&context);
  return planes;
}
