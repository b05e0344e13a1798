#include "server/stream_resources.h"

#include "stream_protocol/stream_protocol.h"

StreamResources::~StreamResources() {
  // The timer goes first: it must not set an event whose handle is already closed.
  if (pacingTimer_ != 0) timeKillEvent(pacingTimer_);
  if (pacingEvent_ != nullptr) CloseHandle(pacingEvent_);
  if (frameBuffer_ != nullptr) LocalFree(frameBuffer_);
}

bool StreamResources::Make(int32_t frameRate) {
  pacingEvent_ = CreateEventW(nullptr, TRUE, TRUE, nullptr);
  if (pacingEvent_ != nullptr) {
    pacingTimer_ =
        timeSetEvent(stream_protocol::TimerPeriodMs(frameRate), 0, reinterpret_cast<LPTIMECALLBACK>(pacingEvent_), 0,
                     TIME_PERIODIC | TIME_CALLBACK_EVENT_SET);
  }
  frameBuffer_ = LocalAlloc(LPTR, kFrameBufferBytes);
  return pacingEvent_ != nullptr && pacingTimer_ != 0 && frameBuffer_ != nullptr;
}

void StreamResources::WaitForTick() {
  WaitForSingleObject(pacingEvent_, INFINITE);
  ResetEvent(pacingEvent_);
}
