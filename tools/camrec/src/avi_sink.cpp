// Images into an MJPEG AVI file. The stream is declared with the size of the first
// image, so the file is right whatever size the server delivers.
#include <cerrno>
#include <cstring>

#include "avi/avi_writer.h"
#include "camrec/frame_sink.h"
#include "stream_protocol/jpeg_image_size.h"

namespace {

// Bit rate declared in the header; players take it as a hint only.
constexpr int kDeclaredBitRate = 512000;

class AviSink final : public FrameSink {
 public:
  AviSink(AviWriter* writer, std::string path, int framesPerSecond, ImageSize fallbackSize)
      : writer_(writer), path_(std::move(path)), framesPerSecond_(framesPerSecond), fallbackSize_(fallbackSize) {}
  AviSink(const AviSink&) = delete;
  AviSink& operator=(const AviSink&) = delete;
  ~AviSink() override { AviClose(writer_); }

  bool Write(std::span<const uint8_t> image, std::string& error) override {
    if (stream_ < 0 && !StartFile(JpegImageSize(image).value_or(fallbackSize_), error)) return false;
    if (AviWriteFrame(writer_, stream_, true, image.data(), static_cast<int32_t>(image.size())) != 0) {
      error = "cannot write a frame to " + path_ + " (disk full?)";
      return false;
    }
    return true;
  }

  bool Finish(std::string& error) override {
    if (stream_ < 0 && !StartFile(fallbackSize_, error)) return false;
    if (AviFinish(writer_) != 0) {
      error = "cannot complete " + path_ + " (disk full?)";
      return false;
    }
    return true;
  }

  std::string Destination() const override { return path_; }

 private:
  bool StartFile(ImageSize size, std::string& error) {
    stream_ = AviAddVideoStream(writer_, kAviCodecMjpeg, size.width, size.height, framesPerSecond_, kDeclaredBitRate);
    if (stream_ < 0 || AviWriteHeader(writer_) != 0) {
      error = "cannot write the header of " + path_;
      stream_ = -1;
      return false;
    }
    return true;
  }

  AviWriter* writer_;
  std::string path_;
  int framesPerSecond_;
  ImageSize fallbackSize_;
  int stream_ = -1;
};

}  // namespace

std::unique_ptr<FrameSink> MakeAviSink(const std::string& path, int framesPerSecond, ImageSize fallbackSize,
                                       std::string& error) {
  AviWriter* writer = AviOpen(path.c_str());
  if (writer == nullptr) {
    error = "cannot create " + path + ": " + std::strerror(errno);
    return nullptr;
  }
  return std::make_unique<AviSink>(writer, path, framesPerSecond, fallbackSize);
}
