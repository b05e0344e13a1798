// What counts as an image of the stream: the splitter cuts whatever lies between a
// start and an end marker, and a hostile or broken server can send bare "FF D8 FF D9"
// pairs by the million. An image must have a frame header with a size and a scan.
#pragma once

#include <cstdint>
#include <span>

// True when `image` (SOI ... EOI) has a start-of-frame segment with a width and a
// height above 0, followed by a start-of-scan segment.
bool HasFrameAndScan(std::span<const uint8_t> image);
