// How fast the emulated camera makes frames in fast timing, against what one would
// write instead: TurboJPEG compressing an RGB picture of the same size.
#include <benchmark/benchmark.h>
#include <turbojpeg.h>

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "emucam/emulated_camera.h"
#include "emucam/scan_encoder.h"
#include "emucam/test_pattern.h"

namespace {

constexpr uint16_t kSizeRegister = 0x002;
constexpr DWORD kPacket = 1023;

void WriteRegister(emucam::EmulatedCamera& camera, uint16_t reg, uint8_t value) {
  const USB_DEVICE_REQUEST setup{0x40, 0xA0, value, reg, 0};
  camera.SubmitControl(setup, {}, [](DWORD, DWORD) {});
}

// Whole device path: controller settings, pattern, encoder, framing and packets, as
// a capture thread pulls them through IsochIn four packets at a time. Rates are per CPU
// second: fast timing never sleeps, so this is what one core can feed a driver.
void BM_EmulatedCameraFrames(benchmark::State& state) {
  std::string error;
  auto camera = emucam::EmulatedCamera::Create("timing=fast,fps=max", error);
  WriteRegister(*camera, kSizeRegister, state.range(0) == 640 ? 0x00 : 0x10);
  camera->SelectAlternateSetting(0, 7);
  const std::array<DWORD, 4> requested{kPacket, kPacket, kPacket, kPacket};
  std::array<DWORD, 4> actual{};
  std::vector<uint8_t> buffer(4 * kPacket);
  const uint32_t firstFrame = camera->framesSent();
  double bytes = 0;
  for (auto _ : state) {
    camera->IsochIn(0x81, requested, buffer.data(), actual);
    benchmark::DoNotOptimize(buffer.data());
    for (DWORD length : actual) bytes += length;
  }
  const double frames = camera->framesSent() - firstFrame;
  state.counters["bytes/frame"] = frames > 0 ? bytes / frames : 0;
  state.counters["frames/s"] = benchmark::Counter(frames, benchmark::Counter::kIsRate);
  state.counters["s/frame"] = benchmark::Counter(frames, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_EmulatedCameraFrames)->Arg(640)->Arg(320)->Unit(benchmark::kMicrosecond);

// The encoder alone on the precomputed pattern.
void BM_ScanEncoder(benchmark::State& state) {
  const int width = static_cast<int>(state.range(0)), height = width * 3 / 4;
  emucam::TestPattern pattern(width, height);
  emucam::PlanarImage picture;
  emucam::ScanEncoder encoder;
  uint32_t frame = 0;
  for (auto _ : state) {
    pattern.Render(frame++, picture);
    encoder.Encode(picture);
    benchmark::DoNotOptimize(encoder.Scan().data());
  }
  state.counters["frames/s"] = benchmark::Counter(static_cast<double>(frame), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ScanEncoder)->Arg(640)->Arg(320)->Unit(benchmark::kMicrosecond);

// The usual alternative: an RGB picture compressed with TurboJPEG at 4:2:2, quality 50.
void BM_TurboJpegRgb(benchmark::State& state) {
  const int width = static_cast<int>(state.range(0)), height = width * 3 / 4;
  std::vector<unsigned char> rgb(static_cast<size_t>(width) * height * 3);
  for (size_t i = 0; i < rgb.size(); ++i) rgb[i] = static_cast<unsigned char>((i * 7) / 640);
  std::unique_ptr<void, int (*)(tjhandle)> handle(tjInitCompress(), tjDestroy);
  std::vector<unsigned char> out(tjBufSize(width, height, TJSAMP_422));
  int64_t frames = 0;
  for (auto _ : state) {
    unsigned char* dest = out.data();
    unsigned long size = out.size();
    tjCompress2(handle.get(), rgb.data(), width, 0, height, TJPF_RGB, &dest, &size, TJSAMP_422, 50, TJFLAG_NOREALLOC);
    benchmark::DoNotOptimize(dest);
    ++frames;
  }
  state.counters["frames/s"] = benchmark::Counter(static_cast<double>(frames), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_TurboJpegRgb)->Arg(640)->Arg(320)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
