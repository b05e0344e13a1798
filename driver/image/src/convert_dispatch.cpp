#include "convert_dispatch.h"

#include "convert_paths.h"
#include "convert_scalar.h"

bool ConvertPathSupported(ConvertPath path) {
  switch (path) {
    case ConvertPath::Scalar: return true;
#if defined(__x86_64__)
    case ConvertPath::Sse2: return true;  // part of x86-64
    case ConvertPath::Avx2: return __builtin_cpu_supports("avx2");
    case ConvertPath::Avx512: return __builtin_cpu_supports("avx512bw");
#endif
    default: return false;
  }
}

ConvertPath BestConvertPath() {
  for (ConvertPath path : {ConvertPath::Avx512, ConvertPath::Avx2, ConvertPath::Sse2})
    if (ConvertPathSupported(path)) return path;
  return ConvertPath::Scalar;
}

ConvertRoutine SelectConvertRoutine(std::uint32_t bitsPerPixel, ConvertPath path) {
#if defined(__x86_64__)
  if (path == ConvertPath::Avx512) return Avx512Routine(bitsPerPixel);
  if (path == ConvertPath::Avx2) return Avx2Routine(bitsPerPixel);
  if (path == ConvertPath::Sse2) return Sse2Routine(bitsPerPixel);
#endif
  switch (bitsPerPixel) {
    case 16: return ConvertRgb565Scalar;
    case 24: return ConvertRgb24Scalar;
    default: return ConvertRgb32Scalar;
  }
}

bool SetConvertPath(ColourConverter* converter, ConvertPath path) {
  if (converter == nullptr || !ConvertPathSupported(path)) return false;
  converter->convert = SelectConvertRoutine(converter->bitsPerPixel, path);
  return true;
}
