// The display's depth decides the pixel format the driver delivers (so the program never
// converts a pixel) and the QImage format that shows those bytes as they are.
#pragma once

#include <QImage>
#include <cstddef>
#include <cstdint>

class QScreen;

// 16 -> VLM_FORMAT_RGB565, 24 -> VLM_FORMAT_RGB24, 32 -> VLM_FORMAT_RGB32; any other
// depth gives -1.
int PixelFormatCode(unsigned bitsPerPixel);

// The QImage format whose memory layout is the driver's format for that depth:
// RGB16 (little-endian 5-6-5), BGR888 (bytes blue, green, red), RGB32 (0x00RRGGBB words).
// Format_Invalid for any other depth.
QImage::Format ImageFormatForDepth(unsigned bitsPerPixel);

// Copies `bytes` of the driver's pixels at `bitsPerPixel` into a picture shown through
// ImageFormatForDepth. At 32 bits the driver leaves the top byte of each word zero, while
// QImage::Format_RGB32 wants 0xFF there (a surface that keeps alpha would show a hole):
// the copy sets it. The driver's own buffer is not touched.
void CopyPixelsForDisplay(uint8_t* destination, const uint8_t* source, size_t bytes, unsigned bitsPerPixel);

// The depth to ask the driver for on a display of `bitsPerPixel`: the display's own when
// the driver has a format for it, else the nearest one it has (a 30-bit display gets 32
// bits), which Qt converts for the display.
unsigned DeliverableDepth(unsigned bitsPerPixel);

// Bits per pixel of a screen, as the platform reports it; 0 without a screen.
unsigned ScreenBitsPerPixel(const QScreen* screen);
