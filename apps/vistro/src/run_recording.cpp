#include "vistro/run_recording.h"

#include "avi/avi_writer.h"

RunRecording::RunRecording(const std::string& path, uint32_t width, uint32_t height) {
  if (path.empty()) return;
  writer_ = AviOpen(path.c_str());
  if (writer_ == nullptr) return;
  stream_ = AviAddVideoStream(writer_, kAviCodecMjpeg, static_cast<int>(width), static_cast<int>(height),
                              kFramesPerSecond, kBitRate);
  // Without a stream there is nowhere to put frames: the run must not record.
  ready_ = stream_ >= 0 && AviWriteHeader(writer_) == 0;
}

RunRecording::~RunRecording() {
  if (writer_ == nullptr) return;
  AviFinish(writer_);
  AviClose(writer_);
}

bool RunRecording::Append(const uint8_t* jpeg, uint32_t length) {
  return ready_ && AviWriteFrame(writer_, stream_, true, jpeg, static_cast<int32_t>(length)) == 0;
}
