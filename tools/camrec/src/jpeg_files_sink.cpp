// Each image into its own numbered file.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "camrec/frame_sink.h"

namespace {

class JpegFilesSink final : public FrameSink {
 public:
  explicit JpegFilesSink(std::filesystem::path folder) : folder_(std::move(folder)) {}

  bool Write(std::span<const uint8_t> image, std::string& error) override {
    char name[32];
    std::snprintf(name, sizeof(name), "frame-%06u.jpg", ++count_);
    const std::filesystem::path path = folder_ / name;
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
      error = "cannot create " + path.string() + ": " + std::strerror(errno);
      return false;
    }
    const bool written = std::fwrite(image.data(), 1, image.size(), file) == image.size();
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed) {
      error = "cannot write " + path.string() + ": " + std::strerror(errno);
      return false;
    }
    return true;
  }

  bool Finish(std::string&) override { return true; }

  std::string Destination() const override { return folder_.string(); }

 private:
  std::filesystem::path folder_;
  unsigned count_ = 0;
};

}  // namespace

std::unique_ptr<FrameSink> MakeJpegFilesSink(const std::string& folder, std::string& error) {
  std::error_code failure;
  std::filesystem::create_directories(folder, failure);
  if (failure || !std::filesystem::is_directory(folder)) {
    error = "cannot create the folder " + folder + (failure ? ": " + failure.message() : "");
    return nullptr;
  }
  return std::make_unique<JpegFilesSink>(folder);
}
