#include "image/colour_converter.h"

#include <new>

#include "colour_converter_impl.h"
#include "convert_dispatch.h"
#include "convert_scalar.h"

ColourConverter* CreateConverter(std::uint32_t width, std::uint32_t height, std::uint32_t lumaStride,
                                 std::uint32_t chromaStride, std::uint32_t bitsPerPixel, std::uint32_t blueFirst) {
  if (bitsPerPixel != 16 && bitsPerPixel != 24 && bitsPerPixel != 32) return nullptr;
  std::unique_ptr<ColourConverter> c(new (std::nothrow) ColourConverter{});
  if (!c) return nullptr;
  c->width = width;
  c->height = height;
  c->bitsPerPixel = bitsPerPixel;
  c->blueFirst = blueFirst ? 1 : 0;
  c->counter = 0;
  c->destinationStride = bitsPerPixel / 8 * width;
  c->lumaStride = lumaStride;
  c->chromaStride = chromaStride;
  c->convert = SelectConvertRoutine(bitsPerPixel, ChosenConvertPath());
  if (bitsPerPixel != 16 && !BuildScalarTables(*c)) return nullptr;
  return c.release();
}

std::int32_t ConvertImage(ColourConverter* converter, const ImagePlanes* planes, std::uint32_t flags) {
  if (!converter || !planes || flags != 0) return -1;
  std::uint32_t phase = 0;
  if (converter->bitsPerPixel == 16) phase = converter->counter++ & 3;
  converter->convert(*converter, *planes, phase);
  return 0;
}

std::int32_t DestroyConverter(ColourConverter* converter) {
  if (!converter) return -1;
  delete converter;
  return 0;
}
