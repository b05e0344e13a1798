#include "vistro/recording_files.h"

#include <fcntl.h>
#include <sys/stat.h>
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

bool RecordingFiles::Choose(std::string_view chosenName, bool replaceConfirmed) {
  std::string path = CaptureFilePathFor(chosenName);
  if (path.empty()) return false;
  captureFilePath_ = std::move(path);
  replaceConfirmed_ = replaceConfirmed;
  runs_ = 0;
  return true;
}

bool RecordingFiles::ReplacesUnconfirmed(std::string_view chosenName) {
  if (chosenName.empty() || EndsWithAvi(chosenName)) return false;
  struct stat status {};
  return stat(CaptureFilePathFor(chosenName).c_str(), &status) == 0;
}

std::string RecordingFiles::NextRunFile() {
  lastFileCreated_ = false;
  if (!recordingEnabled()) return {};
  if (runs_ == 0) {
    runs_ = 1;
    if (replaceConfirmed_) return captureFilePath_;
    if (CreateExclusively(captureFilePath_)) {
      lastFileCreated_ = true;
      return captureFilePath_;
    }
    // Any failure but an existing file is for the run to report when it opens it.
    if (errno != EEXIST) return captureFilePath_;
  }
  const std::string stem = captureFilePath_.substr(0, captureFilePath_.size() - kExtension.size());
  const std::string extension = captureFilePath_.substr(stem.size());
  for (int number = runs_ + 1; number <= kLastRunNumber; ++number) {
    std::string candidate = stem + "-" + std::to_string(number) + extension;
    if (CreateExclusively(candidate)) {
      runs_ = number;
      lastFileCreated_ = true;
      return candidate;
    }
    if (errno != EEXIST) break;
  }
  return {};
}

void RemoveIfEmpty(const std::string& path) {
  struct stat status {};
  if (!path.empty() && stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode) && status.st_size == 0) {
    unlink(path.c_str());
  }
}
