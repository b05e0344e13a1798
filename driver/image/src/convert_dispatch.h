// Choice among the conversion paths: the portable scalar reference and the
// vector paths the processor supports, all bit-exact with each other.
#pragma once

#include <cstdint>

#include "colour_converter_impl.h"

enum class ConvertPath { Scalar, Sse2, Avx2, Avx512 };

// The fastest path this processor runs.
ConvertPath BestConvertPath();

// True when this processor can run the path.
bool ConvertPathSupported(ConvertPath path);

// The routine of a path for a depth of 16, 24 or 32 bits; 24 and 32 bits serve
// both byte orders.
ConvertRoutine SelectConvertRoutine(std::uint32_t bitsPerPixel, ConvertPath path);
