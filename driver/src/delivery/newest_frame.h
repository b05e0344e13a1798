// Readers' access to the newest complete frame: the slot before the one being filled.
#pragma once

#include "capture/frame_assembly.h"
#include "device/vlm_device.h"

// Runs use(slot) under the lock of the newest complete slot and returns the frame
// counter the slot was chosen by; 0 (use not run) before the second frame start.
//
// The slot is derived from one reading of the frame counter (the write slot always
// equals the counter modulo four) and checked again under its lock: once three more
// frames have begun the slot may be in use for a new frame, and the choice is made anew.
// While the lock is held the capture thread cannot restart the slot.
template <typename Use>
DWORD WithNewestCompleteFrame(VlmDevice& device, Use&& use) {
  constexpr DWORD kFramesUntilReuse = kFrameSlotCount - 1;
  for (;;) {
    const DWORD counter = device.frameCounter;
    if (counter < 2) return 0;
    FrameSlot& slot = device.slots[(counter - 1) % kFrameSlotCount];
    CriticalSectionGuard hold(slot.lock);
    if (device.frameCounter - counter < kFramesUntilReuse) {
      use(slot);
      return counter;
    }
  }
}
