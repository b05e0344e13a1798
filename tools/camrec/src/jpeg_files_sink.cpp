// Each image into its own numbered file.
#include <cstdio>
#include <filesystem>
#include <regex>
#include <vector>

#include "camrec/frame_sink.h"
#include "camrec/output_file.h"

namespace {

namespace fs = std::filesystem;

// The files a recording into `folder` makes.
std::vector<fs::path> NumberedFiles(const fs::path& folder) {
  static const std::regex kNumbered("frame-[0-9]{6,}\\.jpg");
  std::vector<fs::path> files;
  std::error_code ignored;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder, ignored)) {
    if (std::regex_match(entry.path().filename().string(), kNumbered)) files.push_back(entry.path());
  }
  return files;
}

class JpegFilesSink final : public FrameSink {
 public:
  JpegFilesSink(fs::path folder, bool createdFolder, SinkSettings settings)
      : folder_(std::move(folder)), createdFolder_(createdFolder), settings_(settings) {}

  int Write(std::span<const uint8_t> image, std::string& error) override {
    if (settings_.frameLimit && count_ >= *settings_.frameLimit) return 0;
    char name[32];
    std::snprintf(name, sizeof(name), "frame-%06u.jpg", count_ + 1);
    OutputFile file;
    if (!file.Open((folder_ / name).string(), false, error)) return -1;
    // A file that did not get the whole image is not left behind.
    if (!file.WriteWhole(image, error) || !file.Close(error)) {
      file.Remove();
      return -1;
    }
    ++count_;
    return 1;
  }

  bool Finish(std::string&) override { return true; }

  void Abandon() override {
    std::error_code ignored;
    if (createdFolder_) fs::remove(folder_, ignored);  // only while it is empty
  }

  std::string Destination() const override { return folder_.string(); }

 private:
  fs::path folder_;
  bool createdFolder_;
  SinkSettings settings_;
  unsigned count_ = 0;
};

}  // namespace

std::unique_ptr<FrameSink> MakeJpegFilesSink(const std::string& folder, const SinkSettings& settings,
                                             std::string& error) {
  std::error_code failure;
  const bool created = fs::create_directories(folder, failure);
  if (failure || !fs::is_directory(folder)) {
    error = "cannot create the folder " + folder + (failure ? ": " + failure.message() : "");
    return nullptr;
  }
  const std::vector<fs::path> earlier = NumberedFiles(folder);
  if (!earlier.empty() && !settings.overwrite) {
    error = folder + " holds frames of an earlier recording (" + earlier.front().filename().string() +
            ", ...; -y, --overwrite removes them)";
    return nullptr;
  }
  for (const fs::path& file : earlier) fs::remove(file, failure);
  return std::make_unique<JpegFilesSink>(folder, created, settings);
}
