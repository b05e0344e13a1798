#include "capture/frame_assembly.h"

#include <algorithm>
#include <cstring>

void FrameAssembler::Restart() {
  FrameSlot& first = device_.slots[0];
  CriticalSectionGuard hold(first.lock);
  device_.writeSlot = 0;
  first.length = 0;
  std::memset(first.buffer, 0, first.capacity);
  droppingFrame_ = false;
}

void FrameAssembler::AddTransfer(const BYTE* received, DWORD packetStride, const DWORD* actualLengths,
                                 DWORD packetCount) {
  for (DWORD i = 0; i < packetCount; ++i) {
    AddPacket(received + static_cast<size_t>(i) * packetStride, std::min(actualLengths[i], packetStride));
  }
}

void FrameAssembler::AddPacket(const BYTE* packet, DWORD length) {
  if (length == 0) return;
  if (length >= 2 && packet[0] == kStartOfImageFirst && packet[1] == kStartOfImageSecond) BeginFrame();
  if (droppingFrame_) return;
  FrameSlot& slot = device_.slots[device_.writeSlot];
  if (length > slot.capacity - slot.length) {
    droppingFrame_ = true;
    return;
  }
  std::memcpy(slot.buffer + slot.length, packet, length);
  slot.length += length;
}

// The slot being restarted may be held by a reader copying the frame it holds; its lock
// makes the restart wait for that copy.
void FrameAssembler::BeginFrame() {
  device_.frameCounter.fetch_add(1);
  const DWORD next = (device_.writeSlot + 1) % kFrameSlotCount;
  device_.writeSlot = next;
  FrameSlot& slot = device_.slots[next];
  CriticalSectionGuard hold(slot.lock);
  slot.length = 0;
  droppingFrame_ = false;
}
