// Conversion of planar YCbCr 4:2:0 (BT.601 studio range) to packed RGB at 16
// (RGB565 with a 2 x 2 ordered dither changing per frame), 24 or 32 bits.
#pragma once

#include <cstdint>

struct ColourConverter;

struct ImagePlanes {
  std::uint8_t* destination;  // packed RGB, rows of bitsPerPixel / 8 * width bytes
  const std::uint8_t* yPlane;
  const std::uint8_t* cbPlane;
  const std::uint8_t* crPlane;
};

// blueFirst: 1 stores blue first in memory at 24 and 32 bits, 0 red first; ignored
// at 16 bits. Returns null for a depth other than 16, 24 or 32 or when memory runs out.
ColourConverter* CreateConverter(std::uint32_t width, std::uint32_t height, std::uint32_t lumaStride,
                                 std::uint32_t chromaStride, std::uint32_t bitsPerPixel, std::uint32_t blueFirst);

// Converts one image of the converter's size; returns 0, or -1 (nothing written,
// dither phase unchanged) for a missing converter or planes or non-zero flags.
// Sizes are trusted: the destination must hold bitsPerPixel / 8 * width * height bytes.
std::int32_t ConvertImage(ColourConverter* converter, const ImagePlanes* planes, std::uint32_t flags);

// Returns 0, or -1 for a null converter.
std::int32_t DestroyConverter(ColourConverter* converter);
