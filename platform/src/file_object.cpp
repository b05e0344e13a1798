#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <new>

#include "files.h"
#include "platform/winbase.h"
#include "stream_object.h"

namespace platform_internal {

namespace {

DWORD Win32ErrorOf(int error) {
  switch (error) {
    case ENOENT: return ERROR_FILE_NOT_FOUND;
    case ENOTDIR: return ERROR_PATH_NOT_FOUND;
    case EEXIST: return ERROR_FILE_EXISTS;
    case EACCES:
    case EPERM:
    case EISDIR:
    case EROFS: return ERROR_ACCESS_DENIED;
    case EMFILE:
    case ENFILE: return ERROR_TOO_MANY_OPEN_FILES;
    case ENOSPC:
    case EDQUOT: return ERROR_DISK_FULL;
    case ENAMETOOLONG: return ERROR_INVALID_NAME;
    case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
    default: return ERROR_GEN_FAILURE;
  }
}

class File final : public StreamObject {
 public:
  explicit File(int descriptor) : fd_(descriptor) {}
  ~File() override { close(fd_); }

  // Like Win32 on a disk file: reads until `count` bytes or the end of the file.
  BOOL Read(LPVOID buffer, DWORD count, LPDWORD bytesRead) override {
    if (buffer == nullptr && count != 0) return Refuse(bytesRead);
    DWORD done = 0;
    BOOL ok = TRUE;
    while (done < count) {
      const ssize_t n = read(fd_, static_cast<char*>(buffer) + done, count - done);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) ok = Fail(errno);
      if (n <= 0) break;
      done += static_cast<DWORD>(n);
    }
    if (bytesRead != nullptr) *bytesRead = done;
    return ok;
  }

  BOOL Write(LPCVOID buffer, DWORD count, LPDWORD bytesWritten) override {
    if (buffer == nullptr && count != 0) return Refuse(bytesWritten);
    DWORD done = 0;
    BOOL ok = TRUE;
    while (done < count) {
      const ssize_t n = write(fd_, static_cast<const char*>(buffer) + done, count - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        ok = Fail(n < 0 ? errno : ENOSPC);
        break;
      }
      done += static_cast<DWORD>(n);
    }
    if (bytesWritten != nullptr) *bytesWritten = done;
    return ok;
  }

  BOOL IoControl(DWORD, LPVOID, DWORD, LPVOID, DWORD, LPDWORD) override {
    SetLastError(ERROR_NOT_SUPPORTED);
    return FALSE;
  }

 private:
  static BOOL Refuse(LPDWORD bytesDone) {
    if (bytesDone != nullptr) *bytesDone = 0;
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }

  static BOOL Fail(int error) {
    SetLastError(Win32ErrorOf(error));
    return FALSE;
  }

  const int fd_;
};

int OpenFlags(DWORD access) {
  const bool reads = (access & GENERIC_READ) != 0;
  const bool writes = (access & GENERIC_WRITE) != 0;
  return (reads && writes ? O_RDWR : writes ? O_WRONLY : O_RDONLY) | O_CLOEXEC;
}

}  // namespace

HANDLE OpenFileHandle(const std::string& path, DWORD access, DWORD creation) {
  const int flags = OpenFlags(access);
  int fd = -1;
  bool existed = false;
  switch (creation) {
    case CREATE_NEW: fd = open(path.c_str(), flags | O_CREAT | O_EXCL, 0666); break;
    case CREATE_ALWAYS:
    case OPEN_ALWAYS:
      // Win32 reports ERROR_ALREADY_EXISTS when these find the file there.
      fd = open(path.c_str(), flags | O_CREAT | O_EXCL, 0666);
      if (fd < 0 && errno == EEXIST) {
        existed = true;
        fd = open(path.c_str(), flags | (creation == CREATE_ALWAYS ? O_TRUNC : 0));
      }
      break;
    case OPEN_EXISTING: fd = open(path.c_str(), flags); break;
    case TRUNCATE_EXISTING:
      if ((access & GENERIC_WRITE) == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
      }
      fd = open(path.c_str(), flags | O_TRUNC);
      break;
    default: SetLastError(ERROR_INVALID_PARAMETER); return INVALID_HANDLE_VALUE;
  }
  if (fd < 0) {
    SetLastError(Win32ErrorOf(errno));
    return INVALID_HANDLE_VALUE;
  }
  auto file = std::shared_ptr<File>(new (std::nothrow) File(fd));
  if (!file) {
    close(fd);
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return INVALID_HANDLE_VALUE;
  }
  HANDLE handle = InsertHandle(std::move(file));
  if (handle == nullptr) return INVALID_HANDLE_VALUE;
  SetLastError(existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
  return handle;
}

}  // namespace platform_internal
