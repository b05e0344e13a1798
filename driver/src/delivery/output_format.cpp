#include "delivery/output_format.h"

#include <mutex>

#include "image/colour_converter.h"
#include "image/jpeg_decoder.h"
#include "velmar/vlm_ioctl.h"

namespace {

struct FrameSize {
  DWORD width;
  DWORD height;
};

constexpr FrameSize kFrameSizes[] = {{640, 480}, {320, 240}};  // by size index

}  // namespace

int FormatBitsPerPixel(DWORD format) {
  switch (format) {
    case VLM_FORMAT_RGB565: return 16;
    case VLM_FORMAT_RGB24: return 24;
    case VLM_FORMAT_RGB32: return 32;
    case VLM_FORMAT_YUV420P: return 12;
    case VLM_FORMAT_JPEG: return 8;
    case VLM_FORMAT_YUV422P: return 16;
    default: return -1;
  }
}

BOOL SetOutputFormat(VlmDevice* device, DWORD format, DWORD sizeIndex) {
  const int bits = FormatBitsPerPixel(format);
  if (sizeIndex > VLM_SIZE_320X240 || bits <= 0) return FALSE;

  // A frame being delivered keeps the objects it uses until it is done.
  const std::lock_guard hold(device->deliveryLock);
  DestroyDecoder(device->decoder);
  device->decoder = nullptr;
  if (device->yuv420Buffer != nullptr) LocalFree(device->yuv420Buffer);
  device->yuv420Buffer = nullptr;
  DestroyConverter(device->converter);
  device->converter = nullptr;

  // Frames already in the slots were captured for the old format and size: none of them
  // is handed out behind the new header or through the new decoder.
  device->deliveredFrame = device->frameCounter.load();
  device->failedDecodes = 0;

  const auto [width, height] = kFrameSizes[sizeIndex];
  device->sizeIndex = sizeIndex;
  device->frameWidth = width;
  device->frameHeight = height;
  device->outputFormat = format;
  device->bitsPerPixel = static_cast<DWORD>(bits);
  device->outputImageSize = width * height * device->bitsPerPixel / 8;

  if (format != VLM_FORMAT_JPEG) device->decoder = CreateDecoder(width, height);
  if (format <= VLM_FORMAT_RGB32) {
    // Delivery no longer reads it (see the converter below); the device's start-up still
    // requires it.
    device->yuv420Buffer = static_cast<BYTE*>(LocalAlloc(LPTR, width * height * 3 / 2));
    const DWORD blueFirst = format == VLM_FORMAT_RGB565 ? 0 : 1;
    // The converter reads the decoder's 4:2:2 chroma planes, every other row (a stride
    // of two rows of width / 2): no reduced copy is made.
    device->converter = CreateConverter(width, height, width, width, device->bitsPerPixel, blueFirst);
  }
  return TRUE;
}
