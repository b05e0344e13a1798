// An activated stream device: its driver library, entry points, name and active key,
// and the bookkeeping that keeps open handles safe after deactivation.
#pragma once

#include <condition_variable>
#include <mutex>
#include <string>

#include "call_gate.h"
#include "handle_table.h"
#include "platform/devload.h"

namespace platform_internal {

struct StreamEntryPoints {
  PFN_DEV_INIT init = nullptr;
  PFN_DEV_DEINIT deinit = nullptr;
  PFN_DEV_OPEN open = nullptr;
  PFN_DEV_CLOSE close = nullptr;
  PFN_DEV_READ read = nullptr;
  PFN_DEV_WRITE write = nullptr;
  PFN_DEV_IOCONTROL ioControl = nullptr;
};

// The object behind an activation handle (released by DeactivateDevice only).
class StreamDevice final : public KernelObject {
 public:
  StreamDevice(HMODULE module, const StreamEntryPoints& entries, std::u16string name, std::u16string activeKeyPath);

  bool ClosedByCloseHandle() const override { return false; }

  const HMODULE module;
  const StreamEntryPoints entries;
  const std::u16string name;           // "PPPn:"
  const std::u16string activeKeyPath;  // "\Drivers\Active\nn"
  DWORD_PTR context = 0;               // PPP_Init's result; set before the device is published

  // Entry point calls other than PPP_Close: refused (false) once deactivation began.
  bool BeginCall() { return calls_.Enter(); }
  void EndCall() { calls_.Leave(); }

  // PPP_Close may run even after deactivation, but never alongside PPP_Deinit:
  // RunClose calls `close` at a moment when that holds.
  template <class Close>
  BOOL RunClose(Close close);

  // A successful PPP_Open, counted inside its call; its handle's close ends the count.
  void HandleOpened();
  void HandleClosed();

  // Stops new calls, waits for the running ones, then runs PPP_Deinit; the library is
  // released once the last open handle has been closed as well.
  void Deactivate();

 private:
  void WaitUntilDeinitDone();
  void ReleaseLibraryIfUnused(std::unique_lock<std::mutex>& lock);

  CallGate calls_;
  std::mutex mutex_;
  std::condition_variable deinitDone_;
  bool deactivated_ = false;
  int openHandles_ = 0;
  bool libraryReleased_ = false;
};

template <class Close>
BOOL StreamDevice::RunClose(Close close) {
  const bool counted = BeginCall();
  if (!counted) WaitUntilDeinitDone();
  const BOOL result = close();
  if (counted) EndCall();
  return result;
}

}  // namespace platform_internal
