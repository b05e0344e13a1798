#include "vistro/recording_files.h"

#include <fcntl.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>

namespace {

constexpr std::string_view kExtension = ".avi";
// Enough numbered files for any session; past that something else is wrong.
constexpr int kLastRunNumber = 9999;

bool EndsWithAvi(std::string_view name) {
  if (name.size() < kExtension.size()) return false;
  const std::string_view tail = name.substr(name.size() - kExtension.size());
  for (size_t i = 0; i < tail.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(tail[i])) != kExtension[i]) return false;
  }
  return true;
}

// Creates `path` only if it does not exist. True when created; false with errno set.
bool CreateExclusively(const std::string& path) {
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  close(fd);
  return true;
}

}  // namespace

std::string RecordingFiles::CaptureFilePathFor(std::string_view chosenName) {
  if (chosenName.empty()) return {};
  std::string path(chosenName);
  if (!EndsWithAvi(path)) path += kExtension;
  if (path.size() + 1 > kCaptureFilePathBytes) return {};
  return path;
}

bool RecordingFiles::Choose(std::string_view chosenName) {
  std::string path = CaptureFilePathFor(chosenName);
  if (path.empty()) return false;
  captureFilePath_ = std::move(path);
  runs_ = 0;
  return true;
}

std::string RecordingFiles::NextRunFile() {
  if (!recordingEnabled()) return {};
  if (runs_ == 0) {
    runs_ = 1;
    return captureFilePath_;  // the user chose this one; it may be replaced
  }
  const std::string stem = captureFilePath_.substr(0, captureFilePath_.size() - kExtension.size());
  const std::string extension = captureFilePath_.substr(stem.size());
  for (int number = runs_ + 1; number <= kLastRunNumber; ++number) {
    std::string candidate = stem + "-" + std::to_string(number) + extension;
    if (CreateExclusively(candidate)) {
      runs_ = number;
      return candidate;
    }
    if (errno != EEXIST) break;
  }
  return {};
}
