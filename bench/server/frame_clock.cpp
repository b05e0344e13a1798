#include "frame_clock.h"

namespace {
// Resolution of the capture times; small against the frame period and the latency.
constexpr std::chrono::microseconds kSamplePeriod{100};
constexpr size_t kFramesKept = 4096;
}  // namespace

FrameClock::FrameClock(std::shared_ptr<emucam::EmulatedCamera> camera)
    : camera_(std::move(camera)), sampler_([this] { Sample(); }) {}

FrameClock::~FrameClock() {
  running_ = false;
  sampler_.join();
}

std::optional<FrameClock::Clock::time_point> FrameClock::MadeAt(uint32_t number) const {
  std::lock_guard lock(mutex_);
  const auto found = madeAt_.find(number);
  if (found == madeAt_.end()) return std::nullopt;
  return found->second;
}

void FrameClock::Sample() {
  uint32_t seen = camera_->framesSent();
  while (running_) {
    const uint32_t now = camera_->framesSent();
    if (now != seen) {
      const auto time = Clock::now();
      std::lock_guard lock(mutex_);
      // Frame n is drawn while the counter reads n; the step to n + 1 marks it made.
      for (uint32_t number = seen; number != now; ++number) madeAt_[number] = time;
      while (madeAt_.size() > kFramesKept) madeAt_.erase(madeAt_.begin());
      seen = now;
    }
    std::this_thread::sleep_for(kSamplePeriod);
  }
}
