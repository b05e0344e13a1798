// Decoder of complete baseline JPEG images into one contiguous planar buffer
// (Y, then Cb, then Cr, rows packed), driving libavcodec's MJPEG decoder.
#pragma once

#include <cstdint>

struct JpegDecoder;

// A complete JPEG image, SOI first.
struct JpegInput {
  const std::uint8_t* data;
  std::uint32_t length;
};

// Sampling modes of the planar buffer.
inline constexpr std::uint32_t kSamplingMode420 = 0;
inline constexpr std::uint32_t kSamplingMode422 = 1;
inline constexpr std::uint32_t kSamplingMode444 = 2;

// Result of a decode. The planes point into the decoder's buffer and stay valid
// until the next DecodeImage on the same decoder or its destruction.
struct DecodedImage {
  std::uint32_t width;
  std::uint32_t height;
  std::uint8_t* yPlane;
  std::uint8_t* cbPlane;
  std::uint8_t* crPlane;
  std::uint32_t yStride;
  std::uint32_t cbStride;
  std::uint32_t crStride;
  std::uint32_t size;          // bytes of the whole planar image, from yPlane on
  std::uint32_t bitsPerPixel;  // 12, 16 or 24
  std::uint32_t mode;          // kSamplingMode420, 422 or 444
};

// Returns null when memory runs out. The size only dimensions the first buffer.
JpegDecoder* CreateDecoder(std::uint32_t width, std::uint32_t height);

// Returns the planar image size in bytes (> 0), or -1 for missing arguments,
// empty input, a refused or broken image, or a failed allocation. The decoder
// stays usable after any failure. Never throws.
std::int32_t DecodeImage(JpegDecoder* decoder, const JpegInput* input, DecodedImage* result);

// Null is ignored.
void DestroyDecoder(JpegDecoder* decoder);
