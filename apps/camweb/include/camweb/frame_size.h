// The two picture sizes the cameras deliver, named as the web interface writes them ("640x480").
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

struct FrameSize {
  int width = 640;
  int height = 480;
  friend bool operator==(const FrameSize&, const FrameSize&) = default;
};

inline constexpr FrameSize kLargeFrame{640, 480};
inline constexpr FrameSize kSmallFrame{320, 240};

// "640x480" or "320x240"; nothing for any other text.
std::optional<FrameSize> ParseFrameSize(std::string_view text);
std::string FormatFrameSize(FrameSize size);
// The size index of the driver's format request (0 for 640x480, 1 for 320x240).
uint32_t SizeIndex(FrameSize size);
