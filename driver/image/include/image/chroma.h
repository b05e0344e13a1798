// Chroma reduction of a planar 4:2:2 image to planar 4:2:0.
#pragma once

#include <cstdint>

// Copies the Y plane (width * height bytes), then the even rows of Cb and of Cr.
// source: Y, Cb (width/2 x height), Cr, back to back; destination:
// Y, Cb (width/2 x height/2), Cr, width * height * 3 / 2 bytes.
void ReduceChromaTo420(const std::uint8_t* source, std::uint8_t* destination, std::uint32_t width,
                       std::uint32_t height);
