#include "vistro/preview_layout.h"

#include <QPainter>
#include <algorithm>

#include "vistro/viewer_window.h"

PreviewRect ComputePreviewRect(uint32_t screenWidth, uint32_t screenHeight, uint32_t commandBarHeight,
                               uint32_t imageWidth, uint32_t imageHeight, bool fullScreen) {
  if (fullScreen) return {0, 0, screenWidth, screenHeight};
  if (imageWidth == 0 || imageHeight == 0) return {0, 0, 0, 0};
  const uint32_t available = screenHeight - commandBarHeight;
  if (imageWidth < std::min(screenWidth, available)) {
    const uint32_t left = (screenWidth - imageWidth) / 2;
    const uint32_t top = (screenHeight - imageHeight) / 2;
    return {left, top, left + imageWidth, top + imageHeight};
  }
  uint32_t width, height;
  if (screenWidth > screenHeight) {
    // Landscape: full width if the height allows, the picture on the bottom edge.
    width = screenWidth;
    height = imageHeight * screenWidth / imageWidth;
    if (height > available) {
      height = available;
      width = imageWidth * available / imageHeight;
    }
    const uint32_t left = (screenWidth - width) / 2;
    return {left, screenHeight - height, left + width, screenHeight};
  }
  // Portrait or square: the full height below the bar if the width allows.
  height = available;
  width = imageWidth * available / imageHeight;
  if (width > screenWidth) {
    width = screenWidth;
    height = imageHeight * screenWidth / imageWidth;
  }
  const uint32_t left = (screenWidth - width) / 2;
  const uint32_t top = (screenHeight - height) / 2;
  return {left, top, left + width, top + height};
}

int LayoutPreview(ViewerState& state, bool fullScreen) {
  if (state.quitting) return 0;
  PreviewLockGuard lock(state);
  const PreviewRect rect = ComputePreviewRect(state.screenWidth, state.screenHeight, state.commandBarHeight,
                                              state.imageWidth, state.imageHeight, fullScreen);
  PreviewFields& preview = state.preview;
  preview.previewLeft = rect.left;
  preview.previewTop = rect.top;
  preview.previewRight = rect.right;
  preview.previewBottom = rect.bottom;
  const uint32_t width = rect.right - rect.left;
  const uint32_t height = rect.bottom - rect.top;
  preview.offscreenBitmap.Create(width, height, state.screenBits);
  DestroyScaler(preview.scaler);
  preview.scaler = CreateScaler(state.imageWidth, state.imageHeight, width, height, state.screenBits);
  return 1;
}

void DrawPreview(ViewerState& state, const uint8_t* pixels) {
  PreviewFields& preview = state.preview;
  if (!preview.offscreenBitmap.exists()) return;
  preview.offscreenBitmap.SetBits(pixels);
  if (state.mainWindow != nullptr) state.mainWindow->RequestRepaint();
}

void ScaleAndDrawFrame(ViewerState& state, const uint8_t* frame, uint8_t* screenBuffer, size_t screenBufferBytes) {
  PreviewLockGuard lock(state);
  const PreviewScaler* scaler = state.preview.scaler;
  if (scaler == nullptr || ScaledFrameBytes(*scaler) > screenBufferBytes) return;
  if (ScaleFrame(scaler, frame, screenBuffer) != 0) return;
  DrawPreview(state, screenBuffer);
  ++state.framesShown;
}

QRect BlitPreview(ViewerState& state, QPainter& painter) {
  if (!state.running) return {};  // between runs the window shows its black background
  PreviewLockGuard lock(state);
  const PreviewFields& preview = state.preview;
  if (!preview.offscreenBitmap.exists()) return {};
  const QPoint corner(static_cast<int>(preview.previewLeft), static_cast<int>(preview.previewTop));
  painter.drawImage(corner, preview.offscreenBitmap.image());
  return QRect(corner, preview.offscreenBitmap.image().size());
}

void SetFullScreen(ViewerState& state, bool on) {
  ViewerWindow* window = state.mainWindow;
  if (window == nullptr) return;
  window->SetCommandBarVisible(!on);
  window->MakeTopMost();
  LayoutPreview(state, on);
  window->update();
}
