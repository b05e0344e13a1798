#include "delivery/jpeg_rebuild.h"

#include <algorithm>
#include <cstring>

#include "delivery/newest_frame.h"
#include "image/jpeg_header.h"
#include "velmar/vlm_ioctl.h"

bool HasEndOfImage(const BYTE* data, DWORD count) {
  for (DWORD i = 0; i + 1 < count; ++i) {
    if (data[i] == 0xFF && data[i + 1] == 0xD9) return true;
  }
  return false;
}

DWORD RebuiltJpegLength(DWORD slotLength) {
  return slotLength < kCameraHeaderBytes ? 0 : slotLength - kCameraHeaderBytes + static_cast<DWORD>(kJpegHeaderSize);
}

bool IsWholeFrame(const FrameSlot& slot) {
  if (slot.length < kCameraHeaderBytes || RebuiltJpegLength(slot.length) > kJpegWorkBufferBytes) return false;
  // The window is searched in the scan data; the constant header holds no such marker.
  const DWORD windowStart = std::max(kCameraHeaderBytes, slot.length - std::min(slot.length, kEndOfImageWindow));
  return HasEndOfImage(slot.buffer + windowStart, slot.length - windowStart);
}

void WriteJpegImage(const VlmDevice& device, const FrameSlot& slot, BYTE* destination) {
  std::memcpy(destination, JpegHeaderTemplate.data(), kJpegHeaderSize);
  if (device.sizeIndex == VLM_SIZE_640X480) {
    PatchJpegFrameSize(destination, static_cast<uint16_t>(device.frameWidth),
                       static_cast<uint16_t>(device.frameHeight));
  }
  std::memcpy(destination + kJpegHeaderSize, slot.buffer + kCameraHeaderBytes, slot.length - kCameraHeaderBytes);
}

RebuiltImage BuildJpegImage(VlmDevice& device) {
  bool whole = false;
  const DWORD counter = WithNewestCompleteFrame(device, [&](const FrameSlot& slot) {
    whole = IsWholeFrame(slot);
    if (!whole) return;
    WriteJpegImage(device, slot, device.jpegWorkBuffer);
    device.jpegLength = RebuiltJpegLength(slot.length);
  });
  return {counter, whole};
}
