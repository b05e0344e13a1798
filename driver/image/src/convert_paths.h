// The routines of each vector path, by depth (16, 24 or 32 bits).
#pragma once

#include <cstdint>

#include "colour_converter_impl.h"

ConvertRoutine Sse2Routine(std::uint32_t bitsPerPixel);
ConvertRoutine Ssse3Routine(std::uint32_t bitsPerPixel);
ConvertRoutine Avx2Routine(std::uint32_t bitsPerPixel);
ConvertRoutine Avx512Routine(std::uint32_t bitsPerPixel);
