#include "avi_probe.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

AviProbe ProbeAvi(const std::string& path) {
  AviProbe probe;
  AVFormatContext* format = nullptr;
  if (avformat_open_input(&format, path.c_str(), nullptr, nullptr) < 0) return probe;
  if (avformat_find_stream_info(format, nullptr) >= 0) {
    const int video = av_find_best_stream(format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (video >= 0) {
      probe.opened = true;
      const AVCodecParameters* parameters = format->streams[video]->codecpar;
      probe.width = parameters->width;
      probe.height = parameters->height;
      probe.codec = avcodec_get_name(parameters->codec_id);
      AVPacket* packet = av_packet_alloc();
      while (packet != nullptr && av_read_frame(format, packet) >= 0) {
        if (packet->stream_index == video) ++probe.frames;
        av_packet_unref(packet);
      }
      av_packet_free(&packet);
    }
  }
  avformat_close_input(&format);
  return probe;
}
