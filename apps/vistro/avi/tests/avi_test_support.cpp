#include "avi_test_support.h"

#include <unistd.h>

#include <fstream>
#include <iterator>

#include "avi/avi_writer.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libavutil/log.h>
}

TempPath::TempPath(const std::string& name)
    : path_(std::filesystem::temp_directory_path() / ("avi-test-" + std::to_string(::getpid()) + "-" + name)) {
  std::filesystem::remove(path_);
}

TempPath::~TempPath() {
  std::error_code ignored;
  std::filesystem::remove(path_, ignored);
}

Bytes ReadFileBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

static uint64_t LeN(const Bytes& file, uint64_t offset, int size) {
  if (offset + size > file.size()) return 0;
  uint64_t value = 0;
  for (int i = size - 1; i >= 0; --i) value = value << 8 | file[offset + i];
  return value;
}

uint16_t Le16(const Bytes& file, uint64_t offset) { return static_cast<uint16_t>(LeN(file, offset, 2)); }
uint32_t Le32(const Bytes& file, uint64_t offset) { return static_cast<uint32_t>(LeN(file, offset, 4)); }
uint64_t Le64(const Bytes& file, uint64_t offset) { return LeN(file, offset, 8); }

std::string FourCC(const Bytes& file, uint64_t offset) {
  if (offset + 4 > file.size()) return "";
  return std::string(file.begin() + static_cast<std::ptrdiff_t>(offset),
                     file.begin() + static_cast<std::ptrdiff_t>(offset + 4));
}

Bytes PatternFrame(int n, size_t size) {
  Bytes frame(size);
  uint32_t state = 2166136261u ^ static_cast<uint32_t>(n);
  for (uint8_t& byte : frame) {
    state = state * 1664525u + 1013904223u;
    byte = static_cast<uint8_t>(state >> 24);
  }
  return frame;
}

std::vector<Bytes> EncodeJpegFrames(int count, int width, int height) {
  std::vector<Bytes> frames;
  const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_MJPEG);
  AVCodecContext* context = codec ? avcodec_alloc_context3(codec) : nullptr;
  AVFrame* picture = av_frame_alloc();
  AVPacket* packet = av_packet_alloc();
  if (context && picture && packet) {
    context->width = width;
    context->height = height;
    context->pix_fmt = AV_PIX_FMT_YUVJ420P;
    context->time_base = AVRational{1, 25};
    picture->format = context->pix_fmt;
    picture->width = width;
    picture->height = height;
    if (avcodec_open2(context, codec, nullptr) == 0 && av_frame_get_buffer(picture, 0) == 0) {
      for (int n = 0; n < count; ++n) {
        if (av_frame_make_writable(picture) < 0) break;
        for (int plane = 0; plane < 3; ++plane) {
          const int planeHeight = plane == 0 ? height : height / 2;
          const int planeWidth = plane == 0 ? width : width / 2;
          for (int y = 0; y < planeHeight; ++y) {
            for (int x = 0; x < planeWidth; ++x) {
              picture->data[plane][y * picture->linesize[plane] + x] = static_cast<uint8_t>(x + y * plane + 7 * n);
            }
          }
        }
        picture->pts = n;
        if (avcodec_send_frame(context, picture) < 0 || avcodec_receive_packet(context, packet) < 0) break;
        frames.emplace_back(packet->data, packet->data + packet->size);
        av_packet_unref(packet);
      }
    }
  }
  av_packet_free(&packet);
  av_frame_free(&picture);
  avcodec_free_context(&context);
  return frames;
}

int WriteRecording(const char* path, int width, int height, const std::vector<Bytes>& frames) {
  AviWriter* writer = AviOpen(path);
  if (writer == nullptr) return -1;
  int result = AviAddVideoStream(writer, kAviCodecMjpeg, width, height, 25, 512000) == 0 ? 0 : -1;
  if (result == 0) result = AviWriteHeader(writer);
  for (size_t n = 0; result == 0 && n < frames.size(); ++n) {
    result = AviWriteFrame(writer, 0, true, frames[n].data(), static_cast<int32_t>(frames[n].size()));
  }
  if (result == 0) result = AviFinish(writer);
  AviClose(writer);
  return result;
}

bool ReadBack(const char* path, ReadBackInfo& info,
              const std::function<void(int n, const uint8_t* data, int size, bool keyFrame)>& onPacket) {
  av_log_set_level(AV_LOG_ERROR);
  AVFormatContext* format = nullptr;
  if (avformat_open_input(&format, path, nullptr, nullptr) < 0) return false;
  bool ok = format->nb_streams >= 1;
  if (ok) {
    const AVStream* stream = format->streams[0];
    info.codecName = avcodec_get_name(stream->codecpar->codec_id);
    info.width = stream->codecpar->width;
    info.height = stream->codecpar->height;
    info.timeBaseNumerator = stream->time_base.num;
    info.timeBaseDenominator = stream->time_base.den;
    info.declaredFrames = stream->nb_frames;
  }
  AVPacket* packet = av_packet_alloc();
  ok = ok && packet != nullptr;
  while (ok) {
    const int result = av_read_frame(format, packet);
    if (result == AVERROR_EOF) break;
    if (result < 0) {
      ok = false;
      break;
    }
    if (packet->stream_index == 0) {
      onPacket(info.packets++, packet->data, packet->size, (packet->flags & AV_PKT_FLAG_KEY) != 0);
    }
    av_packet_unref(packet);
  }
  av_packet_free(&packet);
  avformat_close_input(&format);
  return ok;
}

std::vector<Bytes> ReadBackPackets(const char* path, ReadBackInfo& info) {
  std::vector<Bytes> packets;
  const bool ok =
      ReadBack(path, info, [&](int, const uint8_t* data, int size, bool) { packets.emplace_back(data, data + size); });
  return ok ? packets : std::vector<Bytes>{};
}

Bytes ReadFileRange(const std::filesystem::path& path, uint64_t offset, size_t size) {
  std::ifstream in(path, std::ios::binary);
  in.seekg(static_cast<std::streamoff>(offset));
  Bytes bytes(size);
  in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(size));
  bytes.resize(static_cast<size_t>(in.gcount()));
  return bytes;
}
