#include "capture/streaming.h"

#include "capture/capture_thread.h"
#include "entry/open_device.h"
#include "sensor/start_camera.h"

namespace {

// Joins the thread: on this platform a thread cannot be terminated safely, and its last
// act is to signal the capture end, so it ends promptly after that.
void JoinCaptureThread(VlmDevice* device) {
  WaitForSingleObject(device->captureThread, INFINITE);
  CloseHandle(device->captureThread);
  device->captureThread = nullptr;
  device->streamingRunning = FALSE;
}

}  // namespace

BOOL StartStreaming(VlmDevice* device) {
  if (!IsOpenAndPresent(device)) return FALSE;
  if (device->streamingRunning) return TRUE;
  BOOL started = FALSE;
  {
    CriticalSectionGuard hold(device->deviceLock);
    device->frameCounter = 0;
    device->writeSlot = 0;
    device->deliveredFrame = 0;
    started = StartCamera(device);
    ResetEvent(device->captureEndEvent);
  }
  if (!started) return FALSE;

  device->captureKeepRunning = TRUE;
  device->captureThread = CreateThread(nullptr, 0, CaptureThread, device, CREATE_SUSPENDED, nullptr);
  if (device->captureThread == nullptr) return FALSE;
  device->streamingRunning = TRUE;
  CeSetThreadPriority(device->captureThread, kCaptureThreadPriority);
  ResumeThread(device->captureThread);
  return TRUE;
}

BOOL StopStreaming(VlmDevice* device) {
  if (!IsOpenAndPresent(device)) return FALSE;
  if (!device->streamingRunning) return TRUE;
  device->captureKeepRunning = FALSE;
  const BOOL reset = ResetController(device);
  WaitForSingleObject(device->captureEndEvent, INFINITE);
  JoinCaptureThread(device);
  return reset;
}

void ReleaseCaptureThread(VlmDevice* device) {
  if (IsValidDevice(device) && device->captureThread != nullptr) JoinCaptureThread(device);
}
