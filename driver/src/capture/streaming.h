// Starting and stopping capture on an open device.
#pragma once

#include "device/vlm_device.h"

inline constexpr int kCaptureThreadPriority = 120;  // of 256, 0 the highest

// Programs the camera and starts the capture thread. TRUE when capture runs, also when it
// was running already; FALSE for a closed or removed device, a failed camera start-up
// or a thread that cannot be made.
BOOL StartStreaming(VlmDevice* device);

// Ends the capture thread and waits for it. TRUE when capture was not running;
// otherwise the result of the controller reset that stops the camera. FALSE for a
// closed or removed device (the thread ends by itself then).
BOOL StopStreaming(VlmDevice* device);

// Waits for a capture thread that ends by itself because the device was closed or
// unplugged, and lets go of it. Nothing happens when there is none.
void ReleaseCaptureThread(VlmDevice* device);
