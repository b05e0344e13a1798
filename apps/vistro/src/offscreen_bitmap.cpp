#include "vistro/offscreen_bitmap.h"

#include <new>

#include "appcommon/display_format.h"

bool OffscreenBitmap::Create(uint32_t width, uint32_t height, uint32_t bitsPerPixel) {
  Delete();
  const QImage::Format format = ImageFormatForDepth(bitsPerPixel);
  if (format == QImage::Format_Invalid || width == 0 || height == 0) return false;
  const size_t rowBytes = size_t{width} * bitsPerPixel / 8;
  try {
    bits_.assign(rowBytes * height, 0);
  } catch (const std::bad_alloc&) {
    return false;
  }
  bitsPerPixel_ = bitsPerPixel;
  image_ =
      QImage(bits_.data(), static_cast<int>(width), static_cast<int>(height), static_cast<qsizetype>(rowBytes), format);
  if (image_.isNull()) Delete();
  return exists();
}

void OffscreenBitmap::Delete() {
  image_ = QImage();
  bits_.clear();
  bits_.shrink_to_fit();
}

void OffscreenBitmap::SetBits(const uint8_t* pixels) {
  if (pixels != nullptr && exists()) CopyPixelsForDisplay(bits_.data(), pixels, bits_.size(), bitsPerPixel_);
}
