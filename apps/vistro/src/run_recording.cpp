#include "vistro/run_recording.h"

#include <cerrno>
#include <new>

#include "avi/avi_writer.h"

RunRecording::RunRecording(const std::string& path, uint32_t width, uint32_t height, uint32_t maxImageBytes)
    : path_(path) {
  if (path.empty()) {
    openFailure_ = ENOENT;
    return;
  }
  errno = 0;
  writer_ = AviOpen(path.c_str());
  if (writer_ == nullptr) {
    openFailure_ = errno != 0 ? errno : EIO;
    return;
  }
  const int stream = AviAddVideoStream(writer_, kAviCodecMjpeg, static_cast<int>(width), static_cast<int>(height),
                                       kFramesPerSecond, kBitRate);
  // Without a stream there is nowhere to put frames: the run must not record.
  if (stream < 0 || AviWriteHeader(writer_) != 0) {
    openFailure_ = AviWriteErrno(writer_) != 0 ? AviWriteErrno(writer_) : ENOMEM;
    return;
  }
  try {
    timed_ = std::make_unique<TimedAviStream>(writer_, stream, kFramesPerSecond, maxImageBytes);
  } catch (const std::bad_alloc&) {
    openFailure_ = ENOMEM;
  }
}

RunRecording::~RunRecording() {
  if (writer_ == nullptr) return;
  AviFinish(writer_);
  AviClose(writer_);
}

int RunRecording::failure() const {
  if (openFailure_ != 0) return openFailure_;
  return AviWriteErrno(writer_) != 0 ? AviWriteErrno(writer_) : (timed_ && timed_->failed() ? ENOMEM : 0);
}

int RunRecording::AddFrame(const uint8_t* jpeg, uint32_t length, Clock::time_point now) {
  return timed_ ? timed_->AddFrame(jpeg, length, now) : -1;
}

int RunRecording::KeepTime(Clock::time_point now) { return timed_ ? timed_->KeepTime(now) : -1; }
