#include "avi/timed_stream.h"

#include "avi/avi_writer.h"

TimedAviStream::TimedAviStream(AviWriter* writer, int streamNumber, int framesPerSecond, uint32_t maxFrameBytes)
    : writer_(writer), stream_(streamNumber), timeline_(framesPerSecond) {
  previous_.reserve(maxFrameBytes);
}

bool TimedAviStream::Append(const uint8_t* data, uint32_t length) {
  if (written_ >= chunkLimit_) return true;  // left out: the recording is long enough
  if (AviWriteFrame(writer_, stream_, true, data, static_cast<int32_t>(length)) != 0) {
    failed_ = true;
    return false;
  }
  ++written_;
  return true;
}

int TimedAviStream::Repeat(uint64_t count) {
  const uint64_t before = written_;
  for (; count > 0; --count) {
    if (!Append(previous_.data(), static_cast<uint32_t>(previous_.size()))) return -1;
  }
  return static_cast<int>(written_ - before);
}

int TimedAviStream::AddFrame(const uint8_t* data, uint32_t length, Clock::time_point now) {
  if (failed_) return -1;
  if (length > previous_.capacity()) return 0;  // no room to repeat it: not taken
  const uint64_t before = written_;
  const FrameTimeline::Step step = timeline_.NewFrame(now);
  if (Repeat(step.repeats) < 0) return -1;
  if (step.take) {
    const uint64_t chunksBefore = written_;
    if (!Append(data, length)) return -1;
    if (written_ > chunksBefore) ++taken_;
  }
  previous_.assign(data, data + length);  // later repeats show the newest frame
  return static_cast<int>(written_ - before);
}

int TimedAviStream::KeepTime(Clock::time_point now) {
  if (failed_) return -1;
  return Repeat(timeline_.Repeats(now));
}
