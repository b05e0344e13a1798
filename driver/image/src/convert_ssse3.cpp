// Instantiates the vector kernels for SSSE3; this file alone is built with SSSE3
// enabled and is only called after a processor check.
#include "convert_paths.h"
#include "vector_rgb565_kernel.h"
#include "vector_rgb_kernel.h"
#include "vector_sse2.h"

ConvertRoutine Ssse3Routine(std::uint32_t bitsPerPixel) {
  using vector_kernels::Ssse3;
  switch (bitsPerPixel) {
    case 16: return vector_kernels::ConvertRgb565<Ssse3>;
    case 24: return vector_kernels::ConvertRgb24<Ssse3>;
    default: return vector_kernels::ConvertRgb32<Ssse3>;
  }
}
