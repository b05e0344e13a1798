// Paces a frame loop: a periodic multimedia timer sets an auto-reset event once per
// period, and the loop waits for that event before each frame.
#pragma once

#include "platform/mmsystem.h"
#include "platform/wintypes.h"

class FramePacer {
 public:
  // The frame period of the viewers: 25 frames per second at most.
  static constexpr UINT kFramePeriodMs = 40;

  // Creates the event (auto-reset, unsignalled) and the timer (timeSetEvent with
  // TIME_PERIODIC | TIME_CALLBACK_EVENT_SET, resolution 0).
  explicit FramePacer(UINT periodMs = kFramePeriodMs);
  // Kills the timer first, then closes the event.
  ~FramePacer();
  FramePacer(const FramePacer&) = delete;
  FramePacer& operator=(const FramePacer&) = delete;

  // Both the event and the timer exist.
  bool Ready() const { return timer_ != 0; }
  // Waits without limit for the next period (the event resets itself); returns at once
  // when the pacer is not Ready.
  void WaitForPeriod() const;

 private:
  HANDLE event_ = nullptr;
  MMRESULT timer_ = 0;
};
