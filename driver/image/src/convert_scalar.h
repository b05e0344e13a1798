// Portable conversion routines: the table-driven reference that every faster
// path must match bit for bit, and the tail handler of the vector paths.
#pragma once

#include <cstdint>

#include "colour_converter_impl.h"

// Converts blocks [firstBlock, endBlock) of a row pair.
void Rgb565RowPair(const RowPair& rows, std::uint32_t firstBlock, std::uint32_t endBlock, std::uint32_t phase);
void Rgb24RowPair(const ColourConverter& c, const RowPair& rows, std::uint32_t firstBlock, std::uint32_t endBlock);
void Rgb32RowPair(const ColourConverter& c, const RowPair& rows, std::uint32_t firstBlock, std::uint32_t endBlock);

void ConvertRgb565Scalar(const ColourConverter& c, const ImagePlanes& planes, std::uint32_t phase);
void ConvertRgb24Scalar(const ColourConverter& c, const ImagePlanes& planes, std::uint32_t phase);
void ConvertRgb32Scalar(const ColourConverter& c, const ImagePlanes& planes, std::uint32_t phase);

// Builds the luma and chroma tables of a 24- or 32-bit converter; false when
// memory runs out.
bool BuildScalarTables(ColourConverter& c);
