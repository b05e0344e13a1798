// Where the picture goes: native size, fitted to landscape and portrait screens, full
// screen; and the bitmap and scaler that every layout rebuilds.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "vistro/preview_layout.h"

namespace {

TEST(ComputePreviewRect, SmallImageStaysNativeCentredOnTheWholeScreen) {
  // 320 x 240 on 800 x 600 with a 26-pixel bar: centred on the screen, not below the bar.
  EXPECT_EQ(ComputePreviewRect(800, 600, 26, 320, 240, false), (PreviewRect{240, 180, 560, 420}));
  // Portrait screens too.
  EXPECT_EQ(ComputePreviewRect(480, 640, 26, 320, 240, false), (PreviewRect{80, 200, 400, 440}));
}

TEST(ComputePreviewRect, LandscapeFitsTheHeightBelowTheBar) {
  // 640 x 480 on 320 x 240 with a 26-pixel bar: 320 wide would be 240 high > 214.
  EXPECT_EQ(ComputePreviewRect(320, 240, 26, 640, 480, false), (PreviewRect{17, 26, 302, 240}));
  // 640 x 480 on 800 x 480 (bar 20): full height below the bar, on the bottom edge.
  EXPECT_EQ(ComputePreviewRect(800, 480, 20, 640, 480, false), (PreviewRect{93, 20, 706, 480}));
  // 320 x 240 on 320 x 200 (no native room): full width would be 240 high, too much.
  EXPECT_EQ(ComputePreviewRect(320, 200, 0, 320, 240, false), (PreviewRect{27, 0, 293, 200}));
}

TEST(ComputePreviewRect, LandscapeFullWidthWhenTheHeightAllows) {
  // 640 x 480 on 640 x 600 (bar 26): 640 wide is 480 high, fits in 574.
  EXPECT_EQ(ComputePreviewRect(640, 600, 26, 640, 480, false), (PreviewRect{0, 120, 640, 600}));
}

TEST(ComputePreviewRect, PortraitFitsTheWidth) {
  // 640 x 480 on 240 x 320 (bar 26): the full 294 rows would be 392 wide; width wins.
  EXPECT_EQ(ComputePreviewRect(240, 320, 26, 640, 480, false), (PreviewRect{0, 70, 240, 250}));
  // 320 x 240 on 480 x 480 (square, bar 200): the 280 rows left give 373 of width.
  EXPECT_EQ(ComputePreviewRect(480, 480, 200, 320, 240, false), (PreviewRect{53, 100, 426, 380}));
}

TEST(ComputePreviewRect, FullScreenStretchesOverTheWholeScreen) {
  EXPECT_EQ(ComputePreviewRect(320, 240, 26, 640, 480, true), (PreviewRect{0, 0, 320, 240}));
  EXPECT_EQ(ComputePreviewRect(1920, 1080, 26, 320, 240, true), (PreviewRect{0, 0, 1920, 1080}));
}

class LayoutPreviewState : public ::testing::Test {
 protected:
  void SetUp() override {
    InitializeCriticalSection(&state_.previewLock);
    state_.screenWidth = 320;
    state_.screenHeight = 240;
    state_.commandBarHeight = 26;
    state_.screenBits = 24;
    state_.imageWidth = 640;
    state_.imageHeight = 480;
  }
  void TearDown() override {
    DestroyScaler(state_.preview.scaler);
    DeleteCriticalSection(&state_.previewLock);
  }
  ViewerState state_;
};

TEST_F(LayoutPreviewState, RebuildsBitmapAndScalerForTheRectangle) {
  ASSERT_EQ(LayoutPreview(state_, false), 1);
  const PreviewFields& preview = state_.preview;
  EXPECT_EQ(preview.previewLeft, 17u);
  EXPECT_EQ(preview.previewTop, 26u);
  EXPECT_EQ(preview.previewRight - preview.previewLeft, 285u);
  EXPECT_EQ(preview.previewBottom - preview.previewTop, 214u);
  ASSERT_TRUE(preview.offscreenBitmap.exists());
  EXPECT_EQ(preview.offscreenBitmap.image().size(), QSize(285, 214));
  EXPECT_EQ(preview.offscreenBitmap.image().format(), QImage::Format_BGR888);
  EXPECT_EQ(preview.offscreenBitmap.byteCount(), 285u * 214u * 3u);
  ASSERT_NE(preview.scaler, nullptr);
  EXPECT_EQ(preview.scaler->sourceWidth, 640u);
  EXPECT_EQ(preview.scaler->destinationWidth, 285u);
  EXPECT_EQ(preview.scaler->destinationHeight, 214u);

  ASSERT_EQ(LayoutPreview(state_, true), 1);
  EXPECT_EQ(state_.preview.offscreenBitmap.image().size(), QSize(320, 240));
  EXPECT_EQ(state_.preview.scaler->destinationWidth, 320u);
}

TEST_F(LayoutPreviewState, DoesNothingOnceQuitting) {
  ASSERT_EQ(LayoutPreview(state_, false), 1);
  const PreviewScaler* before = state_.preview.scaler;
  state_.quitting = true;
  EXPECT_EQ(LayoutPreview(state_, true), 0);
  EXPECT_EQ(state_.preview.scaler, before);
  EXPECT_EQ(state_.preview.previewLeft, 17u);
}

TEST_F(LayoutPreviewState, DepthWithoutPixelFormatGetsNoBitmapOrScaler) {
  state_.screenBits = 8;
  ASSERT_EQ(LayoutPreview(state_, false), 1);
  EXPECT_FALSE(state_.preview.offscreenBitmap.exists());
  EXPECT_EQ(state_.preview.scaler, nullptr);
}

TEST_F(LayoutPreviewState, ScaledFrameReachesTheBitmapWhole) {
  state_.screenBits = 16;
  state_.imageWidth = 320;
  state_.imageHeight = 240;
  ASSERT_EQ(LayoutPreview(state_, true), 1);  // stretched to 320 x 240: a plain copy
  std::vector<uint8_t> frame(320 * 240 * 2);
  for (size_t i = 0; i < frame.size(); ++i) frame[i] = static_cast<uint8_t>(i % 251);
  std::vector<uint8_t> screen(320 * 240 * 2);
  ScaleAndDrawFrame(state_, frame.data(), screen.data(), screen.size());
  const QImage& image = state_.preview.offscreenBitmap.image();
  ASSERT_EQ(image.sizeInBytes(), static_cast<qsizetype>(frame.size()));
  EXPECT_EQ(std::memcmp(image.constBits(), frame.data(), frame.size()), 0);
  EXPECT_EQ(state_.framesShown.load(), 1u);

  // A screen buffer too small for the layout is never written past its end.
  std::vector<uint8_t> small(100);
  ScaleAndDrawFrame(state_, frame.data(), small.data(), small.size());
  EXPECT_EQ(state_.framesShown.load(), 1u);
}

}  // namespace
