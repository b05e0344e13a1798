#include "image/jpeg_decoder.h"

#include <cstring>
#include <limits>
#include <mutex>
#include <new>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/imgutils.h>
}

#include "image/decoder_settings.h"
#include "jpeg_frame_header.h"
#include "planar_layout.h"

struct JpegDecoder {
  AVCodecContext* context = nullptr;
  AVFrame* frame = nullptr;
  AVPacket* packet = nullptr;
  // Copy of the image with the zeroed tail the library's bit reader may touch.
  AVBufferRef* input = nullptr;
  // The planar buffer, reference counted so that the library may hold it
  // while it decodes into it.
  AVBufferRef* planar = nullptr;
  PlanarLayout layout;
  // Minimum coded unit of the image being decoded, for the direct-write test.
  std::uint32_t mcuWidth = 0;
  std::uint32_t mcuHeight = 0;
  // The library holds the typical Huffman tables, as it does from its start: an image
  // whose only tables are those is then handed over without them, which spares the
  // library building the same decoding tables again for every camera frame.
  bool libraryHasTypicalTables = true;
};

namespace {

bool FormatMatchesMode(int format, std::uint32_t mode) {
  switch (format) {
    case AV_PIX_FMT_YUVJ420P:
    case AV_PIX_FMT_YUV420P: return mode == kSamplingMode420;
    case AV_PIX_FMT_YUVJ422P:
    case AV_PIX_FMT_YUV422P: return mode == kSamplingMode422;
    case AV_PIX_FMT_YUVJ444P:
    case AV_PIX_FMT_YUV444P: return mode == kSamplingMode444;
    default: return false;
  }
}

bool FrameMatchesLayout(const AVFrame& frame, const PlanarLayout& layout) {
  return frame.width > 0 && frame.height > 0 && static_cast<std::uint32_t>(frame.width) == layout.width &&
         static_cast<std::uint32_t>(frame.height) == layout.height && FormatMatchesMode(frame.format, layout.mode);
}

// The library writes whole 8 x 8 blocks and wants aligned rows; our packed
// planes serve as its frame only when the image is whole MCUs and every row
// and plane starts 32-byte aligned. Other images decode into the library's own
// buffer and are copied.
bool CanDecodeInPlace(const JpegDecoder& d) {
  const PlanarLayout& l = d.layout;
  return l.width % d.mcuWidth == 0 && l.height % d.mcuHeight == 0 && l.width % 32 == 0 && l.chromaStride % 32 == 0 &&
         l.cbOffset % 32 == 0 && l.crOffset % 32 == 0;
}

void PointFrameAtPlanes(AVFrame& frame, std::uint8_t* base, const PlanarLayout& l) {
  frame.data[0] = base;
  frame.data[1] = base + l.cbOffset;
  frame.data[2] = base + l.crOffset;
  frame.linesize[0] = static_cast<int>(l.width);
  frame.linesize[1] = frame.linesize[2] = static_cast<int>(l.chromaStride);
}

int GetFrameBuffer(AVCodecContext* context, AVFrame* frame, int flags) {
  auto* d = static_cast<JpegDecoder*>(context->opaque);
  if (!d->planar || !FrameMatchesLayout(*frame, d->layout) || !CanDecodeInPlace(*d))
    return avcodec_default_get_buffer2(context, frame, flags);
  frame->buf[0] = av_buffer_ref(d->planar);
  if (!frame->buf[0]) return AVERROR(ENOMEM);
  PointFrameAtPlanes(*frame, d->planar->data, d->layout);
  frame->extended_data = frame->data;
  return 0;
}

// Copies a frame decoded into the library's buffer into the packed planes,
// never past the planes' own rows and widths.
void CopyFrameToPlanes(const AVFrame& frame, std::uint8_t* base, const PlanarLayout& l) {
  const std::uint32_t widths[3] = {l.width, l.chromaStride, l.chromaStride};
  const std::uint32_t rows[3] = {l.height, l.chromaRows, l.chromaRows};
  const std::uint32_t offsets[3] = {0, l.cbOffset, l.crOffset};
  const int chromaShiftX = l.mode == kSamplingMode444 ? 0 : 1;
  const int chromaShiftY = l.mode == kSamplingMode420 ? 1 : 0;
  for (int plane = 0; plane < 3; ++plane) {
    const std::uint32_t sourceWidth = plane == 0 ? l.width : AV_CEIL_RSHIFT(l.width, chromaShiftX);
    const std::uint32_t sourceRows = plane == 0 ? l.height : AV_CEIL_RSHIFT(l.height, chromaShiftY);
    const std::uint32_t copyWidth = widths[plane] < sourceWidth ? widths[plane] : sourceWidth;
    const std::uint32_t copyRows = rows[plane] < sourceRows ? rows[plane] : sourceRows;
    if (copyWidth == 0 || copyRows == 0) continue;
    av_image_copy_plane(base + offsets[plane], static_cast<int>(widths[plane]), frame.data[plane],
                        frame.linesize[plane], static_cast<int>(copyWidth), static_cast<int>(copyRows));
  }
}

// Copies the image, less the bytes [skipAt, skipAt + skipLength), into the padded input
// buffer; grows it only when an image is larger than any before. The length copied.
std::uint32_t CopyInput(JpegDecoder& d, const JpegInput& input, std::size_t skipAt, std::size_t skipLength) {
  const std::size_t needed = std::size_t{input.length} + AV_INPUT_BUFFER_PADDING_SIZE;
  if (!d.input || static_cast<std::size_t>(d.input->size) < needed) {
    av_buffer_unref(&d.input);
    d.input = av_buffer_alloc(needed + needed / 2);
    if (!d.input) return 0;
  }
  std::memcpy(d.input->data, input.data, skipAt);
  const std::size_t rest = input.length - skipAt - skipLength;
  std::memcpy(d.input->data + skipAt, input.data + skipAt + skipLength, rest);
  std::memset(d.input->data + skipAt + rest, 0, AV_INPUT_BUFFER_PADDING_SIZE);
  return static_cast<std::uint32_t>(skipAt + rest);
}

// Replaces the planar buffer when the geometry changes; keeps it otherwise. A new
// buffer starts zeroed: the blocks that the library leaves out of a damaged scan hold
// zeros (or, later, the previous image's samples), never stray memory.
bool EnsurePlanarBuffer(JpegDecoder& d, const PlanarLayout& wanted) {
  if (d.planar && d.layout == wanted) return true;
  av_buffer_unref(&d.planar);
  d.layout = wanted;
  d.planar = av_buffer_allocz(wanted.size > 0 ? wanted.size : 1);
  return d.planar != nullptr;
}

// Runs the library on the input copy; true when a frame came out.
bool RunLibrary(JpegDecoder& d, std::uint32_t length) {
  d.packet->buf = av_buffer_ref(d.input);
  if (!d.packet->buf) return false;
  d.packet->data = d.input->data;
  d.packet->size = static_cast<int>(length);
  const bool decoded = avcodec_send_packet(d.context, d.packet) == 0 && avcodec_receive_frame(d.context, d.frame) == 0;
  av_packet_unref(d.packet);
  return decoded;
}

void FillResult(const JpegDecoder& d, DecodedImage& result) {
  const PlanarLayout& l = d.layout;
  std::uint8_t* base = d.planar->data;
  result = DecodedImage{
      l.width, l.height,       base,  base + l.cbOffset, base + l.crOffset, l.width, l.chromaStride, l.chromaStride,
      l.size,  l.bitsPerPixel, l.mode};
}

void QuietLibrary() {
  // The driver logs nothing; broken camera frames would otherwise fill stderr.
  static std::once_flag once;
  std::call_once(once, [] { av_log_set_level(AV_LOG_QUIET); });
}

}  // namespace

JpegDecoder* CreateDecoder(std::uint32_t width, std::uint32_t height) {
  try {
    QuietLibrary();
  } catch (...) {  // std::call_once may report a system error; nothing escapes
    return nullptr;
  }
  JpegDecoder* d = new (std::nothrow) JpegDecoder;
  if (!d) return nullptr;
  PlanarLayout first;
  const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_MJPEG);
  bool ready = codec && MakePlanarLayout(width, height, kSamplingMode420, first) && EnsurePlanarBuffer(*d, first);
  if (ready) {
    d->context = avcodec_alloc_context3(codec);
    d->frame = av_frame_alloc();
    d->packet = av_packet_alloc();
    ready = d->context && d->frame && d->packet;
  }
  if (ready) {
    d->context->opaque = d;
    d->context->get_buffer2 = GetFrameBuffer;
    ApplyDecoderSettings(d->context);
    ready = avcodec_open2(d->context, codec, nullptr) == 0;
  }
  if (!ready) {
    DestroyDecoder(d);
    return nullptr;
  }
  return d;
}

std::int32_t DecodeImage(JpegDecoder* decoder, const JpegInput* input, DecodedImage* result) {
  if (!decoder || !input || !result || !input->data || input->length == 0) return -1;
  // The library takes packet sizes as int.
  if (input->length > std::numeric_limits<int>::max() - AV_INPUT_BUFFER_PADDING_SIZE) return -1;
  JpegDecoder& d = *decoder;

  FrameHeader header;
  PlanarLayout wanted;
  if (!ReadFrameHeader(input->data, input->length, header) ||
      av_image_check_size(header.width, header.height, 0, nullptr) < 0 ||
      !MakePlanarLayout(header.width, header.height, header.mode, wanted))
    return -1;
  if (!EnsurePlanarBuffer(d, wanted)) return -1;
  const bool onlyTypicalTables = header.typicalTablesAt != 0 && !header.otherTables;
  const bool skipTables = onlyTypicalTables && d.libraryHasTypicalTables;
  const std::uint32_t length =
      CopyInput(d, *input, skipTables ? header.typicalTablesAt : 0, skipTables ? header.typicalTablesLength : 0);
  if (length == 0) return -1;
  d.mcuWidth = header.mcuWidth;
  d.mcuHeight = header.mcuHeight;
  // An image with tables of its own leaves them in the library.
  if (header.otherTables) d.libraryHasTypicalTables = false;
  if (onlyTypicalTables) d.libraryHasTypicalTables = true;

  if (!RunLibrary(d, length)) {
    avcodec_flush_buffers(d.context);   // the next image starts from scratch
    d.libraryHasTypicalTables = false;  // its tables may have been taken in part
    return -1;
  }
  // The library may still disagree with the header read above (a second frame
  // header, a colour transform); only the expected layout is delivered.
  const bool delivered = FrameMatchesLayout(*d.frame, d.layout);
  if (delivered && d.frame->data[0] != d.planar->data) CopyFrameToPlanes(*d.frame, d.planar->data, d.layout);
  av_frame_unref(d.frame);
  if (!delivered) return -1;
  FillResult(d, *result);
  return static_cast<std::int32_t>(d.layout.size);
}

void DestroyDecoder(JpegDecoder* decoder) {
  if (!decoder) return;
  avcodec_free_context(&decoder->context);
  av_frame_free(&decoder->frame);
  av_packet_free(&decoder->packet);
  av_buffer_unref(&decoder->input);
  av_buffer_unref(&decoder->planar);
  delete decoder;
}
