// Cost of one delivered frame on the same 64 camera frames, in every output format at
// 640 x 480 and 320 x 240: ReadFile on "VLM1:" through the device manager and the real
// driver library (rebuild, decode, conversion, copy), next to what a user would
// otherwise do with the same JPEG images: libavcodec (its default inverse DCT) with
// libswscale or with libyuv, and TurboJPEG with libyuv. Also the sustained frame rate
// from the emulated camera in fast mode to a reader.
//
// Every figure is processor time of the measuring thread (the machine is shared), as
// manual time; the emulated camera's capture is stopped while a frame is read.

#include <benchmark/benchmark.h>
#include <turbojpeg.h>

#include <algorithm>
#include <cstring>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include <libyuv/convert.h>
#include <libyuv/convert_argb.h>
#include <libyuv/convert_from.h>
#include <libyuv/planar_functions.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

#include "emucam/emulated_camera.h"
#include "platform/windows.h"
#include "usbhost/usbhost.h"
#include "velmar/vlm_ioctl.h"

namespace {

using Bytes = std::vector<uint8_t>;

double ThreadSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

struct OutputCase {
  DWORD format;
  DWORD bitsPerPixel;
  AVPixelFormat swscaleFormat;  // AV_PIX_FMT_NONE: nothing to convert
};

constexpr OutputCase kOutputs[] = {
    {VLM_FORMAT_RGB565, 16, AV_PIX_FMT_RGB565LE}, {VLM_FORMAT_RGB24, 24, AV_PIX_FMT_BGR24},
    {VLM_FORMAT_RGB32, 32, AV_PIX_FMT_BGR0},      {VLM_FORMAT_YUV420P, 12, AV_PIX_FMT_YUV420P},
    {VLM_FORMAT_JPEG, 8, AV_PIX_FMT_NONE},        {VLM_FORMAT_YUV422P, 16, AV_PIX_FMT_YUV422P},
};

struct SizeCase {
  DWORD sizeIndex;
  int width;
  int height;
};

SizeCase SizeOf(int64_t sizeIndex) {
  return sizeIndex == VLM_SIZE_640X480 ? SizeCase{VLM_SIZE_640X480, 640, 480} : SizeCase{VLM_SIZE_320X240, 320, 240};
}

constexpr size_t kFrameCount = 64;
constexpr DWORD kJpegHeaderBytes = 589;
constexpr DWORD kCameraHeaderBytes = 18;
constexpr size_t kPacketBytes = 1023;

// An emulated camera with its device open. It first streams its moving test pattern as
// fast as it can, long enough to keep 64 different frames of each size; from then on it
// plays those frames, one per ReadFile, so that the driver reads the same frames that
// the other decoders get.
class Camera {
 public:
  static Camera& Get() {
    static Camera camera;
    return camera;
  }

  bool Ready() const { return handle_ != INVALID_HANDLE_VALUE && !jpegs_[0].empty() && !jpegs_[1].empty(); }

  // The 64 JPEG images of that size, as the driver delivered them.
  const std::vector<Bytes>& Jpegs(DWORD sizeIndex) const { return jpegs_[sizeIndex]; }

  BOOL Control(DWORD code, DWORD inSize = 0, DWORD outSize = 0) {
    DWORD ignored = 0;
    return DeviceIoControl(handle_, code, nullptr, inSize, nullptr, outSize, &ignored, nullptr);
  }

  bool Capture(DWORD format, DWORD sizeIndex) {
    Control(IOCTL_VLM_STOP_CAPTURE);
    return Control(IOCTL_VLM_SET_FORMAT, format, sizeIndex) && Control(IOCTL_VLM_START_CAPTURE);
  }

  void StopCapture() { Control(IOCTL_VLM_STOP_CAPTURE); }

  // Back to the moving test pattern, as fast as the camera makes it.
  void StreamPattern() { camera_->SetTiming(emucam::Timing::Fast); }

  // Sends camera frame `index` of the current size, waits until it is the newest
  // complete frame and stops capture: while it is read, no other thread of ours runs,
  // as for the other decoders. False when the frame did not arrive.
  bool PlayAndStop(DWORD sizeIndex, size_t index) {
    const Bytes& expected = jpegs_[sizeIndex][index % kFrameCount];
    if (!Control(IOCTL_VLM_START_CAPTURE)) return false;
    Play(sizeIndex, index);
    Bytes jpeg(VLM_MAX_JPEG_BYTES);
    bool arrived = false;
    for (int poll = 0; poll < 5000 && !arrived; ++poll) {
      DWORD size = 0;
      DeviceIoControl(handle_, IOCTL_VLM_GET_JPEG, nullptr, 0, jpeg.data(), VLM_MAX_JPEG_BYTES, &size, nullptr);
      arrived = size == expected.size() && std::equal(expected.begin(), expected.end(), jpeg.begin());
      if (!arrived) Sleep(1);
    }
    StopCapture();
    return arrived;
  }

  // One ReadFile; the processor time it took, or a negative value when it delivered nothing.
  double TimedReadOnce(Bytes& buffer) {
    DWORD read = 0;
    const double start = ThreadSeconds();
    ReadFile(handle_, buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr);
    const double end = ThreadSeconds();
    return read > 0 ? end - start : -1;
  }

  // ReadFile until a frame is delivered; the processor time of the call that delivered it.
  double TimedRead(Bytes& buffer) {
    for (;;) {
      DWORD read = 0;
      const double start = ThreadSeconds();
      ReadFile(handle_, buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr);
      const double end = ThreadSeconds();
      if (read > 0) return end - start;
    }
  }

  // Sends camera frame `index` of that size and the start of a frame after it, which
  // completes it; that start is never a whole frame.
  void Play(DWORD sizeIndex, size_t index) { camera_->SetScript(packets_[sizeIndex][index % kFrameCount]); }

 private:
  Camera() {
    std::string error;
    if (!usbhost::InstallClientDriver(u"VELMAR.DLL", error)) return;
    camera_ = emucam::EmulatedCamera::Create("sensor=2,timing=fast,fps=0", error);
    if (!camera_ || usbhost::PlugDevice(camera_) == 0) return;
    handle_ = CreateFileW(u"VLM1:", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle_ == INVALID_HANDLE_VALUE) return;
    for (DWORD sizeIndex : {VLM_SIZE_640X480, VLM_SIZE_320X240}) Collect(sizeIndex);
    StopCapture();
  }

  // ReadFile in the JPEG format hands out every frame once: 64 reads, 64 frames.
  void Collect(DWORD sizeIndex) {
    if (!Capture(VLM_FORMAT_JPEG, sizeIndex)) return;
    Bytes buffer(VLM_MAX_JPEG_BYTES);
    while (jpegs_[sizeIndex].size() < kFrameCount) {
      DWORD read = 0;
      if (!ReadFile(handle_, buffer.data(), VLM_MAX_JPEG_BYTES, &read, nullptr) || read <= kJpegHeaderBytes) continue;
      jpegs_[sizeIndex].emplace_back(buffer.begin(), buffer.begin() + read);
      packets_[sizeIndex].push_back(CameraPackets(jpegs_[sizeIndex].back()));
    }
  }

  // The camera's frame behind a JPEG image: FF D8 and a header of its own (18 bytes),
  // the scan from the end of the constant header on, cut into packets; then the start of
  // the next frame.
  static std::vector<Bytes> CameraPackets(const Bytes& jpeg) {
    Bytes start(kCameraHeaderBytes, 0);
    start[0] = 0xFF;
    start[1] = 0xD8;
    Bytes frame = start;
    frame.insert(frame.end(), jpeg.begin() + kJpegHeaderBytes, jpeg.end());
    std::vector<Bytes> packets;
    for (size_t at = 0; at < frame.size(); at += kPacketBytes) {
      const size_t end = std::min(frame.size(), at + kPacketBytes);
      packets.emplace_back(frame.begin() + static_cast<std::ptrdiff_t>(at),
                           frame.begin() + static_cast<std::ptrdiff_t>(end));
    }
    packets.push_back(start);
    return packets;
  }

  std::shared_ptr<emucam::EmulatedCamera> camera_;
  HANDLE handle_ = INVALID_HANDLE_VALUE;
  std::vector<Bytes> jpegs_[2];
  std::vector<std::vector<Bytes>> packets_[2];
};

void CountFrames(benchmark::State& state) {
  state.counters["frames"] = static_cast<double>(std::min<size_t>(kFrameCount, state.iterations()));
}

void ReadFileDelivery(benchmark::State& state) {
  const OutputCase& output = kOutputs[state.range(0)];
  const SizeCase size = SizeOf(state.range(1));
  Camera& camera = Camera::Get();
  if (!camera.Ready() || !camera.Capture(output.format, size.sizeIndex)) {
    state.SkipWithError("the emulated camera could not be started");
    return;
  }
  camera.StopCapture();
  Bytes buffer(static_cast<size_t>(size.width) * size.height * 4);
  size_t next = 0;
  for (auto _ : state) {
    state.PauseTiming();
    const bool arrived = camera.PlayAndStop(size.sizeIndex, next++);
    state.ResumeTiming();
    const double seconds = arrived ? camera.TimedReadOnce(buffer) : -1;
    if (seconds < 0) {
      state.SkipWithError("the camera's frame was not delivered");
      break;
    }
    state.SetIterationTime(seconds);
  }
  CountFrames(state);
}

// libavcodec's MJPEG decoder as a user would drive it, with its default settings.
class AvDecoder {
 public:
  AvDecoder() {
    const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_MJPEG);
    context_ = avcodec_alloc_context3(codec);
    context_->thread_count = 1;
    avcodec_open2(context_, codec, nullptr);
    packet_ = av_packet_alloc();
    frame_ = av_frame_alloc();
  }
  ~AvDecoder() {
    av_frame_free(&frame_);
    av_packet_free(&packet_);
    avcodec_free_context(&context_);
  }
  AvDecoder(const AvDecoder&) = delete;
  AvDecoder& operator=(const AvDecoder&) = delete;

  // `padded` ends with AV_INPUT_BUFFER_PADDING_SIZE zero bytes after the image.
  const AVFrame* Decode(const Bytes& padded) {
    packet_->data = const_cast<uint8_t*>(padded.data());
    packet_->size = static_cast<int>(padded.size() - AV_INPUT_BUFFER_PADDING_SIZE);
    if (avcodec_send_packet(context_, packet_) < 0 || avcodec_receive_frame(context_, frame_) < 0) return nullptr;
    return frame_;
  }

 private:
  AVCodecContext* context_ = nullptr;
  AVPacket* packet_ = nullptr;
  AVFrame* frame_ = nullptr;
};

// The camera's 64 JPEG images of that size, each followed by the zero padding that
// libavcodec reads past the end of its input.
std::vector<Bytes> PaddedJpegs(DWORD sizeIndex) {
  std::vector<Bytes> padded = Camera::Get().Jpegs(sizeIndex);
  for (Bytes& jpeg : padded) jpeg.resize(jpeg.size() + AV_INPUT_BUFFER_PADDING_SIZE, 0);
  return padded;
}

// Runs work(frame) for each iteration over the 64 frames, timed in thread time. Each
// frame first comes from the camera, untimed, as before each ReadFile: every path starts
// from the same state of the processor's caches.
template <typename Work>
void OverCameraFrames(benchmark::State& state, DWORD sizeIndex, const std::vector<Bytes>& jpegs, Work&& work) {
  Camera& camera = Camera::Get();
  if (jpegs.size() != kFrameCount || !camera.Capture(VLM_FORMAT_JPEG, sizeIndex)) {
    state.SkipWithError("no JPEG images from the camera");
    return;
  }
  camera.StopCapture();
  size_t next = 0;
  for (auto _ : state) {
    if (!camera.PlayAndStop(sizeIndex, next)) {
      state.SkipWithError("the camera's frame did not arrive");
      break;
    }
    const double start = ThreadSeconds();
    const bool done = work(jpegs[next++ % kFrameCount]);
    state.SetIterationTime(ThreadSeconds() - start);
    if (!done) {
      state.SkipWithError("the image could not be decoded");
      break;
    }
  }
  CountFrames(state);
}

// The decoder's planes taken as studio-range 4:2:2, as the driver takes them.
void LibavcodecSwscale(benchmark::State& state) {
  const OutputCase& output = kOutputs[state.range(0)];
  const SizeCase size = SizeOf(state.range(1));
  AvDecoder decoder;
  SwsContext* scaler = sws_getContext(size.width, size.height, AV_PIX_FMT_YUV422P, size.width, size.height,
                                      output.swscaleFormat, SWS_BILINEAR, nullptr, nullptr, nullptr);
  Bytes out(static_cast<size_t>(size.width) * size.height * 4);
  uint8_t* planes[4] = {};
  int strides[4] = {};
  av_image_fill_arrays(planes, strides, out.data(), output.swscaleFormat, size.width, size.height, 1);
  OverCameraFrames(state, size.sizeIndex, PaddedJpegs(size.sizeIndex), [&](const Bytes& jpeg) {
    const AVFrame* frame = decoder.Decode(jpeg);
    if (frame == nullptr) return false;
    sws_scale(scaler, frame->data, frame->linesize, 0, size.height, planes, strides);
    benchmark::DoNotOptimize(out.data());
    return true;
  });
  sws_freeContext(scaler);
}

// 4:2:2 planes (with their strides) into the output format with libyuv.
void ConvertWithLibyuv(const uint8_t* const planes[3], const int strides[3], DWORD format, uint8_t* out, int width,
                       int height) {
  const uint8_t* y = planes[0];
  const uint8_t* u = planes[1];
  const uint8_t* v = planes[2];
  const int ys = strides[0];
  const int us = strides[1];
  const int vs = strides[2];
  switch (format) {
    case VLM_FORMAT_RGB565: libyuv::I422ToRGB565(y, ys, u, us, v, vs, out, width * 2, width, height); break;
    case VLM_FORMAT_RGB24: libyuv::I422ToRGB24(y, ys, u, us, v, vs, out, width * 3, width, height); break;
    case VLM_FORMAT_RGB32: libyuv::I422ToARGB(y, ys, u, us, v, vs, out, width * 4, width, height); break;
    case VLM_FORMAT_YUV420P: {
      uint8_t* cb = out + width * height;
      uint8_t* cr = cb + width * height / 4;
      libyuv::I422ToI420(y, ys, u, us, v, vs, out, width, cb, width / 2, cr, width / 2, width, height);
      break;
    }
    default: {
      uint8_t* cb = out + width * height;
      uint8_t* cr = cb + width * height / 2;
      libyuv::I422Copy(y, ys, u, us, v, vs, out, width, cb, width / 2, cr, width / 2, width, height);
      break;
    }
  }
}

void LibavcodecLibyuv(benchmark::State& state) {
  const OutputCase& output = kOutputs[state.range(0)];
  const SizeCase size = SizeOf(state.range(1));
  AvDecoder decoder;
  Bytes out(static_cast<size_t>(size.width) * size.height * 4);
  OverCameraFrames(state, size.sizeIndex, PaddedJpegs(size.sizeIndex), [&](const Bytes& jpeg) {
    const AVFrame* frame = decoder.Decode(jpeg);
    if (frame == nullptr) return false;
    ConvertWithLibyuv(frame->data, frame->linesize, output.format, out.data(), size.width, size.height);
    benchmark::DoNotOptimize(out.data());
    return true;
  });
}

// TurboJPEG decodes to 4:2:2 planes (straight into the output for YUV422P), libyuv
// converts them.
void TurboJpegLibyuv(benchmark::State& state) {
  const OutputCase& output = kOutputs[state.range(0)];
  const SizeCase size = SizeOf(state.range(1));
  const std::unique_ptr<void, int (*)(tjhandle)> turbo(tjInitDecompress(), &tjDestroy);
  const int w = size.width;
  const int h = size.height;
  Bytes planar(static_cast<size_t>(w) * h * 2);
  Bytes out(static_cast<size_t>(w) * h * 4);
  const bool direct = output.format == VLM_FORMAT_YUV422P;
  uint8_t* base = direct ? out.data() : planar.data();
  uint8_t* planes[3] = {base, base + w * h, base + w * h * 3 / 2};
  int strides[3] = {w, w / 2, w / 2};
  OverCameraFrames(state, size.sizeIndex, Camera::Get().Jpegs(size.sizeIndex), [&](const Bytes& jpeg) {
    if (tjDecompressToYUVPlanes(turbo.get(), jpeg.data(), jpeg.size(), planes, w, strides, h, 0) != 0) return false;
    if (!direct) ConvertWithLibyuv(planes, strides, output.format, out.data(), w, h);
    benchmark::DoNotOptimize(out.data());
    return true;
  });
}

// Frames per second from the camera's test pattern to a reader that reads as fast as it
// can.
void SustainedFrameRate(benchmark::State& state) {
  const OutputCase& output = kOutputs[state.range(0)];
  const SizeCase size = SizeOf(state.range(1));
  Camera& camera = Camera::Get();
  if (!camera.Ready() || !camera.Capture(output.format, size.sizeIndex)) {
    state.SkipWithError("the emulated camera could not be started");
    return;
  }
  camera.StreamPattern();
  Bytes buffer(static_cast<size_t>(size.width) * size.height * 4);
  for (auto _ : state) camera.TimedRead(buffer);
  camera.StopCapture();
  state.counters["fps"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

constexpr int64_t kFormatCount = static_cast<int64_t>(std::size(kOutputs));

void AllFormatsAndSizes(benchmark::internal::Benchmark* bench) {
  bench->ArgNames({"format", "size"});
  for (int64_t size : {0, 1}) {
    for (int64_t format = 0; format < kFormatCount; ++format) bench->Args({format, size});
  }
}

void ConvertedFormatsAndSizes(benchmark::internal::Benchmark* bench) {
  bench->ArgNames({"format", "size"});
  for (int64_t size : {0, 1}) {
    for (int64_t format = 0; format < kFormatCount; ++format) {
      if (kOutputs[format].format != VLM_FORMAT_JPEG) bench->Args({format, size});
    }
  }
}

// Three passes over the 64 frames: short runs, every frame counted as often.
constexpr int64_t kFramesPerRun = 3 * kFrameCount;

BENCHMARK(ReadFileDelivery)
    ->Apply(AllFormatsAndSizes)
    ->UseManualTime()
    ->Iterations(kFramesPerRun)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(LibavcodecSwscale)
    ->Apply(ConvertedFormatsAndSizes)
    ->UseManualTime()
    ->Iterations(kFramesPerRun)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(LibavcodecLibyuv)
    ->Apply(ConvertedFormatsAndSizes)
    ->UseManualTime()
    ->Iterations(kFramesPerRun)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(TurboJpegLibyuv)
    ->Apply(ConvertedFormatsAndSizes)
    ->UseManualTime()
    ->Iterations(kFramesPerRun)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(SustainedFrameRate)
    ->Args({VLM_FORMAT_RGB24, VLM_SIZE_640X480})
    ->Args({VLM_FORMAT_RGB24, VLM_SIZE_320X240})
    ->Args({VLM_FORMAT_JPEG, VLM_SIZE_640X480})
    ->Args({VLM_FORMAT_JPEG, VLM_SIZE_320X240})
    ->ArgNames({"format", "size"})
    ->Iterations(kFramesPerRun)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
