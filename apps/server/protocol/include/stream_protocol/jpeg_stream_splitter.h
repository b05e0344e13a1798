// Splits a byte stream of JPEG images sent back to back (no lengths, no separators)
// into whole images. It follows the marker segments up to the scan and then the
// entropy-coded data to the end-of-image marker, so bytes that merely look like markers
// inside segments or stuffed scan data never cut an image, and bytes between images
// (padding, garbage) are skipped.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

class JpegStreamSplitter {
 public:
  using ImageHandler = std::function<void(std::span<const uint8_t> image)>;

  // An image that grows beyond this without ending is dropped.
  static constexpr size_t kMaxImageBytes = 4u << 20;

  // Appends bytes and hands every image they complete to `onImage`, in order.
  void Feed(std::span<const uint8_t> bytes, const ImageHandler& onImage);

  // Bytes discarded so far: between images, and of broken or oversized images.
  uint64_t DiscardedBytes() const { return discarded_; }

 private:
  enum class Phase { kSeekingStart, kSegments, kScan };

  // Each step consumes what it can; false when it needs more bytes.
  bool SeekStart();
  bool ReadSegment(const ImageHandler& onImage);
  bool ReadScan(const ImageHandler& onImage);
  void Emit(size_t end, const ImageHandler& onImage);
  void Discard(size_t count);
  void RestartAt(size_t imageStart);

  std::vector<uint8_t> pending_;
  size_t position_ = 0;  // next byte to examine in pending_
  Phase phase_ = Phase::kSeekingStart;
  uint64_t discarded_ = 0;
};
