// Stream entry points the device manager calls: initialisation and release of the
// stream device, open and close, and the calls that do nothing on this device.

#include <utility>

#include "capture/streaming.h"
#include "delivery/output_format.h"
#include "device/port_names.h"
#include "entry/entry_guard.h"
#include "sensor/sensor_detect.h"
#include "sensor/start_camera.h"
#include "usb/usb_attach.h"
#include "velmar/velmar.h"
#include "velmar/vlm_ioctl.h"

namespace {

constexpr DWORD kNothingDone = 0xFFFFFFFF;

// Controller reset, sensor detection and selection, reset again; every step runs.
bool StartController(VlmDevice* device) {
  bool ok = ResetController(device);
  ok = InitSensor(device) && ok;
  ok = ResetController(device) && ok;
  return ok;
}

// The default output, RGB24 at 320 x 240; the initialisation fails without any of its objects.
bool MakeDefaultOutput(VlmDevice* device) {
  device->jpegWorkBuffer = static_cast<BYTE*>(LocalAlloc(LPTR, kJpegWorkBufferBytes));
  SetOutputFormat(device, VLM_FORMAT_RGB24, VLM_SIZE_320X240);
  return device->decoder != nullptr && device->jpegWorkBuffer != nullptr && device->yuv420Buffer != nullptr &&
         device->converter != nullptr;
}

bool MakeFrameSlots(VlmDevice* device) {
  bool all = true;
  for (FrameSlot& slot : device->slots) {
    slot.capacity = kFrameSlotBytes;
    slot.buffer = static_cast<BYTE*>(LocalAlloc(LPTR, kFrameSlotBytes));
    slot.length = 0;
    InitializeCriticalSection(&slot.lock);
    slot.lockReady = true;
    all = all && slot.buffer != nullptr;
  }
  return all;
}

DWORD_PTR Init(LPCWSTR activeKeyPath) {
  VlmDevice* device = FindContextByActiveKey(activeKeyPath);
  if (device == nullptr) return 0;
  bool started = false;
  {
    CriticalSectionGuard hold(device->deviceLock);
    // A second initialisation fails without touching the first one's port name.
    if (!device->activeKeyPath.empty()) return 0;
    device->activeKeyPath = activeKeyPath;
    device->portValueName[0] = 0;
    started = AssignPortName(activeKeyPath, device->portValueName) && StartController(device);
  }
  if (started) {
    started = MakeDefaultOutput(device);
    started = MakeFrameSlots(device) && started;
  }
  if (!started) {
    if (device->portValueName[0] != 0) ReleasePortName(device->portValueName);
    return 0;
  }
  return reinterpret_cast<DWORD_PTR>(device);
}

BOOL Deinit(DWORD_PTR handle) {
  VlmDevice* device = DeviceFromHandle(handle);
  if (device == nullptr) return FALSE;
  CriticalSectionGuard hold(device->deviceLock);
  const BOOL released = ReleasePortName(device->portValueName);
  device->portValueName[0] = 0;
  return released;
}

DWORD_PTR Open(DWORD_PTR handle) {
  VlmDevice* device = DeviceFromHandle(handle);
  if (device == nullptr) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return 0;
  }
  CriticalSectionGuard hold(device->deviceLock);
  if (device->open || device->removed) {
    SetLastError(ERROR_ACCESS_DENIED);
    return 0;
  }
  device->open = TRUE;
  ResetEvent(device->openCloseEvent);
  // The open handle keeps the record alive until its close, even past a detach.
  device->openHandleHeld = true;
  AddDeviceReference(device);
  return handle;
}

bool HeldOpen(VlmDevice* device) {
  CriticalSectionGuard hold(device->deviceLock);
  return device->openHandleHeld;
}

BOOL Close(DWORD_PTR handle) {
  VlmDevice* device = DeviceFromHandle(handle);
  // A record that no open handle holds has nothing to close: this handle is stale.
  if (device == nullptr || !HeldOpen(device)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  StopStreaming(device);
  // After an unplug the capture thread ends by itself; it is waited for here.
  ReleaseCaptureThread(device);
  BOOL signalled = FALSE;
  bool held = false;
  {
    CriticalSectionGuard hold(device->deviceLock);
    device->open = FALSE;
    held = std::exchange(device->openHandleHeld, false);
    // Under the lock, so that the signal cannot land after the reset of a newer open.
    signalled = SetEvent(device->openCloseEvent);
  }
  if (held) ReleaseDeviceReference(device);
  return signalled;
}

}  // namespace

extern "C" DWORD_PTR VLM_Init(LPCWSTR activeKeyPath) {
  return GuardEntry<DWORD_PTR>(0, [&] { return Init(activeKeyPath); });
}

extern "C" BOOL VLM_Deinit(DWORD_PTR device) {
  return GuardEntry(FALSE, [&] { return Deinit(device); });
}

extern "C" DWORD_PTR VLM_Open(DWORD_PTR device, DWORD, DWORD) {
  return GuardEntry<DWORD_PTR>(0, [&] { return Open(device); });
}

extern "C" BOOL VLM_Close(DWORD_PTR open) {
  return GuardEntry(FALSE, [&] { return Close(open); });
}

extern "C" DWORD VLM_Write(DWORD_PTR, LPCVOID, DWORD) { return kNothingDone; }

extern "C" DWORD VLM_Seek(DWORD_PTR, long, DWORD) { return kNothingDone; }

// The camera is neither stopped nor restarted around power changes.
extern "C" void VLM_PowerUp(DWORD_PTR) {}
extern "C" void VLM_PowerDown(DWORD_PTR) {}
