// Reading the frame header (SOF0) of a JPEG image to decide, before decoding,
// whether the image is accepted and which planar layout it needs.
#pragma once

#include <cstddef>
#include <cstdint>

struct FrameHeader {
  std::uint32_t width;
  std::uint32_t height;
  std::uint32_t mode;      // kSamplingMode420, 422 or 444
  std::uint32_t mcuWidth;  // pixels covered by one minimum coded unit
  std::uint32_t mcuHeight;
  // Huffman tables: where the one segment before the scan holding exactly the typical
  // tables (those of the constant header) lies, and whether any other tables come,
  // before the scan or after it (between the scans of a multi-scan image).
  std::size_t typicalTablesAt;  // 0: none
  std::size_t typicalTablesLength;
  bool otherTables;
};

// Walks the markers from SOI to the first scan. True for a baseline (SOF0) frame
// of 8-bit precision, three components and an accepted sampling combination,
// followed by a scan with data; false for anything else, including truncated
// headers, images that reach a scan or their end without a frame header, and a
// scan header with nothing after it.
bool ReadFrameHeader(const std::uint8_t* data, std::size_t length, FrameHeader& header);
