// ConvertImage at 16, 24 and 32 bits next to what a user would pick instead
// (libyuv, libswscale) and next to a plain copy of the output size.
#include <benchmark/benchmark.h>

#include <cstring>

#include <libyuv/convert_argb.h>

extern "C" {
#include <libswscale/swscale.h>
}

#include "bench_images.h"
#include "image/colour_converter.h"
#include "image/convert_path.h"

namespace {

struct Frame {
  int width, height;
  Bytes yuv;
  const std::uint8_t* Y() const { return yuv.data(); }
  const std::uint8_t* Cb() const { return yuv.data() + width * height; }
  const std::uint8_t* Cr() const { return yuv.data() + width * height * 5 / 4; }
};

Frame MakeFrame(const benchmark::State& state) {
  const int width = static_cast<int>(state.range(0)), height = static_cast<int>(state.range(1));
  return {width, height, MakeYuv420(width, height)};
}

void CountPixels(benchmark::State& state, const Frame& frame) {
  state.counters["time/px"] =
      benchmark::Counter(static_cast<double>(frame.width * frame.height),
                         benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void Ours(benchmark::State& state, std::uint32_t bits, ConvertPath path) {
  const Frame frame = MakeFrame(state);
  if (!ConvertPathSupported(path)) {
    state.SkipWithError("path not supported by this processor");
    return;
  }
  ColourConverter* c = CreateConverter(frame.width, frame.height, frame.width, frame.width / 2, bits, bits != 16);
  SetConvertPath(c, path);
  Bytes out(bits / 8 * frame.width * frame.height);
  ImagePlanes planes{out.data(), frame.Y(), frame.Cb(), frame.Cr()};
  for (auto _ : state) {
    ConvertImage(c, &planes, 0);
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  DestroyConverter(c);
  CountPixels(state, frame);
}

enum class YuvTarget { Rgb565, Rgb24, Argb };

void Libyuv(benchmark::State& state, YuvTarget target) {
  const Frame frame = MakeFrame(state);
  const int w = frame.width, h = frame.height, half = w / 2;
  const int bytes = target == YuvTarget::Rgb565 ? 2 : (target == YuvTarget::Rgb24 ? 3 : 4);
  Bytes out(static_cast<std::size_t>(bytes * w * h));
  for (auto _ : state) {
    switch (target) {
      case YuvTarget::Rgb565:
        libyuv::I420ToRGB565(frame.Y(), w, frame.Cb(), half, frame.Cr(), half, out.data(), 2 * w, w, h);
        break;
      case YuvTarget::Rgb24:
        libyuv::I420ToRGB24(frame.Y(), w, frame.Cb(), half, frame.Cr(), half, out.data(), 3 * w, w, h);
        break;
      case YuvTarget::Argb:
        libyuv::I420ToARGB(frame.Y(), w, frame.Cb(), half, frame.Cr(), half, out.data(), 4 * w, w, h);
        break;
    }
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  CountPixels(state, frame);
}

void Swscale(benchmark::State& state, AVPixelFormat format, int bytes) {
  const Frame frame = MakeFrame(state);
  const int w = frame.width, h = frame.height;
  SwsContext* sws = sws_getContext(w, h, AV_PIX_FMT_YUV420P, w, h, format, SWS_BILINEAR, nullptr, nullptr, nullptr);
  Bytes out(static_cast<std::size_t>(bytes * w * h));
  const std::uint8_t* source[3] = {frame.Y(), frame.Cb(), frame.Cr()};
  const int sourceStrides[3] = {w, w / 2, w / 2};
  std::uint8_t* destination[1] = {out.data()};
  const int destinationStrides[1] = {bytes * w};
  for (auto _ : state) {
    sws_scale(sws, source, sourceStrides, 0, h, destination, destinationStrides);
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  sws_freeContext(sws);
  CountPixels(state, frame);
}

void Memcpy(benchmark::State& state, int bytes) {
  const Frame frame = MakeFrame(state);
  const std::size_t size = static_cast<std::size_t>(bytes * frame.width * frame.height);
  Bytes from(size, 1), to(size);
  for (auto _ : state) {
    std::memcpy(to.data(), from.data(), size);
    benchmark::DoNotOptimize(to.data());
    benchmark::ClobberMemory();
  }
  CountPixels(state, frame);
}

void Sizes(benchmark::internal::Benchmark* b) {
  for (const FrameSize& size : kFrameSizes) b->Args({size.width, size.height});
  b->Unit(benchmark::kMicrosecond);
}

BENCHMARK_CAPTURE(Ours, Rgb565_Best, 16, BestConvertPath())->Apply(Sizes);
BENCHMARK_CAPTURE(Ours, Rgb565_Avx512, 16, ConvertPath::Avx512)->Apply(Sizes);
BENCHMARK_CAPTURE(Ours, Rgb565_Avx2, 16, ConvertPath::Avx2)->Apply(Sizes);
BENCHMARK_CAPTURE(Ours, Rgb565_Sse2, 16, ConvertPath::Sse2)->Apply(Sizes);
BENCHMARK_CAPTURE(Ours, Rgb565_Scalar, 16, ConvertPath::Scalar)->Apply(Sizes);
BENCHMARK_CAPTURE(Libyuv, I420ToRGB565, YuvTarget::Rgb565)->Apply(Sizes);
BENCHMARK_CAPTURE(Swscale, RGB565LE, AV_PIX_FMT_RGB565LE, 2)->Apply(Sizes);
BENCHMARK_CAPTURE(Memcpy, Bytes2PerPixel, 2)->Apply(Sizes);

BENCHMARK_CAPTURE(Ours, Rgb24_Best, 24, BestConvertPath())->Apply(Sizes);
BENCHMARK_CAPTURE(Ours, Rgb24_Avx512, 24, ConvertPath::Avx512)->Apply(Sizes);
BENCHMARK_CAPTURE(Ours, Rgb24_Avx2, 24, ConvertPath::Avx2)->Apply(Sizes);
BENCHMARK_CAPTURE(Ours, Rgb24_Sse2, 24, ConvertPath::Sse2)->Apply(Sizes);
BENCHMARK_CAPTURE(Ours, Rgb24_Scalar, 24, ConvertPath::Scalar)->Apply(Sizes);
BENCHMARK_CAPTURE(Libyuv, I420ToRGB24, YuvTarget::Rgb24)->Apply(Sizes);
BENCHMARK_CAPTURE(Swscale, BGR24, AV_PIX_FMT_BGR24, 3)->Apply(Sizes);
BENCHMARK_CAPTURE(Memcpy, Bytes3PerPixel, 3)->Apply(Sizes);

BENCHMARK_CAPTURE(Ours, Rgb32_Best, 32, BestConvertPath())->Apply(Sizes);
BENCHMARK_CAPTURE(Ours, Rgb32_Avx512, 32, ConvertPath::Avx512)->Apply(Sizes);
BENCHMARK_CAPTURE(Ours, Rgb32_Avx2, 32, ConvertPath::Avx2)->Apply(Sizes);
BENCHMARK_CAPTURE(Ours, Rgb32_Sse2, 32, ConvertPath::Sse2)->Apply(Sizes);
BENCHMARK_CAPTURE(Ours, Rgb32_Scalar, 32, ConvertPath::Scalar)->Apply(Sizes);
BENCHMARK_CAPTURE(Libyuv, I420ToARGB, YuvTarget::Argb)->Apply(Sizes);
BENCHMARK_CAPTURE(Swscale, BGR0, AV_PIX_FMT_BGR0, 4)->Apply(Sizes);
BENCHMARK_CAPTURE(Memcpy, Bytes4PerPixel, 4)->Apply(Sizes);

}  // namespace
