#include "packet_stream.h"

#include <algorithm>
#include <cstring>

namespace emucam {

void PacketStream::Restart() {
  frame_.clear();
  sent_ = 0;
  restarted_ = true;
}

size_t PacketStream::NextPacket(uint8_t* dest, size_t capacity, int64_t busTimeUs, int64_t framePeriodUs) {
  if (capacity == 0) return 0;
  if (restarted_) {
    nextDueUs_ = busTimeUs;
    restarted_ = false;
  }
  if (sent_ >= frame_.size()) {
    if (busTimeUs < nextDueUs_) return 0;
    makeFrame_(frame_);
    sent_ = 0;
    // The sensor makes a frame every period; the next one to send is the first that
    // comes after this start. Frames made while the link was busy are skipped.
    if (framePeriodUs <= 0) {
      nextDueUs_ = busTimeUs;
    } else {
      nextDueUs_ += framePeriodUs;
      if (nextDueUs_ <= busTimeUs) nextDueUs_ += ((busTimeUs - nextDueUs_) / framePeriodUs + 1) * framePeriodUs;
    }
  }
  const size_t length = std::min(capacity, frame_.size() - sent_);
  std::memcpy(dest, frame_.data() + sent_, length);
  sent_ += length;
  return length;
}

void PacketScript::Load(std::vector<std::vector<uint8_t>> packets) {
  packets_ = std::move(packets);
  next_ = 0;
}

size_t PacketScript::NextPacket(uint8_t* dest, size_t capacity) {
  if (Finished()) return 0;
  const std::vector<uint8_t>& packet = packets_[next_++];
  const size_t length = std::min(capacity, packet.size());
  if (length > 0) std::memcpy(dest, packet.data(), length);
  return length;
}

}  // namespace emucam
