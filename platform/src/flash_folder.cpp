#include "flash_folder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace platform_internal {
namespace {

constexpr mode_t kPrivateFolder = 0700;

std::string Setting(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

// Creates `folder` and its missing parents; failures surface when a file is opened.
void MakeFolders(const std::string& folder) {
  for (size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
    const std::string part = folder.substr(0, slash);
    if (mkdir(part.c_str(), kPrivateFolder) != 0 && errno != EEXIST) return;
    if (slash == std::string::npos) return;
  }
}

// In a shared place (the temporary folder) anyone may have made the folder first, or
// put a link there: only a real folder of our own is used.
bool MakePrivateFolder(const std::string& folder) {
  if (mkdir(folder.c_str(), kPrivateFolder) != 0 && errno != EEXIST) return false;
  const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat status {};
  const bool ours = fstat(fd, &status) == 0 && S_ISDIR(status.st_mode) && status.st_uid == geteuid() &&
                    ((status.st_mode & 077) == 0 || fchmod(fd, kPrivateFolder) == 0);
  close(fd);
  return ours;
}

}  // namespace

std::string FlashFolder() {
  const std::string configured = Setting("VELMAR_FLASH_DIR");
  if (!configured.empty()) {
    MakeFolders(configured);
    return configured;
  }
  const std::string runtime = Setting("XDG_RUNTIME_DIR");
  std::string folder;
  if (runtime.starts_with('/')) {
    folder = runtime + "/velmar-flash";
  } else {
    const std::string temporary = Setting("TMPDIR");
    folder = (temporary.empty() ? std::string("/tmp") : temporary) + "/velmar-flash-" + std::to_string(geteuid());
  }
  return MakePrivateFolder(folder) ? folder : std::string();
}

}  // namespace platform_internal
