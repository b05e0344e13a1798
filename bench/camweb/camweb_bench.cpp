// camweb under 1 to 128 viewers of one camera at both sizes, each viewer a real HTTP
// client on loopback: frames per second per viewer, the program's CPU time per delivered
// frame and per viewer (and which of its threads spends it), latency from the frame's
// capture to its last byte at the viewer, and memory per viewer. Beside it, the same
// bytes handed to the same number of sockets by plain blocking send loops.
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "camweb/frame_size.h"
#include "camweb_process.h"
#include "http_client.h"
#include "process_usage.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kSettle = std::chrono::milliseconds(1500);
constexpr auto kMeasured = std::chrono::milliseconds(4000);
constexpr int kFps = 25;

FrameSize SizeOf(const benchmark::State& state) { return state.range(1) == 0 ? kLargeFrame : kSmallFrame; }

double Percentile(std::vector<double> values, double fraction) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  return values[static_cast<size_t>(fraction * static_cast<double>(values.size() - 1))];
}

std::vector<StreamViewer*> Pointers(const std::vector<std::unique_ptr<StreamViewer>>& viewers) {
  std::vector<StreamViewer*> pointers;
  for (const auto& viewer : viewers) pointers.push_back(viewer.get());
  return pointers;
}

void Camweb(benchmark::State& state) {
  const auto viewerCount = static_cast<size_t>(state.range(0));
  const std::string target = "/stream?size=" + FormatFrameSize(SizeOf(state));
  for (auto _ : state) {
    CamwebProcess camweb(FindFreePort());
    if (!camweb.Ready()) {
      state.SkipWithError("camweb did not start");
      return;
    }
    // One viewer first: the capture and the program's own memory, before the others.
    std::vector<std::unique_ptr<StreamViewer>> viewers;
    viewers.push_back(std::make_unique<StreamViewer>(camweb.Port(), target));
    PumpAll(Pointers(viewers), kSettle);
    const double oneViewerKib = ReadUsage(camweb.Pid()).residentKib;
    while (viewers.size() < viewerCount) viewers.push_back(std::make_unique<StreamViewer>(camweb.Port(), target));
    PumpAll(Pointers(viewers), kSettle);

    std::vector<size_t> partsBefore;
    for (auto& viewer : viewers) {
      partsBefore.push_back(viewer->PartCount());
      viewer->recordLatency = true;
    }
    const ProcessUsage before = ReadUsage(camweb.Pid());
    const auto start = Clock::now();
    PumpAll(Pointers(viewers), kMeasured);
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    const ProcessUsage spent = Since(before, ReadUsage(camweb.Pid()));

    double delivered = 0;
    std::vector<double> latencies;
    for (size_t i = 0; i < viewers.size(); ++i) {
      delivered += static_cast<double>(viewers[i]->PartCount() - partsBefore[i]);
      latencies.insert(latencies.end(), viewers[i]->latencies.begin(), viewers[i]->latencies.end());
    }
    // The driver's capture thread is started by the camera worker and inherits its name.
    const double loop = spent.ThreadsNamed("camweb-http");
    const double worker = spent.ThreadsNamed("camweb-cam0", true);
    state.SetIterationTime(seconds);
    state.counters["fps_per_viewer"] = delivered / static_cast<double>(viewerCount) / seconds;
    state.counters["cpu_pct"] = spent.cpuSeconds / seconds * 100;
    state.counters["cpu_us_per_frame"] = delivered > 0 ? spent.cpuSeconds / delivered * 1e6 : 0;
    state.counters["cpu_pct_per_viewer"] = spent.cpuSeconds / seconds * 100 / static_cast<double>(viewerCount);
    state.counters["http_us_per_frame"] = delivered > 0 ? loop / delivered * 1e6 : 0;
    state.counters["http_pct"] = loop / seconds * 100;
    state.counters["camera_worker_pct"] = worker / seconds * 100;
    state.counters["driver_and_emucam_pct"] = (spent.cpuSeconds - loop - worker) / seconds * 100;
    state.counters["latency_p50_ms"] = Percentile(latencies, 0.5) * 1000;
    state.counters["latency_p99_ms"] = Percentile(latencies, 0.99) * 1000;
    if (viewerCount > 1) {
      state.counters["rss_kib_per_viewer"] = (spent.residentKib - oneViewerKib) / static_cast<double>(viewerCount - 1);
    }
  }
}

// N loopback TCP connections: the sending ends, and a thread that drains the others.
class DrainedSockets {
 public:
  explicit DrainedSockets(size_t count) {
    const int listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(address);
    bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof(address));
    listen(listener, static_cast<int>(count));
    getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
    for (size_t i = 0; i < count; ++i) {
      const int client = socket(AF_INET, SOCK_STREAM, 0);
      connect(client, reinterpret_cast<sockaddr*>(&address), sizeof(address));
      receivers_.push_back(client);
      senders_.push_back(accept(listener, nullptr, nullptr));
    }
    close(listener);
    drain_ = std::thread([this] { Drain(); });
  }
  ~DrainedSockets() {
    quit_ = true;
    drain_.join();
    for (const int fd : senders_) close(fd);
    for (const int fd : receivers_) close(fd);
  }
  const std::vector<int>& Senders() const { return senders_; }

 private:
  void Drain() {
    std::vector<pollfd> waiting;
    for (const int fd : receivers_) waiting.push_back({fd, POLLIN, 0});
    char buffer[65536];
    while (!quit_) {
      if (poll(waiting.data(), waiting.size(), 20) <= 0) continue;
      for (auto& entry : waiting) {
        if (entry.revents != 0) recv(entry.fd, buffer, sizeof(buffer), MSG_DONTWAIT);
      }
    }
  }

  std::vector<int> senders_, receivers_;
  std::atomic<bool> quit_{false};
  std::thread drain_;
};

double ThreadCpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// A JPEG frame of the size, as camweb sends it, taken from its snapshot.
std::string SnapshotOf(FrameSize size) {
  CamwebProcess camweb(FindFreePort());
  if (!camweb.Ready()) return {};
  return Get(camweb.Port(), "/snapshot?size=" + FormatFrameSize(size)).body;
}

void PlainSendLoops(benchmark::State& state) {
  const auto viewerCount = static_cast<size_t>(state.range(0));
  const std::string jpeg = SnapshotOf(SizeOf(state));
  if (jpeg.empty()) {
    state.SkipWithError("no frame to send");
    return;
  }
  const std::string part =
      "--camwebframe\r\nContent-Type: image/jpeg\r\nContent-Length: " + std::to_string(jpeg.size()) +
      "\r\nX-Timestamp: 0.000000\r\n\r\n" + jpeg + "\r\n";
  for (auto _ : state) {
    DrainedSockets sockets(viewerCount);
    const double cpuBefore = ThreadCpuSeconds();
    const auto start = Clock::now();
    double sent = 0;
    for (auto due = start; Clock::now() - start < kMeasured; due += std::chrono::milliseconds(1000 / kFps)) {
      std::this_thread::sleep_until(due);
      for (const int fd : sockets.Senders()) {
        for (size_t done = 0; done < part.size();) {
          const ssize_t n = send(fd, part.data() + done, part.size() - done, MSG_NOSIGNAL);
          if (n <= 0) break;
          done += static_cast<size_t>(n);
        }
        ++sent;
      }
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    const double cpu = ThreadCpuSeconds() - cpuBefore;
    state.SetIterationTime(seconds);
    state.counters["fps_per_viewer"] = sent / static_cast<double>(viewerCount) / seconds;
    state.counters["cpu_us_per_frame"] = cpu / sent * 1e6;
    state.counters["cpu_pct_per_viewer"] = cpu / seconds * 100 / static_cast<double>(viewerCount);
  }
}

void Cases(benchmark::internal::Benchmark* benchmark) {
  benchmark->ArgNames({"viewers", "small"})
      ->ArgsProduct({{1, 8, 32, 128}, {0, 1}})
      ->Iterations(1)
      ->UseManualTime()
      ->Unit(benchmark::kMillisecond);
}

BENCHMARK(Camweb)->Apply(Cases);
BENCHMARK(PlainSendLoops)->Apply(Cases);

}  // namespace

BENCHMARK_MAIN();
