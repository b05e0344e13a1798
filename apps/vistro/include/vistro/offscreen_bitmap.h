// The preview's off-screen bitmap: a picture of the display's own depth that the frame
// worker fills and the window blits. Its rows are packed like the scaler's output, so a
// frame goes in with one block copy.
#pragma once

#include <QImage>
#include <cstdint>
#include <vector>

class OffscreenBitmap {
 public:
  // Replaces the bitmap with a black one of width x height at 16, 24 or 32 bits per
  // pixel. False (and no bitmap) for another depth, a zero size or no memory.
  bool Create(uint32_t width, uint32_t height, uint32_t bitsPerPixel);
  void Delete();

  bool exists() const { return !image_.isNull(); }
  size_t byteCount() const { return bits_.size(); }
  // Copies the first byteCount() bytes of pixels into the bitmap (SetBitmapBits), as
  // opaque pixels (CopyPixelsForDisplay).
  void SetBits(const uint8_t* pixels);
  // A view of the bits in the matching QImage format.
  const QImage& image() const { return image_; }

 private:
  std::vector<uint8_t> bits_;
  uint32_t bitsPerPixel_ = 0;
  QImage image_;
};
