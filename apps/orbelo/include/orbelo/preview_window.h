// The preview child window ("Capture Window" of the class "Display Window Class"): a
// black 320 x 240 area that shows the newest frame. The capture thread copies each frame
// into the window's bitmap; the window draws the bitmap on the GUI thread.
#pragma once

#include <QImage>
#include <QWidget>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

class PreviewWindow : public QWidget {
 public:
  static constexpr int kWidth = 320;
  static constexpr int kHeight = 240;

  explicit PreviewWindow(QWidget* parent);

  // Makes the bitmap: black, kWidth x kHeight at bitsPerPixel (16, 24 or 32). False, and
  // no bitmap, for another depth.
  bool CreateBitmap(unsigned bitsPerPixel);
  // From any thread: copies one frame of `pixels` (top-down rows in the bitmap's format)
  // into the bitmap and asks for one repaint. Ignored without a bitmap.
  void PostFrame(const uint8_t* pixels);

  // A copy of the bitmap as a picture; null without a bitmap.
  QImage CurrentFrame() const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  // Wraps the bits without copying; the caller holds bitsLock_.
  QImage BitmapLocked() const;

  mutable std::mutex bitsLock_;
  std::vector<uint8_t> bits_;
  QImage::Format format_ = QImage::Format_Invalid;
  size_t rowBytes_ = 0;
  unsigned bitsPerPixel_ = 0;
  // A repaint has been asked for and not yet done: frames that come before it only
  // update the bits.
  std::atomic<bool> repaintPending_{false};
};
