#include "avi/frame_timeline.h"

#include <algorithm>

FrameTimeline::FrameTimeline(int framesPerSecond)
    : period_(std::chrono::duration_cast<Clock::duration>(std::chrono::seconds(1)) / std::max(framesPerSecond, 1)) {}

uint64_t FrameTimeline::PeriodOf(Clock::time_point now) const {
  return now <= start_ ? 0 : static_cast<uint64_t>((now - start_) / period_);
}

FrameTimeline::Step FrameTimeline::NewFrame(Clock::time_point now) {
  if (chunks_ == 0) {
    // Periods begin half a period before the first frame, so that frames paced at the
    // file's rate land in the middle of their periods and jitter cannot push two of
    // them into one.
    start_ = now - period_ / 2;
    chunks_ = 1;
    return {0, true};
  }
  const uint64_t period = PeriodOf(now);
  Step step;
  // The periods before this one that got no frame showed the previous one.
  if (period > chunks_) step.repeats = period - chunks_;
  chunks_ += step.repeats;
  step.take = chunks_ <= period;
  if (step.take) ++chunks_;
  return step;
}

uint64_t FrameTimeline::Repeats(Clock::time_point now) {
  if (chunks_ == 0) return 0;
  // Only periods that are over: a frame may still come in the current one.
  const uint64_t ended = PeriodOf(now);
  const uint64_t repeats = ended > chunks_ ? ended - chunks_ : 0;
  chunks_ += repeats;
  return repeats;
}
