// The pictures orbelo saves, named by the tick count in milliseconds ("%d.jpg",
// "%d.bmp"). A name that is taken gets "-2", "-3"... rather than replacing the older
// picture: the tick count starts again at every boot.
#pragma once

#include <cstdint>
#include <span>
#include <string>

// The tick count as the name's stem, formatted as a signed number.
std::string TickCountStem();

// The camera's JPEG image, unchanged, in `folder`. Returns the path, empty when nothing
// was written.
std::string SaveJpgFile(const std::string& folder, std::span<const uint8_t> jpeg);

// A frame of width x height top-down pixels at bitsPerPixel as a BMP file (BmpFileBytes) in
// `folder`. Returns the path, empty when the file could not be written whole (a partial
// file is removed).
std::string SaveBmpFile(const std::string& folder, uint32_t width, uint32_t height, uint32_t bitsPerPixel,
                        const uint8_t* pixels);
