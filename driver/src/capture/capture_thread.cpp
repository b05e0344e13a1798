#include "capture/capture_thread.h"

#include <array>

#include "capture/frame_assembly.h"
#include "entry/entry_guard.h"
#include "entry/open_device.h"
#include "usb/streaming_interface.h"

namespace {

constexpr DWORD kLargestPacket = 1023;

// Releases what opening a streaming interface made, also after a failed try.
void CloseStreamingResources(VlmDevice& device) {
  if (device.streamingEvent != nullptr) CloseHandle(device.streamingEvent);
  device.streamingEvent = nullptr;
  if (device.streamingPipe != nullptr && device.usbFuncs != nullptr) device.usbFuncs->ClosePipe(device.streamingPipe);
  device.streamingPipe = nullptr;
}

// The fixed alternate setting of the bandwidth level, or the highest one that opens
// when the level is 0 (automatic).
bool OpenCaptureStream(VlmDevice& device) {
  const DWORD level = device.bandwidthLevel;
  if (level >= 1 && level <= kHighestStreamingSetting) {
    if (OpenStreamingInterface(&device, static_cast<BYTE>(level))) return true;
    CloseStreamingResources(device);
    return false;
  }
  for (BYTE setting = kHighestStreamingSetting; setting >= 1; --setting) {
    if (OpenStreamingInterface(&device, setting)) return true;
    CloseStreamingResources(device);
  }
  return false;
}

class CaptureLoop {
 public:
  explicit CaptureLoop(VlmDevice& device) : device_(device), assembler_(device) {
    requestedLengths_.fill(device.streamingPacketSize);
  }

  void Run() {
    device_.usbFuncs->ResetPipe(device_.streamingPipe);
    assembler_.Restart();
    for (;;) {
      if (!IsOpenAndPresent(&device_)) {
        SetEvent(device_.openCloseEvent);
        return;
      }
      if (!TransferOnce()) Sleep(kNoTransferPauseMs);
      if (!device_.captureKeepRunning) return;
    }
  }

 private:
  // One transfer of four packets into the receive buffer, assembled into the slots.
  // False when no transfer came back.
  bool TransferOnce() {
    LPCUSB_FUNCS funcs = device_.usbFuncs;
    USB_TRANSFER transfer = nullptr;
    try {
      transfer = funcs->IssueIsochTransfer(device_.streamingPipe, nullptr, nullptr, kIsochTransferFlags, 0,
                                           kPacketsPerTransfer, requestedLengths_.data(), received_.data(), 0);
    } catch (...) {
      // A fault inside the transfer call counts as no transfer.
      transfer = nullptr;
    }
    if (transfer == nullptr) return false;
    std::array<DWORD, kPacketsPerTransfer> actualLengths{};
    const BOOL measured = funcs->GetIsochResults(transfer, kPacketsPerTransfer, actualLengths.data(), nullptr);
    funcs->CloseTransfer(transfer);
    if (measured) {
      assembler_.AddTransfer(received_.data(), device_.streamingPacketSize, actualLengths.data(), kPacketsPerTransfer);
    }
    return true;
  }

  VlmDevice& device_;
  FrameAssembler assembler_;
  std::array<DWORD, kPacketsPerTransfer> requestedLengths_{};
  // Packets land here and are then appended to the frame in its slot, so that nothing
  // is ever written past a slot, whatever the frame's size.
  std::array<BYTE, kPacketsPerTransfer * kLargestPacket> received_{};
};

DWORD Capture(VlmDevice* device) {
  if (!IsValidDevice(device)) return kCaptureExitUnusable;
  if (!device->open || device->removed) {
    SetEvent(device->captureEndEvent);
    return kCaptureExitUnusable;
  }
  if (!OpenCaptureStream(*device)) {
    SetEvent(device->captureEndEvent);
    return kCaptureExitNoInterface;
  }
  // The pipe is closed and the end signalled on every way out, even after a fault.
  GuardEntry(0, [&] {
    CaptureLoop(*device).Run();
    return 0;
  });
  CloseStreamingResources(*device);
  SetEvent(device->captureEndEvent);
  return kCaptureExitNormal;
}

}  // namespace

DWORD CaptureThread(LPVOID device) {
  return GuardEntry(kCaptureExitUnusable, [&] { return Capture(static_cast<VlmDevice*>(device)); });
}
