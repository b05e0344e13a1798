// Where the camera picture goes on the screen, and the drawing of each frame: the frame
// worker scales into its screen buffer and copies the result into the off-screen bitmap
// under previewLock; the window blits that bitmap on the GUI thread, also under the lock,
// so a frame is never shown half-updated.
#pragma once

#include <cstdint>

#include "viewer_state.h"

class QPainter;
class QRect;

struct PreviewRect {
  uint32_t left, top, right, bottom;
  bool operator==(const PreviewRect&) const = default;
};

// The destination rectangle in window coordinates (the window covers the screen from
// (0, 0)). Full screen stretches over the whole screen; otherwise an image narrower than
// both the screen and the height left below the command bar stays at native size,
// centred on the whole screen, and a larger one is fitted keeping its aspect ratio.
// Unsigned arithmetic throughout, as the layout has always been computed.
PreviewRect ComputePreviewRect(uint32_t screenWidth, uint32_t screenHeight, uint32_t commandBarHeight,
                               uint32_t imageWidth, uint32_t imageHeight, bool fullScreen);

// Stores the rectangle and rebuilds the off-screen bitmap and the scaler for it, all
// under previewLock. 1, or 0 without doing anything once the program is quitting.
int LayoutPreview(ViewerState& state, bool fullScreen);

// Frame worker, previewLock held: copies the scaled picture into the off-screen bitmap
// and asks the window to repaint the preview rectangle.
void DrawPreview(ViewerState& state, const uint8_t* pixels);

// Frame worker: scales one frame into the screen buffer and draws it, under previewLock.
// A layout whose picture would not fit the buffer is not drawn.
void ScaleAndDrawFrame(ViewerState& state, const uint8_t* frame, uint8_t* screenBuffer, size_t screenBufferBytes);

// Window thread, from the paint event: the one blit of the off-screen bitmap to the
// preview rectangle, under previewLock. Returns the area drawn; empty between runs.
QRect BlitPreview(ViewerState& state, QPainter& painter);

// Full screen on (command bar hidden) or off (shown): the window stays top-most, the
// preview is laid out again and the whole window repainted on black.
void SetFullScreen(ViewerState& state, bool on);
