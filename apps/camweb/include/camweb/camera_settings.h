// What a user can set on a camera through the web interface, and the JSON body of a
// change request: {"size": "320x240", "light_mode": 0, "exposure": "auto" or 1-100,
// "bandwidth": 0-7}, any subset but not none.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "camweb/frame_size.h"

// Automatic, or a manual level from 1 to 100.
struct Exposure {
  bool automatic = true;
  int level = 0;
  friend bool operator==(const Exposure&, const Exposure&) = default;
};

// The driver keeps no exposure, and the client library reads nothing back, so this is
// what the program last set successfully, starting from the driver's defaults after
// attach (outdoor light mode 2, automatic bandwidth 0).
struct CameraSettings {
  FrameSize size = kLargeFrame;
  int lightMode = 2;
  Exposure exposure;
  int bandwidth = 0;
  friend bool operator==(const CameraSettings&, const CameraSettings&) = default;
};

struct SettingsChange {
  std::optional<FrameSize> size;
  std::optional<int> lightMode;
  std::optional<Exposure> exposure;
  std::optional<int> bandwidth;

  // `settings` with this change applied.
  CameraSettings AppliedTo(CameraSettings settings) const;
};

// Light modes and bandwidth levels are passed to the driver, which judges them; these
// bounds only keep the words it receives small.
inline constexpr int kMaxLightModeWord = 255;
inline constexpr int kMaxBandwidthWord = 255;

// The change, or the reason the body is refused (malformed JSON, unknown key, a value of
// the wrong type or out of range, nothing to change).
std::variant<SettingsChange, std::string> ParseSettingsChange(std::string_view body);

// The JSON members of `settings` ("size", "light_mode", "exposure", "bandwidth") without
// the braces, for the answers that embed them.
std::string SettingsJsonMembers(const CameraSettings& settings);
