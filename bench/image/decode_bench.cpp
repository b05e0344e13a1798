// DecodeImage next to calling libavcodec directly (our overhead) and next to
// TurboJPEG decoding the same image to planar YCbCr.
#include <benchmark/benchmark.h>

#include <cstring>

#include <turbojpeg.h>

extern "C" {
#include <libavcodec/avcodec.h>
}

#include "bench_images.h"
#include "image/jpeg_decoder.h"

namespace {

struct Image {
  int width, height;
  Bytes jpeg;
};

Image MakeImage(const benchmark::State& state) {
  const int width = static_cast<int>(state.range(0)), height = static_cast<int>(state.range(1));
  return {width, height, CameraImage(MakeJpeg(width, height), width, height)};
}

void CountPixels(benchmark::State& state, const Image& image) {
  state.counters["time/px"] =
      benchmark::Counter(static_cast<double>(image.width * image.height),
                         benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
  state.counters["jpeg_bytes"] = static_cast<double>(image.jpeg.size());
}

void DecodeImageBench(benchmark::State& state) {
  const Image image = MakeImage(state);
  JpegDecoder* decoder = CreateDecoder(320, 240);
  const JpegInput input{image.jpeg.data(), static_cast<std::uint32_t>(image.jpeg.size())};
  DecodedImage result{};
  for (auto _ : state) {
    if (DecodeImage(decoder, &input, &result) <= 0) state.SkipWithError("decode failed");
    benchmark::DoNotOptimize(result.yPlane);
  }
  DestroyDecoder(decoder);
  CountPixels(state, image);
}

// What a direct libavcodec user writes: a padded, reference-counted packet
// reused for every frame, and the frame in the library's own buffers.
void RawLibavcodec(benchmark::State& state) {
  const Image image = MakeImage(state);
  const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_MJPEG);
  AVCodecContext* context = avcodec_alloc_context3(codec);
  avcodec_open2(context, codec, nullptr);
  AVPacket* packet = av_packet_alloc();
  AVFrame* frame = av_frame_alloc();
  AVBufferRef* buffer = av_buffer_allocz(image.jpeg.size() + AV_INPUT_BUFFER_PADDING_SIZE);
  std::memcpy(buffer->data, image.jpeg.data(), image.jpeg.size());
  for (auto _ : state) {
    packet->buf = av_buffer_ref(buffer);
    packet->data = buffer->data;
    packet->size = static_cast<int>(image.jpeg.size());
    if (avcodec_send_packet(context, packet) < 0 || avcodec_receive_frame(context, frame) < 0)
      state.SkipWithError("decode failed");
    benchmark::DoNotOptimize(frame->data[0]);
    av_frame_unref(frame);
    av_packet_unref(packet);
  }
  av_buffer_unref(&buffer);
  av_frame_free(&frame);
  av_packet_free(&packet);
  avcodec_free_context(&context);
  CountPixels(state, image);
}

void TurboJpegToPlanes(benchmark::State& state) {
  const Image image = MakeImage(state);
  tjhandle handle = tjInitDecompress();
  const int w = image.width, h = image.height;
  Bytes planes(static_cast<std::size_t>(2 * w * h));
  unsigned char* destinations[3] = {planes.data(), planes.data() + w * h, planes.data() + w * h * 3 / 2};
  int strides[3] = {w, w / 2, w / 2};
  for (auto _ : state) {
    if (tjDecompressToYUVPlanes(handle, image.jpeg.data(), image.jpeg.size(), destinations, w, strides, h, 0) != 0)
      state.SkipWithError(tjGetErrorStr2(handle));
    benchmark::DoNotOptimize(planes.data());
  }
  tjDestroy(handle);
  CountPixels(state, image);
}

void Sizes(benchmark::internal::Benchmark* b) {
  for (const FrameSize& size : kFrameSizes) b->Args({size.width, size.height});
  b->Unit(benchmark::kMicrosecond);
}

BENCHMARK(DecodeImageBench)->Name("DecodeImage")->Apply(Sizes);
BENCHMARK(RawLibavcodec)->Apply(Sizes);
BENCHMARK(TurboJpegToPlanes)->Apply(Sizes);

}  // namespace
