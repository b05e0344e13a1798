// The display's depth decides the pixel format the driver delivers (so the program never
// converts a pixel) and the QImage format that shows those bytes as they are.
#pragma once

#include <QImage>

class QScreen;

// 16 -> VLM_FORMAT_RGB565, 24 -> VLM_FORMAT_RGB24, 32 -> VLM_FORMAT_RGB32; any other
// depth gives -1.
int PixelFormatCode(unsigned bitsPerPixel);

// The QImage format whose memory layout is the driver's format for that depth:
// RGB16 (little-endian 5-6-5), BGR888 (bytes blue, green, red), RGB32 (0x00RRGGBB words).
// Format_Invalid for any other depth.
QImage::Format ImageFormatForDepth(unsigned bitsPerPixel);

// Bits per pixel of a screen, as the platform reports it; 0 without a screen.
unsigned ScreenBitsPerPixel(const QScreen* screen);
