#include "convert_dispatch.h"

#include "convert_scalar.h"

ConvertPath BestConvertPath() { return ConvertPath::Scalar; }

bool ConvertPathSupported(ConvertPath path) { return path == ConvertPath::Scalar; }

ConvertRoutine SelectConvertRoutine(std::uint32_t bitsPerPixel, ConvertPath) {
  switch (bitsPerPixel) {
    case 16: return ConvertRgb565Scalar;
    case 24: return ConvertRgb24Scalar;
    default: return ConvertRgb32Scalar;
  }
}
