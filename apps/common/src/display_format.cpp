#include "appcommon/display_format.h"

#include <QScreen>
#include <cstring>

#include "velmar/vlm_ioctl.h"

int PixelFormatCode(unsigned bitsPerPixel) {
  switch (bitsPerPixel) {
    case 16: return static_cast<int>(VLM_FORMAT_RGB565);
    case 24: return static_cast<int>(VLM_FORMAT_RGB24);
    case 32: return static_cast<int>(VLM_FORMAT_RGB32);
    default: return -1;
  }
}

QImage::Format ImageFormatForDepth(unsigned bitsPerPixel) {
  switch (bitsPerPixel) {
    case 16: return QImage::Format_RGB16;
    case 24: return QImage::Format_BGR888;
    case 32: return QImage::Format_RGB32;
    default: return QImage::Format_Invalid;
  }
}

void CopyPixelsForDisplay(uint8_t* destination, const uint8_t* source, size_t bytes, unsigned bitsPerPixel) {
  std::memcpy(destination, source, bytes);
  if (bitsPerPixel != 32) return;
  for (size_t alpha = 3; alpha < bytes; alpha += 4) destination[alpha] = 0xFF;  // little-endian words
}

unsigned DeliverableDepth(unsigned bitsPerPixel) {
  if (bitsPerPixel > 24) return 32;
  if (bitsPerPixel > 16) return 24;
  return 16;
}

unsigned ScreenBitsPerPixel(const QScreen* screen) {
  return screen != nullptr && screen->depth() > 0 ? static_cast<unsigned>(screen->depth()) : 0;
}
