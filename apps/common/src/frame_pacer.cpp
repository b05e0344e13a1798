#include "appcommon/frame_pacer.h"

#include "platform/winbase.h"

FramePacer::FramePacer(UINT periodMs) {
  event_ = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  if (event_ == nullptr) return;
  // With TIME_CALLBACK_EVENT_SET the routine argument carries the event handle.
  timer_ =
      timeSetEvent(periodMs, 0, reinterpret_cast<LPTIMECALLBACK>(event_), 0, TIME_PERIODIC | TIME_CALLBACK_EVENT_SET);
}

FramePacer::~FramePacer() {
  if (timer_ != 0) timeKillEvent(timer_);
  if (event_ != nullptr) CloseHandle(event_);
}

void FramePacer::WaitForPeriod() const {
  if (Ready()) WaitForSingleObject(event_, INFINITE);
}
