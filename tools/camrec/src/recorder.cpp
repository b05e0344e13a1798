#include "camrec/recorder.h"

#include <poll.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "camrec/image_check.h"
#include "stream_protocol/jpeg_stream_splitter.h"

namespace {

using Clock = std::chrono::steady_clock;
// How often the loop looks at the limits and the interrupt flag while no data comes.
constexpr int kPollMs = 100;
constexpr size_t kReceiveBytes = 64 * 1024;

}  // namespace

bool IsRequestedStop(StopReason reason) {
  return reason == StopReason::kFrameLimit || reason == StopReason::kTimeLimit || reason == StopReason::kInterrupted;
}

const char* Describe(StopReason reason) {
  switch (reason) {
    case StopReason::kFrameLimit: return "frame count reached";
    case StopReason::kTimeLimit: return "time limit reached";
    case StopReason::kInterrupted: return "interrupted";
    case StopReason::kServerClosed: return "the server ended the stream (it was stopped, or its camera is gone)";
    case StopReason::kStalled: return "the server stopped sending";
    case StopReason::kReceiveFailed: return "receiving failed";
    case StopReason::kSinkFailed: return "storing a frame failed";
  }
  return "stopped";
}

StopReason RecordStream(int socket, FrameSink& sink, const RecordingLimits& limits,
                        const std::atomic<bool>& interrupted, const ProgressHandler& onProgress, RecordingStats& stats,
                        std::string& error) {
  const auto start = Clock::now();
  auto lastData = start;
  JpegStreamSplitter splitter;
  std::vector<uint8_t> buffer(kReceiveBytes);
  bool sinkFailed = false;

  const auto stored = [&](int frames) {
    if (frames < 0) {
      sinkFailed = true;
      return;
    }
    stats.frames += static_cast<uint64_t>(frames);
  };
  const auto store = [&](std::span<const uint8_t> image) {
    if (sinkFailed || (limits.frames && stats.frames >= *limits.frames)) return;
    if (!HasFrameAndScan(image)) {
      ++stats.rejected;
      return;
    }
    if (!stats.imageSize) stats.imageSize = JpegImageSize(image);
    stored(sink.Write(image, error));
    if (sinkFailed) return;
    ++stats.received;
    stats.bytes += image.size();
    stats.elapsed = Clock::now() - start;
    onProgress(stats);
  };
  // The output keeps time until the recording ends, however it ends.
  const auto end = [&](StopReason reason) {
    if (!sinkFailed) stored(sink.KeepTime(error));
    return sinkFailed ? StopReason::kSinkFailed : reason;
  };

  for (;;) {
    stats.elapsed = Clock::now() - start;
    stats.discardedBytes = splitter.DiscardedBytes();
    if (!sinkFailed) stored(sink.KeepTime(error));
    if (sinkFailed) return StopReason::kSinkFailed;
    if (limits.frames && stats.frames >= *limits.frames) return StopReason::kFrameLimit;
    if (limits.duration && Clock::now() - start >= *limits.duration) return end(StopReason::kTimeLimit);
    if (interrupted.load()) return end(StopReason::kInterrupted);
    if (Clock::now() - lastData >= limits.stallTimeout) return end(StopReason::kStalled);

    pollfd readable{socket, POLLIN, 0};
    const int ready = poll(&readable, 1, kPollMs);
    if (ready < 0 && errno != EINTR) {
      error = std::string("waiting for data failed: ") + std::strerror(errno);
      return StopReason::kReceiveFailed;
    }
    if (ready <= 0) continue;

    const ssize_t got = recv(socket, buffer.data(), buffer.size(), 0);
    if (got == 0) return end(StopReason::kServerClosed);
    if (got < 0) {
      if (errno == EINTR || errno == EAGAIN) continue;
      if (errno == ECONNRESET) return end(StopReason::kServerClosed);
      error = std::string("receiving failed: ") + std::strerror(errno);
      return end(StopReason::kReceiveFailed);
    }
    lastData = Clock::now();
    splitter.Feed(std::span<const uint8_t>(buffer.data(), static_cast<size_t>(got)), store);
  }
}
