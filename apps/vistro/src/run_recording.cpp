#include "vistro/run_recording.h"

#include <cerrno>
#include <new>

#include "avi/avi_writer.h"

RunRecording::RunRecording(const std::string& path, uint32_t width, uint32_t height, uint32_t maxImageBytes)
    : path_(path) {
  if (path.empty()) {
    failure_ = ENOENT;
    return;
  }
  try {
    previous_.reserve(maxImageBytes);  // allocated once: frames only copy into it
  } catch (const std::bad_alloc&) {
    failure_ = ENOMEM;
    return;
  }
  errno = 0;
  writer_ = AviOpen(path.c_str());
  if (writer_ == nullptr) {
    failure_ = errno != 0 ? errno : EIO;
    return;
  }
  stream_ = AviAddVideoStream(writer_, kAviCodecMjpeg, static_cast<int>(width), static_cast<int>(height),
                              kFramesPerSecond, kBitRate);
  // Without a stream there is nowhere to put frames: the run must not record.
  ready_ = stream_ >= 0 && AviWriteHeader(writer_) == 0;
  if (!ready_) failure_ = AviWriteErrno(writer_) != 0 ? AviWriteErrno(writer_) : ENOMEM;
}

RunRecording::~RunRecording() {
  if (writer_ == nullptr) return;
  AviFinish(writer_);
  AviClose(writer_);
}

bool RunRecording::Append(const uint8_t* jpeg, uint32_t length) {
  if (!ready_) return false;
  if (AviWriteFrame(writer_, stream_, true, jpeg, static_cast<int32_t>(length)) == 0) return true;
  ready_ = false;
  failure_ = AviWriteErrno(writer_) != 0 ? AviWriteErrno(writer_) : ENOMEM;
  return false;
}

int RunRecording::Repeat(uint64_t count) {
  int written = 0;
  for (; count > 0; --count, ++written) {
    if (!Append(previous_.data(), static_cast<uint32_t>(previous_.size()))) return -1;
  }
  return written;
}

int RunRecording::AddFrame(const uint8_t* jpeg, uint32_t length, Clock::time_point now) {
  if (!ready_ || length > previous_.capacity()) return ready_ ? 0 : -1;
  const FrameTimeline::Step step = timeline_.NewFrame(now);
  int written = Repeat(step.repeats);
  if (written < 0) return -1;
  if (step.take && !Append(jpeg, length)) return -1;
  previous_.assign(jpeg, jpeg + length);  // later repeats show the newest image
  return written + (step.take ? 1 : 0);
}

int RunRecording::KeepTime(Clock::time_point now) {
  if (!ready_) return -1;
  return Repeat(timeline_.Repeats(now));
}
