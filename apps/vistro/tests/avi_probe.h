// A recording as libavformat reads it.
#pragma once

#include <string>

struct AviProbe {
  bool opened = false;
  int frames = 0;  // packets of the video stream
  int width = 0, height = 0;
  std::string codec;
};

AviProbe ProbeAvi(const std::string& path);
