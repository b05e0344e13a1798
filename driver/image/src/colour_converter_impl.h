// Internal state of a ColourConverter and the row-pair walk shared by every
// conversion routine.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "image/colour_converter.h"

// One row pair of the image: two luma rows, their chroma row, two output rows.
struct RowPair {
  const std::uint8_t* y0;
  const std::uint8_t* y1;
  const std::uint8_t* cb;
  const std::uint8_t* cr;
  std::uint8_t* d0;
  std::uint8_t* d1;
};

// Where the lookups of a block start in the converter's luma table, by chroma value.
struct ChromaRows {
  std::int32_t red[256];         // by Cr
  std::int32_t greenOfCb[256];   // by Cb
  std::int32_t greenExtra[256];  // by Cr, added to the Cb row
  std::int32_t blue[256];        // by Cb
};

using ConvertRoutine = void (*)(const ColourConverter& converter, const ImagePlanes& planes, std::uint32_t phase);

struct ColourConverter {
  std::uint32_t width;
  std::uint32_t height;
  std::uint32_t bitsPerPixel;
  std::uint32_t blueFirst;
  std::uint32_t counter;
  std::uint32_t destinationStride;
  std::uint32_t lumaStride;
  std::uint32_t chromaStride;
  ConvertRoutine convert;
  // 24 bits: clamped luma bytes; 32 bits: three tables of shifted channel words.
  std::unique_ptr<std::uint8_t[]> lumaBytes;
  std::unique_ptr<std::uint32_t[]> lumaWords;
  std::unique_ptr<ChromaRows> chromaRows;
};

// Calls rowPairFn(RowPair) for each whole 2 x 2 block row of the image; a last
// odd row has no chroma row of its own and is left unwritten.
template <typename RowPairFn>
void ForEachRowPair(const ColourConverter& c, const ImagePlanes& planes, RowPairFn&& rowPairFn) {
  for (std::uint32_t pair = 0; pair < c.height / 2; ++pair) {
    const std::size_t row = 2 * std::size_t{pair};
    RowPair rows{planes.yPlane + row * c.lumaStride,
                 planes.yPlane + (row + 1) * c.lumaStride,
                 planes.cbPlane + pair * std::size_t{c.chromaStride},
                 planes.crPlane + pair * std::size_t{c.chromaStride},
                 planes.destination + row * c.destinationStride,
                 planes.destination + (row + 1) * c.destinationStride};
    rowPairFn(rows);
  }
}
