#include "appcommon/display_format.h"

#include <QScreen>

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

unsigned ScreenBitsPerPixel(const QScreen* screen) {
  return screen != nullptr && screen->depth() > 0 ? static_cast<unsigned>(screen->depth()) : 0;
}
