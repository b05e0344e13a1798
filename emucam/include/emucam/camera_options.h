// Everything that makes one emulated camera differ from another, and the parser of the
// configuration text ("sensor=12,fps=15,timing=fast") that names it.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace emucam {

enum class Timing {
  RealTime,  // one packet per 1 ms USB frame, paced by the clock
  Fast,      // the same packets, without sleeping
  Scripted,  // plays a given list of packets, without sleeping
};

// Deliberate damage done to every frame while it is set.
enum class FrameFault {
  None,
  Oversize,        // frames larger than 40960 bytes
  NoEndOfImage,    // the 0xFF 0xD9 pair is left out
  ExcessTrailing,  // 15 or more bytes after 0xFF 0xD9
  CorruptScan,     // a stretch of the scan data is overwritten
};

inline constexpr int kAlternateSettings = 8;  // settings 0 to 7 of interface 0

struct CameraOptions {
  std::string sensor = "2";
  std::string imageFile;          // empty: the moving test pattern
  unsigned framesPerSecond = 25;  // 0: each frame right after the previous one
  Timing timing = Timing::RealTime;
  std::vector<std::vector<uint8_t>> script;  // packets played in scripted timing

  uint16_t vendorId = 0x0AC8;
  uint16_t productId = 0xEC01;
  // wMaxPacketSize of the streaming endpoint in settings 1 to 7.
  std::array<uint16_t, kAlternateSettings - 1> packetSizes{128, 256, 384, 512, 680, 896, 1023};
  bool endpointOnlyInSettingZero = false;
  std::vector<uint8_t> refusedSettings;  // SET_INTERFACE to these fails
  std::optional<uint16_t> controllerId;  // overrides the sensor profile's identifier
  FrameFault frameFault = FrameFault::None;
  bool transfersThrow = false;  // every isochronous transfer throws (fault=throw)
  // Hot-plug on a schedule: unplugged this long after being plugged in, and a fresh
  // camera of the same options (without the schedule) plugged this long after that.
  std::optional<std::chrono::milliseconds> unplugAfter;
  std::optional<std::chrono::milliseconds> replugAfter;
};

// Parses "key=value,key=value". Returns nullopt with `error` set on an unknown key, a
// bad value or an unreadable image or script file.
std::optional<CameraOptions> ParseCameraOptions(std::string_view text, std::string& error);

// Reads a packet script: records of a 16-bit little-endian length and that many bytes.
std::optional<std::vector<std::vector<uint8_t>>> LoadPacketScript(const std::string& path, std::string& error);

// Rewrites "emu:count=3,sensor=2" into three "emu:sensor=2" entries; other entries of the
// ';'-separated device list pass unchanged. Nullopt with `error` on a bad count.
std::optional<std::string> ExpandCameraCounts(std::string_view deviceList, std::string& error);

}  // namespace emucam
