// Recording speed: 2000 frames of 30 KiB written with AviWriteFrame, with
// libavformat's AVI muxer (what a user would pick instead), and with plain
// fwrite of the same frame bytes (the file system's limit).
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "avi/avi_writer.h"

extern "C" {
#include <libavformat/avformat.h>
}

namespace {

constexpr int kFrames = 2000;
constexpr int kFrameSize = 30 * 1024;
constexpr int kWidth = 640;
constexpr int kHeight = 480;

const std::vector<uint8_t>& FrameBytes() {
  static const std::vector<uint8_t> bytes = [] {
    std::vector<uint8_t> frame(kFrameSize);
    uint32_t state = 12345;
    for (uint8_t& byte : frame) {
      state = state * 1664525u + 1013904223u;
      byte = static_cast<uint8_t>(state >> 24);
    }
    frame[0] = 0xFF;  // looks like a JPEG image to anyone who checks
    frame[1] = 0xD8;
    frame[kFrameSize - 2] = 0xFF;
    frame[kFrameSize - 1] = 0xD9;
    return frame;
  }();
  return bytes;
}

std::string OutputPath(const char* name) {
  return (std::filesystem::temp_directory_path() / ("avi-bench-" + std::to_string(::getpid()) + "-" + name)).string();
}

// Runs write(path) once per iteration on a fresh file and counts its bytes.
template <typename Write>
void RunRecording(benchmark::State& state, const char* name, Write write) {
  const std::string path = OutputPath(name);
  for (auto _ : state) {
    if (!write(path.c_str())) {
      state.SkipWithError("recording failed");
      break;
    }
    state.PauseTiming();
    std::filesystem::remove(path);
    state.ResumeTiming();
  }
  state.SetBytesProcessed(state.iterations() * int64_t{kFrames} * kFrameSize);
  state.SetItemsProcessed(state.iterations() * kFrames);
}

bool WriteWithAviWriter(const char* path) {
  const std::vector<uint8_t>& frame = FrameBytes();
  AviWriter* writer = AviOpen(path);
  if (writer == nullptr) return false;
  bool ok = AviAddVideoStream(writer, kAviCodecMjpeg, kWidth, kHeight, 25, 512000) == 0 && AviWriteHeader(writer) == 0;
  for (int n = 0; ok && n < kFrames; ++n) ok = AviWriteFrame(writer, 0, true, frame.data(), kFrameSize) == 0;
  ok = ok && AviFinish(writer) == 0;
  AviClose(writer);
  return ok;
}

bool WriteWithLibavformat(const char* path) {
  const std::vector<uint8_t>& frame = FrameBytes();
  AVFormatContext* format = nullptr;
  if (avformat_alloc_output_context2(&format, nullptr, "avi", path) < 0) return false;
  AVStream* stream = avformat_new_stream(format, nullptr);
  AVPacket* packet = av_packet_alloc();
  bool ok = stream != nullptr && packet != nullptr && avio_open(&format->pb, path, AVIO_FLAG_WRITE) >= 0;
  if (ok) {
    stream->codecpar->codec_type = AVMEDIA_TYPE_VIDEO;
    stream->codecpar->codec_id = AV_CODEC_ID_MJPEG;
    stream->codecpar->width = kWidth;
    stream->codecpar->height = kHeight;
    stream->codecpar->bit_rate = 512000;
    stream->time_base = AVRational{1, 25};
    ok = avformat_write_header(format, nullptr) >= 0;
  }
  for (int n = 0; ok && n < kFrames; ++n) {
    packet->data = const_cast<uint8_t*>(frame.data());
    packet->size = kFrameSize;
    packet->stream_index = 0;
    packet->pts = packet->dts = n;
    packet->duration = 1;
    packet->flags = AV_PKT_FLAG_KEY;
    av_packet_rescale_ts(packet, AVRational{1, 25}, stream->time_base);
    ok = av_write_frame(format, packet) >= 0;
  }
  ok = ok && av_write_trailer(format) >= 0;
  av_packet_free(&packet);
  if (format->pb != nullptr) avio_closep(&format->pb);
  avformat_free_context(format);
  return ok;
}

bool WriteWithFwrite(const char* path) {
  const std::vector<uint8_t>& frame = FrameBytes();
  FILE* file = std::fopen(path, "wb");
  if (file == nullptr) return false;
  bool ok = true;
  for (int n = 0; ok && n < kFrames; ++n) ok = std::fwrite(frame.data(), 1, kFrameSize, file) == kFrameSize;
  return std::fclose(file) == 0 && ok;
}

void BM_AviWriter(benchmark::State& state) { RunRecording(state, "writer.avi", WriteWithAviWriter); }
void BM_LibavformatAviMuxer(benchmark::State& state) { RunRecording(state, "libavformat.avi", WriteWithLibavformat); }
void BM_PlainFwrite(benchmark::State& state) { RunRecording(state, "fwrite.bin", WriteWithFwrite); }

BENCHMARK(BM_AviWriter)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(5);
BENCHMARK(BM_LibavformatAviMuxer)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(5);
BENCHMARK(BM_PlainFwrite)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(5);

}  // namespace

BENCHMARK_MAIN();
