// Instantiates the vector kernels for AVX-512 BW; this file alone is built
// with AVX-512 enabled and is only called after a processor check.
#include "convert_paths.h"
#include "vector_avx512.h"
#include "vector_rgb565_kernel.h"
#include "vector_rgb_kernel.h"

ConvertRoutine Avx512Routine(std::uint32_t bitsPerPixel) {
  using vector_kernels::Avx512;
  switch (bitsPerPixel) {
    case 16: return vector_kernels::ConvertRgb565<Avx512>;
    case 24: return vector_kernels::ConvertRgb24<Avx512>;
    default: return vector_kernels::ConvertRgb32<Avx512>;
  }
}
