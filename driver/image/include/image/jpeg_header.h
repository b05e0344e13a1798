// The constant baseline JPEG header put in front of every camera frame: the
// camera sends only the entropy-coded scan, always with the same tables.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

inline constexpr std::size_t kJpegHeaderSize = 589;
// Big-endian frame height and width inside the SOF0 segment; the driver
// patches them for sizes other than the template's 320 x 240.
inline constexpr std::size_t kJpegHeightOffset = 561;
inline constexpr std::size_t kJpegWidthOffset = 563;

// SOI, DQT (two tables), DHT (four typical tables), SOF0 (4:2:2, 320 x 240), SOS.
extern const std::array<std::uint8_t, kJpegHeaderSize> JpegHeaderTemplate;

// Stores width and height big-endian at their offsets of a copy of the header.
void PatchJpegFrameSize(std::uint8_t* header, std::uint16_t width, std::uint16_t height);
