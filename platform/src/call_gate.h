// Counts the calls running through an object so that it can be shut: once shut, no
// new call enters, and shutting waits until the calls inside have left.
#pragma once

#include <condition_variable>
#include <mutex>

namespace platform_internal {

class CallGate {
 public:
  bool Enter() {
    std::lock_guard lock(mutex_);
    if (shut_) return false;
    ++inside_;
    return true;
  }

  void Leave() {
    std::lock_guard lock(mutex_);
    if (--inside_ == 0) drained_.notify_all();
  }

  void ShutAndDrain() {
    std::unique_lock lock(mutex_);
    shut_ = true;
    drained_.wait(lock, [this] { return inside_ == 0; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable drained_;
  int inside_ = 0;
  bool shut_ = false;
};

}  // namespace platform_internal
