#include "platform/private_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

std::FILE* CreatePrivateFile(const std::string& path) {
  if (path.empty()) return nullptr;
  // Not truncated on open: the file is checked first. O_NONBLOCK: a FIFO planted there
  // must not block the open.
  const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK, 0600);
  if (fd < 0) return nullptr;
  struct stat status {};
  const bool usable = fstat(fd, &status) == 0 && S_ISREG(status.st_mode) && status.st_uid == geteuid() &&
                      status.st_nlink == 1 && ftruncate(fd, 0) == 0 && fchmod(fd, 0600) == 0;
  std::FILE* file = usable ? fdopen(fd, "w+b") : nullptr;
  if (file == nullptr) close(fd);
  return file;
}
