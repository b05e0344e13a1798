#include "emucam/test_pattern.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace emucam {
namespace {

struct Colour {
  uint8_t y, cb, cr;
};

Colour FromRgb(int r, int g, int b) {
  auto clamp = [](double v) { return static_cast<uint8_t>(std::clamp(v + 0.5, 0.0, 255.0)); };
  return {clamp(0.299 * r + 0.587 * g + 0.114 * b), clamp(128 - 0.168736 * r - 0.331264 * g + 0.5 * b),
          clamp(128 + 0.5 * r - 0.418688 * g - 0.081312 * b)};
}

// x and width in luma pixels; both even so that chroma pairs stay whole.
void FillRect(PlanarImage& image, int x, int y, int width, int height, Colour colour) {
  for (int row = y; row < y + height; ++row) {
    std::memset(&image.y[static_cast<size_t>(row) * image.width + x], colour.y, static_cast<size_t>(width));
    const size_t chroma = static_cast<size_t>(row) * image.chromaWidth() + x / 2;
    std::memset(&image.cb[chroma], colour.cb, static_cast<size_t>(width / 2));
    std::memset(&image.cr[chroma], colour.cr, static_cast<size_t>(width / 2));
  }
}

// Geometry shared by the drawing and the reading of the frame number. Distances are
// in units of `scale` pixels (1 at 320 x 240, 2 at 640 x 480).
struct DigitLayout {
  int scale;
  int left;
  int top;
  static constexpr int kWidth = 16, kGap = 6, kBand = 40;

  DigitLayout(int width, int height)
      : scale(std::max(1, width / 320)),
        left((width - (kFrameNumberDigits * kWidth + (kFrameNumberDigits - 1) * kGap) * scale) / 2 / 2 * 2),
        top(height - (kBand - 6) * scale) {}
  int DigitLeft(int digit) const { return left + digit * (kWidth + kGap) * scale; }
};

// Segments a to g of a digit box 16 x 28: x, y, width, height.
struct Segment {
  int x, y, w, h;
};
constexpr std::array<Segment, 7> kSegments = {{
    {2, 0, 12, 4},    // a: top
    {12, 2, 4, 12},   // b: upper right
    {12, 14, 4, 12},  // c: lower right
    {2, 24, 12, 4},   // d: bottom
    {0, 14, 4, 12},   // e: lower left
    {0, 2, 4, 12},    // f: upper left
    {2, 12, 12, 4},   // g: middle
}};
// Bit s set: segment s (a = bit 0) lit.
constexpr std::array<uint8_t, 10> kDigitSegments = {0x3F, 0x06, 0x5B, 0x4F, 0x66, 0x6D, 0x7D, 0x07, 0x7F, 0x6F};

constexpr Colour kBlack{0, 128, 128};
constexpr Colour kWhite{255, 128, 128};

}  // namespace

TestPattern::TestPattern(int width, int height) : still_(width, height) {
  // Colour bars at 75 %: white, yellow, cyan, green, magenta, red, blue, black.
  static constexpr std::array<std::array<int, 3>, 8> kBars = {
      {{191, 191, 191}, {191, 191, 0}, {0, 191, 191}, {0, 191, 0}, {191, 0, 191}, {191, 0, 0}, {0, 0, 191}, {0, 0, 0}}};
  const int barsHeight = height * 7 / 12;
  const int barWidth = width / 8 / 2 * 2;
  for (int bar = 0; bar < 8; ++bar) {
    const int x = bar * barWidth;
    const int w = bar == 7 ? width - x : barWidth;
    FillRect(still_, x, 0, w, barsHeight, FromRgb(kBars[bar][0], kBars[bar][1], kBars[bar][2]));
  }
  // The band in which the box moves.
  const int bandBottom = height * 9 / 12;
  FillRect(still_, 0, barsHeight, width, bandBottom - barsHeight, FromRgb(48, 48, 64));
  // A grey ramp, then the black band of the frame number.
  const DigitLayout layout(width, height);
  const int digitBandTop = height - DigitLayout::kBand * layout.scale;
  for (int x = 0; x < width; x += 2) {
    const int level = x * 255 / std::max(1, width - 2);
    FillRect(still_, x, bandBottom, 2, std::max(0, digitBandTop - bandBottom), FromRgb(level, level, level));
  }
  FillRect(still_, 0, digitBandTop, width, height - digitBandTop, kBlack);
}

void TestPattern::Render(uint32_t frameNumber, PlanarImage& out) const {
  out.width = still_.width;
  out.height = still_.height;
  out.y.assign(still_.y.begin(), still_.y.end());
  out.cb.assign(still_.cb.begin(), still_.cb.end());
  out.cr.assign(still_.cr.begin(), still_.cr.end());

  // The moving box: one step per frame, across the band and back to the start.
  const int bandTop = out.height * 7 / 12;
  const int boxSize = (out.height * 9 / 12 - bandTop) / 2 * 2;
  const int step = std::max(2, out.width / 64 / 2 * 2);
  const int travel = out.width - boxSize;
  const int x = static_cast<int>(frameNumber % static_cast<uint32_t>(travel / step + 1)) * step;
  FillRect(out, x, bandTop, boxSize, boxSize, FromRgb(255, 160, 0));

  const DigitLayout layout(out.width, out.height);
  uint32_t rest = frameNumber;
  for (int digit = kFrameNumberDigits - 1; digit >= 0; --digit, rest /= 10) {
    const uint8_t lit = kDigitSegments[rest % 10];
    for (size_t s = 0; s < kSegments.size(); ++s) {
      if (!(lit & (1u << s))) continue;
      const Segment& seg = kSegments[s];
      FillRect(out, layout.DigitLeft(digit) + seg.x * layout.scale, layout.top + seg.y * layout.scale,
               seg.w * layout.scale, seg.h * layout.scale, kWhite);
    }
  }
}

std::optional<uint32_t> ReadFrameNumber(const uint8_t* luma, int stride, int width, int height) {
  if (luma == nullptr || width < 320 || height < 240 || stride < width) return std::nullopt;
  const DigitLayout layout(width, height);
  uint32_t number = 0;
  for (int digit = 0; digit < kFrameNumberDigits; ++digit) {
    uint8_t lit = 0;
    for (size_t s = 0; s < kSegments.size(); ++s) {
      const Segment& seg = kSegments[s];
      const int cx = layout.DigitLeft(digit) + (seg.x * 2 + seg.w) * layout.scale / 2;
      const int cy = layout.top + (seg.y * 2 + seg.h) * layout.scale / 2;
      if (luma[static_cast<size_t>(cy) * stride + cx] >= 128) lit |= static_cast<uint8_t>(1u << s);
    }
    const auto* found = std::find(kDigitSegments.begin(), kDigitSegments.end(), lit);
    if (found == kDigitSegments.end()) return std::nullopt;
    number = number * 10 + static_cast<uint32_t>(found - kDigitSegments.begin());
  }
  return number;
}

}  // namespace emucam
