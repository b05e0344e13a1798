#include "emucam/camera_options.h"

#include <algorithm>
#include <cctype>
#include <charconv>

#include "bounded_file.h"
#include "emucam/sensor_profile.h"

namespace emucam {
namespace {

constexpr unsigned kMaxFramesPerSecond = 1000;
constexpr int kMaxCameras = 9;  // stream names run from VLM1: to VLM9:
// A script is held in memory whole: at most this much, and this many packets (over four
// minutes of 1 ms packets).
constexpr size_t kMaxScriptBytes = 16u << 20;
constexpr size_t kMaxScriptPackets = 1u << 18;

std::string_view Trim(std::string_view text) {
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) text.remove_prefix(1);
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.remove_suffix(1);
  return text;
}

std::vector<std::string_view> Split(std::string_view text, char separator) {
  std::vector<std::string_view> parts;
  size_t start = 0;
  while (true) {
    const size_t end = text.find(separator, start);
    parts.push_back(Trim(text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start)));
    if (end == std::string_view::npos) return parts;
    start = end + 1;
  }
}

// Decimal, or hexadecimal with 0x.
std::optional<unsigned long> ParseNumber(std::string_view text, unsigned long maximum) {
  int base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    text.remove_prefix(2);
    base = 16;
  }
  unsigned long value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  if (text.empty() || ec != std::errc() || end != text.data() + text.size() || value > maximum) return std::nullopt;
  return value;
}

std::optional<std::vector<unsigned long>> ParseList(std::string_view text, unsigned long maximum) {
  std::vector<unsigned long> values;
  for (std::string_view item : Split(text, '+')) {
    const auto value = ParseNumber(item, maximum);
    if (!value) return std::nullopt;
    values.push_back(*value);
  }
  return values;
}

// Seconds with an optional fraction ("1.5"), above 0 and at most an hour.
std::optional<std::chrono::milliseconds> ParseSeconds(std::string_view text) {
  double seconds = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), seconds);
  if (text.empty() || ec != std::errc() || end != text.data() + text.size() || !(seconds > 0) || seconds > 3600) {
    return std::nullopt;
  }
  return std::chrono::milliseconds(static_cast<int64_t>(seconds * 1000.0 + 0.5));
}

template <typename T>
struct Named {
  std::string_view name;
  T value;
};

template <typename T, size_t N>
std::optional<T> Lookup(const Named<T> (&table)[N], std::string_view name) {
  for (const auto& entry : table) {
    if (entry.name == name) return entry.value;
  }
  return std::nullopt;
}

constexpr Named<Timing> kTimings[] = {
    {"realtime", Timing::RealTime}, {"fast", Timing::Fast}, {"scripted", Timing::Scripted}};
constexpr Named<FrameFault> kFaults[] = {{"none", FrameFault::None},
                                         {"oversize", FrameFault::Oversize},
                                         {"noeoi", FrameFault::NoEndOfImage},
                                         {"trailing", FrameFault::ExcessTrailing},
                                         {"corrupt", FrameFault::CorruptScan}};

// Applies one key=value; returns an error text, empty on success.
std::string ApplyOption(CameraOptions& options, std::string_view key, std::string_view value, bool& timingGiven) {
  const std::string bad = "bad value '" + std::string(value) + "' for " + std::string(key);
  if (key == "sensor") {
    if (FindSensorProfile(value) == nullptr) {
      return "unknown sensor profile '" + std::string(value) + "' (known: " + SensorProfileNames() + ")";
    }
    options.sensor = std::string(value);
  } else if (key == "source") {
    if (value == "pattern") {
      options.imageFile.clear();
    } else if (value.starts_with("file:") && value.size() > 5) {
      options.imageFile = std::string(value.substr(5));
    } else {
      return bad + " (pattern or file:PATH)";
    }
  } else if (key == "fps") {
    const auto fps = value == "max" ? std::optional<unsigned long>(0) : ParseNumber(value, kMaxFramesPerSecond);
    if (!fps) return bad + " (0 to 1000, or max)";
    options.framesPerSecond = static_cast<unsigned>(*fps);
  } else if (key == "timing") {
    const auto timing = Lookup(kTimings, value);
    if (!timing) return bad + " (realtime, fast or scripted)";
    options.timing = *timing;
    timingGiven = true;
  } else if (key == "script") {
    std::string error;
    auto packets = LoadPacketScript(std::string(value), error);
    if (!packets) return error;
    options.script = std::move(*packets);
    if (!timingGiven) options.timing = Timing::Scripted;
  } else if (key == "vendor" || key == "product" || key == "chipid") {
    const auto id = ParseNumber(value, 0xFFFF);
    if (!id) return bad + " (16-bit number)";
    if (key == "vendor") options.vendorId = static_cast<uint16_t>(*id);
    if (key == "product") options.productId = static_cast<uint16_t>(*id);
    if (key == "chipid") options.controllerId = static_cast<uint16_t>(*id);
  } else if (key == "packets") {
    const auto sizes = ParseList(value, 0x7FF);
    if (!sizes || (sizes->size() != 1 && sizes->size() != options.packetSizes.size()) ||
        std::find(sizes->begin(), sizes->end(), 0ul) != sizes->end()) {
      return bad + " (one size, or seven joined by '+', 1 to 2047 each)";
    }
    for (size_t i = 0; i < options.packetSizes.size(); ++i) {
      options.packetSizes[i] = static_cast<uint16_t>((*sizes)[sizes->size() == 1 ? 0 : i]);
    }
  } else if (key == "endpoint") {
    if (value != "setting0" && value != "settings") return bad + " (settings or setting0)";
    options.endpointOnlyInSettingZero = value == "setting0";
  } else if (key == "refuse") {
    const auto settings = ParseList(value, kAlternateSettings - 1);
    if (!settings) return bad + " (alternate settings 0 to 7 joined by '+')";
    options.refusedSettings.assign(settings->begin(), settings->end());
  } else if (key == "fault") {
    const auto fault = value == "throw" ? std::optional(FrameFault::None) : Lookup(kFaults, value);
    if (!fault) return bad + " (none, oversize, noeoi, trailing, corrupt or throw)";
    options.frameFault = *fault;
    options.transfersThrow = value == "throw";
  } else if (key == "unplug" || key == "replug") {
    const auto delay = ParseSeconds(value);
    if (!delay) return bad + " (seconds, above 0 and at most 3600)";
    (key == "unplug" ? options.unplugAfter : options.replugAfter) = *delay;
  } else if (key == "count") {
    return "count belongs in the device list (VELMAR_DEVICES), not in one camera's options";
  } else {
    return "unknown option '" + std::string(key) + "'";
  }
  return {};
}

}  // namespace

std::optional<CameraOptions> ParseCameraOptions(std::string_view text, std::string& error) {
  CameraOptions options;
  bool timingGiven = false;
  if (Trim(text).empty()) return options;
  for (std::string_view item : Split(text, ',')) {
    const size_t equals = item.find('=');
    if (equals == std::string_view::npos) {
      error = "emu: option '" + std::string(item) + "' is not key=value";
      return std::nullopt;
    }
    const std::string problem =
        ApplyOption(options, Trim(item.substr(0, equals)), Trim(item.substr(equals + 1)), timingGiven);
    if (!problem.empty()) {
      error = "emu: " + problem;
      return std::nullopt;
    }
  }
  if (options.replugAfter && !options.unplugAfter) {
    error = "emu: replug=SECONDS needs unplug=SECONDS";
    return std::nullopt;
  }
  if (options.timing == Timing::Scripted && options.script.empty()) {
    error = "emu: timing=scripted needs script=FILE with at least one packet";
    return std::nullopt;
  }
  return options;
}

std::optional<std::vector<std::vector<uint8_t>>> LoadPacketScript(const std::string& path, std::string& error) {
  const std::optional<std::vector<uint8_t>> read = ReadBoundedFile(path, kMaxScriptBytes, error);
  if (!read) {
    error = "packet script '" + path + "' " + error;
    return std::nullopt;
  }
  const std::vector<uint8_t>& bytes = *read;
  std::vector<std::vector<uint8_t>> packets;
  size_t pos = 0;
  while (pos < bytes.size()) {
    if (packets.size() == kMaxScriptPackets) {
      error = "packet script '" + path + "' has more than " + std::to_string(kMaxScriptPackets) + " packets";
      return std::nullopt;
    }
    if (bytes.size() - pos < 2) {
      error = "packet script '" + path + "' ends inside a length";
      return std::nullopt;
    }
    const size_t length = static_cast<size_t>(bytes[pos] | bytes[pos + 1] << 8);
    pos += 2;
    if (bytes.size() - pos < length) {
      error = "packet script '" + path + "' ends inside a packet";
      return std::nullopt;
    }
    packets.emplace_back(bytes.begin() + static_cast<ptrdiff_t>(pos),
                         bytes.begin() + static_cast<ptrdiff_t>(pos + length));
    pos += length;
  }
  return packets;
}

std::optional<std::string> ExpandCameraCounts(std::string_view deviceList, std::string& error) {
  std::string expanded;
  auto append = [&expanded](std::string_view entry) {
    if (!expanded.empty()) expanded += ';';
    expanded += entry;
  };
  for (std::string_view entry : Split(deviceList, ';')) {
    const bool emulated = entry == "emu" || entry.starts_with("emu:");
    if (!emulated || entry.find("count=") == std::string_view::npos) {
      if (!entry.empty()) append(entry);
      continue;
    }
    unsigned long count = 1;
    std::string rest;
    for (std::string_view item : Split(entry.substr(4), ',')) {
      if (item.starts_with("count=")) {
        const auto n = ParseNumber(Trim(item.substr(6)), kMaxCameras);
        if (!n || *n == 0) {
          error = "emu: bad camera count in '" + std::string(entry) + "' (1 to 9)";
          return std::nullopt;
        }
        count = *n;
      } else {
        rest += rest.empty() ? "" : ",";
        rest += item;
      }
    }
    for (unsigned long i = 0; i < count; ++i) append(rest.empty() ? "emu" : "emu:" + rest);
  }
  return expanded;
}

}  // namespace emucam
