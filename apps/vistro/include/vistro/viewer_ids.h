// Command ids of the viewer's menu (menu 101 of the command bar).
#pragma once

namespace viewer_ids {

inline constexpr int kCommandBar = 101;

inline constexpr int kSetCaptureFile = 40001;
inline constexpr int kExit = 40002;
inline constexpr int kAbout = 40009;
inline constexpr int kFullScreen = 40011;
inline constexpr int kStart = 40012;
inline constexpr int kSnapshot = 40015;
inline constexpr int kSize320x240 = 40016;
inline constexpr int kSize640x480 = 40017;
inline constexpr int kStop = 40021;
inline constexpr int kModeOutdoor = 40027;
inline constexpr int kMode50Hz = 40028;
inline constexpr int kBandwidthAuto = 40030;  // Level n is kBandwidthAuto + n
inline constexpr int kBandwidthLevel7 = 40037;
inline constexpr int kExposure = 40038;

}  // namespace viewer_ids
