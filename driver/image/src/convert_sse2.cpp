// Instantiates the vector kernels for SSE2.
#include "convert_paths.h"
#include "vector_rgb565_kernel.h"
#include "vector_rgb_kernel.h"
#include "vector_sse2.h"

ConvertRoutine Sse2Routine(std::uint32_t bitsPerPixel) {
  using vector_kernels::Sse2;
  switch (bitsPerPixel) {
    case 16: return vector_kernels::ConvertRgb565<Sse2>;
    case 24: return vector_kernels::ConvertRgb24<Sse2>;
    default: return vector_kernels::ConvertRgb32<Sse2>;
  }
}
