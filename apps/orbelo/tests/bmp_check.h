// Checks of a BMP file as a reader sees it: the header fields one by one, and the
// picture decoded by Qt's BMP reader against the frame it was made from.
#pragma once

#include <QImage>
#include <cstdint>
#include <vector>

// Expects every header field of a 320 x 240 file at bitsPerPixel (and the masks at 16).
void ExpectBmpHeaders(const std::vector<uint8_t>& file, unsigned bitsPerPixel);

// Pixels where the picture a BMP reader made differs from the frame. At 16 bits the
// reader widens RGB565 to 8 bits per channel, so both are compared in 5-6-5 steps.
int PixelsDiffering(const QImage& readBack, const QImage& frame, unsigned bitsPerPixel);
