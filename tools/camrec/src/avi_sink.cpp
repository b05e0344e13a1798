// Images into an MJPEG AVI file at the rate asked of the server, keeping time with the
// clock. The stream is declared with the size of the first image, so the file is right
// whatever size the server delivers.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "avi/avi_writer.h"
#include "avi/timed_stream.h"
#include "camrec/frame_sink.h"
#include "camrec/output_file.h"
#include "stream_protocol/jpeg_image_size.h"
#include "stream_protocol/jpeg_stream_splitter.h"

namespace {

// Bit rate declared in the header; players take it as a hint only.
constexpr int kDeclaredBitRate = 512000;

class AviSink final : public FrameSink {
 public:
  AviSink(AviWriter* writer, std::string path, int framesPerSecond, ImageSize fallbackSize, SinkSettings settings)
      : writer_(writer),
        path_(std::move(path)),
        framesPerSecond_(framesPerSecond),
        fallbackSize_(fallbackSize),
        settings_(settings) {}
  AviSink(const AviSink&) = delete;
  AviSink& operator=(const AviSink&) = delete;
  ~AviSink() override { AviClose(writer_); }

  int Write(std::span<const uint8_t> image, std::string& error) override {
    if (!timed_ && !StartFile(JpegImageSize(image).value_or(fallbackSize_), error)) return -1;
    return Checked(timed_->AddFrame(image.data(), static_cast<uint32_t>(image.size()), TimedAviStream::Clock::now()),
                   error);
  }

  int KeepTime(std::string& error) override {
    return timed_ ? Checked(timed_->KeepTime(TimedAviStream::Clock::now()), error) : 0;
  }

  bool Finish(std::string& error) override {
    if (!timed_ && !StartFile(fallbackSize_, error)) return false;
    if (AviFinish(writer_) != 0) {
      error = "cannot complete " + path_ + Reason();
      return false;
    }
    return true;
  }

  void Abandon() override {
    AviClose(writer_);
    writer_ = nullptr;
    unlink(path_.c_str());
  }

  std::string Destination() const override { return path_; }

 private:
  std::string Reason() const {
    const int failure = AviWriteErrno(writer_);
    return failure != 0 ? std::string(": ") + std::strerror(failure) : std::string(" (out of memory)");
  }

  int Checked(int chunks, std::string& error) {
    if (chunks < 0) error = "cannot write a frame to " + path_ + Reason();
    return chunks;
  }

  bool StartFile(ImageSize size, std::string& error) {
    const int stream =
        AviAddVideoStream(writer_, kAviCodecMjpeg, size.width, size.height, framesPerSecond_, kDeclaredBitRate);
    if (stream < 0 || AviWriteHeader(writer_) != 0) {
      error = "cannot write the header of " + path_ + Reason();
      return false;
    }
    timed_ = std::make_unique<TimedAviStream>(writer_, stream, framesPerSecond_,
                                              static_cast<uint32_t>(JpegStreamSplitter::kMaxImageBytes));
    if (settings_.frameLimit) timed_->LimitChunks(*settings_.frameLimit);
    return true;
  }

  AviWriter* writer_;
  std::string path_;
  int framesPerSecond_;
  ImageSize fallbackSize_;
  SinkSettings settings_;
  std::unique_ptr<TimedAviStream> timed_;
};

}  // namespace

std::unique_ptr<FrameSink> MakeAviSink(const std::string& path, int framesPerSecond, ImageSize fallbackSize,
                                       const SinkSettings& settings, std::string& error) {
  if (!settings.overwrite) {
    // Made here, so that an existing file is refused and no one else takes the name.
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
      error = CannotCreate(path, errno);
      return nullptr;
    }
    close(fd);
  }
  errno = 0;
  AviWriter* writer = AviOpen(path.c_str());
  if (writer == nullptr) {
    error = CannotCreate(path, errno != 0 ? errno : ENOMEM);
    return nullptr;
  }
  return std::make_unique<AviSink>(writer, path, framesPerSecond, fallbackSize, settings);
}
