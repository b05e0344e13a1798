// A picture as the camera's encoder takes it: Y, Cb, Cr planes with 4:2:2 sampling
// (chroma halved horizontally), rows packed without gaps.
#pragma once

#include <cstdint>
#include <vector>

namespace emucam {

struct PlanarImage {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> y;   // width x height
  std::vector<uint8_t> cb;  // width/2 x height
  std::vector<uint8_t> cr;  // width/2 x height

  PlanarImage() = default;
  PlanarImage(int w, int h)
      : width(w),
        height(h),
        y(static_cast<size_t>(w) * h),
        cb(static_cast<size_t>(w / 2) * h),
        cr(static_cast<size_t>(w / 2) * h) {}
  int chromaWidth() const { return width / 2; }
};

}  // namespace emucam
