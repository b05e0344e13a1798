// Feeds arbitrary bytes to DecodeImage: mostly as the scan data behind the
// constant header (the driver's case, at either frame size), sometimes as a
// whole image. One decoder serves all inputs, as in the driver, so state left
// behind by a bad image is exercised too.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "image/jpeg_decoder.h"
#include "image/jpeg_header.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static JpegDecoder* decoder = CreateDecoder(320, 240);
  static std::vector<std::uint8_t> image;
  if (size == 0 || !decoder) return 0;

  const std::uint8_t selector = data[0];
  ++data;
  --size;
  image.clear();
  if (selector < 0xC0) {
    image.assign(JpegHeaderTemplate.begin(), JpegHeaderTemplate.end());
    if (selector & 1) PatchJpegFrameSize(image.data(), 640, 480);
  }
  image.insert(image.end(), data, data + size);

  const JpegInput input{image.data(), static_cast<std::uint32_t>(image.size())};
  DecodedImage result{};
  const std::int32_t bytes = DecodeImage(decoder, &input, &result);
  if (bytes > 0) {
    // Touch both ends of the reported planes: a wrong layout shows up under ASan.
    volatile std::uint8_t first = result.yPlane[0];
    volatile std::uint8_t last = result.yPlane[bytes - 1];
    (void)first;
    (void)last;
  }
  return 0;
}
