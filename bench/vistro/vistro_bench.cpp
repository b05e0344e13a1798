// The viewer's frame paths on a 1920 x 1080 screen, full screen, at 16, 24 and 32 bits:
// - preview: ReadFrame (the driver decodes and converts in the caller's thread), scale
//   into the screen buffer, copy into the off-screen bitmap, blit onto a window-sized
//   RGB32 surface as the window's paint does;
// - recording: GetFrameAndJpeg, append to an AVI file, then the same scale and blit.
// The camera is emulated in fast timing at full speed, so the figures are not held to
// the 40 ms pacing; the CPU column of the paths is the calling thread's (the driver
// decodes and converts in it), without the camera's and capture thread's work. Next to them, the pieces alone and what
// one would use instead of the scaler: QImage::scaled and libswscale's nearest neighbour.
#include <benchmark/benchmark.h>
#include <sched.h>
#include <unistd.h>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

extern "C" {
#include <libavutil/pixfmt.h>
#include <libswscale/swscale.h>
}

#include "appcommon/display_format.h"
#include "camclient/camclient.h"
#include "system/boot.h"
#include "velmar/vlm_ioctl.h"
#include "vistro/preview_layout.h"
#include "vistro/run_recording.h"

namespace {

constexpr uint32_t kScreenWidth = 1920, kScreenHeight = 1080;

// A viewer state laid out full screen on the 1920 x 1080 screen, with no window: the
// blit goes to a surface of the screen's size instead.
class BenchViewer {
 public:
  BenchViewer(uint32_t bits, uint32_t frameWidth, uint32_t frameHeight)
      : surface_(kScreenWidth, kScreenHeight, QImage::Format_RGB32) {
    InitializeCriticalSection(&state_.previewLock);
    state_.screenWidth = kScreenWidth;
    state_.screenHeight = kScreenHeight;
    state_.screenBits = bits;
    state_.imageWidth = frameWidth;
    state_.imageHeight = frameHeight;
    state_.running = true;
    LayoutPreview(state_, true);
    frame_.assign(size_t{frameWidth} * frameHeight * bits / 8, 0);
    screen_.assign(size_t{kScreenWidth} * kScreenHeight * bits / 8, 0);
  }
  ~BenchViewer() {
    DestroyScaler(state_.preview.scaler);
    DeleteCriticalSection(&state_.previewLock);
  }

  uint8_t* frame() { return frame_.data(); }
  DWORD frameBytes() const { return static_cast<DWORD>(frame_.size()); }
  void ScaleAndDraw() { ScaleAndDrawFrame(state_, frame_.data(), screen_.data(), screen_.size()); }
  void Blit() {
    QPainter painter(&surface_);
    BlitPreview(state_, painter);
  }
  ViewerState& state() { return state_; }

 private:
  ViewerState state_;
  std::vector<uint8_t> frame_, screen_;
  QImage surface_;
};

struct Capture {
  Capture(uint32_t bits, bool large) {
    SetVideoFormat(0, static_cast<DWORD>(PixelFormatCode(bits)), large ? VLM_SIZE_640X480 : VLM_SIZE_320X240);
    StartCapture(0);
  }
  ~Capture() { StopCapture(0); }
};

uint32_t Bits(const benchmark::State& state) { return static_cast<uint32_t>(state.range(0)); }
bool Large(const benchmark::State& state) { return state.range(1) == 640; }
uint32_t FrameWidth(const benchmark::State& state) { return Large(state) ? 640 : 320; }
uint32_t FrameHeight(const benchmark::State& state) { return Large(state) ? 480 : 240; }

void ReportFrames(benchmark::State& state, double waits) {
  state.counters["frames/s"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  state.counters["waits/frame"] = waits / static_cast<double>(state.iterations());
}

void BM_PreviewPath(benchmark::State& state) {
  BenchViewer viewer(Bits(state), FrameWidth(state), FrameHeight(state));
  Capture capture(Bits(state), Large(state));
  double waits = 0;
  for (auto _ : state) {
    while (ReadFrame(0, viewer.frame(), viewer.frameBytes()) <= 0) {
      ++waits;
      sched_yield();  // no new frame yet
    }
    viewer.ScaleAndDraw();
    viewer.Blit();
  }
  ReportFrames(state, waits);
}

void BM_RecordingPath(benchmark::State& state) {
  BenchViewer viewer(Bits(state), FrameWidth(state), FrameHeight(state));
  const std::string path =
      std::filesystem::temp_directory_path() / ("vistro-bench-" + std::to_string(getpid()) + ".avi");
  double waits = 0;
  {
    std::vector<uint8_t> jpeg(131072);
    RunRecording recording(path, FrameWidth(state), FrameHeight(state), static_cast<uint32_t>(jpeg.size()));
    Capture capture(Bits(state), Large(state));
    // Each frame in a period of its own, as at the viewer's pace: every one is written.
    auto period = RunRecording::Clock::now();
    for (auto _ : state) {
      DWORD counts[2] = {0, 0};
      while (GetFrameAndJpeg(0, viewer.frame(), viewer.frameBytes(), jpeg.data(), static_cast<DWORD>(jpeg.size()),
                             counts) != 0) {
        ++waits;
        sched_yield();
      }
      period += std::chrono::milliseconds(1000 / RunRecording::kFramesPerSecond);
      recording.AddFrame(jpeg.data(), counts[1], period);
      viewer.ScaleAndDraw();
      viewer.Blit();
    }
  }
  std::filesystem::remove(path);
  ReportFrames(state, waits);
}

// A frame with something in every byte, so that no copy can skip work.
void FillFrame(BenchViewer& viewer) {
  for (DWORD i = 0; i < viewer.frameBytes(); ++i) viewer.frame()[i] = static_cast<uint8_t>(i * 13 + (i >> 9));
}

void BM_ScaleIntoScreenBuffer(benchmark::State& state) {
  BenchViewer viewer(Bits(state), FrameWidth(state), FrameHeight(state));
  FillFrame(viewer);
  for (auto _ : state) viewer.ScaleAndDraw();
}

void BM_QImageScaled(benchmark::State& state) {
  BenchViewer viewer(Bits(state), FrameWidth(state), FrameHeight(state));
  FillFrame(viewer);
  const uint32_t bits = Bits(state);
  const QImage frame(viewer.frame(), static_cast<int>(FrameWidth(state)), static_cast<int>(FrameHeight(state)),
                     static_cast<qsizetype>(FrameWidth(state) * bits / 8), ImageFormatForDepth(bits));
  for (auto _ : state) {
    QImage scaled = frame.scaled(kScreenWidth, kScreenHeight, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    benchmark::DoNotOptimize(scaled.constBits());
  }
}

AVPixelFormat SwscaleFormat(uint32_t bits) {
  switch (bits) {
    case 16: return AV_PIX_FMT_RGB565LE;
    case 24: return AV_PIX_FMT_BGR24;
    default: return AV_PIX_FMT_BGR0;
  }
}

void BM_SwscalePoint(benchmark::State& state) {
  BenchViewer viewer(Bits(state), FrameWidth(state), FrameHeight(state));
  FillFrame(viewer);
  const uint32_t bits = Bits(state);
  const int width = static_cast<int>(FrameWidth(state)), height = static_cast<int>(FrameHeight(state));
  const AVPixelFormat format = SwscaleFormat(bits);
  SwsContext* context =
      sws_getContext(width, height, format, kScreenWidth, kScreenHeight, format, SWS_POINT, nullptr, nullptr, nullptr);
  std::vector<uint8_t> screen(size_t{kScreenWidth} * kScreenHeight * bits / 8);
  const uint8_t* source[1] = {viewer.frame()};
  const int sourceStride[1] = {static_cast<int>(width * bits / 8)};
  uint8_t* destination[1] = {screen.data()};
  const int destinationStride[1] = {static_cast<int>(kScreenWidth * bits / 8)};
  for (auto _ : state) {
    sws_scale(context, source, sourceStride, 0, height, destination, destinationStride);
    benchmark::DoNotOptimize(screen.data());
  }
  sws_freeContext(context);
}

void BM_BlitToWindowSurface(benchmark::State& state) {
  BenchViewer viewer(Bits(state), FrameWidth(state), FrameHeight(state));
  FillFrame(viewer);
  viewer.ScaleAndDraw();
  for (auto _ : state) viewer.Blit();
}

void DepthsAndSizes(benchmark::internal::Benchmark* bench) {
  bench->ArgNames({"bits", "frame"});
  for (const int size : {320, 640}) {
    for (const int bits : {16, 24, 32}) bench->Args({bits, size});
  }
  bench->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_PreviewPath)->Apply(DepthsAndSizes)->UseRealTime();
BENCHMARK(BM_RecordingPath)->Apply(DepthsAndSizes)->UseRealTime();
// Qt spreads large scalings and conversions over worker threads: the pieces are timed
// with the CPU time of the whole process (nothing else runs while they do).
BENCHMARK(BM_ScaleIntoScreenBuffer)->Apply(DepthsAndSizes)->MeasureProcessCPUTime()->UseRealTime();
BENCHMARK(BM_QImageScaled)->Apply(DepthsAndSizes)->MeasureProcessCPUTime()->UseRealTime();
BENCHMARK(BM_SwscalePoint)->Apply(DepthsAndSizes)->MeasureProcessCPUTime()->UseRealTime();
BENCHMARK(BM_BlitToWindowSurface)->Apply(DepthsAndSizes)->MeasureProcessCPUTime()->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  // One camera at full speed without sleeping, unless the caller chose others.
  setenv("VELMAR_DEVICES", "emu:timing=fast,fps=max", 0);
  std::string error;
  if (!BootSystem(error)) {
    std::fprintf(stderr, "vistro_bench: %s\n", error.c_str());
    return 1;
  }
  int result = 1;
  {
    QGuiApplication application(argc, argv);
    if (OpenCamera(0) < 0) {
      std::fprintf(stderr, "vistro_bench: no camera\n");
    } else {
      benchmark::RunSpecifiedBenchmarks();
      CloseCamera(0);
      result = 0;
    }
  }
  benchmark::Shutdown();
  ShutdownSystem();
  return result;
}
