// The AVI file of one recording run: one MJPG video stream at 25 frames per second that
// keeps time with the clock (TimedAviStream), so a camera slower than 25 frames per
// second still plays at its speed. Finished and closed when the run ends.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "avi/timed_stream.h"

struct AviWriter;

class RunRecording {
 public:
  static constexpr int kFramesPerSecond = 25;
  static constexpr int kBitRate = 512000;
  using Clock = TimedAviStream::Clock;

  // Opens the file and writes its header for frames of width x height, with room for
  // JPEG images of up to maxImageBytes.
  RunRecording(const std::string& path, uint32_t width, uint32_t height, uint32_t maxImageBytes);
  // Finishes the file (indexes and counters) and closes it.
  ~RunRecording();
  RunRecording(const RunRecording&) = delete;
  RunRecording& operator=(const RunRecording&) = delete;

  // The file is open, its stream declared and its header written; frames can follow.
  bool Ready() const { return timed_ != nullptr; }
  // Why the file could not be made or a write failed (an errno), 0 while all is well.
  int failure() const;
  const std::string& path() const { return path_; }

  // A new JPEG image at `now`: the chunks written, or -1 when a write failed, after
  // which the file holds the chunks written before.
  int AddFrame(const uint8_t* jpeg, uint32_t length, Clock::time_point now);
  // A period without a new image, and the end of the run: the repeats due by `now`.
  int KeepTime(Clock::time_point now);
  // New images written so far (the chunks less the repeats).
  uint64_t framesTaken() const { return timed_ ? timed_->framesTaken() : 0; }

 private:
  std::string path_;
  AviWriter* writer_ = nullptr;
  int openFailure_ = 0;
  std::unique_ptr<TimedAviStream> timed_;
};
