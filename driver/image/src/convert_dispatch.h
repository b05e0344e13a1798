// Choice among the conversion paths: the portable scalar reference and the
// vector paths the processor supports, all bit-exact with each other.
#pragma once

#include <cstdint>

#include "colour_converter_impl.h"
#include "image/convert_path.h"

// The routine of a path for a depth of 16, 24 or 32 bits; 24 and 32 bits serve
// both byte orders.
ConvertRoutine SelectConvertRoutine(std::uint32_t bitsPerPixel, ConvertPath path);
