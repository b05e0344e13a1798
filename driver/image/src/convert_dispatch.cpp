#include "convert_dispatch.h"

#include <cstdlib>

#include "convert_paths.h"
#include "convert_scalar.h"

namespace {

constexpr std::string_view kPathNames[] = {"scalar", "sse2", "ssse3", "avx2", "avx512"};  // by ConvertPath

}  // namespace

std::string_view ConvertPathName(ConvertPath path) { return kPathNames[static_cast<int>(path)]; }

std::optional<ConvertPath> ConvertPathNamed(std::string_view name) {
  for (ConvertPath path : kAllConvertPaths)
    if (ConvertPathName(path) == name) return path;
  return std::nullopt;
}

bool ConvertPathSupported(ConvertPath path) {
  switch (path) {
    case ConvertPath::Scalar: return true;
#if defined(__x86_64__)
    case ConvertPath::Sse2: return true;  // part of x86-64
    case ConvertPath::Ssse3: return __builtin_cpu_supports("ssse3");
    case ConvertPath::Avx2: return __builtin_cpu_supports("avx2");
    case ConvertPath::Avx512: return __builtin_cpu_supports("avx512bw");
#endif
    default: return false;
  }
}

ConvertPath BestConvertPath() {
  for (ConvertPath path : {ConvertPath::Avx512, ConvertPath::Avx2, ConvertPath::Ssse3, ConvertPath::Sse2})
    if (ConvertPathSupported(path)) return path;
  return ConvertPath::Scalar;
}

ConvertPath ChosenConvertPath() {
  const char* name = std::getenv("VELMAR_CONVERT_PATH");
  const std::optional<ConvertPath> named = name != nullptr ? ConvertPathNamed(name) : std::nullopt;
  return named && ConvertPathSupported(*named) ? *named : BestConvertPath();
}

ConvertRoutine SelectConvertRoutine(std::uint32_t bitsPerPixel, ConvertPath path) {
#if defined(__x86_64__)
  if (path == ConvertPath::Avx512) return Avx512Routine(bitsPerPixel);
  if (path == ConvertPath::Avx2) return Avx2Routine(bitsPerPixel);
  if (path == ConvertPath::Ssse3) return Ssse3Routine(bitsPerPixel);
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
