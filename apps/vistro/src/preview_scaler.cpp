#include "vistro/preview_scaler.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace {

// Writes every destination pixel from the last one backwards, kUnroll pixels per step;
// kUnroll divides destinationWidth.
template <size_t kBytesPerPixel, uint32_t kUnroll>
void CopyScaledRows(const PreviewScaler& scaler, const uint8_t* source, uint8_t* destination) {
  const size_t sourceRowBytes = size_t{scaler.sourceWidth} * kBytesPerPixel;
  const size_t destinationRowBytes = size_t{scaler.destinationWidth} * kBytesPerPixel;
  const uint32_t* const columns = scaler.columnTable.data() + 1;  // pixel x: columns[x] - 1
  for (uint32_t y = scaler.destinationHeight; y-- > 0;) {
    const uint8_t* sourceRow = source + scaler.rowTable[y] * sourceRowBytes;
    uint8_t* destinationRow = destination + y * destinationRowBytes;
    for (uint32_t x = scaler.destinationWidth; x > 0;) {
      x -= kUnroll;
      for (uint32_t k = kUnroll; k-- > 0;) {
        std::memcpy(destinationRow + size_t{x + k} * kBytesPerPixel,
                    sourceRow + size_t{columns[x + k] - 1} * kBytesPerPixel, kBytesPerPixel);
      }
    }
  }
}

// 16- and 32-bit rows go four pixels per step when the width allows, else two, else one;
// 24-bit rows always one pixel (three bytes) at a time.
template <size_t kBytesPerPixel>
ScalerCopyRoutine UnrolledRoutine(uint32_t destinationWidth) {
  if (destinationWidth % 4 == 0) return CopyScaledRows<kBytesPerPixel, 4>;
  if (destinationWidth % 2 == 0) return CopyScaledRows<kBytesPerPixel, 2>;
  return CopyScaledRows<kBytesPerPixel, 1>;
}

ScalerCopyRoutine RoutineFor(uint32_t bitsPerPixel, uint32_t destinationWidth) {
  switch (bitsPerPixel) {
    case 16: return UnrolledRoutine<2>(destinationWidth);
    case 24: return CopyScaledRows<3, 1>;
    case 32: return UnrolledRoutine<4>(destinationWidth);
    default: return nullptr;
  }
}

// Entry i of a table: (i * source + destination / 2) / destination, entry 0 being 0.
void FillTable(std::vector<uint32_t>& table, uint32_t source, uint32_t destination) {
  table.assign(size_t{destination} + 1, 0);
  for (uint32_t i = 1; i <= destination; ++i) {
    table[i] = static_cast<uint32_t>((uint64_t{i} * source + destination / 2) / destination);
  }
}

}  // namespace

PreviewScaler* CreateScaler(uint32_t sourceWidth, uint32_t sourceHeight, uint32_t destinationWidth,
                            uint32_t destinationHeight, uint32_t bitsPerPixel) {
  const ScalerCopyRoutine routine = RoutineFor(bitsPerPixel, destinationWidth);
  if (routine == nullptr || sourceWidth == 0 || sourceHeight == 0 || destinationWidth == 0 || destinationHeight == 0) {
    return nullptr;
  }
  auto* scaler = new (std::nothrow)
      PreviewScaler{{}, {}, bitsPerPixel, sourceWidth, sourceHeight, destinationWidth, destinationHeight, routine};
  if (scaler == nullptr) return nullptr;
  try {
    FillTable(scaler->columnTable, sourceWidth, destinationWidth);
    FillTable(scaler->rowTable, sourceHeight, destinationHeight);
  } catch (const std::bad_alloc&) {
    delete scaler;
    return nullptr;
  }
  // Keep every pick inside the frame: column entry 0 would mean column -1, a row entry
  // of sourceHeight the row below the frame.
  for (size_t x = 1; x < scaler->columnTable.size(); ++x) {
    scaler->columnTable[x] = std::max(scaler->columnTable[x], 1u);
  }
  for (uint32_t& row : scaler->rowTable) row = std::min(row, sourceHeight - 1);
  return scaler;
}

int ScaleFrame(const PreviewScaler* scaler, const uint8_t* source, uint8_t* destination) {
  if (scaler == nullptr || source == nullptr || destination == nullptr || scaler->copyRoutine == nullptr) {
    return -1;
  }
  if (scaler->sourceWidth == scaler->destinationWidth && scaler->sourceHeight == scaler->destinationHeight) {
    std::memcpy(destination, source, size_t{scaler->sourceHeight} * scaler->bitsPerPixel * scaler->sourceWidth / 8);
    return 0;
  }
  scaler->copyRoutine(*scaler, source, destination);
  return 0;
}

size_t ScaledFrameBytes(const PreviewScaler& scaler) {
  return size_t{scaler.destinationWidth} * scaler.destinationHeight * scaler.bitsPerPixel / 8;
}

void DestroyScaler(PreviewScaler* scaler) { delete scaler; }
