// Instantiates the vector kernels for AVX2; this file alone is built with
// AVX2 enabled and is only called after a processor check.
#include "convert_paths.h"
#include "vector_avx2.h"
#include "vector_rgb565_kernel.h"
#include "vector_rgb_kernel.h"

ConvertRoutine Avx2Routine(std::uint32_t bitsPerPixel) {
  using vector_kernels::Avx2;
  switch (bitsPerPixel) {
    case 16: return vector_kernels::ConvertRgb565<Avx2>;
    case 24: return vector_kernels::ConvertRgb24<Avx2>;
    default: return vector_kernels::ConvertRgb32<Avx2>;
  }
}
