// Helpers of the colour conversion tests: converters with a chosen path, and
// images made of uniform 2 x 2 blocks.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "colour_converter_impl.h"
#include "convert_dispatch.h"
#include "image/colour_converter.h"

struct ConverterDeleter {
  void operator()(ColourConverter* c) const { DestroyConverter(c); }
};
using ConverterPtr = std::unique_ptr<ColourConverter, ConverterDeleter>;

// A converter for width x height with the driver's strides, running the given path.
inline ConverterPtr MakeConverter(std::uint32_t width, std::uint32_t height, std::uint32_t bits,
                                  std::uint32_t blueFirst, ConvertPath path = ConvertPath::Scalar) {
  ConverterPtr c(CreateConverter(width, height, width, width / 2, bits, blueFirst));
  if (c) c->convert = SelectConvertRoutine(bits, path);
  return c;
}

// A 4:2:0 image in one buffer: Y, then Cb, then Cr.
struct Yuv420Image {
  std::uint32_t width, height;
  std::vector<std::uint8_t> bytes;

  Yuv420Image(std::uint32_t w, std::uint32_t h, std::uint8_t y = 0, std::uint8_t cb = 128, std::uint8_t cr = 128)
      : width(w), height(h), bytes(w * h * 3 / 2, y) {
    std::fill(bytes.begin() + w * h, bytes.end(), cb);
    std::fill(bytes.begin() + w * h * 5 / 4, bytes.end(), cr);
  }
  std::uint8_t* Y() { return bytes.data(); }
  std::uint8_t* Cb() { return bytes.data() + width * height; }
  std::uint8_t* Cr() { return bytes.data() + width * height * 5 / 4; }
  ImagePlanes Planes(std::uint8_t* destination) { return ImagePlanes{destination, Y(), Cb(), Cr()}; }
};

inline std::uint16_t Word16(const std::vector<std::uint8_t>& out, std::size_t pixel) {
  return static_cast<std::uint16_t>(out[2 * pixel] | out[2 * pixel + 1] << 8);
}
inline std::uint32_t Word32(const std::vector<std::uint8_t>& out, std::size_t pixel) {
  return static_cast<std::uint32_t>(out[4 * pixel] | out[4 * pixel + 1] << 8 | out[4 * pixel + 2] << 16 |
                                    out[4 * pixel + 3] << 24);
}
