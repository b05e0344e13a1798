// Keeps a recording of constant frame rate in step with the clock. A camera slower than
// the file's rate leaves periods without a new frame: the previous frame is repeated for
// them. A camera faster than the rate would run ahead: its extra frames are left out.
// Either way the file's duration matches the time it covers within one frame period.
#pragma once

#include <chrono>
#include <cstdint>

class FrameTimeline {
 public:
  using Clock = std::chrono::steady_clock;

  explicit FrameTimeline(int framesPerSecond);

  struct Step {
    uint64_t repeats = 0;  // chunks of the previous frame due first
    bool take = false;     // then the new frame itself
  };

  // A new frame arrived at `now`. The first frame starts the timeline.
  Step NewFrame(Clock::time_point now);
  // No new frame: chunks of the latest frame due for the periods that ended by `now`
  // (0 before the first frame). Called at the end too, so that the last frame lasts
  // until then.
  uint64_t Repeats(Clock::time_point now);

  // Chunks the file holds by this timeline's count.
  uint64_t chunks() const { return chunks_; }

 private:
  // Number of the period `now` falls in, counted from the first frame's.
  uint64_t PeriodOf(Clock::time_point now) const;

  Clock::duration period_;
  Clock::time_point start_{};
  uint64_t chunks_ = 0;
};
