// Cutting the camera's isochronous packet stream into frames in the four frame slots.
// A frame begins at every packet that starts with the JPEG start-of-image marker and
// ends where the next one begins.
#pragma once

#include "device/vlm_device.h"

inline constexpr BYTE kStartOfImageFirst = 0xFF;
inline constexpr BYTE kStartOfImageSecond = 0xD8;

// Used by the capture thread only; readers take the slot before the write slot.
class FrameAssembler {
 public:
  explicit FrameAssembler(VlmDevice& device) : device_(device) {}

  // Assembly from scratch: slot 0 emptied and zero-filled, write slot 0. Data before
  // the first frame start land there and are never delivered.
  void Restart();

  // One transfer: packet i lies at received + i * packetStride with its actual length;
  // lengths beyond the stride are taken as the stride. Empty packets leave no gap.
  void AddTransfer(const BYTE* received, DWORD packetStride, const DWORD* actualLengths, DWORD packetCount);

  void AddPacket(const BYTE* packet, DWORD length);

 private:
  void BeginFrame();

  VlmDevice& device_;
  // A frame that would outgrow its slot keeps what fitted; the rest of it is dropped.
  bool droppingFrame_ = false;
};
