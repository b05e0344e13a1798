// The camera server end to end, in one process so that each frame's making at the
// emulated camera can be timed: frames per second, latency from the frame's making to
// its last byte at the client, and the server thread's CPU time per frame, at both
// sizes and three rates. Beside it, what the 1400-byte pieces with their 2 ms pauses
// cost against handing the frame to the socket in one call.
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <poll.h>
#include <pthread.h>
#include <sys/socket.h>
#include <turbojpeg.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numeric>
#include <thread>
#include <vector>

#include "camclient/camclient.h"
#include "emucam/emulated_camera.h"
#include "emucam/test_pattern.h"
#include "frame_clock.h"
#include "server/chunked_send.h"
#include "server/server_state.h"
#include "server/server_thread.h"
#include "stream_protocol/jpeg_stream_splitter.h"
#include "system/boot.h"
#include "test_client.h"
#include "testing/child_process.h"
#include "usbhost/usbhost.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kMeasured = std::chrono::seconds(4);

struct ReceivedImage {
  Clock::time_point lastByte;
  std::vector<uint8_t> bytes;
};

// The server's networking thread, run here on a thread whose CPU clock we can read.
class InProcessServer {
 public:
  InProcessServer() {
    state_.port = FindFreePort();
    inet_pton(AF_INET, "127.0.0.1", &state_.bindAddress);
    thread_ = std::thread([this] { ServerThread(&state_); });
    pthread_getcpuclockid(thread_.native_handle(), &cpuClock_);
  }
  ~InProcessServer() {
    state_.quit = true;
    state_.stop = true;
    thread_.join();
  }
  uint16_t Port() const { return state_.port; }
  double CpuSeconds() const {
    timespec now{};
    clock_gettime(cpuClock_, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
  }

 private:
  ServerState state_;
  std::thread thread_;
  clockid_t cpuClock_{};
};

struct Stack {
  std::shared_ptr<emucam::EmulatedCamera> camera;
  int cameraIndex = -1;
  std::unique_ptr<FrameClock> frameClock;
  std::unique_ptr<InProcessServer> server;
};
Stack* stack = nullptr;

std::optional<uint32_t> FrameNumberOf(const std::vector<uint8_t>& image, tjhandle decoder) {
  int width = 0;
  int height = 0;
  int subsampling = 0;
  int colourspace = 0;
  if (tjDecompressHeader3(decoder, image.data(), image.size(), &width, &height, &subsampling, &colourspace) != 0) {
    return std::nullopt;
  }
  std::vector<uint8_t> luma(static_cast<size_t>(width * height));
  if (tjDecompress2(decoder, image.data(), image.size(), luma.data(), width, 0, height, TJPF_GRAY, 0) != 0) {
    return std::nullopt;
  }
  return emucam::ReadFrameNumber(luma.data(), width, width, height);
}

double Percentile(std::vector<double> values, double fraction) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  return values[static_cast<size_t>(fraction * static_cast<double>(values.size() - 1))];
}

// Images of the stream with the time their last byte arrived, for `duration`.
std::vector<ReceivedImage> Receive(int socket, Clock::duration duration) {
  std::vector<ReceivedImage> images;
  JpegStreamSplitter splitter;
  std::vector<uint8_t> buffer(64 * 1024);
  const auto end = Clock::now() + duration;
  while (Clock::now() < end) {
    pollfd readable{socket, POLLIN, 0};
    if (poll(&readable, 1, 100) <= 0) continue;
    const ssize_t got = recv(socket, buffer.data(), buffer.size(), 0);
    if (got <= 0) break;
    const auto arrived = Clock::now();
    splitter.Feed(std::span<const uint8_t>(buffer.data(), static_cast<size_t>(got)),
                  [&](std::span<const uint8_t> image) {
                    images.push_back({arrived, std::vector<uint8_t>(image.begin(), image.end())});
                  });
  }
  return images;
}

void BM_ServerStream(benchmark::State& state) {
  const auto sizeIndex = static_cast<int32_t>(state.range(0));
  const auto rate = static_cast<int32_t>(state.range(1));
  std::vector<double> latenciesMs;
  double frames = 0;
  double bytes = 0;
  double cpu = 0;
  double seconds = 0;
  tjhandle decoder = tjInitDecompress();

  for (auto _ : state) {
    TestClient client(stack->server->Port());
    client.SendStart(StreamRequest(sizeIndex, rate, stack->cameraIndex));
    if (client.ReadReply(std::chrono::milliseconds(10000)) != stream_protocol::kStatusStreaming) {
      state.SkipWithError("the server refused the stream");
      break;
    }
    client.ReadImages(2, std::chrono::milliseconds(10000));  // capture settles

    const double cpuBefore = stack->server->CpuSeconds();
    const auto start = Clock::now();
    const std::vector<ReceivedImage> images = Receive(client.Socket(), kMeasured);
    const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    cpu += stack->server->CpuSeconds() - cpuBefore;
    seconds += elapsed;
    state.SetIterationTime(elapsed);

    for (const ReceivedImage& image : images) {
      frames += 1;
      bytes += static_cast<double>(image.bytes.size());
      const auto number = FrameNumberOf(image.bytes, decoder);
      const auto made = number ? stack->frameClock->MadeAt(*number) : std::nullopt;
      if (made) latenciesMs.push_back(std::chrono::duration<double, std::milli>(image.lastByte - *made).count());
    }
  }
  tjDestroy(decoder);

  const double meanBytes = frames > 0 ? bytes / frames : 0;
  const double pieces = std::ceil(meanBytes / static_cast<double>(kPieceBytes));
  state.counters["fps"] = frames / seconds;
  state.counters["frame_KiB"] = meanBytes / 1024;
  state.counters["pieces"] = pieces;
  state.counters["pause_bound_fps"] = pieces > 0 ? 1000.0 / (pieces * kPiecePauseMs) : 0;
  state.counters["latency_ms_p50"] = Percentile(latenciesMs, 0.5);
  state.counters["latency_ms_p95"] = Percentile(latenciesMs, 0.95);
  state.counters["latency_ms_mean"] =
      latenciesMs.empty() ? 0 : std::accumulate(latenciesMs.begin(), latenciesMs.end(), 0.0) / latenciesMs.size();
  state.counters["timed_frames"] = static_cast<double>(latenciesMs.size());
  state.counters["server_cpu_ms_per_frame"] = frames > 0 ? cpu * 1000 / frames : 0;
}
BENCHMARK(BM_ServerStream)
    ->ArgNames({"size_index", "rate"})
    ->ArgsProduct({{1, 0}, {10, 25, 30}})
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// A loopback TCP connection whose far end drains everything.
class DrainedConnection {
 public:
  DrainedConnection() {
    const int listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(address);
    bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof(address));
    getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
    listen(listener, 1);
    sender_ = socket(AF_INET, SOCK_STREAM, 0);
    connect(sender_, reinterpret_cast<sockaddr*>(&address), sizeof(address));
    receiver_ = accept(listener, nullptr, nullptr);
    close(listener);
    drain_ = std::thread([this] {
      std::vector<uint8_t> sink(256 * 1024);
      while (recv(receiver_, sink.data(), sink.size(), 0) > 0) {
      }
    });
  }
  ~DrainedConnection() {
    shutdown(sender_, SHUT_RDWR);
    drain_.join();
    close(sender_);
    close(receiver_);
  }
  int Sender() const { return sender_; }

 private:
  int sender_ = -1;
  int receiver_ = -1;
  std::thread drain_;
};

constexpr size_t kTypicalFullSizeFrame = 30 * 1024;

void BM_SendFrame_ChunkedWithPauses(benchmark::State& state) {
  DrainedConnection connection;
  const std::vector<uint8_t> frame(kTypicalFullSizeFrame, 0x55);
  std::atomic<bool> stop{false};
  for (auto _ : state) benchmark::DoNotOptimize(SendChunked(connection.Sender(), frame.data(), frame.size(), stop));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * frame.size()));
}
BENCHMARK(BM_SendFrame_ChunkedWithPauses)->Unit(benchmark::kMillisecond);

void BM_SendFrame_OneSend(benchmark::State& state) {
  DrainedConnection connection;
  const std::vector<uint8_t> frame(kTypicalFullSizeFrame, 0x55);
  for (auto _ : state) benchmark::DoNotOptimize(send(connection.Sender(), frame.data(), frame.size(), MSG_NOSIGNAL));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * frame.size()));
}
BENCHMARK(BM_SendFrame_OneSend)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  std::string error;
  if (!BootSystem(error)) {
    std::fprintf(stderr, "server_bench: %s\n", error.c_str());
    return 1;
  }
  // Our own camera at 30 frames per second, held here so its frame counter can be read.
  Stack running;
  const int camerasBefore = CountCameras();
  running.camera = emucam::EmulatedCamera::Create("fps=30", error);
  if (!running.camera || usbhost::PlugDevice(running.camera) == 0) {
    std::fprintf(stderr, "server_bench: cannot plug the emulated camera: %s\n", error.c_str());
    ShutdownSystem();
    return 1;
  }
  running.cameraIndex = camerasBefore;  // the lowest free device number after the booted ones
  running.frameClock = std::make_unique<FrameClock>(running.camera);
  running.server = std::make_unique<InProcessServer>();
  stack = &running;

  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();

  running.server.reset();
  running.frameClock.reset();
  ShutdownSystem();
  return 0;
}
