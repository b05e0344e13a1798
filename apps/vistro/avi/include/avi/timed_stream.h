// A video stream of an AviWriter that keeps time with the clock (FrameTimeline): the
// previous frame is repeated for periods without a new one, and a frame that comes
// while its period already has one is left out, so the file plays as long as the
// recording took, whatever the camera's own rate.
#pragma once

#include <cstdint>
#include <limits>
#include <vector>

#include "avi/frame_timeline.h"

struct AviWriter;

class TimedAviStream {
 public:
  using Clock = FrameTimeline::Clock;

  // Stream `streamNumber` of `writer` (declared, header written) at framesPerSecond;
  // frames of up to maxFrameBytes, with room for them allocated here, once.
  TimedAviStream(AviWriter* writer, int streamNumber, int framesPerSecond, uint32_t maxFrameBytes);

  // Never more than this many chunks in all: the rest is left out.
  void LimitChunks(uint64_t limit) { chunkLimit_ = limit; }

  // A new frame at `now`, after the repeats its timeline asks for. The chunks written,
  // or -1 when a write failed (AviWriteErrno says why): nothing is written after that.
  int AddFrame(const uint8_t* data, uint32_t length, Clock::time_point now);
  // No new frame by `now` (also at the end, so that the last frame lasts until then):
  // the repeats due, or -1 when a write failed.
  int KeepTime(Clock::time_point now);

  uint64_t chunks() const { return written_; }
  // New frames written (the chunks less the repeats).
  uint64_t framesTaken() const { return taken_; }
  bool failed() const { return failed_; }

 private:
  int Repeat(uint64_t count);
  bool Append(const uint8_t* data, uint32_t length);

  AviWriter* writer_;
  int stream_;
  FrameTimeline timeline_;
  std::vector<uint8_t> previous_;  // the frame the repeats show
  uint64_t written_ = 0;
  uint64_t taken_ = 0;
  uint64_t chunkLimit_ = std::numeric_limits<uint64_t>::max();
  bool failed_ = false;
};
