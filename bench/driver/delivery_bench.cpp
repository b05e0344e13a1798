// Cost of one delivered frame: ReadFile on "VLM1:" through the device manager and the
// real driver library (rebuild, decode, chroma reduction, conversion, copy) in every
// output format at 640 x 480 and 320 x 240, next to what a user would otherwise do with
// the same JPEG image: libavcodec decode + libswscale, or libavcodec decode + libyuv.
// Also the sustained frame rate from an emulated camera in fast mode to a reader.
// ReadFile is timed in processor time of the reading thread; the others report theirs
// in the CPU column.

#include <benchmark/benchmark.h>

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

// An emulated camera streaming as fast as it can, its device open, capture stopped
// between uses.
class Camera {
 public:
  static Camera& Get() {
    static Camera camera;
    return camera;
  }

  bool Ready() const { return handle_ != INVALID_HANDLE_VALUE; }

  BOOL Control(DWORD code, void* in, DWORD inSize, void* out, DWORD outSize, DWORD* returned = nullptr) {
    DWORD ignored = 0;
    return DeviceIoControl(handle_, code, in, inSize, out, outSize, returned ? returned : &ignored, nullptr);
  }

  bool Capture(DWORD format, DWORD sizeIndex) {
    Control(IOCTL_VLM_STOP_CAPTURE, nullptr, 0, nullptr, 0);
    return Control(IOCTL_VLM_SET_FORMAT, nullptr, format, nullptr, sizeIndex) &&
           Control(IOCTL_VLM_START_CAPTURE, nullptr, 0, nullptr, 0);
  }

  // ReadFile until a frame is delivered; the processor time the calling thread spent in
  // the call that delivered it (the machine is shared, so wall time would count waiting).
  double TimedRead(Bytes& buffer) {
    for (;;) {
      DWORD read = 0;
      const double start = ThreadSeconds();
      ReadFile(handle_, buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr);
      const double end = ThreadSeconds();
      if (read > 0) return end - start;
    }
  }

  void StopCapture() { Control(IOCTL_VLM_STOP_CAPTURE, nullptr, 0, nullptr, 0); }

  // The newest JPEG image of the current size, followed by `padding` zero bytes.
  Bytes Jpeg(size_t padding) {
    Bytes jpeg(VLM_MAX_JPEG_BYTES + padding, 0);
    DWORD size = 0;
    while (!Control(IOCTL_VLM_GET_JPEG, nullptr, 0, jpeg.data(), VLM_MAX_JPEG_BYTES, &size) || size == 0) {
    }
    jpeg.resize(size + padding);
    std::fill(jpeg.begin() + size, jpeg.end(), 0);
    return jpeg;
  }

 private:
  Camera() {
    std::string error;
    if (!usbhost::InstallClientDriver(u"VELMAR.DLL", error)) return;
    camera_ = emucam::EmulatedCamera::Create("sensor=2,timing=fast,fps=0", error);
    if (!camera_ || usbhost::PlugDevice(camera_) == 0) return;
    handle_ = CreateFileW(u"VLM1:", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  }

  std::shared_ptr<emucam::EmulatedCamera> camera_;
  HANDLE handle_ = INVALID_HANDLE_VALUE;
};

void ReadFileDelivery(benchmark::State& state) {
  const OutputCase& output = kOutputs[state.range(0)];
  const SizeCase size = SizeOf(state.range(1));
  Camera& camera = Camera::Get();
  if (!camera.Ready() || !camera.Capture(output.format, size.sizeIndex)) {
    state.SkipWithError("the emulated camera could not be started");
    return;
  }
  Bytes buffer(static_cast<size_t>(size.width) * size.height * 4);
  for (auto _ : state) state.SetIterationTime(camera.TimedRead(buffer));
  camera.StopCapture();
}

// libavcodec's MJPEG decoder, as a user would drive it.
class AvDecoder {
 public:
  AvDecoder() {
    const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_MJPEG);
    context_ = avcodec_alloc_context3(codec);
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
  const AVFrame* Decode(Bytes& padded) {
    packet_->data = padded.data();
    packet_->size = static_cast<int>(padded.size() - AV_INPUT_BUFFER_PADDING_SIZE);
    if (avcodec_send_packet(context_, packet_) < 0 || avcodec_receive_frame(context_, frame_) < 0) return nullptr;
    return frame_;
  }

 private:
  AVCodecContext* context_ = nullptr;
  AVPacket* packet_ = nullptr;
  AVFrame* frame_ = nullptr;
};

// A JPEG image of the camera at that size, with the zero padding libavcodec reads past
// the end of its input. Capture goes on while the caller measures: the reader of the
// driver shares the machine with the capture thread, and so do the alternatives.
Bytes PaddedJpeg(DWORD sizeIndex) {
  Camera& camera = Camera::Get();
  if (!camera.Ready() || !camera.Capture(VLM_FORMAT_JPEG, sizeIndex)) return {};
  return camera.Jpeg(AV_INPUT_BUFFER_PADDING_SIZE);
}

// The decoder's planes taken as studio-range 4:2:2, as the driver takes them.
void LibavcodecSwscale(benchmark::State& state) {
  const OutputCase& output = kOutputs[state.range(0)];
  const SizeCase size = SizeOf(state.range(1));
  Bytes jpeg = PaddedJpeg(size.sizeIndex);
  if (jpeg.empty()) {
    state.SkipWithError("no JPEG image from the camera");
    return;
  }
  AvDecoder decoder;
  SwsContext* scaler = sws_getContext(size.width, size.height, AV_PIX_FMT_YUV422P, size.width, size.height,
                                      output.swscaleFormat, SWS_BILINEAR, nullptr, nullptr, nullptr);
  Bytes out(static_cast<size_t>(size.width) * size.height * 4);
  uint8_t* planes[4] = {};
  int strides[4] = {};
  av_image_fill_arrays(planes, strides, out.data(), output.swscaleFormat, size.width, size.height, 1);
  for (auto _ : state) {
    const AVFrame* frame = decoder.Decode(jpeg);
    if (frame == nullptr) {
      state.SkipWithError("libavcodec could not decode the image");
      break;
    }
    sws_scale(scaler, frame->data, frame->linesize, 0, size.height, planes, strides);
    benchmark::DoNotOptimize(out.data());
  }
  sws_freeContext(scaler);
  Camera::Get().StopCapture();
}

void ConvertWithLibyuv(const AVFrame& frame, DWORD format, uint8_t* out, int width, int height) {
  const uint8_t* y = frame.data[0];
  const uint8_t* u = frame.data[1];
  const uint8_t* v = frame.data[2];
  const int ys = frame.linesize[0];
  const int us = frame.linesize[1];
  const int vs = frame.linesize[2];
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
  Bytes jpeg = PaddedJpeg(size.sizeIndex);
  if (jpeg.empty()) {
    state.SkipWithError("no JPEG image from the camera");
    return;
  }
  AvDecoder decoder;
  Bytes out(static_cast<size_t>(size.width) * size.height * 4);
  for (auto _ : state) {
    const AVFrame* frame = decoder.Decode(jpeg);
    if (frame == nullptr) {
      state.SkipWithError("libavcodec could not decode the image");
      break;
    }
    ConvertWithLibyuv(*frame, output.format, out.data(), size.width, size.height);
    benchmark::DoNotOptimize(out.data());
  }
  Camera::Get().StopCapture();
}

// Frames per second from the camera to a reader that reads as fast as it can.
void SustainedFrameRate(benchmark::State& state) {
  const OutputCase& output = kOutputs[state.range(0)];
  const SizeCase size = SizeOf(state.range(1));
  Camera& camera = Camera::Get();
  if (!camera.Ready() || !camera.Capture(output.format, size.sizeIndex)) {
    state.SkipWithError("the emulated camera could not be started");
    return;
  }
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

// Each iteration waits for a new frame from the camera: a fixed count keeps runs short.
constexpr int64_t kFramesPerRun = 200;

BENCHMARK(ReadFileDelivery)
    ->Apply(AllFormatsAndSizes)
    ->UseManualTime()
    ->Iterations(kFramesPerRun)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(LibavcodecSwscale)->Apply(ConvertedFormatsAndSizes)->Unit(benchmark::kMicrosecond);
BENCHMARK(LibavcodecLibyuv)->Apply(ConvertedFormatsAndSizes)->Unit(benchmark::kMicrosecond);
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
