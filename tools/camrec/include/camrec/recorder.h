// The receiving loop: reads the stream, splits it into JPEG images and stores them until
// a limit is reached, the user interrupts, or the stream ends.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "frame_sink.h"
#include "stream_protocol/jpeg_image_size.h"

struct RecordingLimits {
  std::optional<uint64_t> frames;
  std::optional<std::chrono::milliseconds> duration;
  // A stream that sends nothing for this long counts as broken.
  std::chrono::milliseconds stallTimeout{5000};
};

struct RecordingStats {
  uint64_t frames = 0;    // frames in the output, repeats included
  uint64_t received = 0;  // images received and handed to the output
  uint64_t bytes = 0;     // JPEG bytes received in those images
  uint64_t rejected = 0;  // "images" without a frame header or a scan, not stored
  std::chrono::duration<double> elapsed{};
  std::optional<ImageSize> imageSize;  // of the first image
  uint64_t discardedBytes = 0;         // stream bytes that belonged to no whole image
};

enum class StopReason { kFrameLimit, kTimeLimit, kInterrupted, kServerClosed, kStalled, kReceiveFailed, kSinkFailed };

// True for the reasons that end a recording as the user asked.
bool IsRequestedStop(StopReason reason);
const char* Describe(StopReason reason);

using ProgressHandler = std::function<void(const RecordingStats&)>;

// Records from a socket on which streaming has started. `onProgress` is called after
// every stored image. `error` is set for kReceiveFailed and kSinkFailed.
StopReason RecordStream(int socket, FrameSink& sink, const RecordingLimits& limits,
                        const std::atomic<bool>& interrupted, const ProgressHandler& onProgress, RecordingStats& stats,
                        std::string& error);
