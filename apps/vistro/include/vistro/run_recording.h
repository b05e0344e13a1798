// The AVI file of one recording run: one MJPG video stream at 25 frames per second that
// keeps time with the clock (FrameTimeline): a period without a new frame repeats the
// previous one, so a camera slower than 25 frames per second still plays at its speed.
// Finished and closed when the run ends, or as soon as a write fails.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "avi/frame_timeline.h"

struct AviWriter;

class RunRecording {
 public:
  static constexpr int kFramesPerSecond = 25;
  static constexpr int kBitRate = 512000;
  using Clock = FrameTimeline::Clock;

  // Opens the file and writes its header for frames of width x height, with room for
  // JPEG images of up to maxImageBytes.
  RunRecording(const std::string& path, uint32_t width, uint32_t height, uint32_t maxImageBytes);
  // Finishes the file (indexes and counters) and closes it.
  ~RunRecording();
  RunRecording(const RunRecording&) = delete;
  RunRecording& operator=(const RunRecording&) = delete;

  // The file is open, its stream declared and its header written; frames can follow.
  bool Ready() const { return ready_; }
  // Why the file could not be made or a write failed (an errno), 0 while all is well.
  int failure() const { return failure_; }
  const std::string& path() const { return path_; }

  // A new JPEG image at `now`, appended after the repeats its timeline asks for. The
  // chunks written, or -1 when a write failed: the recording is over then, and the
  // file holds the chunks written before.
  int AddFrame(const uint8_t* jpeg, uint32_t length, Clock::time_point now);
  // A period without a new image, and the end of the run: the repeats due by `now`.
  int KeepTime(Clock::time_point now);

 private:
  int Repeat(uint64_t count);
  bool Append(const uint8_t* jpeg, uint32_t length);

  std::string path_;
  AviWriter* writer_ = nullptr;
  int stream_ = -1;
  bool ready_ = false;
  int failure_ = 0;
  FrameTimeline timeline_{kFramesPerSecond};
  std::vector<uint8_t> previous_;  // the image the repeats show
};
