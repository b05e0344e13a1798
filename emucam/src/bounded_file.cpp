#include "bounded_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace emucam {
namespace {

std::string Because(const char* what) { return std::string(what) + " (" + std::strerror(errno) + ")"; }

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  ~FileDescriptor() {
    if (fd_ >= 0) close(fd_);
  }
  int get() const { return fd_; }

 private:
  int fd_;
};

}  // namespace

std::optional<std::vector<uint8_t>> ReadBoundedFile(const std::string& path, size_t maxBytes, std::string& error) {
  // O_NONBLOCK: opening a FIFO must not wait for a writer before it can be refused.
  const FileDescriptor file(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
  if (file.get() < 0) {
    error = Because("cannot be opened");
    return std::nullopt;
  }
  struct stat status {};
  if (fstat(file.get(), &status) != 0) {
    error = Because("cannot be examined");
    return std::nullopt;
  }
  if (!S_ISREG(status.st_mode)) {
    error = "is not a regular file";
    return std::nullopt;
  }
  const std::string tooLarge = "is larger than " + std::to_string(maxBytes) + " bytes";
  if (static_cast<uintmax_t>(status.st_size) > maxBytes) {
    error = tooLarge;
    return std::nullopt;
  }
  // Read to the end rather than trusting the size: files under /proc report 0 and a file
  // may grow meanwhile. One byte past the limit tells that it is too large.
  std::vector<uint8_t> bytes(static_cast<size_t>(status.st_size) + 1);
  size_t have = 0;
  for (;;) {
    if (have == bytes.size()) {
      if (bytes.size() > maxBytes) break;
      bytes.resize(std::min(maxBytes + 1, std::max<size_t>(bytes.size() * 2, 4096)));
    }
    const ssize_t got = read(file.get(), bytes.data() + have, bytes.size() - have);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      error = Because("cannot be read");
      return std::nullopt;
    }
    if (got == 0) break;
    have += static_cast<size_t>(got);
  }
  if (have > maxBytes) {
    error = tooLarge;
    return std::nullopt;
  }
  bytes.resize(have);
  return bytes;
}

}  // namespace emucam
