// When each frame was made at the emulated camera: a sampler thread watches the camera's
// frame counter, which steps once a frame has been drawn and encoded.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "emucam/emulated_camera.h"

class FrameClock {
 public:
  using Clock = std::chrono::steady_clock;

  explicit FrameClock(std::shared_ptr<emucam::EmulatedCamera> camera);
  FrameClock(const FrameClock&) = delete;
  FrameClock& operator=(const FrameClock&) = delete;
  ~FrameClock();

  // When frame `number` (as drawn in the picture) was made; nothing if not seen.
  std::optional<Clock::time_point> MadeAt(uint32_t number) const;

 private:
  void Sample();

  std::shared_ptr<emucam::EmulatedCamera> camera_;
  mutable std::mutex mutex_;
  std::map<uint32_t, Clock::time_point> madeAt_;
  std::atomic<bool> running_{true};
  std::thread sampler_;
};
