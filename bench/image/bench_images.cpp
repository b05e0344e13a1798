#include "bench_images.h"

#include <stdexcept>

#include <turbojpeg.h>

#include "image/jpeg_header.h"

namespace {

std::uint8_t Texture(int x, int y, int k) {
  const unsigned noise = ((x * 7919u + y * 104729u + k * 31u) * 2654435761u) >> 28;
  const unsigned base = k == 0 ? static_cast<unsigned>(x / 3 + y / 2 + 30) : 128u + (k == 1 ? x / 8 : y / 8) - 30u;
  return static_cast<std::uint8_t>(base + noise);
}

}  // namespace

Bytes MakeYuv420(int width, int height) {
  Bytes image(static_cast<std::size_t>(width * height * 3 / 2));
  std::uint8_t* at = image.data();
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) *at++ = Texture(x, y, 0);
  for (int k = 1; k <= 2; ++k)
    for (int y = 0; y < height / 2; ++y)
      for (int x = 0; x < width / 2; ++x) *at++ = Texture(2 * x, 2 * y, k);
  return image;
}

Bytes MakeJpeg(int width, int height) {
  Bytes rgb(static_cast<std::size_t>(width * height * 3));
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      for (int k = 0; k < 3; ++k) rgb[static_cast<std::size_t>((y * width + x) * 3 + k)] = Texture(x + 40 * k, y, 0);
  tjhandle handle = tjInitCompress();
  unsigned char* out = nullptr;
  unsigned long size = 0;
  const int failed = tjCompress2(handle, rgb.data(), width, 0, height, TJPF_RGB, &out, &size, TJSAMP_422, 50, 0);
  Bytes jpeg;
  if (!failed) jpeg.assign(out, out + size);
  tjFree(out);
  tjDestroy(handle);
  if (failed) throw std::runtime_error("TurboJPEG could not encode the benchmark image");
  return jpeg;
}

Bytes CameraImage(const Bytes& jpeg, int width, int height) {
  // Skip the file's segments up to and including SOS.
  std::size_t at = 2;
  while (at + 4 <= jpeg.size()) {
    const std::uint8_t marker = jpeg[at + 1];
    at += 2 + (std::size_t{jpeg[at + 2]} << 8 | jpeg[at + 3]);
    if (marker == 0xDA) break;
  }
  Bytes image(JpegHeaderTemplate.begin(), JpegHeaderTemplate.end());
  PatchJpegFrameSize(image.data(), static_cast<std::uint16_t>(width), static_cast<std::uint16_t>(height));
  image.insert(image.end(), jpeg.begin() + static_cast<std::ptrdiff_t>(at), jpeg.end());
  return image;
}
