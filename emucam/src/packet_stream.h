// Cuts the camera's frames into isochronous packets. A frame starts at the beginning of
// a packet; once it is sent, empty packets follow until the next frame is due.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace emucam {

class PacketStream {
 public:
  // Fills `frame` with the next frame's bytes (never empty).
  using FrameMaker = std::function<void(std::vector<uint8_t>& frame)>;

  explicit PacketStream(FrameMaker makeFrame) : makeFrame_(std::move(makeFrame)) {}

  // A new alternate setting: the rest of the frame being sent is dropped and the next
  // frame is due at once.
  void Restart();

  // The packet of the USB frame at `busTimeUs` (microseconds on the bus clock): copies
  // at most `capacity` bytes to `dest` and returns how many. `framePeriodUs` 0 sends
  // frames back to back.
  size_t NextPacket(uint8_t* dest, size_t capacity, int64_t busTimeUs, int64_t framePeriodUs);

 private:
  FrameMaker makeFrame_;
  std::vector<uint8_t> frame_;
  size_t sent_ = 0;
  bool restarted_ = true;
  int64_t nextDueUs_ = 0;
};

// Scripted timing: the given packets in order, then empty ones.
class PacketScript {
 public:
  void Load(std::vector<std::vector<uint8_t>> packets);
  size_t NextPacket(uint8_t* dest, size_t capacity);
  bool Finished() const { return next_ >= packets_.size(); }

 private:
  std::vector<std::vector<uint8_t>> packets_;
  size_t next_ = 0;
};

}  // namespace emucam
