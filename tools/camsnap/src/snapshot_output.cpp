#include "camsnap/snapshot_output.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

bool WriteAll(int fd, std::span<const uint8_t> bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = ENOSPC;
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

bool SaveSnapshotFile(const std::string& path, std::span<const uint8_t> jpeg, bool overwrite, std::string& error) {
  if (path == "-") {
    if (WriteAll(STDOUT_FILENO, jpeg)) return true;
    error = std::string("cannot write to standard output: ") + std::strerror(errno);
    return false;
  }
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | (overwrite ? O_TRUNC : O_EXCL), 0666);
  if (fd < 0) {
    error = errno == EEXIST ? path + " exists (-y, --overwrite replaces it)"
                            : "cannot create " + path + ": " + std::strerror(errno);
    return false;
  }
  const bool written = WriteAll(fd, jpeg);
  const int failure = errno;
  if (close(fd) == 0 && written) return true;
  error = "cannot write " + path + ": " + std::strerror(written ? errno : failure);
  unlink(path.c_str());
  return false;
}
