// The file size limit (RLIMIT_FSIZE) stands in for a disk that fills up: writes past
// it fail with EFBIG. SIGXFSZ is ignored meanwhile, so that the failure is a result
// the code under test sees, not the end of the test program; a test of programs it
// starts (which inherit the limit) may keep the signal, to see the programs handle it.
#pragma once

#include <signal.h>
#include <sys/resource.h>

class FileSizeLimit {
 public:
  enum class Signal { kIgnore, kKeep };

  explicit FileSizeLimit(rlim_t bytes, Signal signal = Signal::kIgnore) {
    ::getrlimit(RLIMIT_FSIZE, &saved_);
    previousHandler_ = ::signal(SIGXFSZ, signal == Signal::kIgnore ? SIG_IGN : SIG_DFL);
    rlimit limit = saved_;
    limit.rlim_cur = bytes;
    ::setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() {
    ::setrlimit(RLIMIT_FSIZE, &saved_);
    ::signal(SIGXFSZ, previousHandler_);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

 private:
  rlimit saved_{};
  sighandler_t previousHandler_;
};
