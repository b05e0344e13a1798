// The per-camera device context. Attach creates it, VLM_Init finishes it, and it lives
// until both the detach and the application's last close have let go of it.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "platform/winbase.h"
#include "usbhost/usbdi.h"

struct JpegDecoder;
struct ColourConverter;

inline constexpr char kVlmSignature[4] = {'U', 'S', 'B', 'P'};
inline constexpr uint32_t kFrameSlotCount = 4;
inline constexpr uint32_t kFrameSlotBytes = 40960;
inline constexpr uint32_t kJpegWorkBufferBytes = 40960;
inline constexpr uint32_t kPortValueNameChars = 14;

// A flag that threads read and write without a lock: a 32-bit word, made atomic.
using DeviceFlag = std::atomic<BOOL>;

struct FrameSlot {
  BYTE* buffer = nullptr;  // kFrameSlotBytes, zero-filled
  DWORD length = 0;        // bytes filled
  DWORD capacity = 0;
  CRITICAL_SECTION lock{};
  bool lockReady = false;
};

struct VlmDevice {
  char signature[4] = {};

  CRITICAL_SECTION deviceLock{};  // initialisation, open and removed flags, capture start

  // Empty until VLM_Init; a record is initialised only once.
  std::u16string activeKeyPath;
  HANDLE activationHandle = nullptr;
  USB_HANDLE usbDevice = nullptr;
  LPCUSB_FUNCS usbFuncs = nullptr;

  DWORD bandwidthLevel = 0;  // 0 automatic, 1..7 the alternate setting capture uses
  DWORD sensorType = 0;
  DWORD sensorIdentifier = 0;
  DWORD levelSetting = 0;  // registers 0x11D and 0x18D
  DWORD register008Value = 0;
  DWORD register180Switch = 0;
  DWORD sizeIndex = 0;     // VLM_SIZE_640X480 or VLM_SIZE_320X240
  DWORD outputFormat = 0;  // VLM_FORMAT_*
  DWORD frameWidth = 0;
  DWORD frameHeight = 0;

  BYTE* jpegWorkBuffer = nullptr;  // kJpegWorkBufferBytes: the rebuilt image of the newest frame
  DWORD jpegLength = 0;
  DWORD outputImageSize = 0;
  DWORD bitsPerPixel = 0;

  USB_PIPE streamingPipe = nullptr;
  BYTE streamingEndpointAddress = 0;
  WORD streamingPacketSize = 0;
  HANDLE streamingEvent = nullptr;
  HANDLE controlEvent = nullptr;     // manual reset: completion of the vendor request in flight
  HANDLE openCloseEvent = nullptr;   // auto reset: the detach waits on it for the close
  HANDLE captureEndEvent = nullptr;  // auto reset: set by the capture thread on every way out

  DeviceFlag open{FALSE};
  DeviceFlag removed{FALSE};
  HANDLE captureThread = nullptr;
  DWORD lightMode = 0;
  DeviceFlag captureKeepRunning{FALSE};
  DeviceFlag streamingRunning{FALSE};
  std::atomic<DWORD> frameCounter{0};
  std::atomic<DWORD> writeSlot{0};
  std::atomic<DWORD> deliveredFrame{0};
  // The frame (by the counter that chose it) whose decoding failed last, and how often.
  DWORD failedDecodeFrame = 0;
  DWORD failedDecodes = 0;

  JpegDecoder* decoder = nullptr;        // none for VLM_FORMAT_JPEG
  BYTE* yuv420Buffer = nullptr;          // width * height * 3 / 2, for the RGB formats
  ColourConverter* converter = nullptr;  // RGB formats only
  FrameSlot slots[kFrameSlotCount];
  WCHAR portValueName[kPortValueNameChars] = {};

  // One vendor request in flight per device: held across issue and wait, since all
  // requests share the one control event.
  CRITICAL_SECTION vendorRequestLock{};

  // Frame delivery against a change of output format: both use the work buffer, the
  // decoder, the 4:2:0 buffer and the converter.
  std::mutex deliveryLock;

  // Holders: the attachment (until the detach is done) and the open handle (from its
  // VLM_Open until its VLM_Close is done). The last one to let go frees the record.
  std::atomic<int> references{0};
  DeviceFlag attachmentHeld{FALSE};
  // Changes together with the open flag under the device lock, so that an open racing a
  // close always owns a reference of its own.
  bool openHandleHeld = false;
};

// A zero-filled record with its signature and its two locks initialised, known to the
// driver as live, holding the attachment's reference. Null when memory runs out.
VlmDevice* AllocateDeviceContext();

// True only for a live record that carries the signature. Never reads memory that the
// driver did not hand out as a record, so a stale or forged handle is refused safely.
bool IsValidDevice(const VlmDevice* device);

// Looks a handle value (as the device manager or the registry passes it) up among the
// live records; null when it is none of them or has lost its signature.
VlmDevice* DeviceFromHandle(DWORD_PTR handle);

void AddDeviceReference(VlmDevice* device);
// Drops one reference; the last one frees the record (FreeDeviceContext).
void ReleaseDeviceReference(VlmDevice* device);

// Forgets the record (it is no longer valid) and deletes it; used by FreeDeviceContext
// once everything the record owns has been released.
void DeleteDeviceRecord(VlmDevice* device);

// Scoped hold of a platform critical section.
class CriticalSectionGuard {
 public:
  explicit CriticalSectionGuard(CRITICAL_SECTION& section) : section_(section) { EnterCriticalSection(&section_); }
  ~CriticalSectionGuard() { LeaveCriticalSection(&section_); }
  CriticalSectionGuard(const CriticalSectionGuard&) = delete;
  CriticalSectionGuard& operator=(const CriticalSectionGuard&) = delete;

 private:
  CRITICAL_SECTION& section_;
};
