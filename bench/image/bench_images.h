// Inputs shared by the image benchmarks.
#pragma once

#include <cstdint>
#include <vector>

using Bytes = std::vector<std::uint8_t>;

// The two frame sizes of the camera.
struct FrameSize {
  int width;
  int height;
};
inline constexpr FrameSize kFrameSizes[] = {{640, 480}, {320, 240}};

// A planar 4:2:0 picture with smooth gradients and some texture.
Bytes MakeYuv420(int width, int height);

// A baseline JPEG file, 4:2:2 at quality 50 (the camera's tables), made with TurboJPEG.
Bytes MakeJpeg(int width, int height);

// The same image as the driver rebuilds it: the constant header (frame size
// patched) followed by the file's entropy-coded data.
Bytes CameraImage(const Bytes& jpeg, int width, int height);
