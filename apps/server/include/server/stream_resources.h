// What one client's stream needs besides the camera: the pacing event, the periodic
// multimedia timer that sets it, and the frame buffer. Released in reverse order.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/windows.h"

constexpr size_t kFrameBufferBytes = 0x20000;

class StreamResources {
 public:
  StreamResources() = default;
  StreamResources(const StreamResources&) = delete;
  StreamResources& operator=(const StreamResources&) = delete;
  ~StreamResources();

  // Makes all three for a timer period of 1000 / frameRate ms; false if any failed.
  bool Make(int32_t frameRate);

  // Waits for the next timer period (at once if one has passed since the last wait).
  void WaitForTick();

  uint8_t* FrameBuffer() const { return static_cast<uint8_t*>(frameBuffer_); }

 private:
  HANDLE pacingEvent_ = nullptr;
  MMRESULT pacingTimer_ = 0;
  HLOCAL frameBuffer_ = nullptr;
};
