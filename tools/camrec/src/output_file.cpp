#include "camrec/output_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

std::string CannotCreate(const std::string& path, int errorNumber) {
  if (errorNumber == EEXIST) return path + " exists (-y, --overwrite replaces it)";
  return "cannot create " + path + ": " + std::strerror(errorNumber);
}

bool OutputFile::Open(const std::string& path, bool overwrite, std::string& error) {
  path_ = path;
  if (path == "-") {
    standardOutput_ = true;
    fd_ = STDOUT_FILENO;
    path_ = "standard output";
    return true;
  }
  fd_ = open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | (overwrite ? O_TRUNC : O_EXCL), 0666);
  if (fd_ < 0) {
    error = CannotCreate(path, errno);
    return false;
  }
  return true;
}

OutputFile::~OutputFile() {
  if (fd_ >= 0 && !standardOutput_) close(fd_);
}

bool OutputFile::WriteWhole(std::span<const uint8_t> bytes, std::string& error) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = write(fd_, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      const int failure = n < 0 ? errno : ENOSPC;
      error = "cannot write " + path_ + ": " + std::strerror(failure);
      if (!standardOutput_ && ftruncate(fd_, static_cast<off_t>(size_)) == 0) {
        lseek(fd_, static_cast<off_t>(size_), SEEK_SET);
      }
      return false;
    }
    done += static_cast<size_t>(n);
  }
  size_ += bytes.size();
  return true;
}

void OutputFile::Remove() {
  if (fd_ < 0 || standardOutput_) return;
  close(fd_);
  fd_ = -1;
  unlink(path_.c_str());
}

bool OutputFile::Close(std::string& error) {
  if (fd_ < 0 || standardOutput_) return true;
  const int result = close(fd_);
  fd_ = -1;
  if (result != 0) {
    error = "cannot complete " + path_ + ": " + std::strerror(errno);
    return false;
  }
  return true;
}
