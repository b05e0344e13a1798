#include "delivery/frame_delivery.h"

#include <cstring>
#include <mutex>

#include "delivery/frame_decode.h"
#include "delivery/jpeg_rebuild.h"
#include "delivery/newest_frame.h"
#include "entry/open_device.h"
#include "image/chroma.h"
#include "image/colour_converter.h"
#include "velmar/vlm_ioctl.h"

namespace {

bool IsRgbFormat(DWORD format) { return format <= VLM_FORMAT_RGB32; }

// What the output format needs; after a set-format whose allocations failed nothing is
// delivered until the next one succeeds.
bool OutputReady(const VlmDevice& device) {
  if (device.jpegWorkBuffer == nullptr) return false;
  if (device.outputFormat == VLM_FORMAT_JPEG) return true;
  if (device.decoder == nullptr) return false;
  return !IsRgbFormat(device.outputFormat) || device.converter != nullptr;
}

bool CanDeliver(const VlmDevice* device) {
  return IsOpenAndPresent(device) && device->frameCounter >= 2 && OutputReady(*device);
}

// A frame is marked with the counter that chose it, not the counter at the time of
// marking: a frame that began while this one was delivered completes the one after it,
// and the next read hands that out instead of skipping it.
void MarkDelivered(VlmDevice& device, const RebuiltImage& image) {
  device.deliveredFrame = image.frameCounter;
  device.failedDecodes = 0;
}

// A frame whose decoding failed stays undelivered, so that a failure that can pass (a
// fault, memory) gets another read; but a frame is decoded at most this often: a damaged
// frame that the library refuses every time is then consumed, and the reads wait for
// the next frame instead of decoding the same one on every call.
constexpr DWORD kDecodeAttemptsPerFrame = 4;

void CountFailedDecode(VlmDevice& device, const RebuiltImage& image) {
  if (device.failedDecodeFrame != image.frameCounter) {
    device.failedDecodeFrame = image.frameCounter;
    device.failedDecodes = 0;
  }
  if (++device.failedDecodes >= kDecodeAttemptsPerFrame) MarkDelivered(device, image);
}

// The decoded frame in the output format; the bytes written, or 0 when `capacity` is too
// small or the conversion fails.
DWORD WriteDecodedFrame(VlmDevice& device, const DecodedImage& decoded, DWORD decodedSize, BYTE* destination,
                        DWORD capacity) {
  if (device.outputFormat == VLM_FORMAT_YUV422P) {
    if (capacity < decodedSize) return 0;
    std::memcpy(destination, decoded.yPlane, decodedSize);
    return decodedSize;
  }
  if (capacity < device.outputImageSize) return 0;
  if (device.outputFormat == VLM_FORMAT_YUV420P) {
    ReduceChromaTo420(decoded.yPlane, destination, device.frameWidth, device.frameHeight);
    return device.outputImageSize;
  }
  // The converter reads the decoder's planes as they are: its chroma stride of two
  // 4:2:2 rows takes the even rows, the very samples a 4:2:0 copy would hold.
  const ImagePlanes planes{destination, decoded.yPlane, decoded.cbPlane, decoded.crPlane};
  return ConvertImage(device.converter, &planes, 0) >= 0 ? device.outputImageSize : 0;
}

}  // namespace

DWORD ReadFrame(VlmDevice* device, LPVOID buffer, DWORD count) {
  if (buffer == nullptr || count == 0 || !IsOpenAndPresent(device)) return 0;
  const DWORD counter = device->frameCounter;
  if (counter > device->deliveredFrame) return ReadNewFrame(device, static_cast<BYTE*>(buffer), count);
  // Capture started again since the last delivery.
  if (counter < device->deliveredFrame) device->deliveredFrame = counter;
  return 0;
}

DWORD ReadNewFrame(VlmDevice* device, BYTE* buffer, DWORD count) {
  if (!IsValidDevice(device)) return 0;
  const std::lock_guard hold(device->deliveryLock);
  if (!CanDeliver(device)) return 0;
  const RebuiltImage image = BuildJpegImage(*device);
  if (image.frameCounter == 0) return 0;
  if (!image.whole) {
    MarkDelivered(*device, image);
    return 0;
  }
  if (device->outputFormat == VLM_FORMAT_JPEG) {
    MarkDelivered(*device, image);
    if (count < device->jpegLength) return 0;
    std::memcpy(buffer, device->jpegWorkBuffer, device->jpegLength);
    return device->jpegLength;
  }
  DecodedImage decoded{};
  const std::int32_t decodedSize = DecodeFrameKeepingFaults(*device, decoded);
  if (decodedSize <= 0) {
    CountFailedDecode(*device, image);
    return 0;
  }
  const DWORD delivered = WriteDecodedFrame(*device, decoded, static_cast<DWORD>(decodedSize), buffer, count);
  MarkDelivered(*device, image);
  return delivered;
}

BOOL FetchNewFrame(VlmDevice* device, BYTE* image, DWORD imageLength, BYTE* jpeg, DWORD jpegLimit, DWORD* sizes) {
  if (image == nullptr || jpeg == nullptr || sizes == nullptr || imageLength == 0 || jpegLimit == 0) return FALSE;
  if (!IsValidDevice(device)) return FALSE;
  const std::lock_guard hold(device->deliveryLock);
  if (!CanDeliver(device) || !device->streamingRunning) return FALSE;
  sizes[0] = 0;
  sizes[1] = 0;
  const RebuiltImage rebuilt = BuildJpegImage(*device);
  if (rebuilt.frameCounter == 0) return FALSE;
  if (!rebuilt.whole) {
    MarkDelivered(*device, rebuilt);
    return FALSE;
  }
  const DWORD jpegLength = device->jpegLength;
  if (jpegLimit >= jpegLength) {
    std::memcpy(jpeg, device->jpegWorkBuffer, jpegLength);
    sizes[1] = jpegLength;
  }
  if (device->outputFormat == VLM_FORMAT_JPEG) {
    if (imageLength >= jpegLength) {
      std::memcpy(image, device->jpegWorkBuffer, jpegLength);
      sizes[0] = jpegLength;
    }
    MarkDelivered(*device, rebuilt);
    return sizes[0] > 0;
  }
  DecodedImage decoded{};
  std::int32_t decodedSize = 0;
  try {
    decodedSize = DecodeFrame(*device, decoded);
  } catch (...) {  // the dispatcher answers FALSE; the attempt counts all the same
    CountFailedDecode(*device, rebuilt);
    throw;
  }
  if (decodedSize <= 0) {
    CountFailedDecode(*device, rebuilt);
    return FALSE;
  }
  sizes[0] = WriteDecodedFrame(*device, decoded, static_cast<DWORD>(decodedSize), image, imageLength);
  MarkDelivered(*device, rebuilt);
  return sizes[0] > 0;
}

BOOL FetchJpegImage(VlmDevice* device, BYTE* buffer, DWORD length, DWORD* size) {
  if (buffer == nullptr || size == nullptr || length == 0) return FALSE;
  if (!IsValidDevice(device)) return FALSE;
  const std::lock_guard hold(device->deliveryLock);
  if (!IsOpenAndPresent(device)) return FALSE;
  bool whole = false;
  DWORD delivered = 0;
  const DWORD counter = WithNewestCompleteFrame(*device, [&](const FrameSlot& slot) {
    whole = IsWholeFrame(slot);
    if (!whole || RebuiltJpegLength(slot.length) > length) return;
    WriteJpegImage(*device, slot, buffer);
    delivered = RebuiltJpegLength(slot.length);
  });
  if (counter == 0) return FALSE;
  *size = delivered;
  return whole ? TRUE : FALSE;
}
