#include "stream_protocol/jpeg_stream_splitter.h"

#include <algorithm>

namespace {

constexpr uint8_t kMarkerPrefix = 0xFF;
constexpr uint8_t kStartOfImage = 0xD8;
constexpr uint8_t kEndOfImage = 0xD9;
constexpr uint8_t kStartOfScan = 0xDA;

// Markers without a length field.
bool IsStandalone(uint8_t marker) { return marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7); }

}  // namespace

void JpegStreamSplitter::Feed(std::span<const uint8_t> bytes, const ImageHandler& onImage) {
  pending_.insert(pending_.end(), bytes.begin(), bytes.end());
  bool progress = true;
  while (progress) {
    switch (phase_) {
      case Phase::kSeekingStart: progress = SeekStart(); break;
      case Phase::kSegments: progress = ReadSegment(onImage); break;
      case Phase::kScan: progress = ReadScan(onImage); break;
    }
    if (phase_ != Phase::kSeekingStart && pending_.size() > kMaxImageBytes) {
      Discard(pending_.size());
      progress = true;
    }
  }
}

bool JpegStreamSplitter::SeekStart() {
  for (size_t i = 0; i + 1 < pending_.size(); ++i) {
    if (pending_[i] == kMarkerPrefix && pending_[i + 1] == kStartOfImage) {
      RestartAt(i);
      return true;
    }
  }
  // Keep a trailing 0xFF: it may begin the next start marker.
  const bool keepLast = !pending_.empty() && pending_.back() == kMarkerPrefix;
  Discard(pending_.size() - (keepLast ? 1 : 0));
  return false;
}

bool JpegStreamSplitter::ReadSegment(const ImageHandler& onImage) {
  if (position_ + 2 > pending_.size()) return false;
  if (pending_[position_] != kMarkerPrefix) {  // not a marker where one must be: broken image
    Discard(position_);
    return true;
  }
  const uint8_t marker = pending_[position_ + 1];
  if (marker == kMarkerPrefix) {  // fill byte
    ++position_;
    return true;
  }
  if (marker == kStartOfImage) {
    RestartAt(position_);
    return true;
  }
  if (marker == kEndOfImage) {
    Emit(position_ + 2, onImage);
    return true;
  }
  if (IsStandalone(marker)) {
    position_ += 2;
    return true;
  }
  if (position_ + 4 > pending_.size()) return false;
  const size_t length = static_cast<size_t>(pending_[position_ + 2]) << 8 | pending_[position_ + 3];
  if (length < 2) {
    Discard(position_);
    return true;
  }
  if (position_ + 2 + length > pending_.size()) return false;
  position_ += 2 + length;
  if (marker == kStartOfScan) phase_ = Phase::kScan;
  return true;
}

bool JpegStreamSplitter::ReadScan(const ImageHandler& onImage) {
  while (position_ + 1 < pending_.size()) {
    if (pending_[position_] != kMarkerPrefix) {
      ++position_;
      continue;
    }
    const uint8_t next = pending_[position_ + 1];
    if (next == 0x00 || (next >= 0xD0 && next <= 0xD7)) {  // stuffed byte or restart marker
      position_ += 2;
    } else if (next == kMarkerPrefix) {
      ++position_;
    } else if (next == kEndOfImage) {
      Emit(position_ + 2, onImage);
      return true;
    } else if (next == kStartOfImage) {  // the image broke off: the next one starts here
      RestartAt(position_);
      return true;
    } else {  // another segment (a further scan or tables)
      phase_ = Phase::kSegments;
      return true;
    }
  }
  return false;
}

void JpegStreamSplitter::Emit(size_t end, const ImageHandler& onImage) {
  onImage(std::span<const uint8_t>(pending_.data(), end));
  pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(end));
  position_ = 0;
  phase_ = Phase::kSeekingStart;
}

void JpegStreamSplitter::Discard(size_t count) {
  discarded_ += count;
  pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(count));
  position_ = 0;
  phase_ = Phase::kSeekingStart;
}

void JpegStreamSplitter::RestartAt(size_t imageStart) {
  Discard(imageStart);
  position_ = 2;
  phase_ = Phase::kSegments;
}
