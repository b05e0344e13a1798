#include "camweb/camera_settings.h"

#include <nlohmann/json.hpp>

namespace {

using nlohmann::json;

std::optional<int> WholeNumber(const json& value, int low, int high) {
  if (!value.is_number_integer()) return std::nullopt;
  const auto number = value.get<long long>();
  if (number < low || number > high) return std::nullopt;
  return static_cast<int>(number);
}

std::optional<std::string> TakeMember(SettingsChange& change, const std::string& key, const json& value) {
  if (key == "size") {
    const auto size = value.is_string() ? ParseFrameSize(value.get<std::string>()) : std::nullopt;
    if (!size) return "size must be \"640x480\" or \"320x240\"";
    change.size = size;
  } else if (key == "light_mode") {
    change.lightMode = WholeNumber(value, 0, kMaxLightModeWord);
    if (!change.lightMode) return "light_mode must be a whole number (0 is 50 Hz, 2 outdoor)";
  } else if (key == "bandwidth") {
    change.bandwidth = WholeNumber(value, 0, kMaxBandwidthWord);
    if (!change.bandwidth) return "bandwidth must be a whole number (0 automatic, 1 to 7)";
  } else if (key == "exposure") {
    if (value.is_string() && value.get<std::string>() == "auto") {
      change.exposure = Exposure{true, 0};
    } else if (const auto level = WholeNumber(value, 1, 100)) {
      change.exposure = Exposure{false, *level};
    } else {
      return "exposure must be \"auto\" or a whole number from 1 to 100";
    }
  } else {
    return "unknown setting '" + key.substr(0, 32) + "' (size, light_mode, exposure, bandwidth)";
  }
  return std::nullopt;
}

}  // namespace

CameraSettings SettingsChange::AppliedTo(CameraSettings settings) const {
  if (size) settings.size = *size;
  if (lightMode) settings.lightMode = *lightMode;
  if (exposure) settings.exposure = *exposure;
  if (bandwidth) settings.bandwidth = *bandwidth;
  return settings;
}

std::variant<SettingsChange, std::string> ParseSettingsChange(std::string_view body) {
  const json document = json::parse(body, nullptr, false);
  if (document.is_discarded()) return std::string("the body is not JSON");
  if (!document.is_object()) return std::string("the body must be a JSON object");
  if (document.empty()) return std::string("nothing to change: give size, light_mode, exposure or bandwidth");
  SettingsChange change;
  for (const auto& [key, value] : document.items()) {
    if (auto reason = TakeMember(change, key, value)) return *reason;
  }
  return change;
}

std::string SettingsJsonMembers(const CameraSettings& settings) {
  const json exposure = settings.exposure.automatic ? json("auto") : json(settings.exposure.level);
  return "\"size\":\"" + FormatFrameSize(settings.size) + "\",\"light_mode\":" + std::to_string(settings.lightMode) +
         ",\"exposure\":" + exposure.dump() + ",\"bandwidth\":" + std::to_string(settings.bandwidth);
}
