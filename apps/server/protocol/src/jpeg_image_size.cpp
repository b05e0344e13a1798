#include "stream_protocol/jpeg_image_size.h"

namespace {

// SOF0 to SOF15, without DHT (C4), JPG (C8) and DAC (CC), which share the range.
bool IsStartOfFrame(uint8_t marker) {
  return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

int ReadBigEndian16(std::span<const uint8_t> bytes, size_t offset) { return bytes[offset] << 8 | bytes[offset + 1]; }

}  // namespace

std::optional<ImageSize> JpegImageSize(std::span<const uint8_t> image) {
  if (image.size() < 4 || image[0] != 0xFF || image[1] != 0xD8) return std::nullopt;
  size_t position = 2;
  while (position + 4 <= image.size() && image[position] == 0xFF) {
    const uint8_t marker = image[position + 1];
    if (marker == 0xFF) {  // fill byte before a marker
      ++position;
      continue;
    }
    const size_t length = static_cast<size_t>(ReadBigEndian16(image, position + 2));
    if (marker == 0xDA || length < 2 || position + 2 + length > image.size()) break;
    if (IsStartOfFrame(marker)) {
      if (length < 7) break;
      return ImageSize{ReadBigEndian16(image, position + 7), ReadBigEndian16(image, position + 5)};
    }
    position += 2 + length;
  }
  return std::nullopt;
}
