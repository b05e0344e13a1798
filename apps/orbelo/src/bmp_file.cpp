#include "orbelo/bmp_file.h"

#include <cstring>

namespace {

constexpr uint32_t kBitFields = 3;              // compression: pixels described by masks
constexpr uint32_t kMaskedResolution = 0x1BAD;  // pixels per metre written with the masks
constexpr uint32_t kRgb565Masks[] = {0xF800, 0x07E0, 0x001F, 0};

class LittleEndianWriter {
 public:
  explicit LittleEndianWriter(std::vector<uint8_t>& out) : out_(out) {}
  void U16(uint32_t value) {
    out_.push_back(static_cast<uint8_t>(value));
    out_.push_back(static_cast<uint8_t>(value >> 8));
  }
  void U32(uint32_t value) {
    U16(value & 0xFFFF);
    U16(value >> 16);
  }

 private:
  std::vector<uint8_t>& out_;
};

}  // namespace

std::vector<uint8_t> BmpFileBytes(uint32_t width, uint32_t height, uint32_t bitsPerPixel, const uint8_t* pixels) {
  if (pixels == nullptr || width == 0 || height == 0) return {};
  if (bitsPerPixel != 16 && bitsPerPixel != 24 && bitsPerPixel != 32) return {};
  const bool masked = bitsPerPixel == 16;
  const size_t rowBytes = size_t{width} * bitsPerPixel / 8;
  // Rows are written unpadded, which BMP allows only when they fill whole 32-bit words.
  if (rowBytes % 4 != 0) return {};
  const uint32_t offset = kBmpHeadersBytes + (masked ? kBmpMasksBytes : 0);
  if (rowBytes > (UINT32_MAX - offset) / height) return {};
  const size_t imageBytes = rowBytes * height;

  std::vector<uint8_t> file;
  file.reserve(offset + imageBytes);
  LittleEndianWriter write(file);
  file.push_back('B');
  file.push_back('M');
  write.U32(offset + static_cast<uint32_t>(imageBytes));
  write.U16(0);
  write.U16(0);
  write.U32(offset);

  write.U32(40);
  write.U32(width);
  write.U32(height);
  write.U16(1);
  write.U16(bitsPerPixel);
  write.U32(masked ? kBitFields : 0);
  write.U32(0);  // image size: may be 0 for uncompressed and bit-field pixels
  write.U32(masked ? kMaskedResolution : 0);
  write.U32(masked ? kMaskedResolution : 0);
  write.U32(0);
  write.U32(0);
  if (masked) {
    for (const uint32_t mask : kRgb565Masks) write.U32(mask);
  }

  file.resize(offset + imageBytes);
  uint8_t* destination = file.data() + offset;
  for (size_t row = height; row-- > 0; destination += rowBytes) {
    std::memcpy(destination, pixels + row * rowBytes, rowBytes);
  }
  return file;
}
