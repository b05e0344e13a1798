// Resampling of a camera frame into the preview rectangle: whole pixels picked through
// column and row tables computed once per layout, never blended.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct PreviewScaler;
using ScalerCopyRoutine = void (*)(const PreviewScaler& scaler, const uint8_t* source, uint8_t* destination);

struct PreviewScaler {
  // Entry x (1 .. destinationWidth) is (x * sourceWidth + destinationWidth / 2) /
  // destinationWidth; destination column x shows source column columnTable[x + 1] - 1.
  std::vector<uint32_t> columnTable;
  // Entry y (1 .. destinationHeight) is (y * sourceHeight + destinationHeight / 2) /
  // destinationHeight; destination row y shows source row rowTable[y].
  std::vector<uint32_t> rowTable;
  uint32_t bitsPerPixel;
  uint32_t sourceWidth, sourceHeight;
  uint32_t destinationWidth, destinationHeight;
  ScalerCopyRoutine copyRoutine;
};

// A scaler for frames of sourceWidth x sourceHeight into destinationWidth x
// destinationHeight at 16, 24 or 32 bits per pixel. Null for another depth, a zero size or
// when memory runs out. Entries that would pick a pixel outside the frame (the first
// column of enlargements above two, the last rows of enlargements of two or more) are
// pulled in to the frame's edge.
PreviewScaler* CreateScaler(uint32_t sourceWidth, uint32_t sourceHeight, uint32_t destinationWidth,
                            uint32_t destinationHeight, uint32_t bitsPerPixel);

// Scales one frame (packed rows of sourceWidth pixels) into destination (packed rows of
// destinationWidth pixels). 0, or -1 when an argument is missing or the scaler has no
// copy routine.
int ScaleFrame(const PreviewScaler* scaler, const uint8_t* source, uint8_t* destination);

// Bytes ScaleFrame writes: a destination buffer must hold at least this many.
size_t ScaledFrameBytes(const PreviewScaler& scaler);

// Frees the scaler; null is ignored.
void DestroyScaler(PreviewScaler* scaler);
