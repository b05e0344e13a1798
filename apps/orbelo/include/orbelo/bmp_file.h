// The BMP file of a previewed frame. Frames arrive top-down; the file is bottom-up, as
// BMP readers expect for a positive height. 16-bit frames are RGB565 and are described
// by bit-field masks; 24- and 32-bit frames are plain BI_RGB.
#pragma once

#include <cstdint>
#include <vector>

// Size of the file header plus the information header.
constexpr uint32_t kBmpHeadersBytes = 14 + 40;
// The three RGB565 masks and a zero alpha mask follow the headers at 16 bits per pixel.
constexpr uint32_t kBmpMasksBytes = 16;

// The whole file for width x height pixels of bitsPerPixel (16, 24 or 32), the pixels
// being top-down rows of width * bitsPerPixel / 8 bytes without padding. Empty for
// missing pixels, a zero size, another depth, rows that are not a whole number of 32-bit
// words (the file would need padding) or a file beyond 4 GiB.
std::vector<uint8_t> BmpFileBytes(uint32_t width, uint32_t height, uint32_t bitsPerPixel, const uint8_t* pixels);
