// ConvertImage at 16, 24 and 32 bits on every conversion path, next to what a user
// would pick instead (libyuv, libswscale) and next to a plain copy of the output size.
// libyuv runs at its best on this processor and also held to the instruction sets of
// our paths (SSSE3 is its lowest vector level: held to SSE2 it converts in C), so each
// forced path can be set beside libyuv on a processor that has no more. Ours and libyuv
// also run at 640 x 480 with the output flushed from the caches before every conversion
// ("cold"), as a caller's buffer may be.
#include <benchmark/benchmark.h>
#include <emmintrin.h>

#include <cstring>
#include <string>

#include <libyuv/convert_argb.h>
#include <libyuv/cpu_id.h>

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

// Whether the output is in the caches when a conversion starts.
enum class Output { Warm, Cold };

// Writes the buffer back to memory and drops it from every cache, untimed.
void FlushFromCaches(benchmark::State& state, const Bytes& buffer) {
  state.PauseTiming();
  for (std::size_t at = 0; at < buffer.size(); at += 64) _mm_clflush(buffer.data() + at);
  _mm_mfence();
  state.ResumeTiming();
}

void Ours(benchmark::State& state, std::uint32_t bits, ConvertPath path, Output output) {
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
    if (output == Output::Cold) FlushFromCaches(state, out);
    ConvertImage(c, &planes, 0);
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  DestroyConverter(c);
  CountPixels(state, frame);
}

enum class YuvTarget { Rgb565, Rgb24, Argb };

// libyuv's processor features for each level it is held to; -1: all it finds.
constexpr int kLibyuvSse2 = libyuv::kCpuHasX86 | libyuv::kCpuHasSSE2;
constexpr int kLibyuvSsse3 = kLibyuvSse2 | libyuv::kCpuHasSSSE3;
constexpr int kLibyuvAvx2 = kLibyuvSsse3 | libyuv::kCpuHasSSE41 | libyuv::kCpuHasSSE42 | libyuv::kCpuHasAVX |
                            libyuv::kCpuHasAVX2 | libyuv::kCpuHasERMS | libyuv::kCpuHasFMA3 | libyuv::kCpuHasF16C;
constexpr int kLibyuvBest = -1;

void Libyuv(benchmark::State& state, YuvTarget target, int cpuFlags, Output output) {
  libyuv::MaskCpuFlags(cpuFlags);
  const Frame frame = MakeFrame(state);
  const int w = frame.width, h = frame.height, half = w / 2;
  const int bytes = target == YuvTarget::Rgb565 ? 2 : (target == YuvTarget::Rgb24 ? 3 : 4);
  Bytes out(static_cast<std::size_t>(bytes * w * h));
  for (auto _ : state) {
    if (output == Output::Cold) FlushFromCaches(state, out);
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
  libyuv::MaskCpuFlags(kLibyuvBest);
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

void LargeSize(benchmark::internal::Benchmark* b) {
  b->Args({kFrameSizes[0].width, kFrameSizes[0].height});
  b->Unit(benchmark::kMicrosecond);
}

struct DepthCase {
  const char* name;
  std::uint32_t bits;
  YuvTarget libyuv;
  const char* libyuvName;
  AVPixelFormat swscale;
};

constexpr DepthCase kDepths[] = {
    {"Rgb565", 16, YuvTarget::Rgb565, "I420ToRGB565", AV_PIX_FMT_RGB565LE},
    {"Rgb24", 24, YuvTarget::Rgb24, "I420ToRGB24", AV_PIX_FMT_BGR24},
    {"Rgb32", 32, YuvTarget::Argb, "I420ToARGB", AV_PIX_FMT_BGR0},
};

struct LibyuvLevel {
  const char* name;
  int flags;
};
constexpr LibyuvLevel kLibyuvLevels[] = {
    {"best", kLibyuvBest}, {"avx2", kLibyuvAvx2}, {"ssse3", kLibyuvSsse3}, {"sse2", kLibyuvSse2}};

// Per depth: our paths, libyuv at each level, libswscale and a copy, side by side; then
// ours and libyuv with cold output.
const bool registered = [] {
  for (const DepthCase& depth : kDepths) {
    const std::string prefix = std::string(depth.name) + "/";
    for (Output output : {Output::Warm, Output::Cold}) {
      const bool cold = output == Output::Cold;
      const std::string suffix = cold ? "/cold" : "";
      for (ConvertPath path : kAllConvertPaths) {
        benchmark::RegisterBenchmark(("Ours/" + prefix + std::string(ConvertPathName(path)) + suffix).c_str(), Ours,
                                     depth.bits, path, output)
            ->Apply(cold ? LargeSize : Sizes);
      }
      for (const LibyuvLevel& level : kLibyuvLevels) {
        benchmark::RegisterBenchmark(("Libyuv/" + prefix + depth.libyuvName + "/" + level.name + suffix).c_str(),
                                     Libyuv, depth.libyuv, level.flags, output)
            ->Apply(cold ? LargeSize : Sizes);
      }
      if (cold) continue;
      benchmark::RegisterBenchmark(("Swscale/" + std::string(depth.name)).c_str(), Swscale, depth.swscale,
                                   int(depth.bits / 8))
          ->Apply(Sizes);
      benchmark::RegisterBenchmark(("Memcpy/" + std::string(depth.name)).c_str(), Memcpy, int(depth.bits / 8))
          ->Apply(Sizes);
    }
  }
  return true;
}();

}  // namespace
