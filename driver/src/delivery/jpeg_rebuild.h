// A complete JPEG image from a camera frame: the constant header, then the frame's
// scan data after the camera's own 18-byte header.
#pragma once

#include "device/vlm_device.h"

inline constexpr DWORD kCameraHeaderBytes = 18;
// Where the end-of-image marker must lie: at most 14 bytes follow it.
inline constexpr DWORD kEndOfImageWindow = 16;

// Some position i from 0 to count - 2 holds 0xFF followed by 0xD9.
bool HasEndOfImage(const BYTE* data, DWORD count);

// Bytes of the image rebuilt from a slot holding `slotLength` bytes.
DWORD RebuiltJpegLength(DWORD slotLength);

// The frame is whole: it has scan data ending with the end-of-image marker in the
// image's last 16 bytes, and its image fits the work buffer (the largest image any
// request hands out).
bool IsWholeFrame(const FrameSlot& slot);

// Writes the header, with the frame size of the device's size index, and the slot's
// scan data to `destination`, which holds RebuiltJpegLength(slot.length) bytes.
void WriteJpegImage(const VlmDevice& device, const FrameSlot& slot, BYTE* destination);

struct RebuiltImage {
  DWORD frameCounter;  // the counter that chose the frame; 0: no complete frame yet
  bool whole;
};

// Rebuilds the newest complete frame in the work buffer and sets the JPEG length.
// A frame that is not whole leaves the work buffer's previous image in place.
RebuiltImage BuildJpegImage(VlmDevice& device);
