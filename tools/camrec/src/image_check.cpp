#include "camrec/image_check.h"

#include "stream_protocol/jpeg_image_size.h"

namespace {
constexpr uint8_t kStartOfScan = 0xDA;
}

bool HasFrameAndScan(std::span<const uint8_t> image) {
  const std::optional<ImageSize> size = JpegImageSize(image);
  if (!size || size->width <= 0 || size->height <= 0) return false;
  // The segments after the start marker, up to the scan.
  size_t position = 2;
  while (position + 4 <= image.size() && image[position] == 0xFF) {
    const uint8_t marker = image[position + 1];
    if (marker == 0xFF) {
      ++position;
      continue;
    }
    const size_t length = static_cast<size_t>(image[position + 2]) << 8 | image[position + 3];
    if (length < 2 || position + 2 + length > image.size()) return false;
    if (marker == kStartOfScan) return true;
    position += 2 + length;
  }
  return false;
}
