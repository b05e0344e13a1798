#include "frame_source.h"

#include <algorithm>
#include <array>

namespace emucam {

const PlanarImage& FrameSource::Render(uint32_t frameNumber, const PictureSettings& settings) {
  const Size size{settings.width, settings.height};
  if (still_) {
    auto it = stills_.find(size);
    if (it == stills_.end()) it = stills_.emplace(size, ToPlanar422(*still_, size.first, size.second)).first;
    picture_.width = it->second.width;
    picture_.height = it->second.height;
    picture_.y.assign(it->second.y.begin(), it->second.y.end());
    picture_.cb.assign(it->second.cb.begin(), it->second.cb.end());
    picture_.cr.assign(it->second.cr.begin(), it->second.cr.end());
  } else {
    auto it = patterns_.find(size);
    if (it == patterns_.end()) it = patterns_.try_emplace(size, size.first, size.second).first;
    it->second.Render(frameNumber, picture_);
  }
  ApplyGain(picture_, settings.gainPermille);
  return picture_;
}

void ApplyGain(PlanarImage& image, int gainPermille) {
  if (gainPermille == 1000) return;
  std::array<uint8_t, 256> luma{}, chroma{};
  for (int v = 0; v < 256; ++v) {
    luma[v] = static_cast<uint8_t>(std::clamp(v * gainPermille / 1000, 0, 255));
    chroma[v] = static_cast<uint8_t>(std::clamp(128 + (v - 128) * gainPermille / 1000, 0, 255));
  }
  for (uint8_t& v : image.y) v = luma[v];
  for (uint8_t& v : image.cb) v = chroma[v];
  for (uint8_t& v : image.cr) v = chroma[v];
}

}  // namespace emucam
