// Images back to back, as the server sends them: a raw MJPEG stream.
#include "camrec/frame_sink.h"
#include "camrec/output_file.h"

namespace {

class MjpegSink final : public FrameSink {
 public:
  explicit MjpegSink(SinkSettings settings) : settings_(settings) {}
  OutputFile& file() { return file_; }

  int Write(std::span<const uint8_t> image, std::string& error) override {
    if (settings_.frameLimit && stored_ >= *settings_.frameLimit) return 0;
    if (!file_.WriteWhole(image, error)) return -1;
    ++stored_;
    return 1;
  }
  bool Finish(std::string& error) override { return file_.Close(error); }
  void Abandon() override { file_.Remove(); }
  std::string Destination() const override { return file_.path(); }

 private:
  SinkSettings settings_;
  OutputFile file_;
  uint64_t stored_ = 0;
};

}  // namespace

std::unique_ptr<FrameSink> MakeMjpegSink(const std::string& path, const SinkSettings& settings, std::string& error) {
  auto sink = std::make_unique<MjpegSink>(settings);
  if (!sink->file().Open(path, settings.overwrite, error)) return nullptr;
  return sink;
}
